// sv-seed's portable half on the fake machine: placeholders, reading a description, applying
// it, resolving the expectations; and the demo machine itself checked against the sample
// database by the rules the scan and the detail view follow.
#include "seed/seed.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/text.h"
#include "database/opUninstallFile.h"
#include "engine/memory_window.h"
#include "engine/threadUninstall.h"
#include "platform/fake/fake_machine.h"
#include "policy/removal_policy.h"
#include "registry/icon_list.h"
#include "registry/opUninstallRegistry.h"
#include "support/icon_lists.h"
#include "support/seed_data.h"
#include "svdb/svdb.h"

namespace sv::seed {
namespace {

using fake::FakeMachine;
using nlohmann::json;
using platform::Hive;
using platform::KeyAccess;

const Folders kFolders{{"windows", "C:\\windows"},
                       {"programfiles", "C:\\Program Files"},
                       {"desktop", "C:\\users\\root\\Desktop"}};

// --- Resolve ---

struct ResolveCase {
  const char* text;
  const char* expected;
};

class ResolveTest : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveTest, FillsKnownFoldersAndKeepsOtherBraces) {
  EXPECT_EQ(Resolve(GetParam().text, kFolders), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Seed, ResolveTest,
    ::testing::Values(ResolveCase{"{windows}\\acme.ini", "C:\\windows\\acme.ini"},
                      ResolveCase{"\"{programfiles}\\A\\a.exe\" /S {desktop}",
                                  "\"C:\\Program Files\\A\\a.exe\" /S C:\\users\\root\\Desktop"},
                      ResolveCase{"CLSID\\{6B1F3C2A-94E7-4D0B-8A51-2C7E90D4F113}",
                                  "CLSID\\{6B1F3C2A-94E7-4D0B-8A51-2C7E90D4F113}"},
                      ResolveCase{"{{windows}}", "{C:\\windows}"}, ResolveCase{"{}", "{}"},
                      ResolveCase{"{Windows}", "{Windows}"},
                      ResolveCase{"open {windows", "open {windows"}, ResolveCase{"", ""}));

TEST(SeedResolve, UnknownLowerCaseNameIsAnErrorThatNamesIt) {
  try {
    (void)Resolve("{programfile}\\Acme", kFolders);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_NE(std::string(error.what()).find("{programfile}"), std::string::npos);
  }
}

TEST(SeedResolve, MachineFoldersComeFromTheSystemWithoutTrailingBackslash) {
  FakeMachine machine(FakeMachine::Layout::Standard);
  machine.system.windowsDirectory = "C:\\windows\\";
  const Folders folders = MachineFolders(machine.system);
  EXPECT_EQ(folders.at("windows"), "C:\\windows");
  EXPECT_EQ(folders.at("system"), "C:\\windows\\system32");
  EXPECT_EQ(folders.at("commonstartmenu"), "C:\\ProgramData\\Microsoft\\Windows\\Start Menu");
  EXPECT_EQ(folders.at("startup"),
            "C:\\users\\root\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp");
  EXPECT_EQ(folders.size(), 15u);
}

// --- SplitHive ---

TEST(SeedSplitHive, AcceptsShortAndFullNamesInAnyCase) {
  EXPECT_EQ(SplitHive("HKLM\\Software\\A"),
            std::make_pair(Hive::LocalMachine, std::string("Software\\A")));
  EXPECT_EQ(SplitHive("hkcu\\Software\\A").first, Hive::CurrentUser);
  EXPECT_EQ(SplitHive("HKEY_CLASSES_ROOT\\.acme").first, Hive::ClassesRoot);
  EXPECT_EQ(SplitHive("HKU\\.DEFAULT\\Software").first, Hive::Users);
}

TEST(SeedSplitHive, RefusesUnknownHivesAndHiveRoots) {
  EXPECT_THROW((void)SplitHive("HKXX\\Software"), Error);
  EXPECT_THROW((void)SplitHive("HKLM"), Error);
  EXPECT_THROW((void)SplitHive("HKLM\\"), Error);
  EXPECT_THROW((void)SplitHive("HKEY_CURRENT_CONFIG\\Software"), Error);
}

// --- ReadPlan ---

TEST(SeedReadPlan, ReadsEveryKindOfEntryWithTypedValues) {
  const json description = json::parse(R"js({"machine": [{
    "directories": ["{programfiles}\\Acme\\empty"],
    "programs": ["{programfiles}\\Acme\\acme.exe"],
    "files": [{"path": "{windows}\\acme.ini", "text": "[Acme]"}, {"path": "C:\\blank.txt"}],
    "registry": [{"key": "HKLM\\Software\\Acme", "values": {
        "": "default", "Path": {"expand": "%ProgramFiles%\\Acme"}, "Size": {"dword": 4294967295},
        "Blob": {"binary": "00fFa0"}, "Where": "{programfiles}\\Acme"}}],
    "shortcuts": [{"path": "{desktop}\\Acme.LNK", "target": "{programfiles}\\Acme\\acme.exe",
                   "arguments": "-x", "description": "Acme"}],
    "services": [{"name": "AcmeSvc", "binary": "{programfiles}\\Acme\\acme.exe"}]}]})js");
  const Plan plan = ReadPlan(description, kFolders);
  EXPECT_EQ(plan.directories, std::vector<std::string>{"C:\\Program Files\\Acme\\empty"});
  EXPECT_EQ(plan.programs, std::vector<std::string>{"C:\\Program Files\\Acme\\acme.exe"});
  ASSERT_EQ(plan.files.size(), 2u);
  EXPECT_EQ(plan.files[0].path, "C:\\windows\\acme.ini");
  EXPECT_EQ(plan.files[0].content, "[Acme]");
  EXPECT_EQ(plan.files[1].content, "");
  ASSERT_EQ(plan.registry.size(), 1u);
  EXPECT_EQ(plan.registry[0].hive, Hive::LocalMachine);
  EXPECT_EQ(plan.registry[0].path, "Software\\Acme");
  const auto& values = plan.registry[0].values;
  auto find = [&](const std::string& name) {
    return std::find_if(values.begin(), values.end(),
                        [&](const auto& v) { return v.first == name; })
        ->second;
  };
  ASSERT_EQ(values.size(), 5u);
  EXPECT_EQ(find(""), platform::StringValue("default"));
  EXPECT_EQ(find("Path"), (platform::RegValue{platform::kRegExpandSz, "%ProgramFiles%\\Acme"}));
  EXPECT_EQ(find("Size"), platform::DwordValue(0xFFFFFFFFu));
  EXPECT_EQ(find("Blob"),
            (platform::RegValue{platform::kRegBinary, std::string("\x00\xff\xa0", 3)}));
  EXPECT_EQ(find("Where"), platform::StringValue("C:\\Program Files\\Acme"));
  ASSERT_EQ(plan.shortcuts.size(), 1u);
  EXPECT_EQ(plan.shortcuts[0].path, "C:\\users\\root\\Desktop\\Acme.LNK");
  EXPECT_EQ(plan.shortcuts[0].arguments, "-x");
  EXPECT_EQ(plan.shortcuts[0].workingDirectory, "");
  ASSERT_EQ(plan.services.size(), 1u);
  EXPECT_EQ(plan.services[0].binary, "C:\\Program Files\\Acme\\acme.exe");
}

struct BadEntryCase {
  const char* group;    // one entry of "machine"
  const char* message;  // what the error must mention
};

class SeedBadEntryTest : public ::testing::TestWithParam<BadEntryCase> {};

TEST_P(SeedBadEntryTest, IsRefusedWithItsPlace) {
  const json description =
      json::parse(std::string(R"({"machine": [{}, )") + GetParam().group + "]}");
  try {
    (void)ReadPlan(description, kFolders);
    FAIL() << "no error for " << GetParam().group;
  } catch (const Error& error) {
    EXPECT_NE(std::string(error.what()).find(GetParam().message), std::string::npos)
        << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Seed, SeedBadEntryTest,
    ::testing::Values(
        BadEntryCase{R"({"registry": [{"key": "HKXX\\A"}]})",
                     "machine[1].registry[0]: unknown hive"},
        BadEntryCase{R"({"registry": [{"values": {}}]})", "field 'key' is missing"},
        BadEntryCase{
            R"({"registry": [{"key": "HKLM\\A", "values": {"V": {"dword": 4294967296}}}]})",
            "machine[1].registry[0].values.V: 'dword'"},
        BadEntryCase{R"({"registry": [{"key": "HKLM\\A", "values": {"V": {"dword": -1}}}]})",
                     "'dword'"},
        BadEntryCase{R"({"registry": [{"key": "HKLM\\A", "values": {"V": {"binary": "abc"}}}]})",
                     "odd number"},
        BadEntryCase{R"({"registry": [{"key": "HKLM\\A", "values": {"V": {"binary": "zz"}}}]})",
                     "not a hex digit"},
        BadEntryCase{R"({"registry": [{"key": "HKLM\\A", "values": {"V": {"qword": 1}}}]})",
                     "unknown value type 'qword'"},
        BadEntryCase{R"({"registry": [{"key": "HKLM\\A", "values": {"V": 5}}]})",
                     "a value is a text"},
        BadEntryCase{R"({"files": [{"path": "{nowhere}\\a"}]})",
                     "machine[1].files[0]: unknown folder"},
        BadEntryCase{R"({"files": "C:\\a"})", "'files' is not a list"},
        BadEntryCase{R"({"shortcuts": [{"path": "C:\\a.exe", "target": "C:\\b.exe"}]})",
                     "ends in .lnk"},
        BadEntryCase{R"({"shortcuts": [{"path": "C:\\a.lnk"}]})", "field 'target' is missing"},
        BadEntryCase{R"({"services": [{"name": "A\\B", "binary": "C:\\a.exe"}]})", "no backslash"},
        BadEntryCase{R"({"services": [{"name": " ", "binary": "C:\\a.exe"}]})", "not blank"},
        BadEntryCase{R"({"directories": [7]})", "machine[1].directories[0]: not a text"}));

// --- Apply ---

// Records what the system would make and leaves a file where it would, as Windows does.
class RecordingShell final : public Shell {
 public:
  explicit RecordingShell(platform::FileSystem& files) : files_(files) {}
  std::string CopyProgram(const std::string& destination) override {
    copies.push_back(destination);
    return Leave(destination, "MZ");
  }
  std::string MakeShortcut(const Shortcut& shortcut) override {
    shortcuts.push_back(shortcut.path);
    return Leave(shortcut.path, "L");
  }
  std::string MakeService(const Service& service) override {
    services.push_back(service.name);
    return failService;
  }

  std::vector<std::string> copies, shortcuts, services;
  std::string failService;

 private:
  std::string Leave(const std::string& path, const char* bytes) {
    return platform::WriteWholeFile(files_, path, bytes) == platform::kSuccess ? "" : "no " + path;
  }
  platform::FileSystem& files_;
};

Plan SmallPlan() {
  return ReadPlan(json::parse(R"js({"machine": [{
    "directories": ["{programfiles}\\Acme\\Data\\Cache"],
    "programs": ["{programfiles}\\Acme\\acme.exe"],
    "files": [{"path": "{windows}\\Acme\\acme.ini", "text": "[Acme]\r\n"}],
    "registry": [{"key": "HKCU\\Software\\Acme\\Writer", "values": {"Size": {"dword": 7}, "": "x"}}],
    "shortcuts": [{"path": "{desktop}\\Group\\Acme.lnk", "target": "{programfiles}\\Acme\\acme.exe"}],
    "services": [{"name": "AcmeSvc", "binary": "{programfiles}\\Acme\\acme.exe"}]}]})js"),
                  kFolders);
}

TEST(SeedApply, MakesFoldersFilesKeysAndAsksTheShellForTheRest) {
  FakeMachine machine(FakeMachine::Layout::Standard);
  platform::Platform platform = machine.Get();
  RecordingShell shell(machine.files);
  EXPECT_TRUE(Apply(SmallPlan(), platform, shell).empty());

  EXPECT_NE(machine.files.GetAttributes("C:\\Program Files\\Acme\\Data\\Cache") &
                platform::kAttrDirectory,
            0u);
  EXPECT_EQ(platform::ReadWholeFile(machine.files, "C:\\windows\\Acme\\acme.ini"), "[Acme]\r\n");
  auto key = machine.registry.OpenKey(Hive::CurrentUser, "Software\\Acme\\Writer", KeyAccess::Read);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->QueryValue("Size"), platform::DwordValue(7));
  EXPECT_EQ(key->QueryValue(""), platform::StringValue("x"));
  EXPECT_EQ(shell.copies, std::vector<std::string>{"C:\\Program Files\\Acme\\acme.exe"});
  EXPECT_EQ(shell.shortcuts, std::vector<std::string>{"C:\\users\\root\\Desktop\\Group\\Acme.lnk"});
  EXPECT_EQ(shell.services, std::vector<std::string>{"AcmeSvc"});
}

TEST(SeedApply, SeedingTwiceGivesTheSameMachine) {
  FakeMachine machine(FakeMachine::Layout::Standard);
  platform::Platform platform = machine.Get();
  RecordingShell shell(machine.files);
  ASSERT_TRUE(Apply(SmallPlan(), platform, shell).empty());
  auto lastWrite = [&] {
    auto file = machine.files.OpenFile("C:\\windows\\Acme\\acme.ini", platform::FileAccess::Read,
                                       platform::kShareRead, platform::Disposition::OpenExisting);
    return file ? file->GetTimes()->lastWrite.ticks : 0;
  };
  const auto written = lastWrite();
  machine.clock.Advance(10'000'000ULL * 3600);
  EXPECT_TRUE(Apply(SmallPlan(), platform, shell).empty());
  // A file that already holds its text is left alone.
  EXPECT_EQ(lastWrite(), written);
  EXPECT_EQ(platform::ReadWholeFile(machine.files, "C:\\windows\\Acme\\acme.ini"), "[Acme]\r\n");
  auto key = machine.registry.OpenKey(Hive::CurrentUser, "Software\\Acme\\Writer", KeyAccess::Read);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->EnumValue(2), std::nullopt);
}

TEST(SeedApply, ChangedContentIsWrittenAgain) {
  FakeMachine machine(FakeMachine::Layout::Standard);
  platform::Platform platform = machine.Get();
  RecordingShell shell(machine.files);
  ASSERT_EQ(machine.files.MakeDir("C:\\windows\\Acme"), platform::kSuccess);
  ASSERT_EQ(platform::WriteWholeFile(machine.files, "C:\\windows\\Acme\\acme.ini", "old"),
            platform::kSuccess);
  EXPECT_TRUE(Apply(SmallPlan(), platform, shell).empty());
  EXPECT_EQ(platform::ReadWholeFile(machine.files, "C:\\windows\\Acme\\acme.ini"), "[Acme]\r\n");
}

TEST(SeedApply, EveryFailureIsReportedAndTheRestIsStillMade) {
  FakeMachine machine(FakeMachine::Layout::Standard);
  platform::Platform platform = machine.Get();
  RecordingShell shell(machine.files);
  shell.failService = "cannot create service AcmeSvc";
  // A file stands where a folder must go.
  ASSERT_EQ(machine.files.MakeDir("C:\\Program Files\\Acme"), platform::kSuccess);
  ASSERT_EQ(platform::WriteWholeFile(machine.files, "C:\\Program Files\\Acme\\Data", "x"),
            platform::kSuccess);
  machine.faults.Inject(fake::Op::CreateKey, "*", platform::kErrorAccessDenied);
  const auto failures = Apply(SmallPlan(), platform, shell);
  ASSERT_EQ(failures.size(), 3u);
  EXPECT_NE(failures[0].find("C:\\Program Files\\Acme\\Data exists and is a file"),
            std::string::npos);
  EXPECT_NE(failures[1].find("cannot create key HKEY_CURRENT_USER\\Software\\Acme\\Writer"),
            std::string::npos);
  EXPECT_EQ(failures[2], "cannot create service AcmeSvc");
  EXPECT_EQ(platform::ReadWholeFile(machine.files, "C:\\windows\\Acme\\acme.ini"), "[Acme]\r\n");
  EXPECT_EQ(shell.shortcuts.size(), 1u);
}

TEST(SeedApply, AValueThatCannotBeSetIsReported) {
  FakeMachine machine(FakeMachine::Layout::Standard);
  platform::Platform platform = machine.Get();
  RecordingShell shell(machine.files);
  machine.faults.Inject(fake::Op::SetValue, "HKEY_CURRENT_USER\\Software\\Acme\\Writer\\Size",
                        platform::kErrorAccessDenied);
  const auto failures = Apply(SmallPlan(), platform, shell);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find("cannot set value 'Size'"), std::string::npos);
}

// --- ResolveExpected ---

TEST(SeedResolveExpected, ListsTheFoldersOwnFilesLowerCasedInListingOrder) {
  FakeMachine machine(FakeMachine::Layout::Standard);
  for (const char* file : {"Zeta.DLL", "alpha.exe", "Sub\\deep.txt"}) {
    const std::string folder = "C:\\Program Files\\Acme";
    (void)machine.files.MakeDir(folder);
    (void)machine.files.MakeDir(folder + "\\Sub");
    ASSERT_EQ(platform::WriteWholeFile(machine.files, folder + "\\" + file, "x"),
              platform::kSuccess);
  }
  const json expected = json::parse(R"js({"details": [{"name": "Acme", "files": [
      {"path": "{windows}\\a.ini", "type": "File"}, {"listing": "{programfiles}\\Acme"},
      {"path": "{desktop}\\Acme.lnk", "type": "Shortcut"}]}], "count": 2})js");
  const json resolved = ResolveExpected(expected, kFolders, machine.files);
  EXPECT_EQ(resolved["count"], 2);
  EXPECT_EQ(resolved["details"][0]["name"], "Acme");
  const json files = resolved["details"][0]["files"];
  ASSERT_EQ(files.size(), 4u);
  EXPECT_EQ(files[0]["path"], "C:\\windows\\a.ini");
  EXPECT_EQ(files[1], (json{{"path", "c:\\program files\\acme\\alpha.exe"}, {"type", "File"}}));
  EXPECT_EQ(files[2], (json{{"path", "c:\\program files\\acme\\zeta.dll"}, {"type", "File"}}));
  EXPECT_EQ(files[3]["path"], "C:\\users\\root\\Desktop\\Acme.lnk");
}

TEST(SeedResolveExpected, AFolderThatCannotBeListedIsAnError) {
  FakeMachine machine(FakeMachine::Layout::Standard);
  EXPECT_THROW((void)ResolveExpected(json::parse(R"([{"listing": "{programfiles}\\Gone"}])"),
                                     kFolders, machine.files),
               Error);
}

// --- The demo machine against the sample database ---
//
// The machine of data/demo-machine.json is seeded on the fake machine (which lays out a Wine
// prefix) and read with the database and registry operations, following the scan's and the
// detail view's rules step by step. So the expectations that the Wine test compares the real
// program with are themselves proven to follow from the machine and the database.

// Expected rows without the marks of what the policy keeps.
json WithoutMarks(const json& rows) {
  json array = json::array();
  for (json row : rows) {
    row.erase("kept");
    array.push_back(std::move(row));
  }
  return array;
}

class DemoMachine : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_.system.is64BitBuild = true;
    folders_ = MachineFolders(machine_.system);
    const json document = json::parse(testing::kDemoMachineJson);
    RecordingShell shell(machine_.files);
    ASSERT_TRUE(Apply(ReadPlan(document, folders_), platform_, shell).empty());
    expected_ = ResolveExpected(document.at("expected"), folders_, machine_.files);

    const auto files = svdb::BuildDatabase(svdb::ParseSource(testing::kSampleDatabaseJson), 0);
    ASSERT_EQ(machine_.files.MakeDir("C:\\sorvane"), platform::kSuccess);
    ASSERT_EQ(platform::WriteWholeFile(machine_.files, kData, files.data), platform::kSuccess);
    ASSERT_EQ(platform::WriteWholeFile(machine_.files, kSoft, files.soft), platform::kSuccess);
  }

  bool Exists(const std::string& path) {
    return machine_.files.GetAttributes(path) != platform::kInvalidAttributes;
  }

  // Shortcut names of one place, in the user's folder and all users' (startup: the other way).
  std::vector<std::string> FindShortcuts(const std::string& names, int kind) {
    static constexpr int kFolderPairs[4][2] = {
        {platform::csidl::kDesktop, platform::csidl::kCommonDesktopDirectory},
        {platform::csidl::kPrograms, platform::csidl::kCommonPrograms},
        {platform::csidl::kCommonStartup, platform::csidl::kStartup},
        {platform::csidl::kStartMenu, platform::csidl::kCommonStartMenu}};
    std::vector<std::string> found;
    for (const std::string& name : SplitCommaList(Trim(names))) {
      if (name.empty()) continue;
      for (int csidl : kFolderPairs[kind - 1]) {
        const std::string path = machine_.system.SpecialFolder(csidl) + "\\" + name;
        if (Exists(path)) found.push_back(path);
      }
    }
    return found;
  }

  std::string ResolveInstallFolder(const std::string& code) {
    const std::string trimmed = Trim(code);
    if (trimmed.size() < 2) return {};
    const std::string rest = trimmed.substr(1);
    const std::string windows = machine_.system.WindowsDirectory();
    std::string path;
    switch (trimmed[0]) {
      case '0':
        path = "C:\\" + rest;
        break;
      case '1':
        path = windows.substr(0, 2) + "\\Program Files\\" + rest;
        break;
      case '2':
        path = windows + "\\" + rest;
        break;
      case '3':
        path = machine_.system.SystemDirectory() + "\\" + rest;
        break;
      default:
        return {};
    }
    const auto attributes = machine_.files.GetAttributes(path);
    return attributes != platform::kInvalidAttributes && (attributes & platform::kAttrDirectory)
               ? path
               : std::string();
  }

  static constexpr const char* kData = "C:\\sorvane\\SV.dat";
  static constexpr const char* kSoft = "C:\\sorvane\\soft.dat";
  FakeMachine machine_{FakeMachine::Layout::Standard};
  platform::Platform platform_ = machine_.Get();
  Folders folders_;
  json expected_;
};

json Row(const std::string& name, const std::string& publisher, const std::string& date) {
  return {{"name", name}, {"publisher", publisher}, {"installDate", date}};
}

std::vector<json> Sorted(std::vector<json> rows) {
  std::sort(rows.begin(), rows.end(),
            [](const json& a, const json& b) { return a.dump() < b.dump(); });
  return rows;
}

TEST_F(DemoMachine, ScanFindsExactlyTheExpectedProgramsAndLeftovers) {
  database::TUFileOp db(platform_, kData, kSoft);
  registry::TURegistryOp registry(platform_);
  registry::CountingIconList smallIcons, bigIcons;
  database::StringList names, keys, databaseNames;
  registry.ListInstalledPrograms(names, keys, false);
  db.GetSoftNameList(databaseNames, 0);
  ASSERT_EQ(databaseNames.size(), 22u);

  std::vector<json> supported, unsupported;
  std::vector<std::string> notListed;
  for (std::size_t i = 0; i < names.size(); ++i) {
    database::StringList summary;
    if (registry.ReadProgramSummary(keys[i], smallIcons, summary, bigIcons) <= 0) {
      notListed.push_back(names[i]);
      continue;
    }
    const auto match = std::find_if(databaseNames.begin(), databaseNames.end(), [&](auto& name) {
      return LowerAscii(names[i]).starts_with(LowerAscii(name));
    });
    if (match != databaseNames.end()) {
      databaseNames.erase(match);
      supported.push_back(Row(summary[0], summary[2], summary[1]));
    } else if (names[i] == "Sorvane") {
      notListed.push_back(names[i]);
    } else {
      unsupported.push_back(Row(summary[0], summary[2], summary[1]));
    }
  }
  const json& scan = expected_["scan"];
  EXPECT_EQ(Sorted(supported), Sorted(scan["supported"].get<std::vector<json>>()));
  EXPECT_EQ(Sorted(unsupported), Sorted(scan["unsupported"].get<std::vector<json>>()));
  std::sort(notListed.begin(), notListed.end());
  EXPECT_EQ(notListed, scan["notListed"].get<std::vector<std::string>>());

  std::vector<json> residues;
  for (const std::string& name : databaseNames) {
    database::StringList list, info, locationKeys, valueNames;
    std::string productCode;
    registry.FindInstallerProducts(name, list, productCode);
    bool residue = !list.empty();
    if (!residue && db.GetSoftInfo(name, info, locationKeys, valueNames) > 0) {
      for (int kind = 1; kind <= 4 && !residue; ++kind) {
        residue = !FindShortcuts(info[6 + kind], kind).empty();
      }
    }
    for (std::uint16_t kind : {1, 2, 4}) {
      if (!residue) residue = db.GetSoftItems(name, kind, 1, list) > 0;
    }
    if (residue) residues.push_back({{"name", name}, {"description", db.GetCategoryText(name)}});
  }
  EXPECT_EQ(json(residues), scan["residues"]);
  for (const auto& name : scan["notResidues"]) {
    EXPECT_EQ(std::count(databaseNames.begin(), databaseNames.end(), name.get<std::string>()), 1)
        << name << " must be left for the residue pass";
  }
  const std::size_t count = supported.size() + residues.size();
  EXPECT_EQ(scan["count"], count);
  EXPECT_EQ(scan["label"], std::to_string(count) + "  Software");
}

TEST_F(DemoMachine, DetailsListExactlyTheExpectedRows) {
  database::TUFileOp db(platform_, kData, kSoft);
  registry::TURegistryOp registry(platform_);
  ASSERT_GE(expected_["details"].size(), 3u);
  for (const json& detail : expected_["details"]) {
    const std::string name = detail["name"];
    json files = json::array();
    json keys = json::array();
    auto file = [&](const std::string& path, const char* type) {
      files.push_back({{"path", path}, {"type", type}});
    };
    auto key = [&](const std::string& path, const char* type) {
      keys.push_back({{"path", path}, {"type", type}});
    };
    database::StringList list, info, locationKeys, valueNames;
    db.GetSoftItems(name, 0, 1, list);
    for (const std::string& line : list) {
      static constexpr const char* kTypes[] = {"", "File", "Key", "Value", "Directory"};
      const int kind = line[0] - '0';
      if (kind == 1 || kind == 4) {
        file(line.substr(1), kTypes[kind]);
      } else {
        key(line.substr(1), kTypes[kind]);
      }
    }
    if (db.GetSoftInfo(name, info, locationKeys, valueNames) > 0) {
      for (int kind = 1; kind <= 4; ++kind) {
        for (const std::string& path : FindShortcuts(info[6 + kind], kind))
          file(path, "Shortcut");
      }
      // An installed program's Installer registration is the one its Uninstall entry names
      // by product code; a leftover's is found by its name.
      std::string productCode;
      database::StringList names, entryKeys;
      registry.ListInstalledPrograms(names, entryKeys, false);
      for (std::size_t i = 0; i < names.size() && productCode.empty(); ++i) {
        if (!StartsWithTextAscii(names[i], name)) continue;
        const registry::TUNINSTALL_DES entry = registry.ReadUninstallEntryAt(entryKeys[i]);
        productCode = policy::PackedProductCode(
            policy::ProductCodeOfEntry(entry.KeyName, entry.UninstallString));
      }
      if (productCode.empty()) {
        registry.FindInstallerProducts(name, list, productCode);
      } else {
        registry.FindInstallerProductsByCode(productCode, list);
      }
      for (const std::string& path : list)
        key(path, "Key");
      if (!list.empty()) {
        registry.FindInstallerFeatures(productCode, list);
        for (const std::string& path : list)
          key(path, "Key");
        registry.FindInstallerUpgradeCodes(productCode, list);
        for (const std::string& path : list)
          key(path, "Key");
        registry.FindInstallerComponents(productCode, list);
        for (const std::string& path : list)
          key(path, "Key");
      }
      database::StringList folders, typeLibraries;
      if (!locationKeys.empty()) {
        registry.CollectFoldersFromValues(locationKeys, valueNames, folders);
        if (folders.empty() && !info[6].empty()) {
          if (std::string folder = ResolveInstallFolder(info[6]); !folder.empty()) {
            folders.push_back(folder);
          }
        }
      }
      for (std::string folder : folders) {
        if (folder.back() != '\\') folder.push_back('\\');
        auto search = machine_.files.FindFirst(folder + "*.*");
        for (bool more = search != nullptr; more; more = search->Next()) {
          if (!search->Current().IsDirectory()) {
            file(LowerAscii(folder + search->Current().name), "File");
          }
        }
      }
      if (!folders.empty() && registry.FindComClasses(folders, typeLibraries, list) > 0) {
        for (const std::string& path : list)
          key(path, "Key");
        if (!typeLibraries.empty()) {
          registry.FindTypeLibraries(typeLibraries, list);
          for (const std::string& path : list)
            key(path, "Key");
          registry.FindInterfaces(typeLibraries, list);
          for (const std::string& path : list)
            key(path, "Key");
        }
      }
    }
    // The rules name what the policy keeps too; the expectations mark it.
    EXPECT_EQ(files.dump(1), WithoutMarks(detail["files"]).dump(1)) << name;
    EXPECT_EQ(keys.dump(1), WithoutMarks(detail["registry"]).dump(1)) << name;
  }
}

TEST_F(DemoMachine, TheDetailViewListsTheExpectedRowsButWhatThePolicyKeeps) {
  for (const json& detail : expected_["details"]) {
    const std::string name = detail["name"];
    engine::MemoryWindow window;
    testing::RecordingIconList small, big;
    window.SetText(engine::Label::labUS1Soft, name);
    engine::GatherDetails(engine::RunEnvironment{platform_, window, small, big, kData, kSoft});
    const auto rows = [&](engine::ListView list) {
      json array = json::array();
      for (const engine::ListRow& row : window.Rows(list))
        array.push_back({{"path", row.subItems.at(0)}, {"type", row.subItems.at(1)}});
      return array;
    };
    const auto shown = [](const json& expected) {
      json array = json::array();
      for (const json& row : expected) {
        if (!row.contains("kept")) array.push_back(row);
      }
      return array;
    };
    EXPECT_EQ(rows(engine::ListView::lstvUS2File).dump(1), shown(detail["files"]).dump(1)) << name;
    EXPECT_EQ(rows(engine::ListView::lstvUS2Registry).dump(1), shown(detail["registry"]).dump(1))
        << name;
  }
}

}  // namespace
}  // namespace sv::seed
