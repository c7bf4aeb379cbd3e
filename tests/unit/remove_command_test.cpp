#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/fake/fake_machine.h"
#include "support/cli_fixture.h"

namespace sv::cli {
namespace {

using Args = std::vector<std::string>;
using nlohmann::json;
using testing::DbSoft;

constexpr const char* kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

struct RemoveCommand : testing::CliFixture {
  void SetUp() override {
    DbSoft writer;
    writer.id = "WRITER";
    writer.name = "Acme Writer";
    writer.installFolder = "1Common Files";  // a folder every program shares: refused
    DbSoft game;
    game.id = "GAME";
    game.name = "Space Game";
    testing::PutDatabase(
        machine.files, "C:\\Program Files\\Sorvane\\",
        {{"WRITER", {{4, "{pf}\\Acme\\Writer"}}, {}}, {"GAME", {{4, "C:\\Games\\Space"}}, {}}},
        {writer, game});
    machine.files.PutFile("C:\\Program Files\\Acme\\Writer\\writer.exe");
    machine.files.PutFile("C:\\Games\\Space\\space.exe");
    machine.files.PutDirectory("C:\\Program Files\\Common Files");
    auto key = machine.registry.CreateKey(platform::Hive::LocalMachine,
                                          std::string(kUninstall) + "\\AcmeWriter");
    key->SetStringValue("DisplayName", "Acme Writer 2.0");
    key->SetStringValue("UninstallString", "u.exe");
  }

  bool Exists(const std::string& path) {
    return machine.files.GetAttributes(path) != platform::kInvalidAttributes;
  }
  bool UninstallEntryExists() {
    return machine.registry.OpenKey(platform::Hive::LocalMachine,
                                    std::string(kUninstall) + "\\AcmeWriter",
                                    platform::KeyAccess::Read) != nullptr;
  }
};

TEST_F(RemoveCommand, DryRunListsThePlanWithRefusalsAndDeletesNothing) {
  ASSERT_EQ(RunCli({"remove", "Acme Writer 2.0", "--dry-run", "--json"}), kExitOk) << err.str();
  const json result = json::parse(out.str());
  EXPECT_TRUE(result["dryRun"]);
  const json& program = result["programs"][0];
  EXPECT_EQ(program["name"], "Acme Writer 2.0");
  EXPECT_EQ(program["failed"], 0);
  const json& steps = program["steps"];
  ASSERT_GE(steps.size(), 3U);
  EXPECT_EQ(steps[0], json({{"status", " Deleting C:\\Program Files\\Acme\\Writer..."}}));
  EXPECT_EQ(steps[1]["action"], "folder");
  EXPECT_EQ(steps[1]["outcome"], "planned");
  // Every file the folder deletion takes is listed.
  EXPECT_EQ(
      steps[1]["contents"],
      json::array({{{"path", "c:\\program files\\acme\\writer\\writer.exe"}, {"folder", false}}}));
  bool refusedShared = false;
  for (const json& step : steps) {
    if (step.value("target", "") == "C:\\Program Files\\Common Files") {
      refusedShared = step["refused"] && !step["reason"].get<std::string>().empty();
    }
  }
  EXPECT_TRUE(refusedShared) << steps.dump(1);
  EXPECT_EQ(steps.back()["target"],
            "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
            "AcmeWriter");
  EXPECT_TRUE(Exists("C:\\Program Files\\Acme\\Writer\\writer.exe"));
  EXPECT_TRUE(UninstallEntryExists());
}

TEST_F(RemoveCommand, RemovesTheProgramsTheScanLists) {
  ASSERT_EQ(RunCli({"remove", "Acme Writer 2.0"}), kExitOk) << err.str();
  EXPECT_FALSE(Exists("C:\\Program Files\\Acme\\Writer"));
  EXPECT_TRUE(Exists("C:\\Program Files"));
  EXPECT_FALSE(UninstallEntryExists());
  EXPECT_NE(out.str().find("Removing Acme Writer 2.0 (installed program):\n"), std::string::npos);
  EXPECT_NE(out.str().find("    refused folder\tC:\\Program Files\\Common Files\t("),
            std::string::npos)
      << out.str();
  ASSERT_EQ(RunCli({"remove", "--residual", "Space Game"}), kExitOk) << err.str();
  EXPECT_FALSE(Exists("C:\\Games\\Space"));
  EXPECT_NE(out.str().find("Space Game: 1 done, 0 refused\n"), std::string::npos) << out.str();
}

TEST_F(RemoveCommand, RefusesWhatTheScanDoesNotListAndRemovesNothing) {
  machine.registry.CreateKey(platform::Hive::LocalMachine, std::string(kUninstall) + "\\Tool")
      ->SetStringValue("DisplayName", "Unknown Tool");
  machine.registry.CreateKey(platform::Hive::LocalMachine, std::string(kUninstall) + "\\Tool")
      ->SetStringValue("UninstallString", "u.exe");
  struct Case {
    Args args;
    const char* message;
  };
  for (const Case& c :
       {Case{{"remove", "Acme Writer"}, "'Acme Writer' is not installed"},
        Case{{"remove", "Space Game"}, "'Space Game' is not installed"},
        Case{{"remove", "Space Game", "Acme Writer 2.0", "Space Gam"}, "'Space Gam' is not"},
        Case{{"remove", "Unknown Tool"}, "'Unknown Tool' is unsupported"},
        Case{{"remove", "--residual", "Acme Writer"}, "'Acme Writer' is not a residue"},
        Case{{"remove", " "}, "' ' is not installed"}}) {
    err.str("");
    EXPECT_EQ(RunCli(c.args), kExitError) << c.message;
    EXPECT_NE(err.str().find(c.message), std::string::npos) << err.str();
  }
  EXPECT_TRUE(Exists("C:\\Games\\Space\\space.exe"));
  EXPECT_TRUE(Exists("C:\\Program Files\\Acme\\Writer\\writer.exe"));
  EXPECT_EQ(RunCli({"remove"}), kExitUsage);
}

TEST_F(RemoveCommand, AFailedDeletionIsReportedAndKeepsTheProgramListed) {
  machine.faults.Inject(fake::Op::RemoveFile, "c:\\program files\\acme\\writer\\writer.exe",
                        platform::kErrorAccessDenied);
  EXPECT_EQ(RunCli({"remove", "Acme Writer 2.0"}), kExitError);
  EXPECT_NE(err.str().find("could not be removed"), std::string::npos) << err.str();
  EXPECT_NE(out.str().find(", 1 failed"), std::string::npos) << out.str();
  EXPECT_TRUE(Exists("C:\\Program Files\\Acme\\Writer\\writer.exe"));
  EXPECT_TRUE(UninstallEntryExists());
}

}  // namespace
}  // namespace sv::cli
