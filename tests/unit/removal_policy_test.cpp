// The removal policy's one table of decisions: for a program "Acme Writer" on the standard
// machine, with another program installed beside it, every kind of place a removal may be
// asked to delete, allowed or refused.
#include "policy/removal_policy.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake/fake_machine.h"
#include "platform/fake/version_resource.h"

namespace sv::policy {
namespace {

using platform::Hive;

constexpr const char* kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kGuid = "{5C2E8A41-7D39-4B6F-A0E2-18F4C9D3B765}";
constexpr const char* kPacked = "14A8E2C593D7F6B40A2E814F9C3D7B56";

class PolicyMachine {
 public:
  PolicyMachine() {
    machine.files.PutFile("C:\\Program Files\\Sorvane\\Sorvane.exe");
    machine.files.PutFile("C:\\Program Files\\Acme\\Writer\\writer.exe");
    machine.files.PutFile("C:\\Program Files\\Other App\\other.exe");
    machine.files.PutFile("C:\\Games\\Acme Writer\\data.bin");
    machine.files.PutFile("C:\\windows\\acmew.ini");
    machine.files.PutFile("C:\\windows\\system32\\kernel32.dll", "MZ");
    machine.files.PutFile("C:\\windows\\system32\\acmehook.dll", "MZ");
    machine.files.PutFile("C:\\windows\\system32\\other.dll", "MZ");
    machine.files.PutFile("C:\\windows\\system32\\sfcfile.dll", "MZ");
    machine.files.PutProtectedFile("C:\\windows\\system32\\sfcfile.dll");
    const auto version = [](const char* company, const char* product) {
      fake::VersionResourceContent content;
      content.stringTables = {{"040904B0", {{"CompanyName", company}, {"ProductName", product}}}};
      content.translations = std::vector<std::uint32_t>{0x04B00409};
      return fake::BuildVersionResource(content);
    };
    machine.files.PutVersionResource("C:\\windows\\system32\\kernel32.dll",
                                     version("Microsoft Corporation", "Acme Writer"));
    machine.files.PutVersionResource("C:\\windows\\system32\\acmehook.dll",
                                     version("Acme Corp", "Acme Writer hook"));
    machine.files.PutVersionResource("C:\\windows\\system32\\other.dll",
                                     version("Other Corp", "Other App"));
    machine.files.PutVersionResource("C:\\windows\\system32\\sfcfile.dll",
                                     version("Acme Corp", "Acme Writer"));
    Key(Hive::LocalMachine, std::string(kUninstall) + "\\AcmeWriter",
        {{"DisplayName", "Acme Writer 2.0"}, {"UninstallString", "C:\\x\\u.exe"}});
    Key(Hive::LocalMachine, std::string(kUninstall) + "\\OtherApp",
        {{"DisplayName", "Other App"},
         {"InstallLocation", "C:\\Program Files\\Other App"},
         {"UninstallString", "\"C:\\Program Files\\Other App\\unins.exe\""}});
    Key(Hive::LocalMachine, "SOFTWARE\\Classes\\CLSID\\{AC}\\InprocServer32",
        {{"", "C:\\Program Files\\Acme\\Writer\\ext.dll"}});
    Key(Hive::LocalMachine, "SOFTWARE\\Classes\\CLSID\\{0B}\\InprocServer32",
        {{"", "C:\\Program Files\\Acme\\Writer\\..\\..\\Other App\\x.dll"}});
    Key(Hive::LocalMachine, "SOFTWARE\\Classes\\TypeLib\\{71}\\1.0\\0\\win64",
        {{"", "C:\\Program Files\\Acme\\Writer\\ext.dll"}});
    Key(Hive::LocalMachine, "SOFTWARE\\Classes\\Interface\\{1F}\\TypeLib", {{"", "{71}"}});
    Key(Hive::LocalMachine, "SOFTWARE\\Classes\\AcmeWriter.Doc\\shell\\open\\command",
        {{"", "\"C:\\Program Files\\Acme\\Writer\\writer.exe\" \"%1\""}});
    Key(Hive::LocalMachine, "SOFTWARE\\Classes\\.acw", {{"", "AcmeWriter.Doc"}});
    Key(Hive::LocalMachine, "SOFTWARE\\Classes\\.txt", {{"", "AcmeWriter.Doc"}});
    Key(Hive::LocalMachine, "SOFTWARE\\Classes\\txtfile\\shell\\open\\command",
        {{"", "C:\\Program Files\\Acme\\Writer\\writer.exe %1"}});
    Key(Hive::LocalMachine, "SOFTWARE\\Classes\\Paint.Picture\\shell\\open\\command",
        {{"", "C:\\windows\\system32\\mspaint.exe %1"}});
    Key(Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\writer.exe",
        {{"Path", "C:\\Program Files\\Acme\\Writer"}});
    Key(Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\other.exe",
        {{"Path", "C:\\Program Files\\Other App"}});
    Key(Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
        {{"AcmeTray", "\"C:\\Program Files\\Acme\\Writer\\writer.exe\" /tray"},
         {"OtherTray", "C:\\Program Files\\Other App\\other.exe /tray"},
         {"Climb", "C:\\Program Files\\Acme\\Writer\\..\\..\\Other App\\other.exe"}});
    const std::string components =
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Components";
    Key(Hive::LocalMachine, components + "\\C1", {{kPacked, "C:\\x"}});
    Key(Hive::LocalMachine, components + "\\C2", {{kPacked, "C:\\x"}, {"0THER", "C:\\y"}});
    Key(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\AcmeSvc",
        {{"ImagePath", "\"C:\\Program Files\\Acme\\Writer\\svc.exe\""}});
    Key(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\AcmeDrv",
        {{"ImagePath", "system32\\drivers\\acme.sys"}});
    Key(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\OtherSvc",
        {{"ImagePath", "C:\\Program Files\\Other App\\svc.exe"}});
    machine.services.Create("RpcSs", platform::kServiceRunning, "C:\\windows\\system32\\rpcss.exe");
    machine.services.Create("AcmeSvc", platform::kServiceStopped,
                            "\"C:\\Program Files\\Acme\\Writer\\svc.exe\" -k");

    ProgramFacts facts;
    facts.softwareId = "ACMEW";
    facts.databaseName = "Acme Writer";
    facts.displayName = "Acme Writer 2.0";
    facts.uninstallKey = "HKEY_LOCAL_MACHINE\\" + std::string(kUninstall) + "\\AcmeWriter";
    facts.publisher = "Acme Corp";
    facts.packedProductCode = kPacked;
    facts.installFolders = {"C:\\Program Files\\Acme\\Writer", "C:\\Games\\Acme Writer"};
    policy.SetProgram(facts);
  }

  void Key(Hive hive, const std::string& path,
           const std::vector<std::pair<std::string, std::string>>& values) {
    auto key = machine.registry.CreateKey(hive, path);
    for (const auto& [name, text] : values)
      (void)key->SetStringValue(name, text);
  }

  fake::FakeMachine machine{fake::FakeMachine::Layout::Standard};
  RemovalPolicy policy{machine.Get()};
};

enum class Kind { File, Tree, Empty, Shortcut, Key, Value, Service };

struct PolicyCase {
  const char* name;
  Kind kind;
  const char* text;  // a path, a key, "key|value" or a service
  Source source;
  bool allowed;
};

class PolicyTable : public ::testing::TestWithParam<PolicyCase> {};

TEST_P(PolicyTable, DecidesByPlaceAndEvidence) {
  PolicyMachine setup;
  const PolicyCase& c = GetParam();
  Decision decision;
  const std::string text = c.text;
  switch (c.kind) {
    case Kind::File:
      decision = setup.policy.DecidePath(text, PathUse::File, c.source);
      break;
    case Kind::Tree:
      decision = setup.policy.DecidePath(text, PathUse::Tree, c.source);
      break;
    case Kind::Empty:
      decision = setup.policy.DecidePath(text, PathUse::EmptyFolder, c.source);
      break;
    case Kind::Shortcut:
      decision = setup.policy.DecidePath(text, PathUse::Shortcut, c.source);
      break;
    case Kind::Key:
      decision = setup.policy.DecideKey(text, c.source);
      break;
    case Kind::Value: {
      const std::size_t bar = text.find('|');
      decision = setup.policy.DecideValue(text.substr(0, bar), text.substr(bar + 1), c.source);
      break;
    }
    case Kind::Service:
      decision = setup.policy.DecideService(text);
      break;
  }
  EXPECT_EQ(decision.allowed, c.allowed) << c.text << ": " << decision.reason;
  EXPECT_FALSE(decision.reason.empty());
}

constexpr Source kDb = Source::Database;
constexpr Source kMachine = Source::Machine;

INSTANTIATE_TEST_SUITE_P(
    Places, PolicyTable,
    ::testing::Values(
        // Roots and ways of writing them.
        PolicyCase{"Empty", Kind::Tree, "", kDb, false},
        PolicyCase{"DriveRelative", Kind::Tree, "C:", kDb, false},
        PolicyCase{"DriveRoot", Kind::Tree, "C:\\", kDb, false},
        PolicyCase{"DriveRootDot", Kind::Tree, "c:\\.", kDb, false},
        PolicyCase{"Relative", Kind::Tree, "Program Files\\Acme", kDb, false},
        PolicyCase{"RootRelative", Kind::Tree, "\\Program Files\\Acme", kDb, false},
        PolicyCase{"Device", Kind::Tree, "\\\\.\\PhysicalDrive0", kDb, false},
        PolicyCase{"DeviceName", Kind::File, "C:\\Program Files\\Acme\\Writer\\nul.txt", kDb,
                   false},
        PolicyCase{"OtherMachine", Kind::Tree, "\\\\server\\share\\Acme", kDb, false},
        PolicyCase{"Stream", Kind::Tree, "C:\\Program Files\\Acme\\Writer::$INDEX_ALLOCATION", kDb,
                   false},
        PolicyCase{"Wildcard", Kind::File, "C:\\Program Files\\Acme\\Writer\\*.*", kDb, false},
        PolicyCase{"Climbing", Kind::Tree, "C:\\Program Files\\Acme\\..\\Other App", kDb, false},
        // Shares of this machine's own drives are its paths, and judged as such.
        PolicyCase{"AdminShareRoot", Kind::Tree, "\\\\localhost\\C$\\Program Files", kDb, false},
        PolicyCase{"AdminShareLoopback", Kind::Tree, "\\\\127.0.0.1\\c$\\windows\\system32", kDb,
                   false},
        PolicyCase{"AdminShareByName", Kind::Tree, "\\\\SVTEST\\c$\\Program Files", kDb, false},
        PolicyCase{"AdminShareLongForm", Kind::Tree, "\\\\?\\UNC\\localhost\\c$\\users\\root", kDb,
                   false},
        PolicyCase{"AdminShareProgram", Kind::Tree,
                   "\\\\localhost\\C$\\Program Files\\Acme\\Writer", kDb, true},
        // The Windows folder: never a folder; a file only when named, with evidence.
        PolicyCase{"Windows", Kind::Tree, "C:\\windows", kDb, false},
        PolicyCase{"WindowsDot", Kind::Tree, "C:\\WINDOWS.", kDb, false},
        PolicyCase{"UnlistedWindowsFolder", Kind::Tree, "C:\\windows\\system32\\catroot", kDb,
                   false},
        PolicyCase{"PerformanceFolder", Kind::Tree, "C:\\windows\\performance", kDb, false},
        PolicyCase{"ProgramFolderInWindows", Kind::Tree, "C:\\windows\\Acme", kDb, false},
        PolicyCase{"WindowsFileNamedAfterId", Kind::File, "C:\\windows\\acmew.ini", kDb, true},
        PolicyCase{"WindowsFileFromTheMachine", Kind::File, "C:\\windows\\acmew.ini", kMachine,
                   false},
        PolicyCase{"WindowsIni", Kind::File, "C:\\windows\\win.ini", kDb, false},
        PolicyCase{"SystemFileOfMicrosoft", Kind::File, "C:\\windows\\system32\\kernel32.dll", kDb,
                   false},
        PolicyCase{"SystemFileOfTheProgram", Kind::File, "C:\\windows\\system32\\acmehook.dll", kDb,
                   true},
        PolicyCase{"SystemFileOfAnother", Kind::File, "C:\\windows\\system32\\other.dll", kDb,
                   false},
        PolicyCase{"ProtectedSystemFile", Kind::File, "C:\\windows\\system32\\sfcfile.dll", kDb,
                   false},
        PolicyCase{"SystemFileWithoutVersion", Kind::File, "C:\\windows\\system32\\acme.dll", kDb,
                   false},
        PolicyCase{"RegistryHives", Kind::File, "C:\\windows\\system32\\config\\acmew.ini", kDb,
                   false},
        // Program Files, ProgramData, application data, and Windows' own folders in them.
        PolicyCase{"ProgramFiles", Kind::Tree, "C:\\Program Files\\", kDb, false},
        PolicyCase{"ProgramFilesTrailingBlank", Kind::Tree, "C:\\Program Files \\", kDb, false},
        PolicyCase{"ProgramFilesSlash", Kind::Tree, "C:/Program Files", kDb, false},
        PolicyCase{"ProgramFilesShortName", Kind::Tree, "C:\\PROGRA~1", kDb, false},
        PolicyCase{"OwnFolder", Kind::Tree, "C:\\Program Files\\Acme\\Writer", kDb, true},
        PolicyCase{"VendorFolder", Kind::Tree, "C:\\Program Files\\Acme", kDb, true},
        PolicyCase{"FileDirectlyInProgramFiles", Kind::File, "C:\\Program Files\\desktop.ini", kDb,
                   false},
        PolicyCase{"CommonFiles", Kind::Tree, "C:\\Program Files\\Common Files", kDb, false},
        PolicyCase{"CommonFilesVendor", Kind::Tree, "C:\\Program Files\\Common Files\\Acme", kDb,
                   true},
        PolicyCase{"MicrosoftShared", Kind::Tree,
                   "C:\\Program Files\\Common Files\\Microsoft Shared\\Acme", kDb, false},
        PolicyCase{"InternetExplorer", Kind::Tree, "C:\\Program Files\\Internet Explorer", kDb,
                   false},
        PolicyCase{"WindowsNT", Kind::Tree, "C:\\Program Files\\Windows NT\\Accessories", kDb,
                   false},
        PolicyCase{"ProgramData", Kind::Tree, "C:\\ProgramData", kDb, false},
        PolicyCase{"ProgramDataVendor", Kind::Tree, "C:\\ProgramData\\Acme", kDb, true},
        PolicyCase{"ProgramDataMicrosoft", Kind::Tree, "C:\\ProgramData\\Microsoft\\Acme", kDb,
                   false},
        PolicyCase{"Roaming", Kind::Tree, "C:\\users\\root\\AppData\\Roaming", kDb, false},
        PolicyCase{"RoamingVendor", Kind::Tree, "C:\\users\\root\\AppData\\Roaming\\Acme", kDb,
                   true},
        PolicyCase{"RoamingMicrosoft", Kind::Tree,
                   "C:\\users\\root\\AppData\\Roaming\\Microsoft\\Acme", kDb, false},
        PolicyCase{"UserTemp", Kind::Tree, "C:\\users\\root\\AppData\\Local\\Temp", kDb, false},
        PolicyCase{"InUserTemp", Kind::Tree, "C:\\users\\root\\AppData\\Local\\Temp\\Acme", kDb,
                   false},
        PolicyCase{"OldLayoutAppData", Kind::Tree,
                   "C:\\Documents and Settings\\root\\Application Data\\Acme", kDb, true},
        // The user's own folders, profiles and this program's folder.
        PolicyCase{"Profiles", Kind::Tree, "C:\\users", kDb, false},
        PolicyCase{"Profile", Kind::Tree, "C:\\users\\root", kDb, false},
        PolicyCase{"Documents", Kind::Tree, "C:\\users\\root\\Documents", kDb, false},
        PolicyCase{"InDocuments", Kind::Tree, "C:\\users\\root\\Documents\\Acme Writer", kDb,
                   false},
        PolicyCase{"PublicProfile", Kind::Tree, "C:\\users\\Public", kDb, false},
        PolicyCase{"SorvaneFolder", Kind::Tree, "C:\\Program Files\\Sorvane", kDb, false},
        PolicyCase{"SorvaneDatabase", Kind::File, "C:\\Program Files\\Sorvane\\SV.dat", kDb, false},
        // Another installed program's folder, and what holds it.
        PolicyCase{"OtherProgramFolder", Kind::Tree, "C:\\Program Files\\Other App", kDb, false},
        PolicyCase{"InOtherProgramFolder", Kind::File, "C:\\Program Files\\Other App\\other.exe",
                   kDb, false},
        // Outside the roots only the program's own folder, named after it.
        PolicyCase{"OwnFolderOutsideRoots", Kind::Tree, "C:\\Games\\Acme Writer", kDb, true},
        PolicyCase{"ParentOfOwnFolderOutsideRoots", Kind::Tree, "C:\\Games", kDb, false},
        PolicyCase{"UnknownRootFolder", Kind::Tree, "C:\\Tools", kDb, false},
        // Desktop and start menus: shortcuts and program groups only.
        PolicyCase{"Desktop", Kind::Tree, "C:\\users\\root\\Desktop", kDb, false},
        PolicyCase{"DesktopShortcut", Kind::Shortcut, "C:\\users\\root\\Desktop\\Acme.lnk", kDb,
                   true},
        PolicyCase{"DesktopDocument", Kind::File, "C:\\users\\root\\Desktop\\notes.txt", kDb,
                   false},
        PolicyCase{"ProgramsMenu", Kind::Tree,
                   "C:\\users\\root\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs",
                   kDb, false},
        PolicyCase{"ProgramGroup", Kind::Tree,
                   "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Acme", kDb, true},
        PolicyCase{"WindowsProgramGroup", Kind::Tree,
                   "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Accessories", kDb,
                   false},
        PolicyCase{"StartupFolderGroup", Kind::Tree,
                   "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\Acme", kDb,
                   false},
        // Keys: roots, Windows' keys, vendor keys, registrations with evidence.
        PolicyCase{"HiveRoot", Kind::Key, "HKEY_LOCAL_MACHINE\\", kDb, false},
        PolicyCase{"ShortForm", Kind::Key, "HKLM\\SOFTWARE\\Acme\\Writer", kDb, false},
        PolicyCase{"CurrentConfig", Kind::Key, "HKEY_CURRENT_CONFIG\\Acme", kDb, false},
        PolicyCase{"Software", Kind::Key, "HKEY_LOCAL_MACHINE\\SOFTWARE", kDb, false},
        PolicyCase{"VendorProduct", Kind::Key, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme\\Writer", kDb,
                   true},
        PolicyCase{"VendorOnly", Kind::Key, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme", kDb, false},
        PolicyCase{"TopLevelOwnName", Kind::Key, "HKEY_CURRENT_USER\\Software\\Acme Writer", kDb,
                   true},
        PolicyCase{"OtherProgramsKey", Kind::Key, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Other App",
                   kDb, false},
        PolicyCase{"UserVendorProduct", Kind::Key, "HKEY_USERS\\S-1-5-21-1\\Software\\Acme\\Writer",
                   kDb, true},
        PolicyCase{"Wow64VendorProduct", Kind::Key,
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Acme\\Writer", kDb, true},
        PolicyCase{"MicrosoftVendorKey", Kind::Key,
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Acme Writer", kDb, false},
        PolicyCase{"Cryptography", Kind::Key,
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Cryptography", kDb, false},
        PolicyCase{"Policies", Kind::Key, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies\\Acme\\Writer",
                   kDb, false},
        PolicyCase{"ProfileList", Kind::Key,
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\"
                   "ProfileList\\S-1-5-21-1",
                   kDb, false},
        PolicyCase{"OwnUninstallEntry", Kind::Key,
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                   "AcmeWriter",
                   kMachine, true},
        PolicyCase{"OtherUninstallEntry", Kind::Key,
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                   "OtherApp",
                   kMachine, false},
        PolicyCase{"UninstallList", Kind::Key,
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                   kMachine, false},
        PolicyCase{"OwnAppPath", Kind::Key,
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\"
                   "writer.exe",
                   kMachine, true},
        PolicyCase{"OtherAppPath", Kind::Key,
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\"
                   "other.exe",
                   kMachine, false},
        PolicyCase{"OwnComClass", Kind::Key, "HKEY_CLASSES_ROOT\\CLSID\\{AC}", kMachine, true},
        PolicyCase{"ClimbingComClass", Kind::Key, "HKEY_CLASSES_ROOT\\CLSID\\{0B}", kMachine,
                   false},
        PolicyCase{"ClassesContainer", Kind::Key, "HKEY_CLASSES_ROOT\\CLSID", kMachine, false},
        PolicyCase{"OwnTypeLibrary", Kind::Key, "HKEY_CLASSES_ROOT\\TypeLib\\{71}", kMachine, true},
        PolicyCase{"OwnInterface", Kind::Key,
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Interface\\{1F}", kMachine, true},
        PolicyCase{"OwnProgId", Kind::Key, "HKEY_CLASSES_ROOT\\AcmeWriter.Doc", kDb, true},
        PolicyCase{"OwnFileType", Kind::Key, "HKEY_CLASSES_ROOT\\.acw", kDb, true},
        PolicyCase{"SystemFileType", Kind::Key, "HKEY_CLASSES_ROOT\\.txt", kDb, false},
        PolicyCase{"SystemClass", Kind::Key, "HKEY_CLASSES_ROOT\\txtfile", kDb, false},
        PolicyCase{"Protocol", Kind::Key, "HKEY_CLASSES_ROOT\\http", kDb, false},
        PolicyCase{"WindowsProgId", Kind::Key, "HKEY_CLASSES_ROOT\\Paint.Picture", kDb, false},
        PolicyCase{"EveryFile", Kind::Key,
                   "HKEY_CLASSES_ROOT\\*\\shellex\\ContextMenuHandlers\\Acme", kDb, false},
        PolicyCase{"OwnProduct", Kind::Key,
                   "HKEY_CLASSES_ROOT\\Installer\\Products\\14A8E2C593D7F6B40A2E814F9C3D7B56",
                   kMachine, true},
        PolicyCase{"OtherProduct", Kind::Key, "HKEY_CLASSES_ROOT\\Installer\\Products\\0THER",
                   kMachine, false},
        PolicyCase{"OwnComponent", Kind::Key,
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\"
                   "UserData\\S-1-5-18\\Components\\C1",
                   kMachine, true},
        PolicyCase{"SharedComponent", Kind::Key,
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\"
                   "UserData\\S-1-5-18\\Components\\C2",
                   kMachine, false},
        PolicyCase{"OwnServiceKey", Kind::Key,
                   "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\AcmeSvc", kDb, true},
        PolicyCase{"DriverInWindows", Kind::Key,
                   "HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Services\\AcmeDrv", kDb, false},
        PolicyCase{"OtherServiceKey", Kind::Key,
                   "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\OtherSvc", kDb, false},
        PolicyCase{"EventlogKey", Kind::Key,
                   "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Eventlog", kDb, false},
        PolicyCase{"SessionManager", Kind::Key,
                   "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager", kDb,
                   false},
        PolicyCase{"UserEnvironment", Kind::Key, "HKEY_CURRENT_USER\\Environment", kDb, false},
        // Values: in the program's own keys, or list entries that point into its folders.
        PolicyCase{"ValueOfOwnKey", Kind::Value, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme\\Writer|Path",
                   kDb, true},
        PolicyCase{"OwnRunValue", Kind::Value,
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run|AcmeTray",
                   kDb, true},
        PolicyCase{
            "OtherRunValue", Kind::Value,
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run|OtherTray", kDb,
            false},
        PolicyCase{"ClimbingRunValue", Kind::Value,
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run|Climb",
                   kDb, false},
        PolicyCase{"SharedDllEntry", Kind::Value,
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls|"
                   "C:\\Program Files\\Acme\\Writer\\a.dll",
                   kMachine, true},
        PolicyCase{"SharedDllEntryClimbing", Kind::Value,
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls|"
                   "C:\\Program Files\\Acme\\Writer\\..\\..\\Other App\\a.dll",
                   kMachine, false},
        PolicyCase{"FirewallEntry", Kind::Value,
                   "HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Services\\SharedAccess\\Parameters\\"
                   "FirewallPolicy\\StandardProfile\\AuthorizedApplications\\List|"
                   "c:\\program files\\acme\\writer\\writer.exe",
                   kMachine, true},
        PolicyCase{"ComSpec", Kind::Value,
                   "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\"
                   "Environment|ComSpec",
                   kDb, false},
        PolicyCase{"MachineGuid", Kind::Value,
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Cryptography|MachineGuid", kDb, false},
        PolicyCase{"ProgramFilesDir", Kind::Value,
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion|"
                   "ProgramFilesDir",
                   kDb, false},
        PolicyCase{"OwnEntryInSharedComponent", Kind::Value,
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\"
                   "UserData\\S-1-5-18\\Components\\C2|14A8E2C593D7F6B40A2E814F9C3D7B56",
                   kMachine, true},
        PolicyCase{"OtherEntryInSharedComponent", Kind::Value,
                   "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\"
                   "UserData\\S-1-5-18\\Components\\C2|0THER",
                   kMachine, false},
        // Services: the program's own, never Windows'.
        PolicyCase{"OwnService", Kind::Service, "AcmeSvc", kDb, true},
        PolicyCase{"WindowsService", Kind::Service, "RpcSs", kDb, false},
        PolicyCase{"ServiceOfAnother", Kind::Service, "OtherSvc", kDb, false},
        PolicyCase{"UnknownService", Kind::Service, "NoSuchSvc", kDb, false},
        PolicyCase{"BlankService", Kind::Service, " ", kDb, false},
        PolicyCase{"ServiceWithBackslash", Kind::Service, "Acme\\Parameters", kDb, false}),
    [](const ::testing::TestParamInfo<PolicyCase>& param) {
      return std::string(param.param.name);
    });

TEST(PolicyHelpers, ProductCodesCommandsAndFoldedPaths) {
  EXPECT_EQ(PackedProductCode(kGuid), kPacked);
  EXPECT_EQ(PackedProductCode("{5C2E8A41}"), "");
  EXPECT_EQ(ProductCodeOfEntry(kGuid, ""), kGuid);
  EXPECT_EQ(ProductCodeOfEntry("Acme", std::string("MsiExec.exe /I") + kGuid), kGuid);
  EXPECT_EQ(ProductCodeOfEntry("Acme", std::string("MsiExec.exe /X ") + kGuid), kGuid);
  EXPECT_EQ(ProductCodeOfEntry("Acme", std::string("setup.exe /X") + kGuid), "");
  const char* windows = "C:\\windows";
  EXPECT_EQ(ProgramPathOfCommand("\"C:\\Program Files\\A\\a.exe\" /s", windows),
            "C:\\Program Files\\A\\a.exe");
  EXPECT_EQ(ProgramPathOfCommand("C:\\Program Files\\A\\a.exe /s", windows),
            "C:\\Program Files\\A\\a.exe");
  EXPECT_EQ(ProgramPathOfCommand("system32\\drivers\\x.sys", windows),
            "C:\\windows\\system32\\drivers\\x.sys");
  EXPECT_EQ(ProgramPathOfCommand("\\SystemRoot\\System32\\x.sys", windows),
            "C:\\windows\\System32\\x.sys");
  EXPECT_EQ(ProgramPathOfCommand("%SystemRoot%\\system32\\svchost.exe -k netsvcs", windows),
            "C:\\windows\\system32\\svchost.exe");
  EXPECT_EQ(ProgramPathOfCommand("\\??\\C:\\Acme\\a.sys", windows), "C:\\Acme\\a.sys");
  EXPECT_EQ(ProgramPathOfCommand("svchost.exe", windows), "");
  EXPECT_EQ(FoldedPathText("C:/Program Files/Acme/../Other. /x.DLL"),
            "c:\\program files\\other\\x.dll");
}

}  // namespace
}  // namespace sv::policy
