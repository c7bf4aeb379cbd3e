#include "engine/deletion_gate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake/fake_machine.h"

namespace sv::engine {
namespace {

struct PathCase {
  const char* path;
  bool allowed;
};

class GatePathTest : public ::testing::TestWithParam<PathCase> {
 protected:
  fake::FakeMachine machine{fake::FakeMachine::Layout::Standard};
};

TEST_P(GatePathTest, RefusesWhatNoProgramOwns) {
  machine.files.PutFile("C:\\Program Files\\Sorvane\\Sorvane.exe");
  machine.files.PutDirectory("C:\\users\\guest\\Documents");
  const DeletionGate gate(machine.Get());
  EXPECT_EQ(gate.AllowsPath(GetParam().path), GetParam().allowed) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, GatePathTest,
    ::testing::Values(
        // Roots, and ways of writing them.
        PathCase{"", false}, PathCase{"C:", false}, PathCase{"C:\\", false},
        PathCase{"c:\\.", false}, PathCase{"C:\\Acme\\..", false}, PathCase{"D:\\", false},
        PathCase{"\\\\server", false}, PathCase{"\\\\server\\share", false},
        PathCase{"\\\\server\\share\\", false}, PathCase{"Program Files\\Acme", false},
        PathCase{"\\Program Files\\Acme", false}, PathCase{"\\\\.\\PhysicalDrive0", false},
        // The Windows folder and its own folders as such; a program's file in them may go.
        PathCase{"C:\\windows", false}, PathCase{"C:\\WINDOWS.", false},
        PathCase{"C:\\windows\\system32", false}, PathCase{"C:\\windows\\System32\\drivers", false},
        PathCase{"C:\\windows\\WinSxS", false}, PathCase{"C:\\windows\\Fonts\\", false},
        PathCase{"C:\\windows\\Installer", false}, PathCase{"C:\\windows\\Temp", false},
        PathCase{"C:\\windows\\SysWOW64", false}, PathCase{"C:\\windows\\system32\\acme.dll", true},
        PathCase{"C:\\windows\\Acme", true}, PathCase{"\\\\?\\C:\\windows", false},
        // Program Files and the other shared roots, with near misses.
        PathCase{"C:\\Program Files", false}, PathCase{"C:\\Program Files\\", false},
        PathCase{"c:\\program files\\.", false}, PathCase{"C:\\Program Files.\\", false},
        PathCase{"C:\\Program Files \\", false}, PathCase{"C:/Program Files", false},
        PathCase{"C:\\Program Files\\Acme\\..", false},
        PathCase{"C:\\Program Files\\Acme\\..\\..\\windows", false},
        PathCase{"C:\\Program Files Extra", true}, PathCase{"C:\\Program Files\\Acme", true},
        PathCase{"\\\\?\\C:\\Program Files\\Acme", true},
        PathCase{"C:\\Program Files (x86)", false},
        PathCase{"C:\\Program Files\\Common Files", false},
        PathCase{"C:\\Program Files\\Common Files\\Acme", true}, PathCase{"C:\\ProgramData", false},
        PathCase{"C:\\ProgramData\\Acme", true}, PathCase{"C:\\Documents and Settings", false},
        // Profiles: the root, every profile, the shared ones, their shell folders.
        PathCase{"C:\\users", false}, PathCase{"C:\\users\\root", false},
        PathCase{"C:\\users\\guest", false}, PathCase{"C:\\users\\guest\\Documents", false},
        PathCase{"C:\\users\\Public", false}, PathCase{"C:\\users\\Default", false},
        PathCase{"C:\\users\\All Users", false}, PathCase{"C:\\users\\root\\Desktop", false},
        PathCase{"C:\\users\\root\\Desktop\\Acme.lnk", true},
        PathCase{"C:\\users\\root\\AppData\\Roaming", false},
        PathCase{"C:\\users\\root\\AppData\\Roaming\\Acme", true},
        PathCase{"C:\\users\\root\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs",
                 false},
        PathCase{"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Acme", true},
        // This program's own folder and everything in it.
        PathCase{"C:\\Program Files\\Sorvane", false},
        PathCase{"C:\\Program Files\\Sorvane\\SV.dat", false},
        PathCase{"C:\\Program Files\\Sorvane Extra", true}));

struct KeyCase {
  const char* key;
  bool allowed;
};

class GateKeyTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(GateKeyTest, RefusesRootsNamespacesAndContainers) {
  fake::FakeMachine machine(fake::FakeMachine::Layout::Standard);
  const DeletionGate gate(machine.Get());
  EXPECT_EQ(gate.AllowsKey(GetParam().key), GetParam().allowed) << GetParam().key;
}

constexpr const char* kCurrentVersion =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

INSTANTIATE_TEST_SUITE_P(
    Keys, GateKeyTest,
    ::testing::Values(
        KeyCase{"HKEY_LOCAL_MACHINE", false}, KeyCase{"HKEY_LOCAL_MACHINE\\", false},
        KeyCase{"HKEY_LOCAL_MACHINE\\\\", false}, KeyCase{"HKLM\\SOFTWARE\\Acme", false},
        KeyCase{"HKEY_CURRENT_CONFIG\\Acme", false}, KeyCase{"HKEY_LOCAL_MACHINE\\SOFTWARE", false},
        KeyCase{"HKEY_LOCAL_MACHINE\\software\\\\", false},
        KeyCase{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme", true},
        KeyCase{"hkey_local_machine\\SOFTWARE\\Acme\\Writer", true},
        KeyCase{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft", false},
        KeyCase{"HKEY_LOCAL_MACHINE\\SOFTWARE\\microsoft\\", false},
        KeyCase{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Acme", true},
        KeyCase{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows", false},
        KeyCase{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT", false},
        KeyCase{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies", false},
        KeyCase{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients", false},
        KeyCase{"HKEY_LOCAL_MACHINE\\SOFTWARE\\RegisteredApplications", false},
        KeyCase{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node", false},
        KeyCase{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Acme", true},
        KeyCase{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft", false},
        KeyCase{kCurrentVersion, false},
        KeyCase{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                false},
        KeyCase{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme",
                true},
        KeyCase{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", false},
        KeyCase{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths",
                false},
        KeyCase{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App "
                "Paths\\acme.exe",
                true},
        KeyCase{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App "
                "Management\\ARPCache",
                false},
        KeyCase{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\"
                "UserData\\S-1-5-18\\Products",
                false},
        KeyCase{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\"
                "UserData\\S-1-5-18\\Products\\ABC",
                true},
        KeyCase{"HKEY_CLASSES_ROOT", false}, KeyCase{"HKEY_CLASSES_ROOT\\CLSID", false},
        KeyCase{"HKEY_CLASSES_ROOT\\CLSID\\{0A}", true},
        KeyCase{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\", false},
        KeyCase{"HKEY_CLASSES_ROOT\\TypeLib", false},
        KeyCase{"HKEY_CLASSES_ROOT\\Interface", false}, KeyCase{"HKEY_CLASSES_ROOT\\AppID", false},
        KeyCase{"HKEY_CLASSES_ROOT\\Installer\\Products", false},
        KeyCase{"HKEY_CLASSES_ROOT\\Installer\\Products\\ABC", true},
        KeyCase{"HKEY_CLASSES_ROOT\\Installer\\Components", false},
        KeyCase{"HKEY_CLASSES_ROOT\\Wow6432Node\\CLSID", false},
        KeyCase{"HKEY_CLASSES_ROOT\\*", false}, KeyCase{"HKEY_CLASSES_ROOT\\Acme.Document", true},
        KeyCase{"HKEY_LOCAL_MACHINE\\SYSTEM", false},
        KeyCase{"HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001", false},
        KeyCase{"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services", false},
        KeyCase{"HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Services\\", false},
        KeyCase{"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Acme", true},
        KeyCase{"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\"
                "Parameters\\FirewallPolicy\\StandardProfile\\AuthorizedApplications\\List",
                false},
        KeyCase{"HKEY_CURRENT_USER\\Software", false},
        KeyCase{"HKEY_CURRENT_USER\\Software\\Acme", true},
        KeyCase{"HKEY_CURRENT_USER\\Software\\Classes\\CLSID", false},
        KeyCase{"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache", false},
        KeyCase{"HKEY_USERS\\S-1-5-21-1", false},
        KeyCase{"HKEY_USERS\\S-1-5-21-1\\Software", false},
        KeyCase{"HKEY_USERS\\S-1-5-21-1\\Software\\Acme", true},
        KeyCase{"HKEY_USERS\\S-1-5-21-1_Classes\\CLSID", false}));

TEST(DeletionGate, ValuesGoFromListKeysAndOrdinaryKeysOnly) {
  fake::FakeMachine machine(fake::FakeMachine::Layout::Standard);
  const DeletionGate gate(machine.Get());
  const std::string run = std::string(kCurrentVersion) + "\\Run";
  EXPECT_TRUE(gate.AllowsValue(run, "Acme"));
  EXPECT_TRUE(gate.AllowsValueItem(run + "\\Acme"));
  EXPECT_TRUE(gate.AllowsValue(std::string(kCurrentVersion) + "\\SharedDlls", "C:\\Acme\\a.dll"));
  EXPECT_TRUE(gate.AllowsValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme", "Path"));
  EXPECT_TRUE(gate.AllowsValue(
      "HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Services\\SharedAccess\\Parameters\\"
      "FirewallPolicy\\StandardProfile\\AuthorizedApplications\\List",
      "C:\\Acme\\a.exe"));
  // A namespace key's own values (ProgramFilesDir, Winlogon's Shell) are the system's.
  EXPECT_FALSE(gate.AllowsValue(kCurrentVersion, "ProgramFilesDir"));
  EXPECT_FALSE(gate.AllowsValueItem(
      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Shell"));
  EXPECT_FALSE(gate.AllowsValue("HKEY_LOCAL_MACHINE", "Acme"));
  EXPECT_FALSE(gate.AllowsValueItem("HKEY_LOCAL_MACHINE\\Acme"));
  EXPECT_FALSE(gate.AllowsValueItem("Acme"));
}

TEST(DeletionGate, ServicesNeedAPlainName) {
  fake::FakeMachine machine;
  const DeletionGate gate(machine.Get());
  for (const char* name : {"", " ", "\\", "Acme\\Parameters", "a/b"})
    EXPECT_FALSE(gate.AllowsService(name)) << "'" << name << "'";
  for (const char* name : {"Acme", " B", "Acme Update"})
    EXPECT_TRUE(gate.AllowsService(name)) << "'" << name << "'";
}

TEST(DeletionGate, ProfilesTheRegistryKnowsAreProtectedWhereverTheyLie) {
  fake::FakeMachine machine(fake::FakeMachine::Layout::Standard);
  const std::string list = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
  machine.registry.CreateKey(platform::Hive::LocalMachine, list)
      ->SetStringValue("ProfilesDirectory", "%SystemDrive%\\Profiles");
  machine.registry.CreateKey(platform::Hive::LocalMachine, list + "\\S-1-5-21-7")
      ->SetStringValue("ProfileImagePath", "D:\\Home\\ann");
  machine.files.AddDrive('D');
  machine.files.PutDirectory("C:\\Profiles\\bob");
  const DeletionGate gate(machine.Get());
  for (const char* path : {"C:\\Profiles", "C:\\Profiles\\bob", "C:\\Profiles\\Default User",
                           "D:\\Home\\ann", "D:\\Home", "D:\\Home\\ann\\AppData\\Local"}) {
    EXPECT_FALSE(gate.AllowsPath(path)) << path;
  }
  EXPECT_TRUE(gate.AllowsPath("D:\\Home\\ann\\AppData\\Local\\Acme"));
}

TEST(DeletionGate, RecordModeDecidesButDeletesNothing) {
  fake::FakeMachine machine(fake::FakeMachine::Layout::Standard);
  machine.files.PutFile("C:\\Program Files\\Acme\\a.exe");
  machine.registry.CreateKey(platform::Hive::LocalMachine, "SOFTWARE\\Acme");
  DeletionGate gate(machine.Get(), DeletionGate::Mode::Record);
  std::vector<GateEvent> events;
  gate.SetObserver([&events](const GateEvent& event) { events.push_back(event); });

  EXPECT_TRUE(gate.DeleteTree("C:\\Program Files\\Acme"));
  EXPECT_FALSE(gate.DeleteTree("C:\\Program Files"));
  EXPECT_TRUE(gate.DeleteRegistryItem("HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme", 2));
  EXPECT_FALSE(gate.DeleteRegistryItem("HKEY_LOCAL_MACHINE\\SOFTWARE", 2));
  EXPECT_EQ(gate.RemoveService(""), -2);

  EXPECT_NE(machine.files.GetAttributes("C:\\Program Files\\Acme\\a.exe"),
            platform::kInvalidAttributes);
  EXPECT_TRUE(machine.registry.OpenKey(platform::Hive::LocalMachine, "SOFTWARE\\Acme",
                                       platform::KeyAccess::Read));
  EXPECT_EQ(events, (std::vector<GateEvent>{
                        {GateAction::DeleteTree, "C:\\Program Files\\Acme", false},
                        {GateAction::DeleteTree, "C:\\Program Files", true},
                        {GateAction::DeleteKey, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme", false},
                        {GateAction::DeleteKey, "HKEY_LOCAL_MACHINE\\SOFTWARE", true},
                        {GateAction::RemoveService, "", true},
                    }));
}

TEST(DeletionGate, RecordModeCountsAParentEmptyOnceTheFolderHasGone) {
  fake::FakeMachine machine(fake::FakeMachine::Layout::Standard);
  machine.files.PutFile("C:\\Program Files\\Vendor\\Acme\\a.exe");
  machine.files.PutFile("C:\\Program Files\\Other\\Tool\\t.exe");
  machine.files.PutFile("C:\\Program Files\\Other\\keep.txt");
  DeletionGate gate(machine.Get(), DeletionGate::Mode::Record);
  std::vector<GateEvent> events;
  gate.SetObserver([&events](const GateEvent& event) { events.push_back(event); });
  gate.RemoveDirIfEmpty("C:\\Program Files\\Vendor\\", "C:\\Program Files\\Vendor\\Acme");
  gate.RemoveDirIfEmpty("C:\\Program Files\\Other\\", "C:\\Program Files\\Other\\Tool");
  gate.RemoveDirIfEmpty("C:\\Program Files\\", "C:\\Program Files\\Vendor");
  EXPECT_EQ(
      events,
      (std::vector<GateEvent>{{GateAction::RemoveEmptyDir, "C:\\Program Files\\Vendor\\", false}}));
}

}  // namespace
}  // namespace sv::engine
