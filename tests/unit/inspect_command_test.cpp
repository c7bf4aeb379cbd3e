#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/fake/fake_machine.h"

namespace sv::cli {
namespace {

using platform::Hive;
using Args = std::vector<std::string>;
using nlohmann::json;

constexpr const char* kUninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kFirewall =
    "SYSTEM\\ControlSet001\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\StandardProfile\\"
    "AuthorizedApplications\\List";

class InspectCommand : public ::testing::Test {
 protected:
  InspectCommand() {
    machine.files.PutFile(machine.system.executablePath, "MZ");
    machine.files.PutIcons(machine.system.executablePath, 1);
    machine.files.PutDirectory("C:\\Program Files\\Acme");
    Set(Hive::LocalMachine, std::string(kUninstall) + "\\AcmeKey",
        {{"DisplayName", "Acme Tools"},
         {"UninstallString", "C:\\Program Files\\Acme\\uninst.exe"},
         {"InstallDate", "20080115"},
         {"Publisher", "Acme Inc."},
         {"InstallLocation", "C:\\Program Files\\Acme"}});
    Set(Hive::LocalMachine, "SOFTWARE\\Acme Tools", {{"Path", "C:\\Program Files\\Acme\\a.exe"}});
    Set(Hive::LocalMachine, "Software\\Classes\\CLSID\\{A}\\InprocServer32",
        {{"", "C:\\Program Files\\Acme\\a.dll"}});
    Set(Hive::LocalMachine, "Software\\Classes\\CLSID\\{A}\\Typelib", {{"", "{LIB}"}});
    Set(Hive::LocalMachine, "Software\\Classes\\TypeLib\\{LIB}", {});
    Set(Hive::LocalMachine, "Software\\Classes\\Installer\\Products\\CODE1",
        {{"ProductName", "Acme Tools"}});
    Set(Hive::LocalMachine, "Software\\Classes\\Installer\\Features\\CODE1", {});
    Set(Hive::LocalMachine, kFirewall, {{"C:\\Program Files\\Acme\\a.exe", "x"}});
  }

  void Set(Hive hive, const std::string& path,
           const std::vector<std::pair<std::string, std::string>>& values) {
    auto key = machine.registry.CreateKey(hive, path);
    ASSERT_TRUE(key);
    for (const auto& [name, text] : values)
      key->SetStringValue(name, text);
  }

  int RunWith(Args args) {
    out.str("");
    err.str("");
    args.insert(args.begin(), "inspect");
    return cli::Run(context, args);
  }

  json Json(Args args) {
    args.push_back("--json");
    EXPECT_EQ(RunWith(args), kExitOk) << err.str();
    return json::parse(out.str());
  }

  fake::FakeMachine machine{fake::FakeMachine::Layout::Standard};
  platform::Platform platform = machine.Get();
  std::ostringstream out;
  std::ostringstream err;
  Context context{platform, out, err};
};

TEST_F(InspectCommand, InstalledListsNamesKeysAndSummaries) {
  ASSERT_EQ(RunWith({"installed"}), kExitOk) << err.str();
  EXPECT_EQ(out.str(), "Acme Tools\tHKEY_LOCAL_MACHINE\\" + std::string(kUninstall) +
                           "\\AcmeKey\tJan 15,2008\tAcme Inc.\t1\n");
  const json all = Json({"installed", "--hotfixes"});
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0]["name"], "Acme Tools");
  EXPECT_EQ(all[0]["summary"]["installDate"], "Jan 15,2008");
  EXPECT_EQ(all[0]["summary"]["icon"], 1);
}

TEST_F(InspectCommand, UninstallShowsTheRecord) {
  const json record = Json({"uninstall", "Acme Tools"});
  EXPECT_EQ(record["found"], true);
  EXPECT_EQ(record["KeyName"], "AcmeKey");
  EXPECT_EQ(record["InstallLocation"], "C:\\Program Files\\Acme");
  EXPECT_EQ(Json({"uninstall", "Nothing"})["found"], false);
  ASSERT_EQ(RunWith({"uninstall", "Acme Tools"}), kExitOk);
  EXPECT_NE(out.str().find("Publisher: Acme Inc.\n"), std::string::npos);
}

TEST_F(InspectCommand, InstallerComTracesFoldersAndLists) {
  const json installer = Json({"installer", "acme"});
  EXPECT_EQ(installer["productCode"], "CODE1");
  EXPECT_EQ(installer["features"].size(), 2u);  // seen through the classes root and directly

  const json com = Json({"com", "C:\\Program Files\\Acme"});
  EXPECT_EQ(com["classes"].size(), 2u);
  EXPECT_EQ(com["typeLibraries"], json::array({"{LIB}"}));
  EXPECT_EQ(com["typeLibraryKeys"].size(), 2u);

  const json traces = Json({"traces", "Acme Tools"});
  ASSERT_EQ(traces.size(), 1u);
  EXPECT_EQ(traces[0]["kind"], 2);
  EXPECT_EQ(traces[0]["path"], "HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme Tools");

  const json folders = Json({"folders", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme Tools", "Path"});
  EXPECT_EQ(folders, json::array({"c:\\program files\\acme"}));

  const json lists = Json({"lists", "c:\\program files\\acme"});
  ASSERT_EQ(lists.size(), 1u);
  EXPECT_EQ(lists[0]["list"], 3);
  EXPECT_EQ(lists[0]["value"], "C:\\Program Files\\Acme\\a.exe");

  // Nothing was deleted by looking.
  EXPECT_TRUE(machine.registry.OpenKey(Hive::LocalMachine, "SOFTWARE\\Acme Tools",
                                       platform::KeyAccess::Read));
  auto firewall =
      machine.registry.OpenKey(Hive::LocalMachine, kFirewall, platform::KeyAccess::Read);
  ASSERT_TRUE(firewall);
  EXPECT_TRUE(firewall->QueryValue("C:\\Program Files\\Acme\\a.exe"));
}

TEST_F(InspectCommand, PlainOutputs) {
  ASSERT_EQ(RunWith({"traces", "Acme Tools"}), kExitOk);
  EXPECT_EQ(out.str(), "2HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme Tools\n");
  ASSERT_EQ(RunWith({"lists", "c:\\program files\\acme"}), kExitOk);
  EXPECT_EQ(out.str(), "3\tHKEY_LOCAL_MACHINE\\" + std::string(kFirewall) +
                           "\tC:\\Program Files\\Acme\\a.exe\n");
  ASSERT_EQ(RunWith({"installer", "Nothing"}), kExitOk);
  EXPECT_EQ(out.str(), "products:\nproduct code: \nfeatures:\nupgrade codes:\ncomponents:\n");
}

TEST_F(InspectCommand, BadCommandLinesAreUsageErrors) {
  const std::vector<Args> bad{
      {},
      {"everything"},
      {"uninstall"},
      {"uninstall", "a", "b"},
      {"com"},
      {"lists"},
      {"folders", "HKEY_LOCAL_MACHINE\\SOFTWARE"},
      {"traces", "x", "--hotfixes"},
      {"installed", "--force"},
  };
  for (const Args& args : bad) {
    EXPECT_EQ(RunWith(args), kExitUsage) << (args.empty() ? "" : args.front());
    EXPECT_NE(err.str().find("usage: sorvane-cli inspect"), std::string::npos);
  }
}

}  // namespace
}  // namespace sv::cli
