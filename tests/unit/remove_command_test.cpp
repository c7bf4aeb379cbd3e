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
    key->SetStringValue("DisplayName", "Acme Writer");
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

TEST_F(RemoveCommand, DryRunListsDeletionsAndRefusalsAndDeletesNothing) {
  ASSERT_EQ(RunCli({"remove", "Acme Writer", "--dry-run", "--json"}), kExitOk) << err.str();
  const json result = json::parse(out.str());
  EXPECT_TRUE(result["dryRun"]);
  const json& program = result["programs"][0];
  EXPECT_EQ(program["name"], "Acme Writer");
  EXPECT_EQ(program["refused"], 1);
  EXPECT_EQ(program["allowed"], 2);
  const json& steps = program["steps"];
  EXPECT_EQ(steps[0], json({{"action", "program folder"},
                            {"target", "C:\\Program Files\\Common Files"},
                            {"refused", true}}));
  EXPECT_EQ(steps[1], json({{"status", " Deleting C:\\Program Files\\Acme\\Writer..."}}));
  EXPECT_EQ(steps[2], json({{"action", "folder"},
                            {"target", "C:\\Program Files\\Acme\\Writer"},
                            {"refused", false}}));
  EXPECT_EQ(steps.back()["target"],
            "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
            "AcmeWriter");
  EXPECT_TRUE(Exists("C:\\Program Files\\Acme\\Writer\\writer.exe"));
  EXPECT_TRUE(UninstallEntryExists());
}

TEST_F(RemoveCommand, RemovesEveryNamedProgram) {
  ASSERT_EQ(RunCli({"remove", "Acme Writer", "Space Game"}), kExitOk) << err.str();
  EXPECT_FALSE(Exists("C:\\Program Files\\Acme\\Writer"));
  EXPECT_FALSE(Exists("C:\\Games\\Space"));
  EXPECT_TRUE(Exists("C:\\Program Files"));
  EXPECT_FALSE(UninstallEntryExists());
  EXPECT_NE(out.str().find("Removing Acme Writer (installed program):\n"), std::string::npos);
  EXPECT_NE(out.str().find("    refused program folder\tC:\\Program Files\\Common Files\n"),
            std::string::npos);
  EXPECT_NE(out.str().find("Space Game: 1 done, 0 refused\n"), std::string::npos);
}

TEST_F(RemoveCommand, AResidueKeepsItsUninstallEntry) {
  ASSERT_EQ(RunCli({"remove", "--residual", "Acme Writer"}), kExitOk) << err.str();
  EXPECT_FALSE(Exists("C:\\Program Files\\Acme\\Writer"));
  EXPECT_TRUE(UninstallEntryExists());
}

TEST_F(RemoveCommand, AnUnknownNameRemovesNothingAtAll) {
  EXPECT_EQ(RunCli({"remove", "Space Game", "Space Gam"}), kExitError);
  EXPECT_NE(err.str().find("no software in the database matches 'Space Gam'"), std::string::npos);
  EXPECT_TRUE(Exists("C:\\Games\\Space\\space.exe"));
  EXPECT_EQ(RunCli({"remove"}), kExitUsage);
  EXPECT_EQ(RunCli({"remove", " "}), kExitError);
}

}  // namespace
}  // namespace sv::cli
