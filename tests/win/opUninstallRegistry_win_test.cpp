// TURegistryOp on the real registry of the Wine prefix. Every test makes its own keys and
// values under names no other run uses, and removes exactly those afterwards.
#include <windows.h>
//
#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/text.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_platform.h"
#include "registry/opUninstallRegistry.h"
#include "support/icon_lists.h"
#include "support/trees.h"

namespace sv::registry {
namespace {

using platform::Hive;
using platform::KeyAccess;
using Texts = std::vector<std::string>;

constexpr const char* kUninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kWowUninstall =
    "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class RealRegistry : public ::testing::Test {
 protected:
  ~RealRegistry() override {
    auto& registry = machine_.Get().registry;
    for (auto it = createdKeys_.rbegin(); it != createdKeys_.rend(); ++it)
      testing::RemoveKeyTree(registry, it->first, it->second);
    for (const auto& [hive, key, value] : createdValues_) {
      if (auto open = registry.OpenKey(hive, key, KeyAccess::AllAccess)) {
        (void)open->DeleteValue(value);
      }
    }
  }

  // Makes a key of this test's own (removed with its tree afterwards) with text values.
  void Make(Hive hive, const std::string& path,
            const std::vector<std::pair<std::string, std::string>>& values = {}) {
    auto key = machine_.Get().registry.CreateKey(hive, path);
    ASSERT_TRUE(key) << path;
    createdKeys_.emplace_back(hive, path);
    for (const auto& [name, text] : values)
      ASSERT_EQ(key->SetStringValue(name, text), platform::kSuccess) << path << " " << name;
  }

  // Sets a value of this test's own in a key that may belong to the system.
  void MakeValue(Hive hive, const std::string& path, const std::string& name,
                 const std::string& text) {
    auto key = machine_.Get().registry.CreateKey(hive, path);
    ASSERT_TRUE(key) << path;
    createdValues_.push_back({hive, path, name});
    ASSERT_EQ(key->SetStringValue(name, text), platform::kSuccess);
  }

  bool Exists(Hive hive, const std::string& path) {
    return machine_.Get().registry.OpenKey(hive, path, KeyAccess::Read) != nullptr;
  }

  bool HasValue(Hive hive, const std::string& path, const std::string& name) {
    auto key = machine_.Get().registry.OpenKey(hive, path, KeyAccess::Read);
    return key && key->QueryValue(name);
  }

  win32::Win32Platform machine_;
  TURegistryOp op_{machine_.Get()};
  const std::string stamp_ = testing::UniqueStamp();

 private:
  struct Value {
    Hive hive;
    std::string key;
    std::string name;
  };
  std::vector<std::pair<Hive, std::string>> createdKeys_;
  std::vector<Value> createdValues_;
};

std::size_t IndexOf(const Texts& texts, const std::string& text) {
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (texts[i] == text) return i;
  }
  return texts.size();
}

TEST_F(RealRegistry, InventoryOfBothHivesAndThe32BitView) {
  const std::string name = "SvTest " + stamp_;
  Make(Hive::LocalMachine, std::string(kUninstall) + "\\SvM-" + stamp_,
       {{"DisplayName", name + " machine"}, {"UninstallString", "C:\\x\\uninst.exe"}});
  Make(Hive::LocalMachine, std::string(kWowUninstall) + "\\SvW-" + stamp_,
       {{"DisplayName", name + " 32-bit"}, {"InstallDate", "20080115"}});
  Make(Hive::CurrentUser, std::string(kUninstall) + "\\SvU-" + stamp_,
       {{"DisplayName", "  " + name + " user  "}, {"Publisher", "Acme"}});

  Texts names, keys;
  op_.ListInstalledPrograms(names, keys, false);
  ASSERT_EQ(names.size(), keys.size());
  const std::size_t machine = IndexOf(names, name + " machine");
  const std::size_t wow = IndexOf(names, name + " 32-bit");
  const std::size_t user = IndexOf(names, name + " user");
  ASSERT_LT(machine, names.size());
  ASSERT_LT(user, names.size());
  EXPECT_EQ(keys[machine], "HKEY_LOCAL_MACHINE\\" + std::string(kUninstall) + "\\SvM-" + stamp_);
  EXPECT_EQ(keys[user], "HKEY_CURRENT_USER\\" + std::string(kUninstall) + "\\SvU-" + stamp_);
  if (sizeof(void*) == 8) {
    ASSERT_LT(wow, names.size());
    EXPECT_LT(machine, wow);
    EXPECT_LT(wow, user);
    EXPECT_EQ(keys[wow], "HKEY_LOCAL_MACHINE\\" + std::string(kWowUninstall) + "\\SvW-" + stamp_);
    // Every later operation works on the 32-bit entry through its full key path.
    const TUNINSTALL_DES entry = op_.ReadUninstallEntry(name + " 32-bit", 0);
    EXPECT_EQ(entry.KeyName, "SvW-" + stamp_);
    EXPECT_EQ(entry.InstallDate, "Jan 15,2008");
    EXPECT_TRUE(op_.DeleteUninstallEntry(name + " 32-bit"));
    EXPECT_FALSE(Exists(Hive::LocalMachine, std::string(kWowUninstall) + "\\SvW-" + stamp_));
  }

  EXPECT_EQ(op_.FindUninstallKey(name + " user"), keys[user]);
  EXPECT_EQ(op_.ReadUninstallEntry(name + " user", 3).Publisher, "Acme");
  EXPECT_EQ(op_.FindUninstallKey(name + " USER"), "");

  testing::RecordingIconList small, big;
  Texts summary;
  EXPECT_EQ(op_.ReadProgramSummary(keys[user], small, summary, big), 0);  // no UninstallString
  EXPECT_EQ(op_.ReadProgramSummary(keys[machine], small, summary, big), 4);
  EXPECT_EQ(summary[0], name + " machine");
}

TEST_F(RealRegistry, SummaryTakesTheIconOfTheNamedFile) {
  wchar_t temp[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
  const std::string file =
      win32::Narrow(std::wstring(temp, length)) + "sv-icons-" + stamp_ + ".exe";
  auto& files = machine_.Get().files;
  const std::string self = machine_.Get().system.ExecutablePath();
  const auto bytes =
      platform::ReadWholeFile(files, self.substr(0, self.rfind('\\')) + "\\sv_fixture_icons.exe");
  ASSERT_TRUE(bytes);
  ASSERT_EQ(platform::WriteWholeFile(files, file, *bytes), platform::kSuccess);
  const std::string key = std::string(kUninstall) + "\\SvIcon-" + stamp_;
  Make(Hive::CurrentUser, key,
       {{"DisplayName", "x"}, {"UninstallString", "x"}, {"DisplayIcon", file + ",1"}});

  testing::RecordingIconList small, big;
  Texts summary;
  EXPECT_EQ(op_.ReadProgramSummary("HKEY_CURRENT_USER\\" + key, small, summary, big), 4);
  EXPECT_EQ(summary[3], "0");
  EXPECT_EQ(big.entries.size(), 1u);
  EXPECT_EQ(small.entries.size(), 1u);
  (void)files.RemoveFile(file);
}

TEST_F(RealRegistry, InstallerKeysSeenThroughTheClassesRootAndTheMachinesClasses) {
  const std::string code =
      "5AFE" + std::to_string(::GetCurrentProcessId()) + "C0DE" + std::to_string(::GetTickCount());
  const std::string product = "SvTest Product " + stamp_;
  const std::string classes = "Software\\Classes\\Installer";
  const std::string userData =
      "Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18";
  Make(Hive::LocalMachine, classes + "\\Products\\" + code, {{"ProductName", product + " 2.0"}});
  Make(Hive::LocalMachine, classes + "\\Features\\" + code, {{"Main", ""}});
  Make(Hive::LocalMachine, classes + "\\UpgradeCodes\\UC" + code, {{code, ""}});
  Make(Hive::LocalMachine, userData + "\\Components\\CO" + code,
       {{code, "C:\\x.dll"}, {"OTHERPRODUCT", "C:\\y.dll"}});

  Texts keys;
  std::string found;
  op_.FindInstallerProducts(product, keys, found);
  EXPECT_EQ(found, code);
  EXPECT_EQ(keys, (Texts{"HKEY_CLASSES_ROOT\\Installer\\Products\\" + code,
                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Installer\\Products\\" + code}));
  EXPECT_EQ(op_.FindInstallerFeatures(code, keys), 2);
  EXPECT_EQ(keys[0], "HKEY_CLASSES_ROOT\\Installer\\Features\\" + code);
  EXPECT_EQ(op_.FindInstallerUpgradeCodes(code, keys), 2);
  EXPECT_EQ(keys[1], "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Installer\\UpgradeCodes\\UC" + code);
  Texts components;
  EXPECT_EQ(op_.FindInstallerComponents(code, components), 1);

  // The removal deletes each path; the second name of the same key finds it gone.
  op_.FindInstallerProducts(product, keys, found);
  EXPECT_TRUE(op_.DeleteRegistryItem(keys[0], kItemKey));
  EXPECT_FALSE(op_.DeleteRegistryItem(keys[1], kItemKey));
  EXPECT_TRUE(op_.DeleteRegistryItem(components[0], kItemKey));
  EXPECT_FALSE(Exists(Hive::LocalMachine, classes + "\\Products\\" + code));
  EXPECT_FALSE(Exists(Hive::LocalMachine, userData + "\\Components\\CO" + code));
}

TEST_F(RealRegistry, ComClassesWithInProcessAndLocalServers) {
  const std::string id = "{5AFE" + stamp_ + "}";
  const std::string folder = "C:\\SvTest" + stamp_ + "\\Acme";
  const std::string clsid = "Software\\Classes\\CLSID\\";
  // The tops first, so that each tree goes away as a whole afterwards.
  for (const char* suffix : {"-1", "-2", "-3"})
    Make(Hive::LocalMachine, clsid + id + suffix);
  Make(Hive::LocalMachine, "Software\\Classes\\TypeLib\\" + id + "-LIB");
  Make(Hive::LocalMachine, "Software\\Classes\\Interface\\" + id + "-I");
  Make(Hive::LocalMachine, clsid + id + "-1\\InprocServer32", {{"", folder + "\\a.dll"}});
  Make(Hive::LocalMachine, clsid + id + "-1\\Typelib", {{"", id + "-LIB"}});
  Make(Hive::LocalMachine, clsid + id + "-2\\LocalServer32",
       {{"", "\"" + folder + "\\b.exe\" /automation"}});
  Make(Hive::LocalMachine, clsid + id + "-3\\InprocServer32", {{"", folder + " Tools\\c.dll"}});
  Make(Hive::LocalMachine, "Software\\Classes\\TypeLib\\" + id + "-LIB\\1.0");
  Make(Hive::LocalMachine, "Software\\Classes\\Interface\\" + id + "-I\\TypeLib",
       {{"", id + "-LIB"}});

  Texts libraries, keys;
  EXPECT_EQ(op_.FindComClasses({LowerAscii(folder)}, libraries, keys), 4);
  EXPECT_EQ(keys, (Texts{"HKEY_CLASSES_ROOT\\CLSID\\" + id + "-1",
                         "HKEY_CLASSES_ROOT\\CLSID\\" + id + "-2",
                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\" + id + "-1",
                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\" + id + "-2"}));
  EXPECT_EQ(libraries, Texts{id + "-LIB"});
  EXPECT_EQ(op_.FindTypeLibraries(libraries, keys), 2);
  EXPECT_EQ(keys[0], "HKEY_CLASSES_ROOT\\TypeLib\\" + id + "-LIB");
  EXPECT_EQ(op_.FindInterfaces(libraries, keys), 2);
  EXPECT_EQ(keys, (Texts{"HKEY_CLASSES_ROOT\\Interface\\" + id + "-I",
                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Interface\\" + id + "-I"}));
}

TEST_F(RealRegistry, FirewallAndMuiCacheEntriesAreFoundAndDeletedOneByOne) {
  const std::string folder = "C:\\SvTest" + stamp_ + "\\Acme";
  const std::string firewall =
      "SYSTEM\\ControlSet001\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\"
      "StandardProfile\\AuthorizedApplications\\List";
  const std::string muiCache = "Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache";
  MakeValue(Hive::LocalMachine, firewall, folder + "\\a.exe", folder + "\\a.exe:*:Enabled:Acme");
  MakeValue(Hive::LocalMachine, firewall, folder + " Tools\\t.exe", "x");
  MakeValue(Hive::CurrentUser, muiCache, folder + "\\a.exe", "Acme");

  std::vector<RegistryValueRef> entries;
  const Texts folders{LowerAscii(folder)};
  EXPECT_EQ(op_.FindFolderListEntries(folders, entries, 3), 1);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].keyPath, "HKEY_LOCAL_MACHINE\\" + firewall);
  EXPECT_EQ(entries[0].valueName, folder + "\\a.exe");

  EXPECT_TRUE(op_.DeleteRegistryValue(entries[0].keyPath, entries[0].valueName));
  EXPECT_FALSE(HasValue(Hive::LocalMachine, firewall, folder + "\\a.exe"));
  EXPECT_TRUE(HasValue(Hive::LocalMachine, firewall, folder + " Tools\\t.exe"));

  EXPECT_EQ(op_.FindFolderListEntries(folders, entries, 7), 1);
  EXPECT_TRUE(op_.DeleteRegistryValue(entries.at(0).keyPath, entries.at(0).valueName));
  EXPECT_FALSE(HasValue(Hive::CurrentUser, muiCache, folder + "\\a.exe"));
}

TEST_F(RealRegistry, ServiceKeysInTheControlSets) {
  const std::string service = "SvTestSvc" + stamp_;
  // Wine keeps the current control set as a key of its own, not a link to ControlSet001.
  Make(Hive::LocalMachine, "SYSTEM\\ControlSet001\\Services\\" + service);
  Make(Hive::LocalMachine, "SYSTEM\\ControlSet001\\Services\\" + service + "\\Parameters",
       {{"x", "y"}});
  EXPECT_FALSE(Exists(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\" + service));
  Make(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\" + service);
  EXPECT_TRUE(op_.DeleteServiceKeys(service));
  EXPECT_FALSE(Exists(Hive::LocalMachine, "SYSTEM\\ControlSet001\\Services\\" + service));
  EXPECT_FALSE(Exists(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\" + service));
  EXPECT_FALSE(op_.DeleteServiceKeys(service));
  EXPECT_FALSE(op_.DeleteServiceKeys(" "));
  EXPECT_TRUE(Exists(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services"));
}

TEST_F(RealRegistry, RunValueIsAStringWithItsTerminator) {
  const std::string name = "SvTestRun" + stamp_;
  const std::string path = "C:\\Program Files\\Sorvane\\Sorvane.exe";
  op_.SetRunValue(name, path);
  {
    win32::RegKey key;
    ASSERT_EQ(
        ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, win32::Widen(kRun).c_str(), 0, KEY_READ, key.Receive()),
        ERROR_SUCCESS);
    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(
        ::RegQueryValueExW(key.Get(), win32::Widen(name).c_str(), nullptr, &type, nullptr, &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, (path.size() + 1) * sizeof(wchar_t));
  }
  op_.DeleteRunValue(name);
  EXPECT_FALSE(HasValue(Hive::LocalMachine, kRun, name));
  EXPECT_NO_THROW(op_.DeleteRunValue(name));
}

TEST_F(RealRegistry, TracesOfAnInstalledProgramAreFoundAndDeleted) {
  const std::string name = "SvTest Traces " + stamp_;
  const std::string keyName = "SvT-" + stamp_;
  const std::string location = "C:\\SvTest" + stamp_ + "\\Acme";
  const std::string appPaths = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
  const std::string vendor = "Software\\SvTestVendor" + stamp_;
  Make(Hive::LocalMachine, std::string(kUninstall) + "\\" + keyName,
       {{"DisplayName", name}, {"InstallLocation", location}});
  Make(Hive::LocalMachine, appPaths + "\\svtest" + stamp_ + ".exe", {{"Path", location}});
  MakeValue(Hive::LocalMachine, kRun, "SvTestTray" + stamp_, "\"" + location + "\\tray.exe\"");
  Make(Hive::LocalMachine, vendor + "\\" + name + "\\Settings");
  Make(Hive::LocalMachine, vendor);

  Texts traces;
  EXPECT_EQ(op_.FindProgramTraces(name, traces), 3);
  const std::string lm = "HKEY_LOCAL_MACHINE\\";
  EXPECT_EQ(traces, (Texts{"2" + lm +
                               "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\"
                               "svtest" +
                               stamp_ + ".exe",
                           "3" + lm + kRun + "\\SvTestTray" + stamp_,
                           "2" + lm + "SOFTWARE\\SvTestVendor" + stamp_ + "\\" + name}));
  for (const std::string& trace : traces)
    EXPECT_TRUE(op_.DeleteRegistryItem(trace.substr(1), trace.front() - '0')) << trace;
  EXPECT_FALSE(Exists(Hive::LocalMachine, vendor + "\\" + name));
  EXPECT_TRUE(Exists(Hive::LocalMachine, vendor));
  EXPECT_FALSE(HasValue(Hive::LocalMachine, kRun, "SvTestTray" + stamp_));
  EXPECT_TRUE(op_.DeleteUninstallEntry(name));
  EXPECT_EQ(op_.FindProgramTraces(name, traces), 0);
}

TEST(RealLocale, MonthNamesAreTheOnesTheSystemFormatsDatesWith) {
  win32::Win32Platform machine;
  for (WORD month = 1; month <= 12; ++month) {
    SYSTEMTIME date{};
    date.wYear = 2008;
    date.wMonth = month;
    date.wDay = 15;
    wchar_t text[64] = {};
    ASSERT_GT(::GetDateFormatW(LOCALE_USER_DEFAULT, 0, &date, L"MMM", text, 64), 0);
    EXPECT_EQ(machine.Get().system.ShortMonthName(month), win32::Narrow(text)) << month;
  }
}

// --- sorvane-cli inspect, run as its own process ---

std::string RunCli(const std::string& arguments, DWORD* exitCode) {
  win32::Win32Platform machine;
  const std::string self = machine.Get().system.ExecutablePath();
  const std::string folder = self.substr(0, self.rfind('\\'));
  const std::string output = folder + "\\sv-cli-out-" + testing::UniqueStamp() + ".txt";

  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  std::string text;
  {
    win32::FileHandle file(::CreateFileW(win32::Widen(output).c_str(), GENERIC_WRITE,
                                         FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return "cannot create " + output;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = file.Get();
    startup.hStdError = file.Get();
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    std::wstring command = win32::Widen("\"" + folder + "\\sorvane-cli.exe\" " + arguments);
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &started)) {
      return "cannot start sorvane-cli";
    }
    win32::KernelHandle process(started.hProcess);
    win32::KernelHandle thread(started.hThread);
    ::WaitForSingleObject(process.Get(), 120000);
    ::GetExitCodeProcess(process.Get(), exitCode);
  }
  text = platform::ReadWholeFile(machine.Get().files, output).value_or("");
  (void)machine.Get().files.RemoveFile(output);
  return text;
}

TEST_F(RealRegistry, InspectCommandsEndToEnd) {
  const std::string name = "SvTest Cli " + stamp_;
  const std::string location = "C:\\SvTest" + stamp_ + "\\Cli";
  Make(Hive::CurrentUser, std::string(kUninstall) + "\\SvC-" + stamp_,
       {{"DisplayName", name},
        {"UninstallString", "C:\\none\\uninst.exe"},
        {"InstallDate", "20080115"},
        {"InstallLocation", location}});
  Make(Hive::CurrentUser, "Software\\" + name);

  DWORD code = 99;
  const std::string record = RunCli("inspect uninstall \"" + name + "\" --json", &code);
  EXPECT_EQ(code, 0u) << record;
  const auto parsed = nlohmann::json::parse(record, nullptr, false);
  ASSERT_FALSE(parsed.is_discarded()) << record;
  EXPECT_EQ(parsed["found"], true);
  EXPECT_EQ(parsed["KeyName"], "SvC-" + stamp_);
  EXPECT_EQ(parsed["InstallDate"], "Jan 15,2008");
  EXPECT_EQ(parsed["InstallLocation"], location);

  const std::string installed = RunCli("inspect installed", &code);
  EXPECT_EQ(code, 0u);
  EXPECT_NE(installed.find(name + "\tHKEY_CURRENT_USER\\" + kUninstall + "\\SvC-" + stamp_ +
                           "\tJan 15,2008\t"),
            std::string::npos)
      << installed;

  const std::string traces = RunCli("inspect traces \"" + name + "\"", &code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(traces, "2HKEY_CURRENT_USER\\SOFTWARE\\" + name + "\r\n") << traces;
  // Looking deleted nothing.
  EXPECT_TRUE(Exists(Hive::CurrentUser, "Software\\" + name));

  EXPECT_NE(RunCli("inspect uninstall", &code).find("usage: sorvane-cli inspect"),
            std::string::npos);
  EXPECT_EQ(code, 2u);
}

}  // namespace
}  // namespace sv::registry
