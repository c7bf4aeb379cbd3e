#include "registry/opUninstallRegistry.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/error.h"
#include "platform/fake/fake_machine.h"
#include "support/icon_lists.h"

namespace sv::registry {
namespace {

using platform::Hive;
using platform::KeyAccess;
using platform::RegValue;
using testing::RecordingIconList;
using Texts = std::vector<std::string>;
using Values = std::vector<std::pair<std::string, RegValue>>;

constexpr const char* kUninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kWowUninstall =
    "Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kOwnExe = "C:\\Program Files\\Sorvane\\Sorvane.exe";

RegValue Sz(std::string_view text) {
  return platform::StringValue(text);
}

class RegistryOpTest : public ::testing::Test {
 protected:
  RegistryOpTest() {
    machine.files.PutFile(kOwnExe, "MZ");
    machine.files.PutIcons(kOwnExe, 1);
  }

  // Makes the key with the given values (texts or any type).
  void Put(Hive hive, const std::string& path, const Values& values = {}) {
    auto key = machine.registry.CreateKey(hive, path);
    ASSERT_TRUE(key) << path;
    for (const auto& [name, value] : values)
      ASSERT_EQ(key->SetValue(name, value), platform::kSuccess) << path << " " << name;
  }

  void PutProgram(Hive hive, const std::string& subKey, const Values& values,
                  const char* uninstall = kUninstall) {
    Put(hive, std::string(uninstall) + "\\" + subKey, values);
  }

  bool Exists(Hive hive, const std::string& path) {
    return machine.registry.OpenKey(hive, path, KeyAccess::Read) != nullptr;
  }

  bool HasValue(Hive hive, const std::string& path, const std::string& name) {
    auto key = machine.registry.OpenKey(hive, path, KeyAccess::Read);
    return key && key->QueryValue(name);
  }

  fake::FakeMachine machine{fake::FakeMachine::Layout::Standard};
  TURegistryOp op{machine.Get()};
};

// --- Foundation ---

TEST(RootKeyOfPath, PicksTheHiveByTheTextBeforeTheFirstBackslash) {
  const std::vector<std::pair<std::string, Hive>> cases = {
      {"HKEY_LOCAL_MACHINE\\Software", Hive::LocalMachine},
      {"hkey_local_machine\\Software", Hive::LocalMachine},
      {"HKEY_CURRENT_USER\\Software\\Acme", Hive::CurrentUser},
      {"HKEY_CLASSES_ROOT\\CLSID", Hive::ClassesRoot},
      {"HKEY_USERS\\.DEFAULT", Hive::Users},
      {"HKEY_USERS", Hive::Users},
      {"HKLM\\Software", Hive::CurrentConfig},
      {"HKEY_CURRENT_CONFIG\\Software", Hive::CurrentConfig},
      {"", Hive::CurrentConfig},
  };
  for (const auto& [path, hive] : cases)
    EXPECT_EQ(RootKeyOfPath(path), hive) << path;
  EXPECT_EQ(KeyPathOf("HKEY_LOCAL_MACHINE\\Software\\Acme"), "\\Software\\Acme");
  EXPECT_EQ(KeyPathOf("HKEY_LOCAL_MACHINE"), "");
}

TEST(LastPathPart, IsTheTextAfterTheLastBackslash) {
  EXPECT_EQ(LastPathPart("HKEY_CURRENT_USER\\Software\\Acme\\InstallDir"), "InstallDir");
  EXPECT_EQ(LastPathPart("plain"), "plain");
  EXPECT_EQ(LastPathPart("ends\\"), "");
  EXPECT_EQ(LastPathPart(""), "");
}

TEST_F(RegistryOpTest, ReadingAValueAsText) {
  Put(Hive::CurrentUser, "Software\\Acme",
      {{"Plain", Sz("C:\\Acme")},
       {"Expand", {platform::kRegExpandSz, "%ProgramFiles%\\Acme"}},
       {"Empty", Sz("")},
       {"EmptyBinary", {platform::kRegBinary, ""}},
       {"Number", platform::DwordValue(7)},
       {"Multi", {platform::kRegMultiSz, std::string("a\0b\0\0", 5)}}});
  auto key = machine.registry.OpenKey(Hive::CurrentUser, "Software\\Acme", KeyAccess::Read);
  ASSERT_TRUE(key);
  EXPECT_EQ(ReadValueText(*key, "Plain"), "C:\\Acme");
  EXPECT_EQ(ReadValueText(*key, "Expand"), "%ProgramFiles%\\Acme");  // not expanded
  EXPECT_EQ(ReadValueText(*key, "Empty"), "");
  EXPECT_EQ(ReadValueText(*key, "EmptyBinary"), "");
  EXPECT_EQ(ReadValueText(*key, "Missing"), "");
  for (const char* name : {"Number", "Multi"}) {
    try {
      (void)ReadValueText(*key, name);
      ADD_FAILURE() << name << " was read as text";
    } catch (const Error& error) {
      EXPECT_EQ(std::string(error.what()), std::string("Invalid data type for '") + name + "'");
    }
    EXPECT_FALSE(ReadValueTextIfText(*key, name)) << name;
  }
}

// --- Inventory ---

TEST_F(RegistryOpTest, ListsEntriesWithADisplayNameMachineThen32BitThenUser) {
  PutProgram(Hive::LocalMachine, "Zeta", {{"DisplayName", Sz("  Zeta App  ")}});
  PutProgram(Hive::LocalMachine, "alpha", {{"DisplayName", Sz("Alpha")}});
  PutProgram(Hive::LocalMachine, "NoName", {{"Publisher", Sz("Nobody")}});
  PutProgram(Hive::LocalMachine, "Blank", {{"DisplayName", Sz(" \t ")}});
  PutProgram(Hive::LocalMachine, "Broken", {{"DisplayName", platform::DwordValue(1)}});
  PutProgram(Hive::LocalMachine, "Old32", {{"DisplayName", Sz("Old 32-bit")}}, kWowUninstall);
  PutProgram(Hive::CurrentUser, "Alpha", {{"DisplayName", Sz("Alpha")}});

  Texts names, keys;
  EXPECT_EQ(op.ListInstalledPrograms(names, keys, false), 4);
  EXPECT_EQ(names, (Texts{"Alpha", "Zeta App", "Old 32-bit", "Alpha"}));
  EXPECT_EQ(
      keys,
      (Texts{"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\alpha",
             "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zeta",
             "HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\"
             "Uninstall\\Old32",
             "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
             "Alpha"}));

  // The 32-bit build sees only what its own view shows.
  machine.system.is64BitBuild = false;
  EXPECT_EQ(op.ListInstalledPrograms(names, keys, false), 3);
  EXPECT_EQ(names, (Texts{"Alpha", "Zeta App", "Alpha"}));
}

TEST_F(RegistryOpTest, EachHotfixLeavesOutOnlyTheFirstEntryOfItsName) {
  const std::string hotfixes = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix";
  Put(Hive::LocalMachine, hotfixes + "\\KB100", {{"Comments", Sz("fix")}});
  Put(Hive::LocalMachine, hotfixes + "\\KB200");  // no "Comments": not a hotfix
  PutProgram(Hive::LocalMachine, "KB100", {{"DisplayName", Sz("Update KB100")}});
  PutProgram(Hive::LocalMachine, "KB200", {{"DisplayName", Sz("Update KB200")}});
  PutProgram(Hive::CurrentUser, "KB100", {{"DisplayName", Sz("Update KB100 (user)")}});

  Texts list;
  EXPECT_EQ(op.ListHotfixKeys(list), 1);
  EXPECT_EQ(list, Texts{"KB100"});

  Texts names, keys;
  op.ListInstalledPrograms(names, keys, false);
  EXPECT_EQ(names, (Texts{"Update KB200", "Update KB100 (user)"}));
  op.ListInstalledPrograms(names, keys, true);
  EXPECT_EQ(names, (Texts{"Update KB100", "Update KB200", "Update KB100 (user)"}));

  // The comparison counts letter case: "kb100" is not the hotfix, the user's KB100 is.
  machine.registry.DeleteKey(Hive::LocalMachine, std::string(kUninstall) + "\\KB100");
  PutProgram(Hive::LocalMachine, "kb100", {{"DisplayName", Sz("lower")}}, kWowUninstall);
  op.ListInstalledPrograms(names, keys, false);
  EXPECT_EQ(names, (Texts{"Update KB200", "lower"}));
}

TEST_F(RegistryOpTest, OutputListsAreClearedFirst) {
  Texts names{"stale"}, keys{"stale"};
  EXPECT_EQ(op.ListInstalledPrograms(names, keys, false), 0);
  EXPECT_TRUE(names.empty());
  EXPECT_TRUE(keys.empty());
}

struct SummaryTest : RegistryOpTest {
  const std::string key = std::string("HKEY_LOCAL_MACHINE\\") + kUninstall + "\\Acme";
  RecordingIconList small, big;
  Texts summary;

  int Summary(const Values& values) {
    machine.registry.CreateKey(Hive::LocalMachine, std::string(kUninstall) + "\\Acme");
    auto created = machine.registry.OpenKey(Hive::LocalMachine, std::string(kUninstall) + "\\Acme",
                                            KeyAccess::AllAccess);
    for (const auto& [name, value] : values)
      created->SetValue(name, value);
    return op.ReadProgramSummary(key, small, summary, big);
  }
};

TEST_F(SummaryTest, EntryWithoutUninstallStringGivesNothing) {
  summary = {"stale"};
  EXPECT_EQ(Summary({{"DisplayName", Sz("Acme")}}), 0);
  EXPECT_TRUE(summary.empty());
  EXPECT_EQ(op.ReadProgramSummary("HKEY_LOCAL_MACHINE\\Software\\Missing", small, summary, big), 0);
  EXPECT_TRUE(big.entries.empty());
}

TEST_F(SummaryTest, NameDateAndPublisherAsRead) {
  EXPECT_EQ(Summary({{"DisplayName", Sz(" Acme Tools ")},
                     {"UninstallString", Sz("")},
                     {"InstallDate", Sz("20080115")},
                     {"Publisher", Sz(" Acme Inc. ")}}),
            4);
  EXPECT_EQ(summary, (Texts{"Acme Tools", "Jan 15,2008", " Acme Inc. ", "0"}));
  // No source of its own: the program's own icon.
  ASSERT_EQ(big.entries.size(), 1u);
  EXPECT_EQ(big.entries[0], (RecordingIconList::Entry{kOwnExe, 0, 32}));
  EXPECT_EQ(small.entries[0], (RecordingIconList::Entry{kOwnExe, 0, 16}));
}

TEST_F(SummaryTest, IconSourcesInOrder) {
  machine.files.PutFile("C:\\App\\app.exe", "MZ");
  machine.files.PutIcons("C:\\App\\app.exe", 3);
  machine.files.PutFile("C:\\Program Files\\App\\uninst.exe", "MZ");
  machine.files.PutIcons("C:\\Program Files\\App\\uninst.exe", 2);
  big.entries.push_back({"first", 0, 32});  // the scan's own icon comes first
  small.entries.push_back({"first", 0, 16});

  struct Case {
    std::string displayIcon;
    std::string uninstall;
    RecordingIconList::Entry expected;
  };
  const std::vector<Case> cases = {
      {"C:\\App\\app.exe,2", "", {"C:\\App\\app.exe", 2, 32}},
      {"C:\\App\\app.exe", "", {"C:\\App\\app.exe", 0, 32}},
      {"C:\\App\\app.exe, x", "", {"C:\\App\\app.exe", 0, 32}},
      // Quotes are not removed: no such file, so the uninstaller is next.
      {"\"C:\\App\\app.exe\",1",
       "\"C:\\Program Files\\App\\uninst.exe\" /S",
       {"c:\\program files\\app\\uninst.exe", 1, 32}},
      // The file has no icon 2: the uninstaller, asked for the same number, has none either,
      // and the program's own file is asked for it last.
      {"C:\\App\\missing.exe,2", "C:\\Program Files\\App\\uninst.exe", {kOwnExe, 2, 32}},
  };
  for (const Case& c : cases) {
    const std::size_t before = big.entries.size();
    Values values{{"DisplayName", Sz("Acme")}, {"UninstallString", Sz(c.uninstall)}};
    if (!c.displayIcon.empty()) values.push_back({"DisplayIcon", Sz(c.displayIcon)});
    machine.registry.DeleteKey(Hive::LocalMachine, std::string(kUninstall) + "\\Acme");
    // The own file has three icons here, so the entry shows which one it was asked for.
    machine.files.PutIcons(kOwnExe, c.expected.file == kOwnExe ? 3 : 1);
    ASSERT_EQ(Summary(values), 4) << c.displayIcon;
    ASSERT_EQ(big.entries.size(), before + 1) << c.displayIcon;
    EXPECT_EQ(big.entries.back(), c.expected) << c.displayIcon;
    EXPECT_EQ(summary[3], std::to_string(before)) << c.displayIcon;
    EXPECT_EQ(small.entries.size(), big.entries.size());
  }
  // Every extracted icon was released after the lists took their copies.
  EXPECT_EQ(machine.files.LiveIconCount(), 0);
}

TEST_F(SummaryTest, RowCarriesMinusOneWhenNoSourceHasTheIcon) {
  // The own file has one icon only and is asked for icon 2, the number "DisplayIcon" gave.
  ASSERT_EQ(Summary({{"DisplayName", Sz("Acme")},
                     {"UninstallString", Sz("C:\\missing\\uninst.exe")},
                     {"DisplayIcon", Sz("C:\\missing\\app.exe,2")}}),
            4);
  EXPECT_EQ(summary[3], "-1");
  EXPECT_TRUE(big.entries.empty());
  EXPECT_TRUE(small.entries.empty());
}

TEST_F(SummaryTest, WindowsInstallerProductsTakeTheirIconFromTheInstallerFolder) {
  const std::string product = "{11111111-2222-3333-4444-555555555555}";
  const std::string lower = "{11111111-2222-3333-4444-555555555555}";
  machine.files.PutFile("C:\\windows\\Installer\\" + lower + "\\ARPPRODUCTICON.exe", "MZ");
  machine.files.PutIcons("C:\\windows\\Installer\\" + lower + "\\ARPPRODUCTICON.exe", 1);
  ASSERT_EQ(
      Summary({{"DisplayName", Sz("Acme")}, {"UninstallString", Sz("MsiExec.exe /X" + product)}}),
      4);
  ASSERT_EQ(big.entries.size(), 1u);
  EXPECT_EQ(big.entries[0].file, "C:\\windows\\Installer\\" + lower + "\\ARPPRODUCTICON.exe");
  // The first icon of an empty list is at position 0, and that is an icon found.
  EXPECT_EQ(summary[3], "0");

  // With "/qb" after the code the folder name does not exist: the own icon is used.
  big.entries.clear();
  small.entries.clear();
  machine.registry.DeleteKey(Hive::LocalMachine, std::string(kUninstall) + "\\Acme");
  ASSERT_EQ(Summary({{"DisplayName", Sz("Acme")},
                     {"UninstallString", Sz("MsiExec.exe /I" + product + " /qb")}}),
            4);
  ASSERT_EQ(big.entries.size(), 1u);
  EXPECT_EQ(big.entries[0].file, kOwnExe);
}

TEST_F(SummaryTest, UserInstallerFolderOnlyWhenTheWindowsOneIsMissing) {
  const std::string code = "{abc}";
  const std::string user = "C:\\users\\root\\AppData\\Roaming\\Microsoft\\Installer\\" + code;
  machine.files.PutFile(user + "\\Installer.ico", "ico");
  machine.files.PutIcons(user + "\\Installer.ico", 1);
  ASSERT_EQ(
      Summary({{"DisplayName", Sz("Acme")}, {"UninstallString", Sz("msiexec.exe /x" + code)}}), 4);
  EXPECT_EQ(big.entries.at(0).file, user + "\\Installer.ico");

  // Once the Windows folder exists (even without an icon) the user's is not looked at.
  machine.files.PutDirectory("C:\\windows\\Installer\\" + code);
  big.entries.clear();
  small.entries.clear();
  op.ReadProgramSummary(key, small, summary, big);
  EXPECT_EQ(big.entries.at(0).file, kOwnExe);
}

TEST_F(RegistryOpTest, InstallerIconFilePreference) {
  const std::string folder = "C:\\windows\\Installer\\{p}";
  machine.files.PutDirectory(folder);
  EXPECT_EQ(op.FindInstallerIconFile(folder), "");
  machine.files.PutDirectory(folder + "\\sub.exe");  // a folder is not an icon file
  EXPECT_EQ(op.FindInstallerIconFile(folder), "");
  machine.files.PutFile(folder + "\\zz.exe");
  machine.files.PutFile(folder + "\\aa.exe");
  EXPECT_EQ(op.FindInstallerIconFile(folder), folder + "\\aa.exe");
  machine.files.PutFile(folder + "\\ARPPRODUCTICON.exe");
  EXPECT_EQ(op.FindInstallerIconFile(folder), folder + "\\ARPPRODUCTICON.exe");
  machine.files.PutFile(folder + "\\Installer.ico");
  EXPECT_EQ(op.FindInstallerIconFile(folder), folder + "\\Installer.ico");
}

TEST_F(RegistryOpTest, AddIconFromFileKeepsBothListsInStep) {
  RecordingIconList small, big;
  EXPECT_EQ(op.AddIconFromFile(small, big, 0, "C:\\missing.exe"), -1);
  EXPECT_EQ(op.AddIconFromFile(small, big, 1, kOwnExe), -1);
  EXPECT_EQ(op.AddIconFromFile(small, big, 0, kOwnExe), 0);
  EXPECT_EQ(op.AddIconFromFile(small, big, 0, kOwnExe), 1);
  EXPECT_EQ(small.entries.size(), 2u);
  // A refusal by either list leaves the two the same length, so positions keep matching.
  big.refuse = true;
  EXPECT_EQ(op.AddIconFromFile(small, big, 0, kOwnExe), -1);
  EXPECT_EQ(small.entries.size(), 2u);
  big.refuse = false;
  small.refuse = true;
  EXPECT_EQ(op.AddIconFromFile(small, big, 0, kOwnExe), -1);
  EXPECT_EQ(big.entries.size(), 2u);
  small.refuse = false;
  EXPECT_EQ(op.AddIconFromFile(small, big, 0, kOwnExe), 2);
  EXPECT_EQ(small.entries.size(), 3u);
  machine.faults.Inject(fake::Op::ExtractIcons, "*", platform::kErrorAccessDenied);
  EXPECT_EQ(op.AddIconFromFile(small, big, 0, kOwnExe), -1);
  EXPECT_EQ(big.entries.size(), 3u);
  EXPECT_EQ(machine.files.LiveIconCount(), 0);
}

TEST_F(RegistryOpTest, FormatInstallDate) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"20080115", "Jan 15,2008"},
      {"2008-01-15", "2008-01-15"},
      {"Jan 15, 2008", "Jan 15, 2008"},
      {" 2008-1 ", " 2008-1 "},  // returned untrimmed
      {"20081315", ""},
      {"20080230", ""},
      {"2008", "Jan 01,2008"},
      {"199912", "Dec 01,1999"},
      {"abcd0731", "Jul 31,2008"},
      {"00000101", ""},
      {"   ", ""},
      {"", ""},
  };
  for (const auto& [raw, expected] : cases)
    EXPECT_EQ(op.FormatInstallDate(raw), expected) << "'" << raw << "'";
  // The month's name is the user's locale's.
  machine.system.shortMonthNames[0] = "janv.";
  EXPECT_EQ(op.FormatInstallDate("20080115"), "janv. 15,2008");
}

TEST_F(RegistryOpTest, ShellFolderAndWindowsFolder) {
  EXPECT_EQ(op.ReadShellFolder("AppData"), "C:\\users\\root\\AppData\\Roaming");
  EXPECT_EQ(op.ReadShellFolder("NoSuchFolder"), "");
  EXPECT_EQ(op.GetWindowsDir(), "C:\\windows");
  // No fixed buffer: a long Windows folder comes back whole.
  machine.system.windowsDirectory = "C:\\" + std::string(300, 'w') + "\\";
  EXPECT_EQ(op.GetWindowsDir(), "C:\\" + std::string(300, 'w'));
}

TEST_F(RegistryOpTest, FindUninstallKeyTakesTheLastPassThatMatches) {
  PutProgram(Hive::LocalMachine, "A1", {{"DisplayName", Sz("Acme")}});
  PutProgram(Hive::LocalMachine, "A2", {{"DisplayName", Sz("Acme")}});
  PutProgram(Hive::LocalMachine, "W1", {{"DisplayName", Sz("Acme 32")}}, kWowUninstall);
  EXPECT_EQ(op.FindUninstallKey("Acme"), std::string("HKEY_LOCAL_MACHINE\\") + kUninstall + "\\A1");
  EXPECT_EQ(op.FindUninstallKey("Acme 32"),
            std::string("HKEY_LOCAL_MACHINE\\") + kWowUninstall + "\\W1");
  EXPECT_EQ(op.FindUninstallKey("acme"), "");
  // The 32-bit build does not look into the 32-bit view by that name.
  machine.system.is64BitBuild = false;
  EXPECT_EQ(op.FindUninstallKey("Acme 32"), "");
  machine.system.is64BitBuild = true;
  // A broken name before the right entry does not stop the walk.
  PutProgram(Hive::LocalMachine, "A0", {{"DisplayName", platform::DwordValue(1)}});
  PutProgram(Hive::LocalMachine, "A0x", {{"DisplayName", Sz("Broken Before")}});
  EXPECT_EQ(op.FindUninstallKey("Broken Before"),
            std::string("HKEY_LOCAL_MACHINE\\") + kUninstall + "\\A0x");
  PutProgram(Hive::CurrentUser, "U1", {{"DisplayName", Sz(" Acme ")}});
  EXPECT_EQ(op.FindUninstallKey("Acme"), std::string("HKEY_CURRENT_USER\\") + kUninstall + "\\U1");
}

TEST_F(RegistryOpTest, BlankNameNeverFindsOrDeletesAnEntryWithoutDisplayName) {
  // Windows keeps entries such as AddressBook with no "DisplayName" at all; a blank name must
  // not stand for them, nor for an entry whose name is blank.
  PutProgram(Hive::LocalMachine, "AddressBook", {});
  PutProgram(Hive::LocalMachine, "Blank", {{"DisplayName", Sz("  ")}});
  for (const char* name : {"", " "}) {
    EXPECT_EQ(op.FindUninstallKey(name), "") << '"' << name << '"';
    op.DeleteUninstallEntry(name);
  }
  EXPECT_TRUE(Exists(Hive::LocalMachine, std::string(kUninstall) + "\\AddressBook"));
  EXPECT_TRUE(Exists(Hive::LocalMachine, std::string(kUninstall) + "\\Blank"));
  EXPECT_EQ(op.ReadUninstallEntry("", 0).KeyName, "");
}

TEST_F(RegistryOpTest, ReadUninstallEntryFillsTheRecord) {
  PutProgram(Hive::LocalMachine, "{ACME-1}",
             {{"DisplayName", Sz("Acme")},
              {"DisplayVersion", Sz(" 1.2 ")},
              {"InstallDate", Sz(" 20100301 ")},
              {"InstallLocation", Sz("C:\\Program Files\\Acme ")},
              {"HelpLink", Sz("http://help")},
              {"Publisher", Sz("Acme Inc.")},
              {"URLInfoAbout", Sz("http://about")},
              {"URLUpdateInfo", platform::DwordValue(3)},  // broken: read as empty
              {"UninstallString", Sz("C:\\Program Files\\Acme\\uninst.exe")}},
             kWowUninstall);
  const TUNINSTALL_DES entry = op.ReadUninstallEntry("Acme", 7);
  const TUNINSTALL_DES expected{"{ACME-1}",
                                "Acme",
                                7,
                                "1.2",
                                "Mar 01,2010",
                                "C:\\Program Files\\Acme",
                                "http://help",
                                "Acme Inc.",
                                "http://about",
                                "",
                                "C:\\Program Files\\Acme\\uninst.exe"};
  EXPECT_EQ(entry, expected);
  EXPECT_EQ(op.ReadUninstallEntry("Nothing", 7), TUNINSTALL_DES{});
}

// --- Windows Installer ---

constexpr const char* kUserData =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18";

TEST_F(RegistryOpTest, InstallerProductsMatchByTheBeginningOfTheName) {
  Put(Hive::LocalMachine, "Software\\Classes\\Installer\\Products\\0THEACME",
      {{"ProductName", Sz("The Acme Tools")}});
  Put(Hive::LocalMachine, "Software\\Classes\\Installer\\Products\\1ACME",
      {{"ProductName", platform::DwordValue(1)}});  // broken: passed over
  Put(Hive::LocalMachine, "Software\\Classes\\Installer\\Products\\2ACME",
      {{"ProductName", Sz("  ACME Tools 2.0")}});
  Put(Hive::LocalMachine, "Software\\Classes\\Installer\\Products\\3ACME",
      {{"ProductName", Sz("Acme")}});
  Put(Hive::LocalMachine, std::string(kUserData) + "\\Products\\2ACME\\InstallProperties",
      {{"DisplayName", Sz("Acme")}});
  Put(Hive::CurrentUser, "Software\\Microsoft\\Installer\\Products\\3ACME",
      {{"ProductName", Sz("Acme")}});

  Texts keys{"stale"};
  std::string code = "stale";
  op.FindInstallerProducts("Acme", keys, code);
  EXPECT_EQ(code, "2ACME");
  // Found through HKEY_CLASSES_ROOT, which is the machine's classes: both are listed.
  EXPECT_EQ(keys, (Texts{"HKEY_CLASSES_ROOT\\Installer\\Products\\2ACME",
                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Installer\\Products\\2ACME",
                         "HKEY_LOCAL_MACHINE\\" + std::string(kUserData) + "\\Products\\2ACME"}));

  op.FindInstallerProducts("", keys, code);
  EXPECT_TRUE(keys.empty());
  EXPECT_EQ(code, "");
  op.FindInstallerProducts("Nothing", keys, code);
  EXPECT_TRUE(keys.empty());
}

TEST_F(RegistryOpTest, InstallerProductRegisteredOnlyForTheMachine) {
  Put(Hive::LocalMachine, std::string(kUserData) + "\\Products\\ABCD\\InstallProperties",
      {{"DisplayName", Sz("Acme Suite")}});
  Texts keys;
  std::string code;
  op.FindInstallerProducts("acme", keys, code);
  EXPECT_EQ(code, "ABCD");
  EXPECT_EQ(keys, Texts{"HKEY_LOCAL_MACHINE\\" + std::string(kUserData) + "\\Products\\ABCD"});
}

TEST_F(RegistryOpTest, InstallerFeaturesUpgradeCodesAndComponents) {
  Put(Hive::LocalMachine, "Software\\Classes\\Installer\\Features\\ABCD");
  Put(Hive::CurrentUser, "Software\\Microsoft\\Installer\\Features\\ABCD");
  Put(Hive::LocalMachine, "Software\\Classes\\Installer\\UpgradeCodes\\U1", {{"OTHER", Sz("")}});
  Put(Hive::LocalMachine, "Software\\Classes\\Installer\\UpgradeCodes\\U2", {{"abcd", Sz("")}});
  Put(Hive::LocalMachine,
      "Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes\\U2",
      {{"ABCD", Sz("")}});
  Put(Hive::LocalMachine, std::string(kUserData) + "\\Components\\C1",
      {{"ABCD", Sz("C:\\a.dll")}, {"OTHER", Sz("C:\\b.dll")}});
  Put(Hive::LocalMachine, std::string(kUserData) + "\\Components\\C2", {{"OTHER", Sz("x")}});
  Put(Hive::LocalMachine, std::string(kUserData) + "\\Components\\C3", {{"abcd", Sz("y")}});

  Texts keys;
  EXPECT_EQ(op.FindInstallerFeatures("ABCD", keys), 3);
  EXPECT_EQ(keys, (Texts{"HKEY_CLASSES_ROOT\\Installer\\Features\\ABCD",
                         "HKEY_CURRENT_USER\\Software\\Microsoft\\Installer\\Features\\ABCD",
                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Installer\\Features\\ABCD"}));
  EXPECT_EQ(op.FindInstallerUpgradeCodes("ABCD", keys), 3);
  EXPECT_EQ(keys,
            (Texts{"HKEY_CLASSES_ROOT\\Installer\\UpgradeCodes\\U2",
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Installer\\UpgradeCodes\\U2",
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\"
                   "UpgradeCodes\\U2"}));
  EXPECT_EQ(op.FindInstallerComponents("ABCD", keys), 2);
  EXPECT_EQ(keys, (Texts{"HKEY_LOCAL_MACHINE\\" + std::string(kUserData) + "\\Components\\C1",
                         "HKEY_LOCAL_MACHINE\\" + std::string(kUserData) + "\\Components\\C3"}));
}

TEST_F(RegistryOpTest, BlankProductCodeNeverAddressesTheLocationsThemselves) {
  Put(Hive::LocalMachine, "Software\\Classes\\Installer\\Features\\X");
  Put(Hive::LocalMachine, "Software\\Classes\\Installer\\UpgradeCodes\\U", {{"", Sz("default")}});
  Put(Hive::LocalMachine, std::string(kUserData) + "\\Components\\C", {{"", Sz("default")}});
  for (const char* code : {"", " ", "ABCD\\..", "\\"}) {
    Texts keys{"stale"};
    EXPECT_EQ(op.FindInstallerFeatures(code, keys), 0) << code;
    EXPECT_EQ(op.FindInstallerUpgradeCodes(code, keys), 0) << code;
    EXPECT_EQ(op.FindInstallerComponents(code, keys), 0) << code;
    EXPECT_TRUE(keys.empty());
  }
}

// --- COM ---

struct ComTest : RegistryOpTest {
  void PutClass(Hive hive, const std::string& location, const std::string& id,
                const std::string& inproc, const std::string& local = {},
                const std::string& typeLib = {}) {
    const std::string base = location + "\\" + id;
    Put(hive, base);
    if (!inproc.empty()) Put(hive, base + "\\InprocServer32", {{"", Sz(inproc)}});
    if (!local.empty()) Put(hive, base + "\\LocalServer32", {{"", Sz(local)}});
    if (!typeLib.empty()) Put(hive, base + "\\Typelib", {{"", Sz(typeLib)}});
  }
  Texts libraries, keys;
};

TEST_F(ComTest, ServerMustLieInTheFolderAtAPathBoundary) {
  const std::string classes = "Software\\Classes\\CLSID";
  PutClass(Hive::LocalMachine, classes, "{A}", "C:\\Program Files\\ACME\\acme.dll", "", "{LIB-A}");
  PutClass(Hive::LocalMachine, classes, "{B}", "c:\\program files\\acme tools\\tools.dll");
  PutClass(Hive::LocalMachine, classes, "{C}", "", "\"C:\\Program Files\\Acme\\sub\\srv.exe\" /a");
  PutClass(Hive::LocalMachine, classes, "{D}", "");
  Put(Hive::LocalMachine, classes + "\\{D}\\InprocServer32", {{"", platform::DwordValue(9)}});

  EXPECT_EQ(op.FindComClasses({"c:\\program files\\acme"}, libraries, keys), 4);
  EXPECT_EQ(keys, (Texts{"HKEY_CLASSES_ROOT\\CLSID\\{A}", "HKEY_CLASSES_ROOT\\CLSID\\{C}",
                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{A}",
                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{C}"}));
  EXPECT_EQ(libraries, Texts{"{LIB-A}"});

  // A trailing backslash on the folder changes nothing; a drive root matches nothing.
  EXPECT_EQ(op.FindComClasses({"c:\\program files\\acme tools\\"}, libraries, keys), 2);
  EXPECT_EQ(op.FindComClasses({"c:\\", "C:"}, libraries, keys), 0);
  EXPECT_EQ(op.FindComClasses({}, libraries, keys), 0);
}

TEST_F(ComTest, SharedAndRelativeFoldersMatchNothing) {
  const std::string classes = "Software\\Classes\\CLSID";
  PutClass(Hive::LocalMachine, classes, "{O}", "C:\\Program Files\\Other\\o.dll");
  PutClass(Hive::LocalMachine, classes, "{S}", "C:\\windows\\system32\\shell.dll");
  PutClass(Hive::LocalMachine, classes, "{M}", "c:\\program files\\megaacme\\bin\\x.dll");
  // A location value that named a file in a shared folder gives that folder: every other
  // program registered there would go with it.
  for (const Texts& folders :
       {Texts{"C:\\Program Files"}, Texts{"c:\\program files\\"}, Texts{"C:\\windows\\system32"},
        Texts{"C:\\windows"}, Texts{"acme\\bin"}}) {
    EXPECT_EQ(op.FindComClasses(folders, libraries, keys), 0) << folders.front();
    EXPECT_TRUE(keys.empty()) << folders.front();
  }
  EXPECT_EQ(op.FindComClasses({"C:\\Program Files\\Other"}, libraries, keys), 2);
}

TEST_F(ComTest, BothServersInTheFolderListTheClassTwice) {
  PutClass(Hive::LocalMachine, "Software\\Classes\\CLSID", "{A}", "C:\\Program Files\\Acme\\a.dll",
           "C:\\Program Files\\Acme\\a.exe", "{LIB}");
  op.FindComClasses({"c:\\program files\\acme"}, libraries, keys);
  EXPECT_EQ(libraries, (Texts{"{LIB}", "{LIB}"}));
  EXPECT_EQ(keys, (Texts{"HKEY_CLASSES_ROOT\\CLSID\\{A}", "HKEY_CLASSES_ROOT\\CLSID\\{A}",
                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{A}",
                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{A}"}));
}

TEST_F(ComTest, LaterLocationsAddCounterpartsOnly) {
  // HKEY_CLASSES_ROOT has nothing: the machine's pass finds it (the fake's classes root is the
  // machine's, so use a user class to show the later pass).
  PutClass(Hive::CurrentUser, "Software\\Classes\\CLSID", "{U}", "C:\\Program Files\\Acme\\u.dll");
  op.FindComClasses({"c:\\program files\\acme"}, libraries, keys);
  EXPECT_EQ(keys, Texts{"HKEY_CURRENT_USER\\SOFTWARE\\Classes\\CLSID\\{U}"});

  // A class under the machine's classes with a user counterpart of the same id.
  PutClass(Hive::LocalMachine, "Software\\Classes\\CLSID", "{U}", "C:\\Program Files\\Acme\\m.dll");
  op.FindComClasses({"c:\\program files\\acme"}, libraries, keys);
  EXPECT_EQ(keys, (Texts{"HKEY_CLASSES_ROOT\\CLSID\\{U}",
                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{U}",
                         "HKEY_CURRENT_USER\\SOFTWARE\\Classes\\CLSID\\{U}"}));
}

TEST_F(ComTest, TypeLibrariesAndInterfaces) {
  Put(Hive::LocalMachine, "Software\\Classes\\TypeLib\\{LIB}\\1.0");
  Put(Hive::LocalMachine, "Software\\Classes\\Interface\\{I1}\\TypeLib", {{"", Sz(" {LIB} ")}});
  Put(Hive::LocalMachine, "Software\\Classes\\Interface\\{I2}\\TypeLib", {{"", Sz("{lib}")}});
  Put(Hive::LocalMachine, "Software\\Classes\\Interface\\{I3}\\TypeLib", {{"", Sz("{OTHER}")}});

  EXPECT_EQ(op.FindTypeLibraries({"{LIB}", "{MISSING}", "", "\\"}, keys), 2);
  EXPECT_EQ(keys, (Texts{"HKEY_CLASSES_ROOT\\TypeLib\\{LIB}",
                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\TypeLib\\{LIB}"}));
  EXPECT_EQ(op.FindInterfaces({"{LIB}"}, keys), 2);
  EXPECT_EQ(keys, (Texts{"HKEY_CLASSES_ROOT\\Interface\\{I1}",
                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Interface\\{I1}"}));
  EXPECT_EQ(op.FindInterfaces({}, keys), 0);
  EXPECT_EQ(op.FindTypeLibraries({}, keys), 0);
}

// --- Deletion ---

TEST_F(RegistryOpTest, DeleteRegistryItemTakesKeysWithTheirTreeAndValuesByName) {
  Put(Hive::CurrentUser, "Software\\Acme", {{"InstallDir", Sz("C:\\Acme")}, {"Keep", Sz("x")}});
  Put(Hive::CurrentUser, "Software\\Acme\\InstallDir\\a\\b\\c\\d", {{"v", Sz("1")}});
  Put(Hive::CurrentUser, "Software\\Acme\\InstallDir\\e");

  EXPECT_TRUE(op.DeleteRegistryItem("HKEY_CURRENT_USER\\Software\\Acme\\InstallDir", 3));
  EXPECT_FALSE(HasValue(Hive::CurrentUser, "Software\\Acme", "InstallDir"));
  EXPECT_TRUE(HasValue(Hive::CurrentUser, "Software\\Acme", "Keep"));
  EXPECT_TRUE(Exists(Hive::CurrentUser, "Software\\Acme\\InstallDir\\a\\b\\c\\d"));
  EXPECT_FALSE(op.DeleteRegistryItem("HKEY_CURRENT_USER\\Software\\Acme\\InstallDir", 3));

  EXPECT_TRUE(op.DeleteRegistryItem("hkey_current_user\\Software\\Acme\\InstallDir", 2));
  EXPECT_FALSE(Exists(Hive::CurrentUser, "Software\\Acme\\InstallDir"));
  EXPECT_TRUE(HasValue(Hive::CurrentUser, "Software\\Acme", "Keep"));
  EXPECT_FALSE(op.DeleteRegistryItem("HKEY_CURRENT_USER\\Software\\Acme\\InstallDir", 2));
  EXPECT_FALSE(op.DeleteRegistryItem("HKEY_CURRENT_USER\\Software\\Acme", 1));
  EXPECT_FALSE(op.DeleteRegistryItem("HKEY_CURRENT_USER\\Software\\Acme", 4));
  EXPECT_TRUE(Exists(Hive::CurrentUser, "Software\\Acme"));
}

TEST_F(RegistryOpTest, DeleteRegistryItemNeverTakesAWholeHive) {
  Put(Hive::CurrentUser, "Software\\Acme");
  for (const char* path : {"HKEY_CURRENT_USER", "HKEY_CURRENT_USER\\", "HKEY_CURRENT_USER\\\\"}) {
    EXPECT_FALSE(op.DeleteRegistryItem(path, 2)) << path;
  }
  EXPECT_TRUE(Exists(Hive::CurrentUser, "Software\\Acme"));
  EXPECT_FALSE(op.DeleteRegistryItem("HKEY_CURRENT_USER", 3));
}

TEST_F(RegistryOpTest, DeleteRegistryItemKeepsWhatItCannotDeleteAndGoesOn) {
  Put(Hive::CurrentUser, "Software\\Acme\\a");
  Put(Hive::CurrentUser, "Software\\Acme\\b");
  Put(Hive::CurrentUser, "Software\\Acme\\c");
  machine.faults.Inject(fake::Op::DeleteKey, "HKEY_CURRENT_USER\\Software\\Acme\\b",
                        platform::kErrorAccessDenied);
  EXPECT_FALSE(op.DeleteRegistryItem("HKEY_CURRENT_USER\\Software\\Acme", 2));
  EXPECT_FALSE(Exists(Hive::CurrentUser, "Software\\Acme\\a"));
  EXPECT_TRUE(Exists(Hive::CurrentUser, "Software\\Acme\\b"));
  EXPECT_FALSE(Exists(Hive::CurrentUser, "Software\\Acme\\c"));
}

TEST_F(RegistryOpTest, DeleteUninstallEntry) {
  PutProgram(Hive::CurrentUser, "Acme\\Sub", {{"x", Sz("y")}});
  PutProgram(Hive::CurrentUser, "Acme", {{"DisplayName", Sz("Acme")}});
  EXPECT_TRUE(op.DeleteUninstallEntry("Acme"));
  EXPECT_FALSE(Exists(Hive::CurrentUser, std::string(kUninstall) + "\\Acme"));
  EXPECT_FALSE(op.DeleteUninstallEntry("Acme"));
}

TEST_F(RegistryOpTest, DeleteServiceKeysInEveryControlSet) {
  Put(Hive::LocalMachine, "SYSTEM\\ControlSet001\\Services\\AcmeSvc\\Parameters");
  Put(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\AcmeSvc");
  Put(Hive::LocalMachine, "SYSTEM\\ControlSet002\\Services\\Other");
  EXPECT_TRUE(op.DeleteServiceKeys("AcmeSvc"));
  EXPECT_FALSE(Exists(Hive::LocalMachine, "SYSTEM\\ControlSet001\\Services\\AcmeSvc"));
  EXPECT_FALSE(Exists(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\AcmeSvc"));
  EXPECT_FALSE(op.DeleteServiceKeys("AcmeSvc"));

  for (const char* name : {"", "  ", "\\", "Other\\..", "\\Other"}) {
    EXPECT_FALSE(op.DeleteServiceKeys(name)) << "'" << name << "'";
  }
  EXPECT_TRUE(Exists(Hive::LocalMachine, "SYSTEM\\ControlSet002\\Services\\Other"));
  EXPECT_TRUE(Exists(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services"));
}

// --- Traces ---

struct TracesTest : RegistryOpTest {
  void SetUp() override {
    PutProgram(
        Hive::LocalMachine, "AcmeKey",
        {{"DisplayName", Sz("Acme Tools")}, {"InstallLocation", Sz("C:\\Program Files\\Acme")}});
  }
  Texts traces;
};

constexpr const char* kArpCache =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache";
constexpr const char* kAppPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr const char* kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

TEST_F(TracesTest, TraceListInOrder) {
  Put(Hive::LocalMachine, std::string(kArpCache) + "\\AcmeKey");
  Put(Hive::LocalMachine, std::string(kAppPaths) + "\\acme.exe",
      {{"Path", Sz("C:\\Program Files\\Acme\\bin")}});
  Put(Hive::LocalMachine, std::string(kAppPaths) + "\\acme2.exe",
      {{"Path", Sz("C:\\Program Files\\Acme")}});
  Put(Hive::LocalMachine, kRun,
      {{"AcmeTray", Sz("C:\\Program Files\\Acme\\tray.exe")},
       {"Lower", Sz("c:\\program files\\acme\\x.exe")},
       {"Number", platform::DwordValue(5)}});
  Put(Hive::LocalMachine, "SOFTWARE\\AcmeKey");
  Put(Hive::LocalMachine, "SOFTWARE\\Vendor\\Acme Tools");
  Put(Hive::LocalMachine, "SOFTWARE\\Vendor2\\acme tools");
  Put(Hive::CurrentUser, "Software\\Acme Tools");

  EXPECT_EQ(op.FindProgramTraces("Acme Tools", traces), 6);
  const std::string lm = "HKEY_LOCAL_MACHINE\\";
  EXPECT_EQ(traces, (Texts{"2" + lm + kArpCache + "\\AcmeKey", "2" + lm + kAppPaths + "\\acme.exe",
                           "3" + lm + kRun + "\\AcmeTray", "2" + lm + "SOFTWARE\\AcmeKey",
                           "2" + lm + "SOFTWARE\\Vendor\\Acme Tools",
                           "2HKEY_CURRENT_USER\\SOFTWARE\\Acme Tools"}));
}

TEST_F(TracesTest, AppPathsAndRunMatchTheLocationAtAPathBoundary) {
  Put(Hive::LocalMachine, std::string(kAppPaths) + "\\tools.exe",
      {{"Path", Sz("C:\\Program Files\\Acme Tools")}});
  Put(Hive::LocalMachine, std::string(kAppPaths) + "\\acme.exe",
      {{"Path", Sz("C:\\Program Files\\Acme;C:\\Common")}});
  Put(Hive::LocalMachine, kRun,
      {{"OtherTray", Sz("C:\\Program Files\\Acme Tools\\tray.exe")},
       {"Quoted", Sz("\"C:\\Program Files\\Acme\\tray.exe\" /min")},
       {"Exact", Sz("C:\\Program Files\\Acme")},
       {"Longer", Sz("C:\\Program Files\\Acme2\\x.exe")}});
  op.FindProgramTraces("Acme Tools", traces);
  const std::string lm = "HKEY_LOCAL_MACHINE\\";
  EXPECT_EQ(traces, (Texts{"2" + lm + kAppPaths + "\\acme.exe", "3" + lm + kRun + "\\Exact",
                           "3" + lm + kRun + "\\Quoted"}));
}

TEST_F(TracesTest, WithoutInstallLocationOnlyKeysAreListed) {
  PutProgram(Hive::LocalMachine, "AcmeKey", {{"InstallLocation", Sz("")}});
  Put(Hive::LocalMachine, std::string(kArpCache) + "\\AcmeKey");
  Put(Hive::LocalMachine, kRun, {{"AcmeTray", Sz("C:\\Program Files\\Acme\\tray.exe")}});
  Put(Hive::LocalMachine, "SOFTWARE\\Acme Tools");
  op.FindProgramTraces("Acme Tools", traces);
  for (const std::string& trace : traces)
    EXPECT_EQ(trace.front(), '2') << trace;
  EXPECT_EQ(traces.size(), 2u);
}

TEST_F(TracesTest, WellKnownKeysAndSharedFoldersAreNeverTraces) {
  PutProgram(Hive::LocalMachine, "Microsoft",
             {{"DisplayName", Sz("Classes")}, {"InstallLocation", Sz("C:\\Program Files")}});
  Put(Hive::LocalMachine, "SOFTWARE\\Vendor\\Classes");
  Put(Hive::LocalMachine, kRun, {{"AnyProgram", Sz("C:\\Program Files\\Any\\any.exe")}});
  Put(Hive::LocalMachine, std::string(kAppPaths) + "\\any.exe",
      {{"Path", Sz("C:\\Program Files\\Any")}});
  EXPECT_EQ(op.FindProgramTraces("Classes", traces), 1);
  EXPECT_EQ(traces, Texts{"2HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Classes"});

  PutProgram(Hive::LocalMachine, "Root",
             {{"DisplayName", Sz("Root App")}, {"InstallLocation", Sz("C:\\")}});
  EXPECT_EQ(op.FindProgramTraces("Root App", traces), 0);
  EXPECT_EQ(op.FindProgramTraces("Not Installed", traces), 0);
}

// --- Folders and system lists ---

TEST_F(RegistryOpTest, CollectFoldersFromValues) {
  machine.files.PutDirectory("C:\\Program Files\\Acme");
  machine.files.PutDirectory("C:\\Program Files\\Acme 2.0");
  const std::vector<std::pair<std::string, RegValue>> values = {
      {"Quoted", Sz("\"C:\\Program Files\\Acme\\acme.exe\" /run")},
      {"Folder", Sz("C:\\Program Files\\ACME")},
      {"Dotted", Sz("C:\\Program Files\\Acme 2.0")},
      {"Missing", Sz("C:\\Program Files\\Gone")},
      {"Comma", Sz("C:\\Program Files\\Acme\\a.dll,1")},
      {"Root", Sz("C:\\setup.exe")},
      {"Relative", Sz("Program Files")},
      {"Number", platform::DwordValue(3)},
      {"", Sz("  C:\\Program Files\\Acme 2.0\\x.exe  ")},
  };
  Values all(values.begin(), values.end());
  Put(Hive::CurrentUser, "Software\\Acme", all);
  const std::string key = "  HKEY_CURRENT_USER\\Software\\Acme ";
  const Texts keys(10, key);
  const Texts names{"Quoted", "Folder",   "Dotted", "Missing",   "Comma",
                    "Root",   "Relative", "Number", "(DEFAULT)", "Absent"};
  Texts folders{"stale"};
  EXPECT_EQ(op.CollectFoldersFromValues(keys, names, folders), 4);
  EXPECT_EQ(folders, (Texts{"c:\\program files\\acme", "c:\\program files", "c:\\",
                            "c:\\program files\\acme 2.0"}));

  EXPECT_EQ(op.CollectFoldersFromValues({}, {}, folders), 0);
  EXPECT_EQ(op.CollectFoldersFromValues({"HKEY_CURRENT_USER\\Software\\Nothing"}, {"x"}, folders),
            0);
}

struct ListsTest : RegistryOpTest {
  const std::string firewall =
      "SYSTEM\\ControlSet001\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\"
      "StandardProfile\\AuthorizedApplications\\List";
  const std::string muiCache = "Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache";
  std::vector<RegistryValueRef> entries;
};

TEST_F(ListsTest, EntriesBelongToAFolderAtAPathBoundary) {
  Put(Hive::LocalMachine, firewall,
      {{"C:\\Program Files\\Acme\\acme.exe",
        Sz("C:\\Program Files\\Acme\\acme.exe:*:Enabled:Acme")},
       {"C:\\Program Files\\Acme Tools\\t.exe", Sz("x")},
       {"c:\\program files\\acme\\bin\\b.exe", Sz("x")},
       {"C:\\Program Files\\Other\\o.exe", Sz("x")}});
  Put(Hive::CurrentUser, muiCache,
      {{"C:\\Program Files\\Acme\\acme.exe", Sz("Acme")}, {"LangID", Sz("x")}});
  Put(Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders",
      {{"C:\\Program Files\\Acme\\", Sz("")}, {"C:\\Program Files\\", Sz("")}});

  const Texts folders{"c:\\program files\\acme"};
  EXPECT_EQ(op.FindFolderListEntries(folders, entries, 3), 2);
  const std::string firewallKey = "HKEY_LOCAL_MACHINE\\" + firewall;
  EXPECT_EQ(entries,
            (std::vector<RegistryValueRef>{{firewallKey, "C:\\Program Files\\Acme\\acme.exe"},
                                           {firewallKey, "c:\\program files\\acme\\bin\\b.exe"}}));
  EXPECT_EQ(op.FindFolderListEntries(folders, entries, 7), 1);
  EXPECT_EQ(entries.at(0).valueName, "C:\\Program Files\\Acme\\acme.exe");
  EXPECT_EQ(op.FindFolderListEntries(folders, entries, 1), 1);
  EXPECT_EQ(entries.at(0).valueName, "C:\\Program Files\\Acme\\");

  // Removing an entry deletes exactly that value, although its name holds backslashes.
  EXPECT_TRUE(op.DeleteRegistryValue(firewallKey, "C:\\Program Files\\Acme\\acme.exe"));
  EXPECT_FALSE(HasValue(Hive::LocalMachine, firewall, "C:\\Program Files\\Acme\\acme.exe"));
  EXPECT_TRUE(HasValue(Hive::LocalMachine, firewall, "C:\\Program Files\\Acme Tools\\t.exe"));
  EXPECT_FALSE(op.DeleteRegistryValue(firewallKey, "C:\\Program Files\\Acme\\acme.exe"));
}

TEST_F(ListsTest, NothingForDriveRootsEmptyListsOrUnknownNumbers) {
  Put(Hive::LocalMachine, firewall, {{"C:\\Program Files\\Acme\\acme.exe", Sz("x")}});
  EXPECT_EQ(op.FindFolderListEntries({"c:\\", "c:"}, entries, 3), 0);
  // Nor for the folders every program shares, nor for a relative text.
  EXPECT_EQ(op.FindFolderListEntries({"C:\\Program Files", "acme"}, entries, 3), 0);
  EXPECT_EQ(op.FindFolderListEntries({}, entries, 3), 0);
  for (int number : {0, 8, -1})
    EXPECT_EQ(op.FindFolderListEntries({"c:\\program files\\acme"}, entries, number), 0);
  EXPECT_EQ(op.FindFolderListEntries({"c:\\program files\\acme"}, entries, 4), 0);  // no key
}

// --- Start-up value ---

TEST_F(RegistryOpTest, RunValueIsWrittenAndDeleted) {
  op.SetRunValue("Vestrel", "C:\\Program Files\\Sorvane\\Sorvane.exe");
  auto run = machine.registry.OpenKey(Hive::LocalMachine, kRun, KeyAccess::Read);
  ASSERT_TRUE(run);
  EXPECT_EQ(run->QueryValue("Vestrel"), Sz("C:\\Program Files\\Sorvane\\Sorvane.exe"));
  op.DeleteRunValue("Vestrel");
  EXPECT_FALSE(run->QueryValue("Vestrel"));
  EXPECT_NO_THROW(op.DeleteRunValue("Vestrel"));
}

TEST_F(RegistryOpTest, RunValueThatCannotBeWrittenIsAnError) {
  machine.faults.Inject(fake::Op::SetValue, "*", platform::kErrorAccessDenied);
  try {
    op.SetRunValue("Vestrel", "x");
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "Failed to set data for 'Vestrel'");
  }
  machine.faults.Clear();
  machine.registry.DeleteKey(Hive::LocalMachine, kRun);
  EXPECT_THROW(op.SetRunValue("Vestrel", "x"), Error);
  EXPECT_NO_THROW(op.DeleteRunValue("Vestrel"));
}

}  // namespace
}  // namespace sv::registry
