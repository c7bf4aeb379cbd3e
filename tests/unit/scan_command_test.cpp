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

constexpr const char* kUninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

struct ScanCommand : testing::CliFixture {
  void SetUp() override {
    DbSoft writer;
    writer.id = "WRITER";
    writer.name = "Acme Writer";
    writer.category = 5;
    writer.desktop = "Acme Writer.lnk";
    DbSoft game;
    game.id = "GAME";
    game.name = "Space Game";
    game.category = 9;
    testing::PutDatabase(machine.files, "C:\\Program Files\\Sorvane\\",
                         {{"WRITER", {{1, "{pf}\\Acme\\Writer\\writer.exe"}}, {}},
                          {"GAME", {{4, "C:\\Games\\Space"}, {4, "{w}\\Space"}}, {}}},
                         {writer, game});
    machine.files.PutFile("C:\\Program Files\\Acme\\Writer\\writer.exe");
    machine.files.PutFile("C:\\users\\root\\Desktop\\Acme Writer.lnk");
    machine.files.PutDirectory("C:\\Games\\Space");
    PutProgram("a1", "Unknown Tool", "Nobody Ltd");
    PutProgram("a2", "Acme Writer 5", "Acme");
  }

  void PutProgram(const std::string& subKey, const std::string& name,
                  const std::string& publisher) {
    auto key = machine.registry.CreateKey(platform::Hive::LocalMachine,
                                          std::string(kUninstall) + "\\" + subKey);
    key->SetValue("DisplayName", platform::StringValue(name));
    key->SetValue("UninstallString", platform::StringValue("C:\\x\\uninst.exe"));
    key->SetValue("Publisher", platform::StringValue(publisher));
  }

  int Cli(Args args) { return RunCli(std::move(args)); }
};

TEST_F(ScanCommand, JsonGivesBothListsInWindowOrderWithTheCount) {
  ASSERT_EQ(Cli({"scan", "--json"}), kExitOk) << err.str();
  const json result = json::parse(out.str());
  ASSERT_EQ(result["installed"].size(), 2u);
  EXPECT_EQ(result["installed"][0]["name"], "Acme Writer 5");
  EXPECT_EQ(result["installed"][0]["state"], "Supported");
  EXPECT_EQ(result["installed"][0]["no"], "2");
  EXPECT_EQ(result["installed"][0]["publisher"], "Acme");
  EXPECT_EQ(result["installed"][1]["name"], "Unknown Tool");
  EXPECT_EQ(result["installed"][1]["state"], "Unsupported");
  ASSERT_EQ(result["residues"].size(), 1u);
  EXPECT_EQ(result["residues"][0]["name"], "Space Game");
  EXPECT_EQ(result["residues"][0]["description"], "Games");
  EXPECT_EQ(result["supported"], 1);
  EXPECT_EQ(result["residueCount"], 1);
  EXPECT_EQ(result["label"], "2  Software");
  EXPECT_EQ(result["page"], "pgResults");
}

TEST_F(ScanCommand, HideUnsupportedAndPlainOutput) {
  ASSERT_EQ(Cli({"scan", "--hide-unsupported"}), kExitOk) << err.str();
  EXPECT_EQ(out.str(),
            "Installed software (No, Software Name, State, Install Date, Publisher):\n"
            "1\tAcme Writer 5\tSupported\t\tAcme\n"
            "Residues (No, Software Name, description):\n"
            "1\tSpace Game\tGames\n"
            "Scan Result: 2  Software\n");
}

TEST_F(ScanCommand, ReadsTheDatabaseNamedByTheOption) {
  DbSoft other;
  other.id = "TOOL";
  other.name = "Unknown Tool";
  testing::PutDatabase(machine.files, "C:\\db\\", {{"TOOL", {}, {}}}, {other});
  ASSERT_EQ(Cli({"scan", "--json", "--db", "C:\\db"}), kExitOk) << err.str();
  const json result = json::parse(out.str());
  EXPECT_EQ(result["supported"], 1);
  EXPECT_EQ(result["installed"][0]["name"], "Unknown Tool");
  EXPECT_TRUE(result["residues"].empty());
}

TEST_F(ScanCommand, FailuresAndMisuseGiveTheirExitCodes) {
  machine.faults.Inject(fake::Op::OpenFile, "C:\\Program Files\\Sorvane\\SV.dat",
                        platform::kErrorAccessDenied);
  EXPECT_EQ(Cli({"scan"}), kExitError);
  EXPECT_NE(err.str().find("Cannot open file C:\\Program Files\\Sorvane\\SV.dat"),
            std::string::npos);
  machine.faults.Clear();
  EXPECT_EQ(Cli({"scan", "extra"}), kExitUsage);
  EXPECT_EQ(Cli({"detail"}), kExitUsage);
  EXPECT_EQ(Cli({"scan", "--db", " "}), kExitUsage);
}

TEST_F(ScanCommand, DetailListsWhatTheDetailPageShows) {
  ASSERT_EQ(Cli({"detail", "Acme Writer", "--json"}), kExitOk) << err.str();
  const json result = json::parse(out.str());
  EXPECT_EQ(result["name"], "Acme Writer");
  EXPECT_TRUE(result["registry"].empty());
  ASSERT_EQ(result["files"].size(), 2u);
  EXPECT_EQ(result["files"][0], (json{{"no", "1"},
                                      {"path", "C:\\Program Files\\Acme\\Writer\\writer.exe"},
                                      {"type", "File"}}));
  EXPECT_EQ(result["files"][1], (json{{"no", "2"},
                                      {"path", "C:\\users\\root\\Desktop\\Acme Writer.lnk"},
                                      {"type", "Shortcut"}}));
  EXPECT_EQ(result["page"], "pgDetail");

  ASSERT_EQ(Cli({"detail", "Space Game"}), kExitOk);
  EXPECT_EQ(out.str(),
            "Registry information (No, Registry Key, Type):\n"
            "File information (No, File Name, Type):\n"
            "1\tC:\\Games\\Space\tDirectory\n");
}

// The whole plan: what the detail page leaves out (refusals, with their reasons) included.
TEST_F(ScanCommand, DetailAllShowsTheWholePlanWithRefusals) {
  machine.files.PutFile("C:\\windows\\Space\\cache.bin");
  machine.files.PutFile("C:\\Games\\Space\\space.exe");
  ASSERT_EQ(Cli({"detail", "Space Game", "--all", "--json"}), kExitOk) << err.str();
  const json result = json::parse(out.str());
  ASSERT_TRUE(result.contains("plan")) << out.str();
  const json& plan = result["plan"];
  const auto find = [&](const std::string& target) {
    for (const json& item : plan) {
      if (item["target"] == target) return item;
    }
    return json();
  };
  const json games = find("C:\\Games\\Space");
  ASSERT_TRUE(games.is_object()) << plan.dump(1);
  EXPECT_TRUE(games["allowed"]);
  EXPECT_EQ(games["contents"], json::array({{{"path", "c:\\games\\space\\space.exe"},
                                              {"folder", false}}}));
  EXPECT_FALSE(games["evidence"].get<std::string>().empty());
  const json windows = find("C:\\windows\\Space");
  ASSERT_TRUE(windows.is_object()) << plan.dump(1);
  EXPECT_FALSE(windows["allowed"]);
  EXPECT_NE(windows["reason"].get<std::string>().find("Windows folder"), std::string::npos);
  // The rows of the detail page do not change with --all.
  EXPECT_EQ(result["files"].size(), 1u);
}

TEST_F(ScanCommand, DetailOfAnUnknownNameIsAnError) {
  EXPECT_EQ(Cli({"detail", "Nobody"}), kExitError);
  EXPECT_NE(err.str().find("no software in the database matches 'Nobody'"), std::string::npos);
  EXPECT_EQ(Cli({"detail", " "}), kExitError);
}

}  // namespace
}  // namespace sv::cli
