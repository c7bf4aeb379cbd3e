#include "engine/threadUninstall.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/memory_window.h"
#include "platform/fake/fake_machine.h"
#include "registry/opUninstallRegistry.h"
#include "support/cli_fixture.h"
#include "support/icon_lists.h"
#include "support/search_modes.h"

namespace sv::engine {
namespace {

using platform::Hive;
using platform::RegValue;
using testing::DbEntry;
using testing::DbSoft;
using Texts = std::vector<std::string>;
using Values = std::vector<std::pair<std::string, RegValue>>;

constexpr const char* kUninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kOwnFolder = "C:\\Program Files\\Sorvane\\";
constexpr const char* kOwnExe = "C:\\Program Files\\Sorvane\\Sorvane.exe";
constexpr const char* kUserStartMenu =
    "C:\\users\\root\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu";
constexpr const char* kCommonStartMenu = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu";

RegValue Sz(std::string_view text) {
  return platform::StringValue(text);
}

DbSoft Soft(std::string id, std::string name, std::int32_t category = 10) {
  DbSoft soft;
  soft.id = std::move(id);
  soft.name = std::move(name);
  soft.category = category;
  return soft;
}

// One fake machine with the program's own executable and a database beside it.
class EngineTest : public ::testing::Test {
 protected:
  EngineTest() {
    machine.files.PutFile(kOwnExe, "MZ");
    machine.files.PutIcons(kOwnExe, 1);
  }

  void PutDatabase(const std::vector<DbEntry>& entries, const std::vector<DbSoft>& softs) {
    testing::PutDatabase(machine.files, kOwnFolder, entries, softs);
  }

  // A database of names only, each with no items.
  void PutNames(const Texts& names) {
    std::vector<DbEntry> entries;
    std::vector<DbSoft> softs;
    for (std::size_t i = 0; i < names.size(); ++i) {
      const std::string id = "ID" + std::to_string(i);
      entries.push_back({id, {}, {}});
      softs.push_back(Soft(id, names[i]));
    }
    PutDatabase(entries, softs);
  }

  void Put(Hive hive, const std::string& path, const Values& values = {}) {
    auto key = machine.registry.CreateKey(hive, path);
    ASSERT_TRUE(key) << path;
    for (const auto& [name, value] : values)
      ASSERT_EQ(key->SetValue(name, value), platform::kSuccess) << path << " " << name;
  }

  // An installed program; key names decide the order the inventory lists them in.
  void PutProgram(const std::string& subKey, const std::string& name, Values extra = {},
                  bool uninstallString = true) {
    Values values{{"DisplayName", Sz(name)}};
    if (uninstallString) values.emplace_back("UninstallString", Sz("C:\\x\\uninst.exe"));
    for (auto& value : extra)
      values.push_back(std::move(value));
    Put(Hive::LocalMachine, std::string(kUninstall) + "\\" + subKey, values);
  }

  // Every scan and detail view of these tests also holds the indexed lookups to the literal
  // ones (same events, rows and messages).
  void Scan() { testing::RunInBothModes(Env(), ScanSoftware); }
  void Details(const std::string& name) {
    window.SetText(Label::labUS1Soft, name);
    window.ClearEvents();
    testing::RunInBothModes(Env(), GatherDetails);
  }

  RunEnvironment Env() { return RunEnvironment{platform, window, small, big, {}, {}}; }

  // Name and state of each installed row, in list order.
  Texts Installed() {
    Texts rows;
    for (const ListRow& row : window.Rows(ListView::lstvNList))
      rows.push_back(row.subItems.at(0) + "|" + row.subItems.at(1));
    return rows;
  }
  Texts Residues() {
    Texts rows;
    for (const ListRow& row : window.Rows(ListView::lstvRList))
      rows.push_back(row.subItems.at(0));
    return rows;
  }
  Texts Captions(ListView list) {
    Texts captions;
    for (const ListRow& row : window.Rows(list))
      captions.push_back(row.caption);
    return captions;
  }
  // "path|type" of each detail row, and checks the numbering 1, 2, 3 ...
  Texts DetailRows(ListView list) {
    Texts rows;
    int number = 0;
    for (const ListRow& row : window.Rows(list)) {
      EXPECT_EQ(row.caption, std::to_string(++number));
      rows.push_back(row.subItems.at(0) + "|" + row.subItems.at(1));
    }
    return rows;
  }
  Texts EventsStartingWith(std::string_view prefix) {
    Texts found;
    for (const std::string& event : window.Events())
      if (event.starts_with(prefix)) found.push_back(event);
    return found;
  }

  fake::FakeMachine machine{fake::FakeMachine::Layout::Standard};
  platform::Platform platform = machine.Get();
  MemoryWindow window;
  testing::RecordingIconList small, big;
};

// --- The scan ---

TEST_F(EngineTest, ScanMatchesTheFirstInstalledNameThatBeginsWithADatabaseNameOnce) {
  PutNames({"Photo Editor", "Foo", "Foo Bar"});
  PutProgram("a1", "Photo Editor 9");
  PutProgram("a2", "photo editor");
  PutProgram("a3", "My Photo Editor");
  PutProgram("a4", "Foo Bar 2");
  Scan();
  EXPECT_EQ(Installed(), (Texts{"Photo Editor 9|Supported", "Foo Bar 2|Supported",
                                "photo editor|Unsupported", "My Photo Editor|Unsupported"}));
  // "Foo Bar" was left for the residue pass and has nothing on this machine.
  EXPECT_TRUE(Residues().empty());
  EXPECT_EQ(window.Text(Label::labSoftNum), "2  Software");
}

TEST_F(EngineTest, EntriesWithoutUninstallStringAreListedNowhereAndConsumeNoName) {
  PutDatabase({{"A", {{1, "C:\\Acme\\acme.exe"}}, {}}}, {Soft("A", "Acme")});
  machine.files.PutFile("C:\\Acme\\acme.exe");
  PutProgram("a1", "Acme 1.0", {}, /*uninstallString=*/false);
  Scan();
  EXPECT_TRUE(Installed().empty());
  EXPECT_EQ(Residues(), Texts{"Acme"});
}

TEST_F(EngineTest, TheProgramsOwnEntryIsHiddenOnlyWhenSpelledExactly) {
  PutNames({"Zeta"});
  PutProgram("a1", "Sorvane");
  PutProgram("a2", "sorvane");
  PutProgram("a3", "Zeta Tool");
  Scan();
  EXPECT_EQ(Installed(), (Texts{"Zeta Tool|Supported", "sorvane|Unsupported"}));
}

TEST_F(EngineTest, HideUnsupportedListsOnlySupportedRows) {
  PutNames({"Zeta"});
  PutProgram("a1", "Other");
  PutProgram("a2", "Zeta Tool");
  window.SetChecked(CheckBox::chkHideUnsupport, true);
  Scan();
  EXPECT_EQ(Installed(), Texts{"Zeta Tool|Supported"});
}

// A window whose option flips as soon as the scan has read it.
class FlippingWindow : public MemoryWindow {
 public:
  bool IsChecked(CheckBox box) override {
    const bool state = MemoryWindow::IsChecked(box);
    if (box == CheckBox::chkHideUnsupport) {
      ++reads;
      SetChecked(box, !state);
    }
    return state;
  }
  int reads = 0;
};

TEST_F(EngineTest, HideUnsupportedIsReadOnceForTheWholeScan) {
  PutNames({"Zeta"});
  PutProgram("a1", "Other One");
  PutProgram("a2", "Other Two");
  PutProgram("a3", "Zeta Tool");
  FlippingWindow flipping;
  ScanSoftware(RunEnvironment{platform, flipping, small, big, {}, {}});
  EXPECT_EQ(flipping.reads, 1);
  EXPECT_EQ(flipping.Rows(ListView::lstvNList).size(), 3u);
}

TEST_F(EngineTest, ScanNumbersRowsSortsByStateAndCountsOnlySupportedAndResidues) {
  PutDatabase({{"B", {}, {}}, {"R", {{1, "C:\\Rest\\rest.dat"}}, {}}},
              {Soft("B", "Beta", 3), Soft("R", "Restive", 9)});
  machine.files.PutFile("C:\\Rest\\rest.dat");
  PutProgram("a1", "Alpha", {{"Publisher", Sz("Alpha Co")}});
  PutProgram("a2", "Beta 2", {{"Publisher", Sz("Beta Co")}, {"InstallDate", Sz("20240301")}});
  PutProgram("a3", "Gamma");
  Scan();

  const auto rows = window.Rows(ListView::lstvNList);
  ASSERT_EQ(rows.size(), 3u);
  // Sorted by state, supported first; the captions keep the numbers of insertion.
  EXPECT_EQ(Installed(), (Texts{"Beta 2|Supported", "Alpha|Unsupported", "Gamma|Unsupported"}));
  EXPECT_EQ(Captions(ListView::lstvNList), (Texts{"2", "1", "3"}));
  registry::TURegistryOp op(platform);
  EXPECT_EQ(rows[0].subItems,
            (Texts{"Beta 2", "Supported", op.FormatInstallDate("20240301"), "Beta Co"}));
  EXPECT_EQ(rows[0].stateIndex, 0);
  EXPECT_EQ(rows[1].stateIndex, 2);
  EXPECT_EQ(rows[1].subItems.at(3), "Alpha Co");
  for (const ListRow& row : rows)
    EXPECT_FALSE(row.checked);

  const auto residues = window.Rows(ListView::lstvRList);
  ASSERT_EQ(residues.size(), 1u);
  EXPECT_EQ(residues[0].caption, "1");
  EXPECT_EQ(residues[0].subItems, (Texts{"Restive", "Games"}));
  EXPECT_EQ(residues[0].stateIndex, 0);

  // The label rises with each supported or residual row only, then shows the total.
  EXPECT_EQ(EventsStartingWith("text labSoftNum"),
            (Texts{"text labSoftNum 1  Software", "text labSoftNum 2  Software",
                   "text labSoftNum 2  Software"}));
  EXPECT_EQ(window.CurrentPage(), Page::pgResults);
  EXPECT_TRUE(window.IsEnabled(Control::imgScan));
}

TEST_F(EngineTest, ResiduesAreNumberedInTheirOwnList) {
  PutDatabase({{"A", {}, {}}, {"B", {{4, "C:\\B"}}, {}}, {"C", {{4, "C:\\C"}}, {}}},
              {Soft("A", "Alpha"), Soft("B", "Bravo"), Soft("C", "Charlie")});
  machine.files.PutDirectory("C:\\B");
  machine.files.PutDirectory("C:\\C");
  PutProgram("a1", "Alpha 1");
  Scan();
  EXPECT_EQ(Captions(ListView::lstvRList), (Texts{"1", "2"}));
  EXPECT_EQ(Residues(), (Texts{"Bravo", "Charlie"}));
  EXPECT_EQ(window.Text(Label::labSoftNum), "3  Software");
}

TEST_F(EngineTest, InstalledRowsShowTheIconTheirEntryNames) {
  PutNames({"Alpha", "Bravo"});
  for (const char* file : {"C:\\A\\a.exe", "C:\\B\\b.exe"}) {
    machine.files.PutFile(file, "MZ");
    machine.files.PutIcons(file, 3);
  }
  PutProgram("a1", "Alpha 1", {{"DisplayIcon", Sz("C:\\A\\a.exe,2")}});
  PutProgram("a2", "Bravo 1", {{"DisplayIcon", Sz("C:\\B\\b.exe")}});
  Scan();
  const auto rows = window.Rows(ListView::lstvNList);
  ASSERT_EQ(rows.size(), 2u);
  ASSERT_EQ(big.entries.size(), 3u);
  EXPECT_EQ(big.entries[1], (testing::RecordingIconList::Entry{"C:\\A\\a.exe", 2, 32}));
  EXPECT_EQ(big.entries[2], (testing::RecordingIconList::Entry{"C:\\B\\b.exe", 0, 32}));
  EXPECT_EQ(rows[0].imageIndex, 1);
  EXPECT_EQ(rows[1].imageIndex, 2);
}

TEST_F(EngineTest, ResidueRowsShowTheProgramsOwnIcon) {
  PutDatabase({{"R", {{4, "C:\\Rest"}}, {}}}, {Soft("R", "Restive")});
  machine.files.PutDirectory("C:\\Rest");
  Scan();
  const auto residues = window.Rows(ListView::lstvRList);
  ASSERT_EQ(residues.size(), 1u);
  ASSERT_FALSE(big.entries.empty());
  EXPECT_EQ(big.entries[0].file, kOwnExe);
  EXPECT_EQ(residues[0].imageIndex, 0);
}

TEST_F(EngineTest, ScanDisablesScanAndEmptiesBothListsBeforeAnything) {
  PutNames({"Zeta"});
  window.AddRow(ListView::lstvRList, ListRow{"1", {"old", ""}});
  window.AddRow(ListView::lstvNList, ListRow{"1", {"old", "Supported", "", ""}});
  window.ClearEvents();
  Scan();
  const auto events = window.Events();
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events[0], "disable imgScan");
  EXPECT_EQ(events[1], "clear lstvRList");
  EXPECT_EQ(events[2], "clear lstvNList");
}

TEST_F(EngineTest, GaugeAdvancesPerInstalledEntryAndPerRemainingNameThenResets) {
  PutNames({"Zeta", "Omega"});
  PutProgram("a1", "Zeta 1");
  PutProgram("a2", "Other");
  PutProgram("a3", "Broken", {}, /*uninstallString=*/false);
  Scan();
  // Two names plus three entries; one name used up, so the gauge stops at 4 and returns to 0.
  EXPECT_EQ(EventsStartingWith("gauge"),
            (Texts{"gauge max 5", "gauge 1", "gauge 2", "gauge 3", "gauge 4", "gauge 0"}));
}

TEST_F(EngineTest, EmptyDatabaseListsNothingEvenWithProgramsInstalled) {
  PutNames({});
  PutProgram("a1", "Other");
  window.SetGaugeMax(77);
  Scan();
  EXPECT_TRUE(Installed().empty());
  EXPECT_TRUE(Residues().empty());
  EXPECT_EQ(window.CurrentPage(), std::nullopt);
  EXPECT_EQ(window.Text(Label::labSoftNum), "0  Software");
  EXPECT_EQ(window.GaugeMax(), 77);
}

TEST_F(EngineTest, MissingDatabaseFilesAreCreatedEmptyAndTheScanFindsNothing) {
  PutProgram("a1", "Other");
  Scan();
  EXPECT_TRUE(Installed().empty());
  EXPECT_TRUE(machine.files.GetAttributes(std::string(kOwnFolder) + "SV.dat") !=
              platform::kInvalidAttributes);
  EXPECT_TRUE(window.Messages().empty());
  EXPECT_EQ(window.Text(Label::labSoftNum), "0  Software");
}

TEST_F(EngineTest, ADatabaseThatCannotBeOpenedIsReportedAndTheScanButtonComesBack) {
  PutNames({"Zeta"});
  PutProgram("a1", "Zeta 1");
  const std::string data = std::string(kOwnFolder) + "SV.dat";
  machine.faults.Inject(fake::Op::OpenFile, data, platform::kErrorAccessDenied);
  window.SetGaugeProgress(3);
  Scan();
  ASSERT_EQ(window.Messages().size(), 1u);
  EXPECT_EQ(window.Messages()[0].text, "Cannot open file " + data);
  EXPECT_EQ(window.Messages()[0].caption, "Error");
  EXPECT_TRUE(window.IsEnabled(Control::imgScan));
  EXPECT_EQ(window.GaugeProgress(), 0);
  EXPECT_EQ(window.Text(Label::labSoftNum), "0  Software");
  EXPECT_TRUE(Installed().empty());
}

TEST_F(EngineTest, BlankDatabaseNamesMatchNothing) {
  PutNames({" ", "Zeta"});
  PutProgram("a1", "Anything");
  PutProgram("a2", "Zeta 1");
  Scan();
  EXPECT_EQ(Installed(), (Texts{"Zeta 1|Supported", "Anything|Unsupported"}));
  EXPECT_TRUE(Residues().empty());
}

// --- Residue tests ---

struct ResidueCase {
  std::string label;
  bool residue;
  void (*put)(fake::FakeMachine& machine);
};

class ResidueTest : public EngineTest, public ::testing::WithParamInterface<ResidueCase> {};

TEST_P(ResidueTest, DecidesByInstallerShortcutsAndExistingItems) {
  DbSoft soft = Soft("K", "Kiwi Notes");
  soft.desktop = "Kiwi Notes.lnk";
  soft.startMenu = ",Kiwi Help.lnk";
  PutDatabase({{"K",
                {{1, "C:\\Kiwi\\kiwi.exe"}, {4, "C:\\Kiwi\\Data"}},
                {{2, "HKCU\\Software\\Kiwi"}, {3, "HKCU\\Software\\KiwiV\\Last"}}}},
              {soft});
  GetParam().put(machine);
  Scan();
  EXPECT_EQ(Residues(), GetParam().residue ? Texts{"Kiwi Notes"} : Texts{});
  EXPECT_EQ(window.CurrentPage(),
            GetParam().residue ? std::optional(Page::pgResults) : std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Traces, ResidueTest,
    ::testing::Values(
        ResidueCase{"Nothing", false, [](fake::FakeMachine&) {}},
        ResidueCase{"InstallerProductOnly", true,
                    [](fake::FakeMachine& m) {
                      auto key = m.registry.CreateKey(
                          Hive::LocalMachine, "Software\\Classes\\Installer\\Products\\ABC");
                      key->SetValue("ProductName", Sz("Kiwi Notes 2.0"));
                    }},
        ResidueCase{"UserDesktopShortcut", true,
                    [](fake::FakeMachine& m) {
                      m.files.PutFile("C:\\users\\root\\Desktop\\Kiwi Notes.lnk");
                    }},
        ResidueCase{"CommonStartMenuShortcutOnly", true,
                    [](fake::FakeMachine& m) {
                      m.files.PutFile(std::string(kCommonStartMenu) + "\\Kiwi Help.lnk");
                    }},
        ResidueCase{"FileOnly", true,
                    [](fake::FakeMachine& m) { m.files.PutFile("C:\\Kiwi\\kiwi.exe"); }},
        ResidueCase{"DirectoryOnly", true,
                    [](fake::FakeMachine& m) { m.files.PutDirectory("C:\\Kiwi\\Data"); }},
        ResidueCase{"KeyOnly", true,
                    [](fake::FakeMachine& m) {
                      m.registry.CreateKey(Hive::CurrentUser, "Software\\Kiwi");
                    }},
        ResidueCase{
            "ValuesOnlyAreNoResidue", false,
            [](fake::FakeMachine& m) {
              m.registry.CreateKey(Hive::CurrentUser, "Software\\KiwiV")->SetValue("Last", Sz("x"));
            }},
        // The empty piece of ",Kiwi Help.lnk" must not stand for the start menu itself.
        ResidueCase{
            "EmptyShortcutNameIsNotTheFolder", false,
            [](fake::FakeMachine& m) { m.files.PutDirectory(std::string(kUserStartMenu)); }}),
    [](const auto& param) { return param.param.label; });

// --- Shared lookups ---

struct ShortcutCase {
  std::string label;
  std::string names;
  int kind;
  Texts expected;
};

class FindShortcutsTest : public EngineTest, public ::testing::WithParamInterface<ShortcutCase> {
 protected:
  void SetUp() override {
    machine.files.PutFile("C:\\users\\root\\Desktop\\A.lnk");
    machine.files.PutFile("C:\\users\\Public\\Desktop\\A.lnk");
    machine.files.PutFile("C:\\users\\Public\\Desktop\\B.lnk");
    machine.files.PutDirectory(std::string(kUserStartMenu) + "\\Programs\\Group");
    machine.files.PutFile(std::string(kCommonStartMenu) + "\\Programs\\StartUp\\T.lnk");
    machine.files.PutFile(std::string(kUserStartMenu) + "\\Programs\\StartUp\\T.lnk");
    machine.files.PutFile(std::string(kCommonStartMenu) + "\\M.lnk");
  }
};

TEST_P(FindShortcutsTest, FindsNamesInTheUsersAndAllUsersFolders) {
  Texts list{"stale"};
  const int count = FindShortcuts(platform, GetParam().names, GetParam().kind, list);
  EXPECT_EQ(list, GetParam().expected);
  EXPECT_EQ(count, static_cast<int>(GetParam().expected.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Names, FindShortcutsTest,
    ::testing::Values(
        ShortcutCase{"UserFolderFirst",
                     "A.lnk",
                     1,
                     {"C:\\users\\root\\Desktop\\A.lnk", "C:\\users\\Public\\Desktop\\A.lnk"}},
        ShortcutCase{"NamesInOrder",
                     " B.lnk,A.lnk, ",
                     1,
                     {"C:\\users\\Public\\Desktop\\B.lnk", "C:\\users\\root\\Desktop\\A.lnk",
                      "C:\\users\\Public\\Desktop\\A.lnk"}},
        ShortcutCase{
            "ProgramGroupFolder", "Group", 2, {std::string(kUserStartMenu) + "\\Programs\\Group"}},
        ShortcutCase{"StartupAllUsersFirst",
                     "T.lnk",
                     3,
                     {std::string(kCommonStartMenu) + "\\Programs\\StartUp\\T.lnk",
                      std::string(kUserStartMenu) + "\\Programs\\StartUp\\T.lnk"}},
        ShortcutCase{"StartMenu", "M.lnk", 4, {std::string(kCommonStartMenu) + "\\M.lnk"}},
        // As on Windows, a trailing blank falls away when the name is looked up.
        ShortcutCase{"PiecesAreNotTrimmed",
                     "A.lnk , B.lnk",
                     1,
                     {"C:\\users\\root\\Desktop\\A.lnk ", "C:\\users\\Public\\Desktop\\A.lnk "}},
        ShortcutCase{"EmptyPiecesAreSkipped",
                     ",,A.lnk,",
                     1,
                     {"C:\\users\\root\\Desktop\\A.lnk", "C:\\users\\Public\\Desktop\\A.lnk"}},
        ShortcutCase{"BlankOrDotNamesNeverNameTheFolder", "  ,.,..,...,Group\\..,\\", 2, {}},
        ShortcutCase{"BlankList", "   ", 1, {}},
        // Names of shell folders nested in the shortcut folders are those folders, not shortcuts.
        ShortcutCase{"NestedProgramsMenu", "Programs", 4, {}},
        ShortcutCase{"NestedStartupFolder", "StartUp", 2, {}},
        ShortcutCase{"UnknownKind", "A.lnk", 5, {}}),
    [](const auto& param) { return param.param.label; });

TEST_F(EngineTest, FindShortcutsSkipsAFolderTheSystemCannotName) {
  machine.files.PutFile("C:\\users\\Public\\Desktop\\A.lnk");
  machine.files.PutFile("C:\\A.lnk");
  machine.system.specialFolders[platform::csidl::kDesktop] = "";
  Texts list;
  EXPECT_EQ(FindShortcuts(platform, "A.lnk", 1, list), 1);
  EXPECT_EQ(list, Texts{"C:\\users\\Public\\Desktop\\A.lnk"});
}

struct FolderCase {
  std::string label;
  std::string code;
  std::string expected;
};

class ResolveInstallFolderTest : public EngineTest,
                                 public ::testing::WithParamInterface<FolderCase> {
 protected:
  void SetUp() override {
    for (const char* folder : {"C:\\Games\\Star", "C:\\Program Files\\Acme\\Writer",
                               "C:\\windows\\Acme", "C:\\windows\\system32\\Acme"})
      machine.files.PutDirectory(folder);
    machine.files.PutFile("C:\\Program Files\\Acme\\file.txt");
  }
};

TEST_P(ResolveInstallFolderTest, GivesTheFolderOfTheCodeWhenItExists) {
  EXPECT_EQ(ResolveInstallFolder(platform, GetParam().code), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ResolveInstallFolderTest,
    ::testing::Values(
        // Outside the roots where programs keep their folders, only a folder the program's
        // facts name and that carries its name; no folder in the Windows folder ever.
        FolderCase{"DriveRootWithoutTheProgram", "0Games\\Star", ""},
        FolderCase{"ProgramFiles", " 1Acme\\Writer ", "C:\\Program Files\\Acme\\Writer"},
        FolderCase{"InTheWindowsFolder", "2Acme", ""}, FolderCase{"InTheSystemFolder", "3Acme", ""},
        FolderCase{"Missing", "1Acme\\Reader", ""},
        FolderCase{"AFileIsNoFolder", "1Acme\\file.txt", ""}, FolderCase{"OtherDigit", "4Acme", ""},
        FolderCase{"NoDigit", "Acme", ""}, FolderCase{"DigitAlone", "1", ""},
        // Codes that would name a root, a shared folder or a folder above one.
        FolderCase{"DotIsProgramFilesItself", "1.", ""},
        FolderCase{"BackslashIsProgramFilesItself", "1\\", ""},
        FolderCase{"DotsAreTheDriveRoot", "1..", ""}, FolderCase{"RootDot", "0.", ""},
        FolderCase{"WindowsItself", "2.", ""}, FolderCase{"UpAndUp", "3..\\..", ""},
        FolderCase{"BackUp", "1Acme\\..", ""}, FolderCase{"SystemFolderByName", "2system32", ""},
        FolderCase{"AnotherDrive", "1D:\\Acme", ""}, FolderCase{"Blank", "  ", ""}),
    [](const auto& param) { return param.param.label; });

TEST_F(EngineTest, ResolveInstallFolderNeedsTheWindowsFolder) {
  machine.files.PutDirectory("C:\\Program Files\\Acme");
  machine.system.windowsDirectory = "";
  EXPECT_EQ(ResolveInstallFolder(platform, "1Acme"), "");
  EXPECT_EQ(ResolveInstallFolder(platform, "2Acme"), "");
}

// --- The sort ---

TEST(CompareListItems, NumbersByCaptionTextByColumnIgnoringCase) {
  const ListRow nine{"9", {"beta", "Unsupported"}};
  const ListRow ten{"10", {"Alpha", "Supported"}};
  const ListRow underscore{"3", {"_x", "Supported"}};
  EXPECT_LT(CompareListItems(nine, ten, 0), 0);
  EXPECT_GT(CompareListItems(ten, nine, 0), 0);
  EXPECT_GT(CompareListItems(nine, ten, 1), 0);
  EXPECT_EQ(CompareListItems(ListRow{"1", {"ALPHA"}}, ListRow{"2", {"alpha"}}, 1), 0);
  // '_' sorts after the letters once they are folded to upper case.
  EXPECT_GT(CompareListItems(underscore, ten, 1), 0);
  EXPECT_LT(CompareListItems(ten, nine, 2), 0);
  // A missing sub-item compares as empty text.
  EXPECT_LT(CompareListItems(ListRow{"1", {}}, nine, 1), 0);
}

TEST(MemoryWindow, ColumnClickSortsAscendingEveryTimeAndKeepsCaptions) {
  MemoryWindow window;
  for (const auto& [caption, name] : std::vector<std::pair<std::string, std::string>>{
           {"1", "delta"}, {"2", "Alpha"}, {"10", "charlie"}, {"9", "bravo"}})
    window.AddRow(ListView::lstvNList, ListRow{caption, {name}});
  for (int click = 0; click < 2; ++click) {
    window.lstvNListColumnClick(ListView::lstvNList, 1);
    Texts names;
    for (const ListRow& row : window.Rows(ListView::lstvNList))
      names.push_back(row.caption + " " + row.subItems[0]);
    EXPECT_EQ(names, (Texts{"2 Alpha", "9 bravo", "10 charlie", "1 delta"}));
  }
  window.lstvNListColumnClick(ListView::lstvNList, 0);
  Texts captions;
  for (const ListRow& row : window.Rows(ListView::lstvNList))
    captions.push_back(row.caption);
  EXPECT_EQ(captions, (Texts{"1", "2", "9", "10"}));
}

// --- Details ---

class DetailTest : public EngineTest {
 protected:
  DetailTest() {
    DbSoft soft = Soft("ACME", "Acme Writer", 5);
    soft.installFolder = "1Acme\\Writer";
    soft.desktop = "Acme Writer.lnk";
    soft.startup = "Acme Tray.lnk";
    soft.locations = {{"HKLM{sw}\\Acme\\Writer", "InstallDir"}};
    PutDatabase({{"ACME",
                  {{1, "{pf}\\Acme\\Writer\\writer.exe"},
                   {4, "{pf}\\Acme\\Writer"},
                   {1, "{pf}\\Acme\\Writer\\gone.txt"}},
                  {{2, "HKLM{sw}\\Acme\\Writer"}, {3, "HKCU{sw}\\Acme\\Last"}}}},
                {soft});
  }

  void PutInstalled() {
    machine.files.PutFile("C:\\Program Files\\Acme\\Writer\\Writer.EXE");
    machine.files.PutFile("C:\\Program Files\\Acme\\Writer\\ReadMe.txt");
    machine.files.PutFile("C:\\Program Files\\Acme\\Writer\\sub\\deep.dll");
    Put(Hive::LocalMachine, "SOFTWARE\\Acme\\Writer",
        {{"InstallDir", Sz("C:\\Program Files\\Acme\\Writer")}});
    Put(Hive::CurrentUser, "Software\\Acme", {{"Last", Sz("1")}});
    machine.files.PutFile("C:\\users\\root\\Desktop\\Acme Writer.lnk");
    machine.files.PutFile("C:\\users\\Public\\Desktop\\Acme Writer.lnk");
    machine.files.PutFile(std::string(kUserStartMenu) + "\\Programs\\StartUp\\Acme Tray.lnk");
  }

  void PutInstaller() {
    Put(Hive::LocalMachine, "Software\\Classes\\Installer\\Products\\P1",
        {{"ProductName", Sz("Acme Writer 5")}});
    Put(Hive::LocalMachine, "Software\\Classes\\Installer\\Features\\P1");
    Put(Hive::LocalMachine, "Software\\Classes\\Installer\\UpgradeCodes\\U1", {{"P1", Sz("")}});
  }

  void PutCom() {
    Put(Hive::LocalMachine, "Software\\Classes\\CLSID\\{C1}\\InprocServer32",
        {{"", Sz("C:\\Program Files\\Acme\\Writer\\writer.dll")}});
    Put(Hive::LocalMachine, "Software\\Classes\\CLSID\\{C1}\\TypeLib", {{"", Sz("{L1}")}});
    Put(Hive::LocalMachine, "Software\\Classes\\TypeLib\\{L1}\\1.0");
    Put(Hive::LocalMachine, "Software\\Classes\\Interface\\{I1}\\TypeLib", {{"", Sz("{L1}")}});
  }
};

TEST_F(DetailTest, ListsEverySourceInOrderWithItsOwnNumbering) {
  PutInstalled();
  PutInstaller();
  PutCom();
  Details("Acme Writer");

  const std::string folder = "C:\\Program Files\\Acme\\Writer";
  const std::string lowered = "c:\\program files\\acme\\writer\\";
  EXPECT_EQ(DetailRows(ListView::lstvUS2File),
            (Texts{folder + "\\writer.exe|File", folder + "|Directory",
                   "C:\\users\\root\\Desktop\\Acme Writer.lnk|Shortcut",
                   "C:\\users\\Public\\Desktop\\Acme Writer.lnk|Shortcut",
                   std::string(kUserStartMenu) + "\\Programs\\StartUp\\Acme Tray.lnk|Shortcut",
                   // The folder's own files, lower-cased; sub-folders are not entered.
                   lowered + "readme.txt|File", lowered + "writer.exe|File"}));

  registry::TURegistryOp op(platform);
  Texts installer, code;
  std::string productCode;
  op.FindInstallerProducts("Acme Writer", installer, productCode);
  ASSERT_FALSE(installer.empty());
  Texts expected{"HKEY_LOCAL_MACHINE\\Software\\Acme\\Writer|Key",
                 "HKEY_CURRENT_USER\\Software\\Acme\\Last|Value"};
  const auto append = [&](const Texts& keys) {
    for (const std::string& key : keys)
      expected.push_back(key + "|Key");
  };
  append(installer);
  Texts keys, libraries;
  op.FindInstallerFeatures(productCode, keys);
  EXPECT_FALSE(keys.empty());
  append(keys);
  op.FindInstallerUpgradeCodes(productCode, keys);
  EXPECT_FALSE(keys.empty());
  append(keys);
  op.FindInstallerComponents(productCode, keys);
  append(keys);
  EXPECT_GT(op.FindComClasses({folder}, libraries, keys), 0);
  append(keys);
  op.FindTypeLibraries(libraries, keys);
  EXPECT_FALSE(keys.empty());
  append(keys);
  op.FindInterfaces(libraries, keys);
  EXPECT_FALSE(keys.empty());
  append(keys);
  EXPECT_EQ(DetailRows(ListView::lstvUS2Registry), expected);

  EXPECT_EQ(EventsStartingWith("gauge"),
            (Texts{"gauge max 100", "gauge 5", "gauge 30", "gauge 50", "gauge 60", "gauge 70",
                   "gauge 80", "gauge 90", "gauge 0"}));
  EXPECT_EQ(window.CurrentPage(), Page::pgDetail);
  EXPECT_TRUE(window.Messages().empty());
}

TEST_F(DetailTest, InstallerSubKeysOnlyWithAProduct) {
  PutInstalled();
  Put(Hive::LocalMachine, "Software\\Classes\\Installer\\Features\\P1");
  Details("Acme Writer");
  for (const std::string& row : DetailRows(ListView::lstvUS2Registry))
    EXPECT_EQ(row.find("Installer"), std::string::npos) << row;
}

TEST_F(DetailTest, TheInstallFolderCodeStandsInWhenTheLocationValuesNameNoFolder) {
  machine.files.PutFile("C:\\Program Files\\Acme\\Writer\\A.txt");
  Details("Acme Writer");
  const Texts rows = DetailRows(ListView::lstvUS2File);
  EXPECT_NE(std::find(rows.begin(), rows.end(), "c:\\program files\\acme\\writer\\a.txt|File"),
            rows.end());
}

TEST_F(DetailTest, TheInstallFolderIsListedOnlyForAProgramWithLocationKeys) {
  DbSoft soft = Soft("ACME", "Acme Writer", 5);
  soft.installFolder = "1Acme\\Writer";
  PutDatabase({{"ACME", {}, {}}}, {soft});
  machine.files.PutFile("C:\\Program Files\\Acme\\Writer\\A.txt");
  Details("Acme Writer");
  EXPECT_TRUE(DetailRows(ListView::lstvUS2File).empty());
}

TEST_F(DetailTest, ALocationValueAtADriveRootOrSharedFolderListsNoFiles) {
  machine.files.PutFile("C:\\pagefile.sys");
  machine.files.PutFile("C:\\windows\\win.ini");
  for (const char* location : {"C:\\setup.exe", "C:\\windows\\acme.ini", "C:\\windows\\."}) {
    Put(Hive::LocalMachine, "SOFTWARE\\Acme\\Writer", {{"InstallDir", Sz(location)}});
    Details("Acme Writer");
    EXPECT_TRUE(DetailRows(ListView::lstvUS2File).empty()) << location;
  }
}

TEST_F(DetailTest, ABlankInstallFolderCodeIsNoFolder) {
  DbSoft soft = Soft("ACME", "Acme Writer", 5);
  soft.installFolder = "   ";
  soft.locations = {{"HKLM{sw}\\Acme\\Writer", "InstallDir"}};
  PutDatabase({{"ACME", {}, {}}}, {soft});
  machine.files.PutFile("C:\\Program Files\\Acme\\Writer\\A.txt");
  machine.files.PutFile("C:\\A.txt");
  Details("Acme Writer");
  EXPECT_TRUE(DetailRows(ListView::lstvUS2File).empty());
  EXPECT_EQ(window.CurrentPage(), Page::pgDetail);
}

TEST_F(DetailTest, AProgramTheDatabaseDoesNotHoldShowsEmptyListsOnTheDetailPage) {
  window.AddRow(ListView::lstvUS2File, ListRow{"1", {"old", "File"}});
  Details("Nobody");
  EXPECT_TRUE(window.Rows(ListView::lstvUS2File).empty());
  EXPECT_TRUE(window.Rows(ListView::lstvUS2Registry).empty());
  EXPECT_EQ(EventsStartingWith("gauge"), (Texts{"gauge max 100", "gauge 5", "gauge 30", "gauge 50",
                                                "gauge 60", "gauge 90", "gauge 0"}));
  EXPECT_EQ(window.CurrentPage(), Page::pgDetail);
}

TEST_F(DetailTest, ADatabaseThatCannotBeOpenedIsReportedAndThePageStays) {
  const std::string data = std::string(kOwnFolder) + "SV.dat";
  machine.faults.Inject(fake::Op::OpenFile, data, platform::kErrorAccessDenied);
  Details("Acme Writer");
  ASSERT_EQ(window.Messages().size(), 1u);
  EXPECT_EQ(window.Messages()[0].caption, "Error");
  EXPECT_EQ(window.CurrentPage(), std::nullopt);
  EXPECT_EQ(window.GaugeProgress(), 0);
}

// --- The worker ---

TEST_F(EngineTest, TheWorkerRunsItsModeAndEnds) {
  PutNames({"Zeta"});
  PutProgram("a1", "Zeta 1");
  {
    TUninstallThread worker(Env(), kModeScan);
    EXPECT_EQ(worker.Mode, kModeScan);
    worker.WaitFor();
  }
  EXPECT_EQ(Installed(), Texts{"Zeta 1|Supported"});

  // Unknown modes scan, as the window only ever passes 0 for a scan.
  window.ClearRows(ListView::lstvNList);
  TUninstallThread(Env(), 9).WaitFor();
  EXPECT_EQ(Installed(), Texts{"Zeta 1|Supported"});

  window.SetText(Label::labUS1Soft, "Zeta");
  TUninstallThread(Env(), kModeDetails).WaitFor();
  EXPECT_EQ(window.CurrentPage(), Page::pgDetail);
}

TEST_F(EngineTest, RemovalModesRunTheRemovalsNotAScan) {
  PutNames({"Zeta"});
  PutProgram("a1", "Zeta 1");
  for (const std::uint16_t mode : {kModeCleanChecked, kModeCleanShown}) {
    MemoryWindow fresh;
    TUninstallThread(RunEnvironment{platform, fresh, small, big, {}, {}}, mode).WaitFor();
    EXPECT_TRUE(fresh.Rows(ListView::lstvNList).empty());
    ASSERT_EQ(fresh.Messages().size(), 1u);
    EXPECT_EQ(fresh.Messages()[0].text, "Cleaning completed.");
    EXPECT_EQ(fresh.Messages()[0].caption, "Finish");
  }
}

}  // namespace
}  // namespace sv::engine
