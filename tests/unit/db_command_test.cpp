#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli.h"
#include "platform/fake/fake_machine.h"
#include "support/cli_fixture.h"
#include "support/db_writer.h"
#include "support/test_names.h"

namespace sv::cli {
namespace {

using Args = std::vector<std::string>;
using testing::DbSoft;

struct DbCommand : testing::CliFixture {
  void SetUp() override {
    DbSoft writer;
    writer.id = "WRITER";
    writer.name = "Acme Writer";
    writer.category = 5;
    writer.services = "AcmeSvc";
    writer.processes = "acme.exe,acmetray.exe";
    writer.installFolder = "1Acme\\Writer";
    writer.desktop = "Acme Writer";
    writer.locations = {{"HKLM{sw}\\Acme\\Writer", "InstallDir"}};
    DbSoft game;
    game.id = "GAME";
    game.name = "Space Game";
    game.category = 9;
    Put("C:\\Program Files\\Sorvane\\",
        {{"WRITER",
          {{1, "{pf}\\Acme\\Writer\\writer.exe"}, {4, "{pf}\\Acme\\Writer"}},
          {{2, "HKLM{sw}\\Acme\\Writer"}}},
         {"GAME", {}, {}}},
        {writer, game});
    machine.files.PutFile("C:\\Program Files\\Acme\\Writer\\writer.exe");
  }

  void Put(const std::string& folder, const std::vector<testing::DbEntry>& entries,
           const std::vector<DbSoft>& softs) {
    testing::PutDatabase(machine.files, folder, entries, softs);
  }

  int Db(Args args) {
    args.insert(args.begin(), "db");
    return RunCli(args);
  }
};

using testing::Plain;

struct PlainCase {
  Args args;
  int code;
  const char* out;
};

void PrintTo(const PlainCase& c, std::ostream* os) {
  *os << Plain([&] {
    std::string all;
    for (const auto& a : c.args)
      all += a + " ";
    return all;
  }());
}

class DbPlain : public DbCommand, public ::testing::WithParamInterface<PlainCase> {};

TEST_P(DbPlain, PrintsPlainLines) {
  EXPECT_EQ(Db(GetParam().args), GetParam().code) << err.str();
  EXPECT_EQ(out.str(), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Queries, DbPlain,
    ::testing::Values(
        PlainCase{
            {"version"},
            0,
            "SV.dat    2009.0213.233130 (1234567890)\nsoft.dat  2008.0707.120000 (1215432000)\n"},
        PlainCase{{"names"}, 0, "Acme Writer\nSpace Game\n"},
        PlainCase{{"names", "--category", "9"}, 0, "Space Game\n"},
        PlainCase{{"names", "--category=3"}, 0, ""}, PlainCase{{"count"}, 0, "2\n"},
        PlainCase{{"count", "--category", "5"}, 0, "1\n"},
        PlainCase{{"id", "Acme Writer 2.0"}, 0, "WRITER\n"},
        PlainCase{{"category", "space game"}, 0, "Games\n"},
        PlainCase{{"info", "Acme Writer"},
                  0,
                  "id: WRITER\nname: Acme Writer\ncategory: 5 (Application Software)\nservices: "
                  "AcmeSvc\nprocesses: acme.exe,acmetray.exe\nspare: \ninstall folder: "
                  "1Acme\\Writer\ndesktop: Acme Writer\nprograms: \nstartup: \nstart menu: "
                  "\nlocation: HKEY_LOCAL_MACHINE\\Software\\Acme\\Writer value: InstallDir\n"},
        PlainCase{{"items", "Acme Writer"},
                  0,
                  "file      C:\\Program Files\\Acme\\Writer\\writer.exe\n"
                  "directory C:\\Program Files\\Acme\\Writer\n"},
        PlainCase{{"items", "Acme Writer", "--all", "--kind", "2"},
                  0,
                  "key       HKEY_LOCAL_MACHINE\\Software\\Acme\\Writer\n"},
        PlainCase{{"items", "Space Game", "--all"}, 0, ""}, PlainCase{{"id", "Unknown"}, 1, ""},
        PlainCase{{"info", "Unknown"}, 1, ""}, PlainCase{{"items", "Unknown"}, 1, ""},
        PlainCase{{"category", "Acme"}, 1, ""}));

TEST_F(DbCommand, JsonOutputCarriesTheSameAnswers) {
  ASSERT_EQ(Db({"version", "--json"}), 0);
  auto value = nlohmann::json::parse(out.str());
  EXPECT_EQ(value["SV.dat"]["stamp"], 1234567890);
  EXPECT_EQ(value["soft.dat"]["version"], "2008.0707.120000");

  ASSERT_EQ(Db({"names", "--json"}), 0);
  EXPECT_EQ(nlohmann::json::parse(out.str()),
            nlohmann::json::parse(R"(["Acme Writer","Space Game"])"));
  ASSERT_EQ(Db({"count", "--json", "--category", "9"}), 0);
  EXPECT_EQ(nlohmann::json::parse(out.str()), nlohmann::json::parse(R"({"category":9,"count":1})"));
  ASSERT_EQ(Db({"id", "--json", "Acme Writer"}), 0);
  EXPECT_EQ(nlohmann::json::parse(out.str())["id"], "WRITER");
  ASSERT_EQ(Db({"category", "--json", "Acme Writer"}), 0);
  EXPECT_EQ(nlohmann::json::parse(out.str())["category"], "Application Software");

  ASSERT_EQ(Db({"info", "Acme Writer", "--json"}), 0);
  value = nlohmann::json::parse(out.str());
  EXPECT_EQ(value["id"], "WRITER");
  EXPECT_EQ(value["category"], 5);
  EXPECT_EQ(value["categoryName"], "Application Software");
  EXPECT_EQ(value["installFolder"], "1Acme\\Writer");
  EXPECT_EQ(value["locations"][0]["key"], "HKEY_LOCAL_MACHINE\\Software\\Acme\\Writer");
  EXPECT_EQ(value["locations"][0]["value"], "InstallDir");

  ASSERT_EQ(Db({"items", "Acme Writer", "--json", "--all"}), 0);
  value = nlohmann::json::parse(out.str());
  ASSERT_EQ(value.size(), 3u);
  EXPECT_EQ(value[2]["kind"], 2);
  EXPECT_EQ(value[2]["kindName"], "key");
  EXPECT_EQ(value[0]["path"], "C:\\Program Files\\Acme\\Writer\\writer.exe");
}

TEST_F(DbCommand, DbOptionReadsAnotherFolder) {
  machine.files.AddDrive('D');
  machine.files.PutDirectory("D:\\other");
  DbSoft only;
  only.id = "ONLY";
  only.name = "Only One";
  only.category = 2;
  Put("D:\\other\\", {{"ONLY", {}, {}}}, {only});
  EXPECT_EQ(Db({"names", "--db", "D:\\other"}), 0);
  EXPECT_EQ(out.str(), "Only One\n");
  EXPECT_EQ(Db({"count", "--db=D:\\other\\"}), 0);
  EXPECT_EQ(out.str(), "1\n");
}

TEST_F(DbCommand, MissingDatabaseFolderIsAnErrorWithTheSystemsText) {
  EXPECT_EQ(Db({"count", "--db", "C:\\nowhere"}), kExitError);
  EXPECT_EQ(err.str(), "sorvane-cli db: Cannot create file C:\\nowhere\\SV.dat\n");
  EXPECT_TRUE(out.str().empty());
}

TEST_F(DbCommand, UsageErrorsExitTwoWithTheUsageText) {
  const std::vector<Args> bad{
      {},
      {"nonsense"},
      {"names", "extra"},
      {"id"},
      {"id", "a", "b"},
      {"names", "--category", "11"},
      {"names", "--category", "x"},
      {"count", "--category", "-1"},
      {"items", "Acme Writer", "--kind", "5"},
      {"id", "Acme Writer", "--all"},  // --all belongs to items
      {"version", "--category", "1"},  // --category belongs to names and count
      {"names", "--db", ""},
  };
  for (const Args& args : bad) {
    EXPECT_EQ(Db(args), kExitUsage) << ::testing::PrintToString(args);
    EXPECT_NE(err.str().find("usage: sorvane-cli db"), std::string::npos) << err.str();
    EXPECT_TRUE(out.str().empty());
  }
}

TEST_F(DbCommand, NotFoundNamesTheProgramOnStderr) {
  EXPECT_EQ(Db({"info", "Nothing Here"}), kExitError);
  EXPECT_EQ(err.str(), "sorvane-cli db: no software in the database matches 'Nothing Here'\n");
}

TEST_F(DbCommand, HelpListsTheDbCommand) {
  out.str("");
  EXPECT_EQ(cli::Run(context, Args{"help"}), 0);
  EXPECT_NE(out.str().find("db QUERY"), std::string::npos);
}

}  // namespace
}  // namespace sv::cli
