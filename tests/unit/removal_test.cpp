// The removal runs on the fake machine: RemoveSoftware's steps and their order, the two runs'
// window updates, and a table of hostile database entries that must never reach anything a
// program does not own.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "engine/deletion_gate.h"
#include "engine/memory_window.h"
#include "engine/threadUninstall.h"
#include "platform/fake/fake_machine.h"
#include "support/cli_fixture.h"
#include "support/icon_lists.h"
#include "support/search_modes.h"

namespace sv::engine {
namespace {

using platform::Hive;
using testing::DbEntry;
using testing::DbItem;
using testing::DbSoft;
using Texts = std::vector<std::string>;

constexpr const char* kOwnFolder = "C:\\Program Files\\Sorvane\\";
constexpr const char* kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kPrograms =
    "C:\\users\\root\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
constexpr const char* kDesktop = "C:\\users\\root\\Desktop";
constexpr const char* kFirewallList =
    "SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\"
    "StandardProfile\\AuthorizedApplications\\List";

class RemovalTest : public ::testing::Test {
 public:
  RemovalTest() {
    machine.files.PutFile(std::string(kOwnFolder) + "Sorvane.exe", "MZ");
    machine.files.PutIcons(std::string(kOwnFolder) + "Sorvane.exe", 1);
  }

  void PutDatabase(const std::vector<DbEntry>& entries, const std::vector<DbSoft>& softs) {
    testing::PutDatabase(machine.files, kOwnFolder, entries, softs);
  }

  void PutKey(Hive hive, const std::string& path,
              const std::vector<std::pair<std::string, std::string>>& values = {}) {
    auto key = machine.registry.CreateKey(hive, path);
    ASSERT_TRUE(key) << path;
    for (const auto& [name, text] : values)
      ASSERT_EQ(key->SetStringValue(name, text), platform::kSuccess);
  }

  bool KeyExists(Hive hive, const std::string& path) {
    return machine.registry.OpenKey(hive, path, platform::KeyAccess::Read) != nullptr;
  }
  bool ValueExists(Hive hive, const std::string& path, const std::string& name) {
    auto key = machine.registry.OpenKey(hive, path, platform::KeyAccess::Read);
    return key && key->QueryValue(name).has_value();
  }
  bool Exists(const std::string& path) {
    return machine.files.GetAttributes(path) != platform::kInvalidAttributes;
  }

  RunEnvironment Env() { return RunEnvironment{platform, window, small, big, {}, {}}; }

  void Remove(const std::string& name, std::uint16_t residual, bool progress = true) {
    // The indexed lookups decide every deletion as the literal ones do, before anything goes.
    testing::ExpectSameDryRunRemoval(Env(), name, residual);
    DeletionGate gate(platform);
    RemoveSoftware(Env(), gate, name, residual, progress);
  }

  Texts StatusLines() {
    Texts lines;
    for (const std::string& event : window.Events()) {
      if (event.starts_with("text panCleanHint ")) lines.push_back(event.substr(18));
    }
    return lines;
  }

  Texts Names(ListView list) {
    Texts names;
    for (const ListRow& row : window.Rows(list))
      names.push_back(row.caption + "|" + row.subItems.at(0));
    return names;
  }

  fake::FakeMachine machine{fake::FakeMachine::Layout::Standard};
  platform::Platform platform = machine.Get();
  MemoryWindow window;
  testing::RecordingIconList small, big;
};

// "Acme Writer": an installed program with a bit of everything.
class AcmeMachine : public RemovalTest {
 protected:
  static constexpr const char* kFolder = "C:\\Program Files\\Acme\\Writer";

  AcmeMachine() {
    DbSoft soft;
    soft.id = "AW";
    soft.name = "Acme Writer";
    soft.category = 5;
    soft.installFolder = "1Acme\\Writer";
    soft.desktop = "Acme Writer.lnk";
    soft.programs = "Acme";
    soft.locations = {{"HKLM\\SOFTWARE\\Acme\\Writer", "Path"}};
    PutDatabase(
        {{"AW",
          {{1, "{pf}\\Acme\\shared.txt"}, {4, "C:\\ProgramData\\AcmeData"}},
          {{2, "HKCU\\Software\\Acme\\Writer"}, {3, "HKLM\\SOFTWARE\\Acme\\Writer\\Path"}}}},
        {soft});
    machine.files.PutFile(std::string(kFolder) + "\\writer.exe");
    machine.files.PutFile(std::string(kFolder) + "\\lib\\core.dll");
    machine.files.PutFile("C:\\Program Files\\Acme\\shared.txt");
    machine.files.PutFile("C:\\ProgramData\\AcmeData\\doc.txt");
    machine.files.PutFile(std::string(kDesktop) + "\\Acme Writer.lnk");
    machine.files.PutFile(std::string(kPrograms) + "\\Acme\\Acme Writer.lnk");
    PutKey(Hive::CurrentUser, "Software\\Acme\\Writer", {{"x", "1"}});
    PutKey(Hive::LocalMachine, "SOFTWARE\\Acme\\Writer", {{"Path", kFolder}});
    PutKey(Hive::LocalMachine, "SOFTWARE\\Classes\\CLSID\\{AW1}\\InprocServer32",
           {{"", std::string(kFolder) + "\\lib\\core.dll"}});
    PutKey(Hive::LocalMachine, kFirewallList,
           {{std::string(kFolder) + "\\writer.exe", "x:Enabled"}, {"C:\\Other\\o.exe", "x"}});
    PutKey(Hive::LocalMachine, std::string(kUninstall) + "\\AcmeWriter",
           {{"DisplayName", "Acme Writer"},
            {"UninstallString", "C:\\x\\u.exe"},
            {"InstallLocation", kFolder}});
    PutKey(Hive::LocalMachine, kRun, {{"AcmeTray", std::string(kFolder) + "\\writer.exe /tray"}});
  }
};

TEST_F(AcmeMachine, RemoveSoftwareDeletesEverythingInItsOrder) {
  Remove("Acme Writer", kInstalledProgram);
  const std::string folder = kFolder;
  EXPECT_EQ(
      StatusLines(),
      (Texts{" Deleting C:\\Program Files\\Acme\\shared.txt...",
             " Deleting C:\\ProgramData\\AcmeData...",
             " Deleting HKEY_CURRENT_USER\\Software\\Acme\\Writer...",
             " Deleting HKEY_LOCAL_MACHINE\\SOFTWARE\\Acme\\Writer\\Path...",
             // The location value is read in lower case; the install folder code names the
             // same folder, which the plan takes once.
             " Deleting c:\\program files\\acme\\writer...",
             " Deleting HKEY_CLASSES_ROOT\\CLSID\\{AW1}...",
             " Deleting HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{AW1}...",
             " Deleting HKEY_LOCAL_MACHINE\\" + std::string(kFirewallList) + "\\" + folder +
                 "\\writer.exe...",
             " Deleting " + std::string(kDesktop) + "\\Acme Writer.lnk...",
             " Deleting " + std::string(kPrograms) + "\\Acme...",
             " Deleting HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\"
             "AcmeTray..."}));
  for (const std::string& path :
       {folder, std::string("C:\\Program Files\\Acme"), std::string("C:\\ProgramData\\AcmeData"),
        std::string(kDesktop) + "\\Acme Writer.lnk", std::string(kPrograms) + "\\Acme"}) {
    EXPECT_FALSE(Exists(path)) << path;
  }
  EXPECT_FALSE(KeyExists(Hive::CurrentUser, "Software\\Acme\\Writer"));
  EXPECT_FALSE(KeyExists(Hive::LocalMachine, "SOFTWARE\\Classes\\CLSID\\{AW1}"));
  EXPECT_FALSE(KeyExists(Hive::LocalMachine, std::string(kUninstall) + "\\AcmeWriter"));
  EXPECT_FALSE(ValueExists(Hive::LocalMachine, kRun, "AcmeTray"));
  EXPECT_FALSE(ValueExists(Hive::LocalMachine, kFirewallList, folder + "\\writer.exe"));
  // What is not the program's stays.
  EXPECT_TRUE(ValueExists(Hive::LocalMachine, kFirewallList, "C:\\Other\\o.exe"));
  EXPECT_TRUE(Exists("C:\\Program Files"));
  EXPECT_TRUE(Exists(kPrograms));
}

TEST_F(AcmeMachine, AResidueKeepsItsUninstallEntryAndTraces) {
  Remove("Acme Writer", kResidue);
  EXPECT_FALSE(Exists(kFolder));
  EXPECT_TRUE(KeyExists(Hive::LocalMachine, std::string(kUninstall) + "\\AcmeWriter"));
  EXPECT_TRUE(ValueExists(Hive::LocalMachine, kRun, "AcmeTray"));
}

TEST_F(AcmeMachine, WithoutProgressTheSameWorkIsDoneSilently) {
  Remove("Acme Writer", kInstalledProgram, false);
  EXPECT_TRUE(StatusLines().empty());
  EXPECT_FALSE(Exists(kFolder));
  EXPECT_FALSE(KeyExists(Hive::LocalMachine, std::string(kUninstall) + "\\AcmeWriter"));
}

TEST_F(AcmeMachine, ANameTheDatabaseDoesNotHoldRemovesNothing) {
  Remove("Acme", kInstalledProgram);
  EXPECT_TRUE(Exists(kFolder));
  EXPECT_TRUE(StatusLines().empty());
}

TEST_F(AcmeMachine, AFolderInUseKeepsItsParent) {
  auto held =
      machine.files.OpenFile(std::string(kFolder) + "\\writer.exe", platform::FileAccess::Read,
                             platform::kShareRead, platform::Disposition::OpenExisting);
  ASSERT_TRUE(held);
  machine.files.PutFile(std::string(kFolder) + "\\readme.txt");
  machine.files.SetAttributes(std::string(kFolder) + "\\readme.txt",
                              platform::kAttrReadOnly | platform::kAttrHidden);
  machine.files.RemoveFile("C:\\Program Files\\Acme\\shared.txt");
  Remove("Acme Writer", kInstalledProgram);
  EXPECT_TRUE(Exists(std::string(kFolder) + "\\writer.exe"));
  EXPECT_FALSE(Exists(std::string(kFolder) + "\\readme.txt"));
  EXPECT_FALSE(Exists(std::string(kFolder) + "\\lib"));
  EXPECT_TRUE(Exists("C:\\Program Files\\Acme"));
  // Its files could not all go, so it stays listed and can be removed again.
  EXPECT_TRUE(KeyExists(Hive::LocalMachine, std::string(kUninstall) + "\\AcmeWriter"));
  EXPECT_TRUE(ValueExists(Hive::LocalMachine, kRun, "AcmeTray"));
}

TEST_F(RemovalTest, AFolderWrittenWithATrailingBackslashIsItsOwnParent) {
  DbSoft soft;
  soft.id = "T";
  soft.name = "Lathe";
  soft.locations = {{"HKLM\\SOFTWARE\\Tool", "Dir"}};
  PutDatabase({{"T", {}, {}}}, {soft});
  machine.files.PutFile("C:\\Tools\\Lathe\\t.exe");
  PutKey(Hive::LocalMachine, "SOFTWARE\\Tool", {{"Dir", "C:\\Tools\\Lathe\\"}});
  Remove("Lathe", kInstalledProgram);
  EXPECT_FALSE(Exists("C:\\Tools\\Lathe"));
  EXPECT_TRUE(Exists("C:\\Tools"));
}

TEST_F(RemovalTest, DeleteDirTreeRemovesALinkAndNeverWhatItPointsAt) {
  machine.files.PutFile("C:\\users\\root\\Documents\\precious.txt");
  machine.files.PutFile("C:\\Program Files\\Acme\\a.exe");
  machine.files.PutDirectoryLink("C:\\Program Files\\Acme\\docs", "C:\\users\\root\\Documents");
  EXPECT_TRUE(DeleteDirTree(platform, "C:\\Program Files\\Acme"));
  EXPECT_TRUE(Exists("C:\\users\\root\\Documents\\precious.txt"));
  // A link given as the folder itself is removed as a link too.
  machine.files.PutDirectoryLink("C:\\Program Files\\Link", "C:\\users\\root\\Documents");
  EXPECT_TRUE(DeleteDirTree(platform, "C:\\Program Files\\Link\\"));
  EXPECT_TRUE(Exists("C:\\users\\root\\Documents\\precious.txt"));
}

TEST_F(RemovalTest, IsDirEmptyCountsAnythingButTheDotEntries) {
  machine.files.PutDirectory("C:\\E\\empty");
  machine.files.PutFile("C:\\E\\full\\f.txt");
  machine.files.PutDirectory("C:\\E\\sub\\x");
  EXPECT_TRUE(IsDirEmpty(platform, "C:\\E\\empty"));
  EXPECT_TRUE(IsDirEmpty(platform, "C:\\E\\empty\\"));
  EXPECT_TRUE(IsDirEmpty(platform, "C:\\E\\missing"));
  EXPECT_FALSE(IsDirEmpty(platform, "C:\\E\\full"));
  EXPECT_FALSE(IsDirEmpty(platform, "C:\\E\\sub"));
}

// --- Services and processes ---

TEST_F(RemovalTest, RemoveServiceWaitsABoundedWhileForTheServiceToStop) {
  machine.services.Create("Quick", platform::kServiceRunning);
  machine.services.SetStopDelay("Quick", 3);
  EXPECT_EQ(RemoveService(platform, "Quick"), 1);
  EXPECT_FALSE(machine.services.Exists("Quick"));
  EXPECT_FALSE(KeyExists(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\Quick"));
  EXPECT_EQ(machine.system.sleeps, (std::vector<std::uint32_t>{250, 250, 250}));

  // A service that never stops is deleted after five seconds all the same, and goes once it
  // has stopped.
  machine.system.sleeps.clear();
  machine.services.Create("Hung", platform::kServiceRunning);
  machine.services.SetStopDelay("Hung", -1);
  EXPECT_EQ(RemoveService(platform, "Hung"), 1);
  EXPECT_EQ(machine.system.sleeps, std::vector<std::uint32_t>(20, 250));
  EXPECT_TRUE(machine.services.MarkedForDelete("Hung"));
  EXPECT_EQ(machine.services.OpenHandleCount(), 0);
}

TEST_F(RemovalTest, RemoveServiceAnswersWhatItCouldNotOpen) {
  EXPECT_EQ(RemoveService(platform, "Missing"), -2);
  machine.faults.Inject(fake::Op::OpenServiceManager, "*", platform::kErrorAccessDenied);
  machine.services.Create("There");
  EXPECT_EQ(RemoveService(platform, "There"), -1);
  EXPECT_TRUE(machine.services.Exists("There"));
  EXPECT_EQ(machine.services.OpenHandleCount(), 0);
}

TEST_F(RemovalTest, ProcessesMatchByFileNameOrWholePathAndAllCopiesEnd) {
  const auto first = machine.processes.Start("APP.EXE");
  const auto second = machine.processes.Start("C:\\Tools\\App.exe");
  const auto other = machine.processes.Start("application.exe");
  EXPECT_TRUE(IsProcessRunning(platform, "app.exe"));
  EXPECT_TRUE(IsProcessRunning(platform, "c:\\tools\\APP.exe"));
  EXPECT_FALSE(IsProcessRunning(platform, "app"));
  EXPECT_FALSE(IsProcessRunning(platform, ""));
  EndProcessByName(platform, "app.exe");
  EXPECT_FALSE(machine.processes.IsRunning(first));
  EXPECT_FALSE(machine.processes.IsRunning(second));
  EXPECT_TRUE(machine.processes.IsRunning(other));
  // A pause after each, so the process lets go of its files.
  EXPECT_EQ(machine.system.sleeps, (std::vector<std::uint32_t>{1000, 1000}));
  EXPECT_EQ(machine.processes.OpenHandleCount(), 0);
}

TEST_F(RemovalTest, ServicesThenProcessesThenFilesAndNothingForEmptyPieces) {
  DbSoft soft;
  soft.id = "S";
  soft.name = "Served";
  soft.services = ",SvcA,, SvcB,";
  soft.processes = "served.exe,,";
  PutDatabase({{"S", {{4, "C:\\Served"}}, {}}}, {soft});
  // Services proven to be the program's: their programs lie in its folder.
  machine.services.Create("SvcA", platform::kServiceRunning, "C:\\Served\\svca.exe");
  machine.services.Create(" SvcB", platform::kServiceStopped, "\"C:\\Served\\svcb.exe\" -k");
  machine.files.PutFile("C:\\Served\\served.exe");
  std::vector<std::unique_ptr<platform::File>> held;
  held.push_back(machine.files.OpenFile("C:\\Served\\served.exe", platform::FileAccess::Read,
                                        platform::kShareRead, platform::Disposition::OpenExisting));
  const auto pid = machine.processes.Start("SERVED.EXE", std::move(held));

  Remove("Served", kResidue);
  EXPECT_EQ(StatusLines(), (Texts{" Unloading services - SvcA...", " Unloading services -  SvcB...",
                                  " Ending process - served.exe...", " Deleting C:\\Served..."}));
  EXPECT_FALSE(machine.services.Exists("SvcA"));
  EXPECT_FALSE(machine.services.Exists(" SvcB"));
  EXPECT_FALSE(machine.processes.IsRunning(pid));
  // The file the process held is free once it has ended.
  EXPECT_FALSE(Exists("C:\\Served"));
  for (const std::string& call : machine.services.Calls())
    EXPECT_NE(call, "OpenService ") << "an empty piece reached the service manager";
  EXPECT_TRUE(KeyExists(Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services"));
}

TEST_F(RemovalTest, NeverEndsItsOwnOrASystemProcess) {
  DbSoft soft;
  soft.id = "S";
  soft.name = "Sly";
  soft.processes = "svchost.exe,Sorvane.exe,C:\\windows\\explorer.exe,sly.exe";
  PutDatabase({{"S", {}, {}}}, {soft});
  const auto host = machine.processes.Start("svchost.exe");
  const auto shell = machine.processes.Start("C:\\windows\\explorer.exe");
  const auto sly = machine.processes.Start("sly.exe");
  Remove("Sly", kResidue);
  EXPECT_TRUE(machine.processes.IsRunning(host));
  EXPECT_TRUE(machine.processes.IsRunning(shell));
  EXPECT_FALSE(machine.processes.IsRunning(sly));
  EXPECT_TRUE(IsProcessRunning(platform, "Sorvane.exe"));
}

// --- The runs ---

class CleanRunTest : public RemovalTest {
 protected:
  CleanRunTest() {
    std::vector<DbEntry> entries;
    std::vector<DbSoft> softs;
    for (const char* name : {"Alpha", "Beta", "Gamma", "Delta"}) {
      const std::string folder = std::string("C:\\Program Files\\") + name;
      entries.push_back({name, {{4, folder}}, {}});
      DbSoft soft;
      soft.id = name;
      soft.name = name;
      softs.push_back(soft);
      machine.files.PutFile(folder + "\\x.exe");
      PutKey(Hive::LocalMachine, std::string(kUninstall) + "\\" + name,
             {{"DisplayName", name}, {"UninstallString", "u.exe"}});
    }
    PutDatabase(entries, softs);
  }

  void Installed(const std::string& name, std::string_view state, bool ticked) {
    ListRow row;
    row.caption = std::to_string(window.RowCount(ListView::lstvNList) + 1);
    row.subItems = {name, std::string(state), "", ""};
    row.checked = ticked;
    row.selected = true;  // whatever the user had selected is cleared
    window.AddRow(ListView::lstvNList, row);
  }
  void Residue(const std::string& name, bool ticked) {
    ListRow row;
    row.caption = std::to_string(window.RowCount(ListView::lstvRList) + 1);
    row.subItems = {name, "Other Tools"};
    row.checked = ticked;
    window.AddRow(ListView::lstvRList, row);
  }
};

TEST_F(CleanRunTest, CleanCheckedRemovesTickedRowsInListOrderAndRenumbers) {
  Installed("Alpha", kStateSupported, true);
  Installed("Other", kStateUnsupported, true);
  Installed("Beta", kStateSupported, false);
  Installed("Gamma", kStateSupported, true);
  Residue("Delta", true);
  Residue("Zeta", false);
  window.SetChecked(CheckBox::chkSelectAll1, true);
  window.ClearEvents();
  CleanChecked(Env());

  const Texts events = window.Events();
  const auto at = [&events](const std::string& event) {
    return std::find(events.begin(), events.end(), event) - events.begin();
  };
  EXPECT_LT(at("text panCleanHint  Cleaning Alpha..."), at("text panCleanHint  Cleaning Gamma..."));
  EXPECT_LT(at("text panCleanHint  Gamma has successfully unloaded."),
            at("text panCleanHint  Cleaning Delta..."));
  EXPECT_LT(at("text panCleanHint  Delta has successfully unloaded."),
            at("message Finish: Cleaning completed."));
  EXPECT_EQ(events.front(), "show panCleanHint");
  EXPECT_EQ(std::count(events.begin(), events.end(), "text panCleanHint  Cleaning Other..."), 0);

  EXPECT_EQ(window.Messages(),
            (std::vector<RecordedMessage>{{"Cleaning completed.", "Finish",
                                           platform::kMbOk | platform::kMbIconInformation}}));
  EXPECT_EQ(Names(ListView::lstvNList), (Texts{"1|Other", "2|Beta"}));
  EXPECT_TRUE(window.Rows(ListView::lstvNList).at(0).checked);  // unsupported keeps its tick
  EXPECT_EQ(Names(ListView::lstvRList), (Texts{"1|Zeta"}));
  EXPECT_EQ(window.Text(Label::labSoftNum), "2 Software");
  EXPECT_FALSE(Exists("C:\\Program Files\\Alpha"));
  EXPECT_TRUE(Exists("C:\\Program Files\\Beta"));
  EXPECT_FALSE(Exists("C:\\Program Files\\Delta"));
  // Installed programs lose their Uninstall entry; a residue keeps it.
  EXPECT_FALSE(KeyExists(Hive::LocalMachine, std::string(kUninstall) + "\\Alpha"));
  EXPECT_TRUE(KeyExists(Hive::LocalMachine, std::string(kUninstall) + "\\Delta"));
  EXPECT_FALSE(window.IsVisible(Control::panCleanHint));
  EXPECT_FALSE(window.IsChecked(CheckBox::chkSelectAll1));
  EXPECT_NE(window.CurrentPage(), Page::pgWelcome);
  for (const Control control : {Control::imgClean, Control::imgCancel, Control::lstvNList,
                                Control::lstvRList, Control::pan_Foot_Bottom}) {
    EXPECT_TRUE(window.IsEnabled(control));
  }
  EXPECT_EQ(window.GaugeMax(), 6);
  EXPECT_EQ(window.GaugeProgress(), 0);
  // The gauge advances once per row visited, before that row's removal.
  Texts gauge;
  for (const std::string& event : events)
    if (event.starts_with("gauge ") && !event.starts_with("gauge max")) gauge.push_back(event);
  EXPECT_EQ(gauge, (Texts{"gauge 0", "gauge 1", "gauge 2", "gauge 3", "gauge 4", "gauge 5",
                          "gauge 6", "gauge 0"}));
}

// A removal that could not delete everything says so, and its row stays to be tried again.
TEST_F(CleanRunTest, WhatCouldNotBeRemovedIsListedAndItsRowStays) {
  Installed("Alpha", kStateSupported, true);
  Installed("Beta", kStateSupported, true);
  machine.faults.Inject(fake::Op::RemoveFile, "c:\\program files\\alpha\\x.exe",
                        platform::kErrorAccessDenied);
  CleanChecked(Env());
  const auto messages = window.Messages();
  ASSERT_EQ(messages.size(), 1U);
  EXPECT_TRUE(
      messages[0].text.starts_with("Cleaning completed.\r\n\r\nThese items could not be "
                                   "removed:\r\nAlpha: C:\\Program Files\\Alpha ("))
      << messages[0].text;
  EXPECT_EQ(messages[0].style, platform::kMbOk | platform::kMbIconWarning);
  const Texts lines = StatusLines();
  EXPECT_NE(std::find(lines.begin(), lines.end(), " Alpha: 1 item could not be removed."),
            lines.end());
  EXPECT_EQ(Names(ListView::lstvNList), (Texts{"1|Alpha"}));
  EXPECT_TRUE(KeyExists(Hive::LocalMachine, std::string(kUninstall) + "\\Alpha"));
  EXPECT_FALSE(KeyExists(Hive::LocalMachine, std::string(kUninstall) + "\\Beta"));
}

TEST_F(CleanRunTest, HiddenProgressWritesNoStatusLines) {
  Installed("Alpha", kStateSupported, true);
  window.SetChecked(CheckBox::chkHideProcess, true);
  window.ClearEvents();
  CleanChecked(Env());
  EXPECT_TRUE(StatusLines().empty());
  EXPECT_FALSE(Exists("C:\\Program Files\\Alpha"));
}

TEST_F(CleanRunTest, RemovingTheLastCountedRowsReturnsToTheStartPage) {
  Installed("Alpha", kStateSupported, true);
  Installed("Other", kStateUnsupported, false);
  Residue("Delta", true);
  CleanChecked(Env());
  EXPECT_EQ(window.Text(Label::labSoftNum), "0 Software");
  EXPECT_EQ(window.CurrentPage(), Page::pgWelcome);
}

TEST_F(CleanRunTest, AFailureReenablesTheWindowAndIsShown) {
  machine.files.RemoveFile(std::string(kOwnFolder) + "soft.dat");
  machine.faults.Inject(fake::Op::OpenFile, std::string(kOwnFolder) + "soft.dat",
                        platform::kErrorAccessDenied);
  machine.faults.Inject(fake::Op::MakeDir, "*", platform::kErrorAccessDenied);
  Installed("Alpha", kStateSupported, true);
  CleanChecked(Env());
  const auto messages = window.Messages();
  ASSERT_EQ(messages.size(), 1U);
  EXPECT_EQ(messages[0].caption, "Error");
  EXPECT_FALSE(window.IsVisible(Control::panCleanHint));
  EXPECT_TRUE(window.IsEnabled(Control::imgClean));
  EXPECT_TRUE(window.IsEnabled(Control::pan_Foot_Bottom));
  EXPECT_EQ(window.GaugeProgress(), 0);
  EXPECT_EQ(window.RowCount(ListView::lstvNList), 1);
}

struct ShownCase {
  const char* kind;
  bool uninstallEntryStays;
  ListView list;
};

class CleanShownTest : public CleanRunTest, public ::testing::WithParamInterface<ShownCase> {};

TEST_P(CleanShownTest, RemovesTheShownProgramWithTheFlagsOfItsList) {
  Installed("Alpha", kStateSupported, false);
  Installed("Alpha", kStateSupported, false);
  Installed("Other", kStateUnsupported, false);
  Residue("Zeta", false);
  Residue("Alpha", false);
  Residue("Alpha", false);
  window.SetText(Label::labUS1Soft, "Alpha");
  window.SetText(Label::labUS1Type, GetParam().kind);
  window.ClearEvents();
  CleanShownSoftware(Env());

  EXPECT_FALSE(Exists("C:\\Program Files\\Alpha"));
  EXPECT_EQ(KeyExists(Hive::LocalMachine, std::string(kUninstall) + "\\Alpha"),
            GetParam().uninstallEntryStays);
  // Only the first row of that name goes from its own list.
  const bool residual = GetParam().list == ListView::lstvRList;
  EXPECT_EQ(Names(ListView::lstvRList),
            residual ? (Texts{"1|Zeta", "2|Alpha"}) : (Texts{"1|Zeta", "2|Alpha", "3|Alpha"}));
  EXPECT_EQ(Names(ListView::lstvNList),
            residual ? (Texts{"1|Alpha", "2|Alpha", "3|Other"}) : (Texts{"1|Alpha", "2|Other"}));
  // Supported rows and residue rows left; the unsupported row is not counted.
  EXPECT_EQ(window.Text(Label::labSoftNum), "4 Software");
  EXPECT_EQ(window.CurrentPage(), Page::pgResults);
  EXPECT_TRUE(StatusLines().empty());
  const Texts events = window.Events();
  EXPECT_EQ(Texts(events.begin(), events.begin() + 5),
            (Texts{"disable imgDCancel", "disable imgDClean", "gauge max 100", "gauge 0",
                   "disable pan_Foot_Bottom"}));
  EXPECT_EQ(Texts(events.end() - 4, events.end()),
            (Texts{"enable imgDClean", "enable imgDCancel", "enable pan_Foot_Bottom", "gauge 0"}));
  EXPECT_NE(std::find(events.begin(), events.end(), "gauge 80"), events.end());
  EXPECT_NE(std::find(events.begin(), events.end(), "gauge 100"), events.end());
}

INSTANTIATE_TEST_SUITE_P(Kinds, CleanShownTest,
                         ::testing::Values(ShownCase{"Residual", true, ListView::lstvRList},
                                           ShownCase{"Installation", false, ListView::lstvNList}));

TEST_F(CleanRunTest, TheOnlyResidueRemovedFromTheDetailPageLeadsToTheStartPage) {
  Installed("Other", kStateUnsupported, false);
  Residue("Delta", false);
  window.SetText(Label::labUS1Soft, "Delta");
  window.SetText(Label::labUS1Type, "Residual");
  CleanShownSoftware(Env());
  EXPECT_EQ(window.Text(Label::labSoftNum), "0 Software");
  EXPECT_EQ(window.CurrentPage(), Page::pgWelcome);
}

// --- Hostile entries ---

// A database entry, and what it finds on the machine, built to reach beyond the program.
struct HostileCase {
  const char* name;
  std::function<void(DbSoft&, DbEntry&, RemovalTest&)> setUp;
};

using LinkBehaviour = fake::FakeFileSystem::LinkBehaviour;

// Every case runs with the link behaviour of Windows and with that of Wine.
class HostileTest : public RemovalTest,
                    public ::testing::WithParamInterface<std::tuple<HostileCase, LinkBehaviour>> {
 protected:
  // Files, folders and keys no removal of "Hostile" may touch.
  static const Texts& ProtectedFiles() {
    static const Texts files{
        "C:\\windows\\win.ini",
        "C:\\windows\\system32\\kernel32.dll",
        "C:\\windows\\Fonts\\arial.ttf",
        "C:\\windows\\Temp\\t.tmp",
        "C:\\windows\\Installer\\x.msi",
        "C:\\Program Files\\Other\\other.exe",
        "C:\\Program Files\\Common Files\\shared.dll",
        "C:\\Program Files (x86)\\Other32\\o.exe",
        "C:\\ProgramData\\Other\\data.bin",
        "C:\\users\\root\\Desktop\\mine.txt",
        "C:\\users\\root\\Documents\\doc.txt",
        "C:\\users\\root\\AppData\\Roaming\\Other\\cfg.ini",
        "C:\\users\\root\\AppData\\Local\\Other\\cache.bin",
        std::string(kPrograms) + "\\Other.lnk",
        "C:\\users\\Public\\Desktop\\pub.lnk",
        "C:\\users\\Default\\ntuser.dat",
        "C:\\Program Files\\Sorvane\\SV.dat",
        "C:\\Program Files\\Sorvane\\soft.dat",
        "C:\\windows\\system32\\catroot\\{F750E6C3}\\x.cat",
        "C:\\windows\\performance\\winsat\\w.xml",
        "C:\\Program Files\\Internet Explorer\\iexplore.exe",
        "C:\\Program Files\\Windows NT\\Accessories\\wordpad.exe",
        "C:\\Program Files\\Common Files\\Microsoft Shared\\ink\\i.dll",
        "C:\\users\\root\\AppData\\Local\\Temp\\work.tmp",
        "C:\\ProgramData\\Microsoft\\Crypto\\k.key",
    };
    return files;
  }
  struct ProtectedValue {
    Hive hive;
    std::string key;
    std::string value;
  };
  static const std::vector<ProtectedValue>& ProtectedValues() {
    static const std::vector<ProtectedValue> values{
        {Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir"},
        {Hive::LocalMachine, std::string(kUninstall) + "\\Other", "DisplayName"},
        {Hive::LocalMachine, kRun, "Other"},
        {Hive::LocalMachine, "SOFTWARE\\Classes\\CLSID\\{07}\\InprocServer32", ""},
        {Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\OtherSvc", "ImagePath"},
        {Hive::CurrentUser, "Software\\Other", "x"},
        {Hive::LocalMachine, "SOFTWARE\\Classes\\Installer\\Products\\0THER", "ProductName"},
        {Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "Shell"},
        {Hive::LocalMachine, kFirewallList, "C:\\Program Files\\Other\\other.exe"},
        {Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
         "ComSpec"},
        {Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E968}", "Class"},
        {Hive::LocalMachine, "SYSTEM\\CurrentControlSet\\Services\\Eventlog", "ImagePath"},
        {Hive::LocalMachine, "SOFTWARE\\Microsoft\\Cryptography", "MachineGuid"},
        {Hive::LocalMachine,
         "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-21-9",
         "ProfileImagePath"},
        {Hive::LocalMachine, "SOFTWARE\\Classes\\.ini", ""},
        {Hive::LocalMachine, "SOFTWARE\\Classes\\txtfile\\shell\\open\\command", ""},
        {Hive::LocalMachine, "SOFTWARE\\Classes\\http\\shell\\open\\command", ""},
        {Hive::LocalMachine, "SOFTWARE\\Classes\\CLSID\\{5Y5}\\InprocServer32", ""},
        {Hive::LocalMachine, "SOFTWARE\\Microsoft\\Internet Explorer\\Main", "Start Page"},
    };
    return values;
  }

  void SetUp() override {
    machine.files.SetLinkBehaviour(std::get<1>(GetParam()));
    for (const std::string& file : ProtectedFiles())
      machine.files.PutFile(file, "keep");
    for (const ProtectedValue& value : ProtectedValues())
      PutKey(value.hive, value.key, {{value.value, "C:\\Program Files\\Other\\other.exe"}});
    // A profile the registry knows lies where profiles lie.
    PutKey(Hive::LocalMachine,
           "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\S-1-5-21-9",
           {{"ProfileImagePath", "C:\\users\\ghost"}});
    // A class of Windows, served from a folder of the system folder.
    PutKey(Hive::LocalMachine, "SOFTWARE\\Classes\\CLSID\\{5Y5}\\InprocServer32",
           {{"", "C:\\windows\\system32\\catroot\\cat.dll"}});
    // Windows' own services, and another program's.
    machine.services.Create("RpcSs", platform::kServiceRunning, "C:\\windows\\system32\\rpcss.exe");
    machine.services.Create("OtherSvc", platform::kServiceRunning,
                            "C:\\Program Files\\Other\\svc.exe");
    // Another installed program, with its folder and its Uninstall entry.
    PutKey(Hive::LocalMachine, std::string(kUninstall) + "\\OtherApp",
           {{"DisplayName", "Other"},
            {"InstallLocation", "C:\\Program Files\\Other"},
            {"UninstallString", "C:\\Program Files\\Other\\u.exe"}});
  }
};

TEST_P(HostileTest, LeavesEveryProtectedItemInPlace) {
  DbSoft soft;
  soft.id = "H";
  soft.name = "Hostile";
  DbEntry entry{"H", {}, {}};
  std::get<0>(GetParam()).setUp(soft, entry, *this);
  PutDatabase({entry}, {soft});
  const std::string uninstallKey = std::string(kUninstall) + "\\" + soft.name;
  PutKey(Hive::LocalMachine, uninstallKey,
         {{"DisplayName", soft.name}, {"UninstallString", "u.exe"}});

  Remove(soft.name, kInstalledProgram);
  for (const std::string& file : ProtectedFiles())
    EXPECT_TRUE(Exists(file)) << file;
  for (const ProtectedValue& value : ProtectedValues())
    EXPECT_TRUE(ValueExists(value.hive, value.key, value.value))
        << value.key << "\\" << value.value;
  for (const char* service : {"RpcSs", "OtherSvc"})
    EXPECT_TRUE(machine.services.Exists(service)) << service;
  EXPECT_TRUE(KeyExists(Hive::LocalMachine, std::string(kUninstall) + "\\OtherApp"));
  // The program's own Uninstall entry went all the same.
  EXPECT_FALSE(KeyExists(Hive::LocalMachine, uninstallKey));
}

void Location(DbSoft& soft, RemovalTest& test, const std::string& text) {
  soft.locations.push_back({"HKLM\\SOFTWARE\\Hostile", "Path"});
  auto key = test.machine.registry.CreateKey(Hive::LocalMachine, "SOFTWARE\\Hostile");
  key->SetStringValue("Path", text);
}

HostileCase InstallFolder(const char* name, const char* code) {
  return {name, [code](DbSoft& soft, DbEntry&, RemovalTest&) { soft.installFolder = code; }};
}
HostileCase LocationValue(const char* name, const char* text) {
  return {name, [text](DbSoft& soft, DbEntry&, RemovalTest& test) { Location(soft, test, text); }};
}
HostileCase FileItem(const char* name, std::int32_t kind, const char* text) {
  return {name, [kind, text](DbSoft&, DbEntry& entry, RemovalTest&) {
            entry.files.push_back(DbItem{kind, text});
          }};
}
HostileCase RegistryItem(const char* name, std::int32_t kind, const char* text) {
  return {name, [kind, text](DbSoft&, DbEntry& entry, RemovalTest&) {
            entry.registry.push_back(DbItem{kind, text});
          }};
}

INSTANTIATE_TEST_SUITE_P(
    Entries, HostileTest,
    ::testing::Combine(::testing::Values(
                           InstallFolder("CodeOneAlone", "1"), InstallFolder("CodeZeroAlone", "0"),
                           InstallFolder("CodeTwoAlone", "2"), InstallFolder("CodeThreeAlone", "3"),
                           InstallFolder("CodeOneDotDot", "1.."),
                           InstallFolder("CodeClimbing", "1Acme\\..\\.."),
                           InstallFolder("CodeSystem32", "2System32"),
                           InstallFolder("CodeCommonFiles", "1Common Files"),
                           InstallFolder("CodeBlanks", "1 \\ "),
                           LocationValue("LocationDriveRoot", "C:\\"),
                           LocationValue("LocationFileAtDriveRoot", "C:\\setup.exe"),
                           LocationValue("LocationWindows", "C:\\windows"),
                           LocationValue("LocationSystemFile",
                                         "C:\\windows\\system32\\kernel32.dll"),
                           LocationValue("LocationProfile", "C:\\users\\root"),
                           LocationValue("LocationProgramFilesSlash", "C:\\Program Files\\"),
                           LocationValue("LocationClimbing", "C:\\Program Files\\Hostile\\.."),
                           LocationValue("LocationCaseAndDot", "c:\\PROGRAM FILES."),
                           LocationValue("LocationQuotedRoot", "\"C:\\\" /S"),
                           LocationValue("LocationShare", "\\\\server\\share"),
                           LocationValue("LocationRelative", "Program Files"),
                           LocationValue("LocationOwnFolder", "C:\\Program Files\\Sorvane"),
                           LocationValue("LocationAppData", "C:\\users\\root\\AppData\\Roaming\\"),
                           FileItem("ItemProgramFiles", 4, "{pf}"),
                           FileItem("ItemProgramFilesSlash", 4, "{pf}\\"),
                           FileItem("ItemWindows", 4, "{w}"),
                           FileItem("ItemSystem32", 4, "{w}{s32}"),
                           FileItem("ItemDriveRoot", 4, "C:\\"),
                           FileItem("ItemEmptyMacro", 4, "{cur}"),
                           FileItem("ItemClimbing", 4, "{pf}\\Hostile\\..\\.."),
                           FileItem("ItemUsers", 4, "C:\\users"),
                           FileItem("ItemRoaming", 4, "C:\\users\\root\\AppData\\Roaming"),
                           FileItem("ItemProgramsMenu", 4, kPrograms),
                           FileItem("ItemPublic", 4, "C:\\users\\Public"),
                           FileItem("ItemOwnFolder", 4, "C:\\Program Files\\Sorvane"),
                           FileItem("ItemOwnDatabase", 1, "C:\\Program Files\\Sorvane\\SV.dat"),
                           FileItem("ItemTrailingDots", 4, "C:\\windows...\\system32.."),
                           FileItem("ItemLongForm", 4, "\\\\?\\C:\\windows"),
                           RegistryItem("KeyHive", 2, "HKLM\\"),
                           RegistryItem("KeySoftware", 2, "HKLM\\SOFTWARE"),
                           RegistryItem("KeyMicrosoft", 2, "HKLM\\SOFTWARE\\Microsoft"),
                           RegistryItem(
                               "KeyUninstall", 2,
                               "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"),
                           RegistryItem(
                               "KeyRun", 2,
                               "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\"),
                           RegistryItem("KeyClsid", 2, "HKCR\\CLSID"),
                           RegistryItem("KeyServices", 2,
                                        "HKLM\\SYSTEM\\CurrentControlSet\\Services"),
                           RegistryItem("KeyUserSoftware", 2, "HKCU\\Software"),
                           RegistryItem("KeyInstallerProducts", 2,
                                        "HKLM\\SOFTWARE\\Classes\\Installer\\Products"),
                           RegistryItem("ValueOfNamespaceKey", 3,
                                        "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Progra"
                                        "mFilesDir"),
                           RegistryItem("ValueOfWinlogon", 3,
                                        "HKLM\\SOFTWARE\\Microsoft\\Windows "
                                        "NT\\CurrentVersion\\Winlogon\\Shell"),
                           HostileCase{"EmptyServiceNames",
                                       [](DbSoft& soft, DbEntry&, RemovalTest&) {
                                         soft.services = ",,\\, ,";
                                       }},
                           HostileCase{"EmptyShortcutNames",
                                       [](DbSoft& soft, DbEntry&, RemovalTest&) {
                                         soft.desktop = ",,";
                                         soft.programs = "..,.,Programs";
                                         soft.startup = " , ";
                                         soft.startMenu = "Programs\\..";
                                       }},
                           HostileCase{"DisplayNameOfANamespaceKey",
                                       [](DbSoft& soft, DbEntry&, RemovalTest&) {
                                         // The vendor search takes "\SOFTWARE\Microsoft\Windows"
                                         // for this name.
                                         soft.name = "Windows";
                                       }},
                           HostileCase{"JunctionIntoTheProfile",
                                       [](DbSoft&, DbEntry& entry, RemovalTest& test) {
                                         test.machine.files.PutFile(
                                             "C:\\Program Files\\Hostile\\h.exe");
                                         test.machine.files.PutDirectoryLink(
                                             "C:\\Program Files\\Hostile\\docs",
                                             "C:\\users\\root\\Documents");
                                         entry.files.push_back(DbItem{4, "{pf}\\Hostile"});
                                       }},
                           // Links: a trailing backslash hides a folder link; a file link leads to
                           // a system file.
                           HostileCase{
                               "TrailingBackslashOnALink",
                               [](DbSoft&, DbEntry& entry, RemovalTest& test) {
                                 test.machine.files.PutDirectoryLink(
                                     "C:\\Program Files\\Hostile\\docs",
                                     "C:\\users\\root\\Documents");
                                 entry.files.push_back(DbItem{4, "{pf}\\Hostile\\docs\\"});
                                 entry.files.push_back(DbItem{1, "{pf}\\Hostile\\docs\\doc.txt"});
                               }},
                           HostileCase{"LocationThroughALink",
                                       [](DbSoft& soft, DbEntry&, RemovalTest& test) {
                                         test.machine.files.PutDirectoryLink(
                                             "C:\\Program Files\\Hostile\\data",
                                             "C:\\ProgramData\\Other");
                                         Location(soft, test, "C:\\Program Files\\Hostile\\data\\");
                                       }},
                           HostileCase{"FileLinkToASystemFile",
                                       [](DbSoft&, DbEntry& entry, RemovalTest& test) {
                                         test.machine.files.PutSymbolicLink(
                                             "C:\\Program Files\\Hostile\\k.dll",
                                             "C:\\windows\\system32\\kernel32.dll", false);
                                         test.machine.files.PutSymbolicLink(
                                             "C:\\Program Files\\Hostile\\cfg.ini",
                                             "C:\\windows\\win.ini", false);
                                         entry.files.push_back(DbItem{1, "{pf}\\Hostile\\k.dll"});
                                         entry.files.push_back(DbItem{4, "{pf}\\Hostile"});
                                       }},
                           // Places a list of names to refuse forgets.
                           FileItem("UnlistedSystemFolder", 4, "{w}{s32}\\catroot"),
                           FileItem("PerformanceFolder", 4, "{w}\\performance"),
                           InstallFolder("CodeCatroot", "3catroot"),
                           FileItem("WindowsComponentInProgramFiles", 4, "{pf}\\Internet Explorer"),
                           FileItem("WindowsNT", 4, "{pf}\\Windows NT"),
                           FileItem("MicrosoftShared", 4, "{pf}{cf}\\Microsoft Shared"),
                           FileItem("ProfileTemp", 4, "C:\\users\\root\\AppData\\Local\\Temp"),
                           FileItem("SystemFile", 1, "{w}{s32}\\kernel32.dll"),
                           FileItem("ProgramDataMicrosoft", 4,
                                    "C:\\ProgramData\\Microsoft\\Crypto"),
                           LocationValue("LocationInSystemFolder",
                                         "C:\\windows\\system32\\catroot\\cat.dll"),
                           // Climbing with "..", and other spellings of the same places.
                           FileItem("ClimbingIntoAnotherProgram", 4, "{pf}\\Hostile\\..\\Other"),
                           FileItem("ClimbingFile", 1, "{pf}\\Hostile\\..\\Other\\other.exe"),
                           LocationValue("LocationClimbingIntoAnotherProgram",
                                         "C:\\Program Files\\Hostile\\..\\Other\\other.exe"),
                           FileItem("AnotherInstalledProgram", 4, "{pf}\\Other"),
                           // Naming another program's folder must not make what points into it the
                           // program's.
                           HostileCase{"AnotherProgramsFolderAsEvidence",
                                       [](DbSoft&, DbEntry& entry, RemovalTest&) {
                                         entry.files.push_back(DbItem{4, "{pf}\\Other"});
                                         entry.registry.push_back(
                                             DbItem{3, "HKLM{sw}{ms}{win}{cv}\\Run\\Other"});
                                         entry.registry.push_back(DbItem{2, "HKCR\\CLSID\\{07}"});
                                       }},
                           FileItem("AdminShare", 4, "\\\\localhost\\C$\\Program Files"),
                           FileItem("AdminShareLoopback", 4,
                                    "\\\\127.0.0.1\\c$\\windows\\system32"),
                           FileItem("AdminShareLongForm", 4,
                                    "\\\\?\\UNC\\localhost\\c$\\users\\root"),
                           FileItem("DotEnding", 4, "{pf}\\."),
                           FileItem("IndexAllocation", 4, "{pf}::$INDEX_ALLOCATION"),
                           // Keys and values below the first level of the hives.
                           RegistryItem(
                               "SessionManager", 2,
                               "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager"),
                           RegistryItem("DeviceClass", 2,
                                        "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Class"),
                           RegistryItem("EventlogService", 2,
                                        "HKLM\\SYSTEM\\CurrentControlSet\\Services\\Eventlog"),
                           RegistryItem("ComSpec", 3,
                                        "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session "
                                        "Manager\\Environment\\ComSpec"),
                           RegistryItem("MachineGuid", 3,
                                        "HKLM{sw}{ms}\\Cryptography\\MachineGuid"),
                           RegistryItem("ProfileListEntry", 2,
                                        "HKLM{sw}{ms}\\Windows NT{cv}\\ProfileList\\S-1-5-21-9"),
                           RegistryItem("IniAssociation", 2, "HKCR\\.ini"),
                           RegistryItem("TextFileClass", 2, "HKCR\\txtfile"),
                           RegistryItem("HttpProtocol", 2, "HKCR\\http"),
                           RegistryItem("WindowsComClass", 2, "HKCR\\CLSID\\{5Y5}"),
                           RegistryItem("AnotherProgramsUninstallEntry", 2,
                                        "HKLM{sw}{ms}{win}{cv}\\Uninstall\\OtherApp"),
                           RegistryItem("MicrosoftProductKey", 2,
                                        "HKLM{sw}{ms}\\Internet Explorer"),
                           HostileCase{"DisplayNameOfAMicrosoftKey",
                                       [](DbSoft& soft, DbEntry&, RemovalTest&) {
                                         soft.name = "Internet Explorer";
                                       }},
                           HostileCase{
                               "WindowsServices",
                               [](DbSoft& soft, DbEntry&,
                                  RemovalTest&) { soft.services = "RpcSs,OtherSvc,Eventlog"; }}),
                       ::testing::Values(LinkBehaviour::Windows, LinkBehaviour::Wine)),
    [](const ::testing::TestParamInfo<std::tuple<HostileCase, LinkBehaviour>>& param) {
      return std::string(std::get<0>(param.param).name) +
             (std::get<1>(param.param) == LinkBehaviour::Wine ? "_Wine" : "_Windows");
    });

// --- Identity and the Installer ---

// A name may begin with another record's name: each row is removed by the record the scan
// matched it to, never by a second lookup of its name.
TEST_F(RemovalTest, EachRowIsRemovedByTheRecordTheScanMatched) {
  DbSoft acme, suite;
  acme.id = "ACME";
  acme.name = "Acme";
  suite.id = "SUITE";
  suite.name = "Acme Suite";
  PutDatabase({{"ACME", {{4, "{pf}\\Acme Tools"}}, {{2, "HKLM\\SOFTWARE\\Acme\\Tools"}}},
               {"SUITE", {{4, "{pf}\\Acme Suite"}}, {{2, "HKLM\\SOFTWARE\\Acme\\Suite"}}}},
              {acme, suite});
  for (const char* folder : {"C:\\Program Files\\Acme Tools", "C:\\Program Files\\Acme Suite"})
    machine.files.PutFile(std::string(folder) + "\\app.exe");
  PutKey(Hive::LocalMachine, "SOFTWARE\\Acme\\Tools");
  PutKey(Hive::LocalMachine, "SOFTWARE\\Acme\\Suite");
  PutKey(Hive::LocalMachine, std::string(kUninstall) + "\\A1",
         {{"DisplayName", "Acme 1.0"}, {"UninstallString", "u.exe"}});
  PutKey(Hive::LocalMachine, std::string(kUninstall) + "\\A2",
         {{"DisplayName", "Acme Suite 2.0"}, {"UninstallString", "u.exe"}});
  ScanSoftware(Env());
  const auto rows = window.Rows(ListView::lstvNList);
  ASSERT_EQ(rows.size(), 2U);
  const int suiteRow = rows[0].subItems[0] == "Acme Suite 2.0" ? 0 : 1;
  EXPECT_EQ(rows[static_cast<std::size_t>(suiteRow)].program.softwareId, "SUITE");
  window.SetRowChecked(ListView::lstvNList, suiteRow, true);
  CleanChecked(Env());
  EXPECT_FALSE(Exists("C:\\Program Files\\Acme Suite"));
  EXPECT_FALSE(KeyExists(Hive::LocalMachine, "SOFTWARE\\Acme\\Suite"));
  EXPECT_FALSE(KeyExists(Hive::LocalMachine, std::string(kUninstall) + "\\A2"));
  // The other installed program keeps everything.
  EXPECT_TRUE(Exists("C:\\Program Files\\Acme Tools\\app.exe"));
  EXPECT_TRUE(KeyExists(Hive::LocalMachine, "SOFTWARE\\Acme\\Tools"));
  EXPECT_TRUE(KeyExists(Hive::LocalMachine, std::string(kUninstall) + "\\A1"));
}

// An installed program's Installer registration is found by its product code: another
// product's keys stay, and a component other products list too loses only its entry.
TEST_F(RemovalTest, TheInstallerRegistrationGoesByProductCodeAndSharedKeysKeepTheOthers) {
  constexpr const char* kGuid = "{5C2E8A41-7D39-4B6F-A0E2-18F4C9D3B765}";
  constexpr const char* kPacked = "14A8E2C593D7F6B40A2E814F9C3D7B56";
  const std::string products = "SOFTWARE\\Classes\\Installer\\Products\\";
  const std::string components =
      "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Components\\";
  DbSoft soft;
  soft.id = "A";
  soft.name = "A";  // a name every product begins with
  PutDatabase({{"A", {}, {}}}, {soft});
  PutKey(
      Hive::LocalMachine, std::string(kUninstall) + "\\" + kGuid,
      {{"DisplayName", "A Tool 1.0"}, {"UninstallString", std::string("MsiExec.exe /I") + kGuid}});
  PutKey(Hive::LocalMachine, products + kPacked, {{"ProductName", "A Tool 1.0"}});
  PutKey(Hive::LocalMachine, products + "0THER", {{"ProductName", "Another Tool"}});
  PutKey(Hive::LocalMachine, components + "C1", {{kPacked, "C:\\x"}});
  PutKey(Hive::LocalMachine, components + "C2", {{kPacked, "C:\\x"}, {"0THER", "C:\\y"}});
  Remove("A Tool 1.0", kInstalledProgram);
  EXPECT_FALSE(KeyExists(Hive::LocalMachine, products + kPacked));
  EXPECT_FALSE(KeyExists(Hive::LocalMachine, components + "C1"));
  EXPECT_TRUE(KeyExists(Hive::LocalMachine, products + "0THER"));
  EXPECT_TRUE(ValueExists(Hive::LocalMachine, components + "C2", "0THER"));
  EXPECT_FALSE(ValueExists(Hive::LocalMachine, components + "C2", kPacked));
}

// A residue has no product code: only a product named like it plus a version or a bitness
// is its registration; a longer name is another program's.
class ResidueProductTest : public RemovalTest,
                           public ::testing::WithParamInterface<std::pair<const char*, bool>> {};

TEST_P(ResidueProductTest, TakesOnlyAVersionOfItsOwnName) {
  const auto& [productName, taken] = GetParam();
  const std::string product =
      "SOFTWARE\\Classes\\Installer\\Products\\14A8E2C593D7F6B40A2E814F9C3D7B56";
  DbSoft soft;
  soft.id = "ACME";
  soft.name = "Acme";
  PutDatabase({{"ACME", {}, {}}}, {soft});
  PutKey(Hive::LocalMachine, product, {{"ProductName", productName}});
  Remove("Acme", kResidue);
  EXPECT_EQ(!KeyExists(Hive::LocalMachine, product), taken) << productName;
}

INSTANTIATE_TEST_SUITE_P(Names, ResidueProductTest,
                         ::testing::Values(std::pair{"Acme", true},
                                           std::pair{"Acme 7.0 (x64)", true},
                                           std::pair{"Acme v2.1 64-bit", true},
                                           std::pair{"Acme Tools", false},
                                           std::pair{"Acme 7.0 Viewer", false}));

// The same entries as the detail view sees them: nothing refused is listed.
TEST_F(RemovalTest, TheDetailViewListsOnlyWhatTheGateAllows) {
  DbSoft soft;
  soft.id = "H";
  soft.name = "Hostile";
  soft.installFolder = "1";
  PutDatabase({{"H",
                {{4, "{pf}"}, {4, "{pf}\\Hostile"}, {4, "C:\\Program Files Extra"}},
                {{2, "HKLM\\SOFTWARE"}, {2, "HKLM\\SOFTWARE\\Hostile"}}}},
              {soft});
  machine.files.PutDirectory("C:\\Program Files\\Hostile");
  machine.files.PutDirectory("C:\\Program Files Extra");
  PutKey(Hive::LocalMachine, "SOFTWARE\\Hostile");
  window.SetText(Label::labUS1Soft, "Hostile");
  GatherDetails(Env());
  Texts files, keys;
  for (const ListRow& row : window.Rows(ListView::lstvUS2File))
    files.push_back(row.caption + "|" + row.subItems.at(0));
  for (const ListRow& row : window.Rows(ListView::lstvUS2Registry))
    keys.push_back(row.caption + "|" + row.subItems.at(0));
  // "C:\Program Files Extra" lies outside every place programs keep their folders, and the
  // program's facts do not name it as its own.
  EXPECT_EQ(files, (Texts{"1|C:\\Program Files\\Hostile"}));
  EXPECT_EQ(keys, (Texts{"1|HKEY_LOCAL_MACHINE\\SOFTWARE\\Hostile"}));
}

}  // namespace
}  // namespace sv::engine
