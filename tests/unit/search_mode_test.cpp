// The indexed lookups against the literal ones: the same answers from the database, the
// Installer and component searches, and the same scan, detail view and removal decisions on a
// synthetic machine; and the counting layer the benchmarks measure them with.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/paths.h"
#include "database/opUninstallFile.h"
#include "engine/deletion_gate.h"
#include "engine/run_support.h"
#include "engine/threadUninstall.h"
#include "platform/counting/counting.h"
#include "platform/fake/fake_machine.h"
#include "registry/opUninstallRegistry.h"
#include "support/db_writer.h"
#include "support/search_modes.h"
#include "synthetic_machine.h"

namespace sv {
namespace {

using platform::FileCall;
using platform::Hive;
using platform::RegistryCall;
using Texts = std::vector<std::string>;

constexpr const char* kDbFolder = "C:\\db\\";

// --- The counting layer ---

struct CountingCase {
  const char* name;
  std::function<void(platform::Registry&, platform::FileSystem&)> call;
  std::vector<RegistryCall> registry;  // the calls it must count, in any order
  std::vector<FileCall> files;
};

class CountingTest : public ::testing::TestWithParam<CountingCase> {
 protected:
  CountingTest() {
    auto key = machine.registry.CreateKey(Hive::LocalMachine, "SOFTWARE\\Acme\\Sub");
    (void)key->SetStringValue("Name", "Acme");
    machine.files.PutFile("C:\\acme\\a.txt", "1");
    machine.files.PutFile("C:\\acme\\b.txt", "2");
  }
  fake::FakeMachine machine{fake::FakeMachine::Layout::Empty};
};

TEST_P(CountingTest, CountsEachCallOnceByKindAndForwardsIt) {
  platform::CountingRegistry registry(machine.registry);
  platform::CountingFileSystem files(machine.files);
  GetParam().call(registry, files);
  platform::RegistryCallCounts expectedRegistry;
  for (const RegistryCall call : GetParam().registry)
    expectedRegistry.Add(call);
  platform::FileCallCounts expectedFiles;
  for (const FileCall call : GetParam().files)
    expectedFiles.Add(call);
  EXPECT_EQ(registry.Counts().byKind, expectedRegistry.byKind);
  EXPECT_EQ(files.Counts().byKind, expectedFiles.byKind);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, CountingTest,
    ::testing::Values(
        CountingCase{"OpenAndReadThroughTheKey",
                     [](platform::Registry& registry, platform::FileSystem&) {
                       auto key = registry.OpenKey(Hive::LocalMachine, "SOFTWARE\\Acme",
                                                   platform::KeyAccess::Read);
                       ASSERT_TRUE(key);
                       EXPECT_EQ(key->EnumKey(0), "Sub");
                       EXPECT_EQ(key->EnumKey(1), std::nullopt);
                       auto sub = registry.OpenKey(Hive::LocalMachine, "SOFTWARE\\Acme\\Sub",
                                                   platform::KeyAccess::Read);
                       ASSERT_TRUE(sub);
                       EXPECT_EQ(sub->QueryValue("Name"), platform::StringValue("Acme"));
                       EXPECT_EQ(sub->EnumValue(0), "Name");
                     },
                     {RegistryCall::OpenKey, RegistryCall::EnumKey, RegistryCall::EnumKey,
                      RegistryCall::OpenKey, RegistryCall::QueryValue, RegistryCall::EnumValue},
                     {}},
        CountingCase{"AFailedOpenCountsToo",
                     [](platform::Registry& registry, platform::FileSystem&) {
                       platform::WinError error = platform::kSuccess;
                       EXPECT_FALSE(registry.OpenKey(Hive::LocalMachine, "SOFTWARE\\Missing",
                                                     platform::KeyAccess::Read, &error));
                       EXPECT_EQ(error, platform::kErrorFileNotFound);
                     },
                     {RegistryCall::OpenKey},
                     {}},
        CountingCase{"WritesAndDeletions",
                     [](platform::Registry& registry, platform::FileSystem&) {
                       auto key = registry.CreateKey(Hive::CurrentUser, "Software\\New");
                       ASSERT_TRUE(key);
                       EXPECT_EQ(key->SetStringValue("V", "x"), platform::kSuccess);
                       EXPECT_EQ(key->DeleteValue("V"), platform::kSuccess);
                       key.reset();
                       EXPECT_EQ(registry.DeleteKey(Hive::CurrentUser, "Software\\New"),
                                 platform::kSuccess);
                     },
                     {RegistryCall::CreateKey, RegistryCall::SetValue, RegistryCall::DeleteValue,
                      RegistryCall::DeleteKey},
                     {}},
        CountingCase{
            "ASearchCountsItsStart",
            [](platform::Registry&, platform::FileSystem& files) {
              auto search = files.FindFirst("C:\\acme\\*.txt");
              ASSERT_TRUE(search);
              EXPECT_EQ(search->Current().name, "a.txt");
              EXPECT_TRUE(search->Next());
              EXPECT_FALSE(search->Next());
              EXPECT_FALSE(files.FindFirst("C:\\acme\\*.exe"));
            },
            {},
            {FileCall::FindFirst, FileCall::FindNext, FileCall::FindNext, FileCall::FindFirst}},
        CountingCase{
            "FileOperations",
            [](platform::Registry&, platform::FileSystem& files) {
              EXPECT_EQ(files.GetAttributes("C:\\acme"), platform::kAttrDirectory);
              EXPECT_EQ(files.SetAttributes("C:\\acme\\a.txt", platform::kAttrNormal),
                        platform::kSuccess);
              EXPECT_EQ(platform::ReadWholeFile(files, "C:\\acme\\b.txt"), "2");
              EXPECT_EQ(files.RemoveFile("C:\\acme\\a.txt"), platform::kSuccess);
              EXPECT_EQ(files.MakeDir("C:\\new"), platform::kSuccess);
              EXPECT_EQ(files.RemoveDir("C:\\new"), platform::kSuccess);
              EXPECT_TRUE(files.ResolvePath("C:\\acme\\.\\b.txt"));
              EXPECT_FALSE(files.ReadVersionResource("C:\\acme\\b.txt"));
              EXPECT_FALSE(files.ExtractIcons("C:\\acme\\b.txt", 0).large);
            },
            {},
            {FileCall::GetAttributes, FileCall::SetAttributes, FileCall::OpenFile,
             FileCall::RemoveFile, FileCall::MakeDir, FileCall::RemoveDir, FileCall::ResolvePath,
             FileCall::ReadVersionResource, FileCall::ExtractIcons}}),
    [](const auto& param) { return std::string(param.param.name); });

// --- The database ---

// Records that test the first-in-file-order rules: IDs and names repeated with other letter
// cases and blanks, names that begin other names, a blank name, an ID without a record.
std::vector<testing::DbSoft> TrickySoftware() {
  const auto soft = [](std::string id, std::string name, std::int32_t category) {
    testing::DbSoft record;
    record.id = std::move(id);
    record.name = std::move(name);
    record.category = category;
    record.installFolder = "1" + record.name;
    return record;
  };
  return {soft("A1", "Acme", 1),
          soft("a1", "Acme Writer", 2),
          soft(" B2 ", "Acme Writer", 3),
          soft("C3", "ACME WRITER PRO", 4),
          soft("D4", "  ", 5),
          soft("E5", "Beta", 6),
          soft("E5", "Gamma", 7),
          soft("F6", "Ac", 8),
          soft("G7", "Zeta Suite", 9)};
}

std::vector<testing::DbEntry> TrickyEntries() {
  return {{"A1", {{1, "C:\\acme\\a.exe"}}, {{2, "HKLM\\Software\\Acme"}}},
          {"a1", {{4, "C:\\acme"}}, {}},
          {"B2", {{1, "C:\\b\\b.exe"}}, {{3, "HKCU\\Software\\B\\V"}}},
          {"C3", {}, {{2, "HKLM\\Software\\C"}}},
          {"E5", {{1, "C:\\e.txt"}}, {}},
          {"F6", {{4, "C:\\f"}}, {}},
          {"Z9", {{1, "C:\\z.txt"}}, {}},
          {"G7", {}, {}}};
}

// Every query of both objects, over the same list of names and IDs.
Texts AnswersOf(database::TUFileOp& db) {
  const Texts names{
      "Acme",    "acme writer", "Acme Writer 5", "ACME WRITER PRO X", "Ac",         "A",
      "",        "  ",          "Beta",          "Gamma 2",           "Zeta Suite", "zeta suite",
      "Unknown", "Acme Writerz"};
  const Texts ids{"A1", "a1", "B2", " B2 ", "C3", "E5", "e5", "Z9", "G7", "", "X"};
  Texts out;
  Texts list;
  db.GetSoftNameList(list, 0);
  out.insert(out.end(), list.begin(), list.end());
  for (std::uint16_t category = 0; category <= 10; ++category) {
    out.push_back("count " + std::to_string(db.GetSoftCount(category)));
    db.GetSoftNameList(list, category);
    for (const std::string& name : list)
      out.push_back("category " + std::to_string(category) + " " + name);
  }
  for (const std::string& id : ids) {
    out.push_back("category of " + id + ": " + std::to_string(db.GetSoftCategory(id)));
    out.push_back("name of " + id + ": " + db.GetSoftName(id));
  }
  for (const std::string& name : names) {
    out.push_back("id of " + name + ": " + db.FindSoftId(name));
    out.push_back("category text of " + name + ": " + db.GetCategoryText(name));
    for (std::uint16_t kind = 0; kind <= 5; ++kind) {
      const std::int32_t count = db.GetSoftItems(name, kind, 0, list);
      out.push_back("items " + std::to_string(kind) + " of " + name + ": " + std::to_string(count));
      out.insert(out.end(), list.begin(), list.end());
    }
    Texts info, keys, values;
    out.push_back("info of " + name + ": " +
                  std::to_string(db.GetSoftInfo(name, info, keys, values)));
    out.insert(out.end(), info.begin(), info.end());
  }
  return out;
}

struct DatabaseCase {
  const char* name;
  std::size_t dataCut;  // bytes cut off the end of SV.dat
  std::size_t softCut;  // and of soft.dat
};

class DatabaseModeTest : public ::testing::TestWithParam<DatabaseCase> {};

TEST_P(DatabaseModeTest, IndexedLookupsAnswerAsTheWalksDo) {
  fake::FakeMachine machine(fake::FakeMachine::Layout::Standard);
  std::string data = testing::WriteDataFile(1234567890, TrickyEntries());
  std::string soft = testing::WriteSoftFile(1215432000, TrickySoftware());
  data.resize(data.size() - std::min(data.size(), GetParam().dataCut));
  soft.resize(soft.size() - std::min(soft.size(), GetParam().softCut));
  machine.files.PutFile(std::string(kDbFolder) + "SV.dat", data);
  machine.files.PutFile(std::string(kDbFolder) + "soft.dat", soft);
  platform::Platform platform = machine.Get();

  database::TUFileOp literal(platform, std::string(kDbFolder) + "SV.dat",
                             std::string(kDbFolder) + "soft.dat");
  literal.SetSearchMode(SearchMode::Literal);
  database::TUFileOp indexed(platform, std::string(kDbFolder) + "SV.dat",
                             std::string(kDbFolder) + "soft.dat");
  const Texts expected = AnswersOf(literal);
  EXPECT_EQ(AnswersOf(indexed), expected);
  // The answers are not trivially empty: the whole files name programs.
  if (GetParam().dataCut == 0 && GetParam().softCut == 0) {
    EXPECT_NE(std::find(expected.begin(), expected.end(), "id of Acme Writer 5: A1"),
              expected.end());
  }
}

INSTANTIATE_TEST_SUITE_P(Files, DatabaseModeTest,
                         ::testing::Values(DatabaseCase{"Whole", 0, 0},
                                           DatabaseCase{"SoftCutInLastRecord", 0, 40},
                                           DatabaseCase{"SoftCutAfterFourRecords", 0, 2000},
                                           DatabaseCase{"DataCutInIndex", 300, 0},
                                           DatabaseCase{"BothCut", 500, 700}),
                         [](const auto& param) { return std::string(param.param.name); });

// --- Installer products and components ---

class RegistryModeTest : public ::testing::Test {
 protected:
  void Put(Hive hive, const std::string& path,
           const std::vector<std::pair<std::string, platform::RegValue>>& values = {}) {
    auto key = machine.registry.CreateKey(hive, path);
    ASSERT_TRUE(key) << path;
    for (const auto& [name, value] : values)
      ASSERT_EQ(key->SetValue(name, value), platform::kSuccess);
  }
  fake::FakeMachine machine{fake::FakeMachine::Layout::Standard};
  platform::Platform platform = machine.Get();
};

TEST_F(RegistryModeTest, ProductsFromOneWalkMatchTheFirstHitOfEachLocationInOrder) {
  const std::string classes = "SOFTWARE\\Classes\\Installer\\Products\\";
  const std::string userData =
      "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\";
  Put(Hive::LocalMachine, classes + "P2", {{"ProductName", platform::StringValue(" Acme Pro")}});
  Put(Hive::LocalMachine, classes + "p1", {{"ProductName", platform::StringValue("acme")}});
  Put(Hive::LocalMachine, classes + "P3", {{"ProductName", {platform::kRegDword, "1234"}}});
  Put(Hive::LocalMachine, classes + "P4");
  Put(Hive::CurrentUser, "Software\\Microsoft\\Installer\\Products\\P9",
      {{"ProductName", platform::StringValue("Zedda Tool")}});
  Put(Hive::LocalMachine, userData + "P1\\InstallProperties",
      {{"DisplayName", platform::StringValue("Acme")}});
  Put(Hive::LocalMachine, userData + "P5");  // no InstallProperties
  Put(Hive::LocalMachine, userData + "P6\\InstallProperties",
      {{"DisplayName", platform::StringValue("Omega Suite 2")}});
  Put(Hive::LocalMachine, userData + "P9");

  registry::TURegistryOp reg(platform);
  const registry::InstallerProductList products = reg.ReadInstallerProducts();
  for (const std::string name :
       {"Acme", "acme p", "Acme Pro 2", "Zedda", "Omega", "Omega Suite 2", "1234", "", "P4", "x"}) {
    Texts literalKeys, indexedKeys;
    std::string literalCode = "?", indexedCode = "?";
    reg.FindInstallerProducts(name, literalKeys, literalCode);
    reg.FindInstallerProducts(products, name, indexedKeys, indexedCode);
    EXPECT_EQ(indexedKeys, literalKeys) << name;
    EXPECT_EQ(indexedCode, literalCode) << name;
  }
  Texts keys;
  std::string code;
  reg.FindInstallerProducts(products, "Zedda", keys, code);
  EXPECT_EQ(code, "P9");
  EXPECT_EQ(keys, (Texts{"HKEY_CURRENT_USER\\Software\\Microsoft\\Installer\\Products\\P9",
                         "HKEY_LOCAL_MACHINE\\" + userData + "P9"}));
}

TEST_F(RegistryModeTest, ComponentsOfAProductAreTheSameByQueryAndByNames) {
  const std::string components =
      "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Components\\";
  Put(Hive::LocalMachine, components + "K1", {{"ABCDEF", platform::StringValue("C:\\a.dll")}});
  Put(Hive::LocalMachine, components + "K2", {{"abcdef", {platform::kRegDword, "1234"}}});
  Put(Hive::LocalMachine, components + "K3", {{"ABCDEF0", platform::StringValue("x")}});
  Put(Hive::LocalMachine, components + "K4",
      {{"Other", platform::StringValue("x")}, {"AbCdEf", platform::StringValue("")}});
  Put(Hive::LocalMachine, components + "K5", {{"\xC3\x89T\xC3\x89", platform::StringValue("x")}});
  Put(Hive::LocalMachine, components + "K6");

  registry::TURegistryOp literal(platform);
  literal.SetSearchMode(SearchMode::Literal);
  registry::TURegistryOp indexed(platform);
  for (const std::string code : {"ABCDEF", "abcdef", "ABCDE", "\xC3\x89T\xC3\x89", "Other"}) {
    Texts literalKeys, indexedKeys;
    EXPECT_EQ(indexed.FindInstallerComponents(code, indexedKeys),
              literal.FindInstallerComponents(code, literalKeys));
    EXPECT_EQ(indexedKeys, literalKeys) << code;
  }
  Texts keys;
  indexed.FindInstallerComponents("abcdef", keys);
  EXPECT_EQ(keys, (Texts{"HKEY_LOCAL_MACHINE\\" + components + "K1",
                         "HKEY_LOCAL_MACHINE\\" + components + "K2",
                         "HKEY_LOCAL_MACHINE\\" + components + "K4"}));
}

// --- Folder listings ---

TEST(FolderListings, AnswerAsTheSystemForEveryName) {
  fake::FakeMachine machine(fake::FakeMachine::Layout::Standard);
  machine.files.PutFile("C:\\Links\\Acme Writer.lnk");
  machine.files.PutFile("C:\\Links\\readme");
  machine.files.PutFile("C:\\Links\\Group\\Tool.lnk");
  machine.files.PutFile("C:\\Mixed\\Plain.lnk");
  machine.files.PutFile("C:\\Mixed\\\xC3\x89t\xC3\xA9.lnk");
  machine.files.PutFile("C:\\Mixed\\Other.lnk");
  machine.files.PutFile("C:\\AFile");
  const Texts folders{"C:\\Links", "C:\\links\\", "C:\\Mixed", "C:\\Missing", "C:\\AFile", "C:\\"};
  const Texts names{"Acme Writer.lnk",
                    "ACME WRITER.LNK",
                    "Acme Writer.lnk.",
                    "Acme Writer.lnk ",
                    "acme~1.lnk",
                    "Group",
                    "group\\tool.lnk",
                    "Group/Tool.lnk",
                    "readme",
                    "Missing.lnk",
                    "Plain.lnk",
                    "other.LNK",
                    "\xC3\x89t\xC3\xA9.lnk",
                    "Links",
                    "*.lnk",
                    "windows"};
  platform::FolderListings listings(machine.files);
  int found = 0;
  for (const std::string& folder : folders) {
    for (const std::string& name : names) {
      const bool system = machine.files.GetAttributes(WithTrailingBackslash(folder) + name) !=
                          platform::kInvalidAttributes;
      EXPECT_EQ(listings.Exists(folder, name), system) << folder << " | " << name;
      found += system ? 1 : 0;
    }
  }
  EXPECT_GT(found, 10);
}

// --- The gate's paths, resolved part by part ---

TEST(GateByParts, ResolvesAsTheSystemDoesWithoutAskingItToResolve) {
  fake::FakeMachine machine(fake::FakeMachine::Layout::Standard);
  machine.files.PutFile("C:\\Program Files\\Acme Tools\\Writer\\app.exe", "MZ");
  machine.files.PutFile("C:\\Data\\notes.txt", "x");
  platform::CountingFileSystem files(machine.files);
  platform::Platform platform{machine.registry, files,
                              machine.system,   machine.messages,
                              machine.services, machine.processes};
  engine::DeletionGate literal(platform);
  literal.SetSearchMode(SearchMode::Literal);
  engine::DeletionGate indexed(platform);
  EXPECT_EQ(indexed.ProtectedFolders(), literal.ProtectedFolders());

  const Texts paths{"C:\\PROGRAM FILES\\acme tools\\WRITER\\App.Exe",
                    "C:\\Program Files\\Acme Tools\\Gone\\Deeper\\x.dll",
                    "c:\\program files\\nobody",
                    "C:\\Data\\notes.txt\\inner",
                    "C:\\Program Files\\Acme Tools\\Writer.\\app.exe",
                    "C:\\Program Files\\Acme Tools\\..\\Acme Tools\\Writer",
                    "C:\\Program Files\\Acme Tools\\Writer\\",
                    "C:\\Program Files\\ACMETO~1\\Writer",
                    "C:\\Program Files/Acme Tools",
                    "C:\\Program Files\\Acme Tools\\nul",
                    "\\\\?\\C:\\Program Files\\Acme Tools",
                    "\\\\server\\share\\Acme",
                    "C:\\",
                    "Z:\\Nowhere\\At All"};
  for (const std::string& path : paths) {
    EXPECT_EQ(indexed.CanonicalPath(path), literal.CanonicalPath(path)) << path;
    EXPECT_EQ(indexed.AllowsPath(path), literal.AllowsPath(path)) << path;
  }
  // Plain paths never reach the system's resolver, and each part is looked up once.
  files.ResetCounts();
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(indexed.CanonicalPath("C:\\Program Files\\Acme Tools\\Writer\\app.exe"),
              "c:\\program files\\acme tools\\writer\\app.exe");
  }
  EXPECT_EQ(files.Counts()[FileCall::ResolvePath], 0U);
  EXPECT_EQ(files.Counts()[FileCall::FindFirst], 0U);
}

// --- The program's own icons, kept for a scan ---

TEST(OwnIcons, KeptForARunTheyAreExtractedOncePerNumberInTheSamePositions) {
  fake::FakeMachine machine(fake::FakeMachine::Layout::Standard);
  machine.system.executablePath = "C:\\Program Files\\Sorvane\\Sorvane.exe";
  machine.files.PutFile(machine.system.executablePath, "MZ");
  machine.files.PutIcons(machine.system.executablePath, 2);
  machine.files.PutFile("C:\\App\\app.exe", "MZ");
  machine.files.PutIcons("C:\\App\\app.exe", 1);
  platform::CountingFileSystem files(machine.files);
  platform::Platform platform{machine.registry, files,
                              machine.system,   machine.messages,
                              machine.services, machine.processes};
  const auto addAll = [&](registry::TURegistryOp& op, testing::RecordingIconList& small,
                          testing::RecordingIconList& big) {
    std::vector<int> positions;
    for (const auto& [index, file] :
         std::vector<std::pair<int, std::string>>{{0, machine.system.executablePath},
                                                  {0, "C:\\App\\app.exe"},
                                                  {1, machine.system.executablePath},
                                                  {0, machine.system.executablePath},
                                                  {0, "C:\\App\\app.exe"},
                                                  {2, machine.system.executablePath},
                                                  {1, machine.system.executablePath}}) {
      positions.push_back(op.AddIconFromFile(small, big, index, file));
    }
    return positions;
  };
  testing::RecordingIconList freshSmall, freshBig, keptSmall, keptBig;
  std::vector<int> fresh;
  {
    registry::TURegistryOp op(platform);
    fresh = addAll(op, freshSmall, freshBig);
  }
  EXPECT_EQ(files.Counts()[FileCall::ExtractIcons], 7U);
  files.ResetCounts();
  std::vector<int> kept;
  {
    registry::TURegistryOp op(platform);
    op.SetReadOnlyRun();
    kept = addAll(op, keptSmall, keptBig);
    // Numbers 0, 1 and 2 (which it lacks) of the program, and the other file each time.
    EXPECT_EQ(files.Counts()[FileCall::ExtractIcons], 5U);
  }
  EXPECT_EQ(kept, fresh);
  EXPECT_EQ(kept, (std::vector<int>{0, 1, 2, 3, 4, -1, 5}));
  EXPECT_EQ(keptSmall.entries, freshSmall.entries);
  EXPECT_EQ(keptBig.entries, freshBig.entries);
  EXPECT_EQ(machine.files.LiveIconCount(), 0);
}

TEST(ReadOnlyRun, OpensEachUninstallEntryOnceForItsListingAndItsSummary) {
  fake::FakeMachine machine(fake::FakeMachine::Layout::Standard);
  machine.files.PutFile(machine.system.ExecutablePath(), "MZ");
  machine.files.PutIcons(machine.system.ExecutablePath(), 1);
  for (const char* name : {"Acme", "Beta", "Gamma"}) {
    auto entry = machine.registry.CreateKey(
        Hive::LocalMachine,
        std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + name);
    (void)entry->SetStringValue("DisplayName", name);
    (void)entry->SetStringValue("UninstallString", "C:\\x\\uninst.exe");
  }
  platform::CountingRegistry registry(machine.registry);
  platform::Platform platform{registry,         machine.files,    machine.system,
                              machine.messages, machine.services, machine.processes};
  const auto summaries = [&](bool readOnly) {
    registry::TURegistryOp op(platform);
    if (readOnly) op.SetReadOnlyRun();
    testing::RecordingIconList small, big;
    Texts names, keys, all;
    op.ListInstalledPrograms(names, keys, false);
    for (const std::string& key : keys) {
      Texts summary;
      op.ReadProgramSummary(key, small, summary, big);
      all.insert(all.end(), summary.begin(), summary.end());
    }
    // A summary read again opens its key anew.
    Texts again;
    op.ReadProgramSummary(keys.front(), small, again, big);
    all.insert(all.end(), again.begin(), again.end());
    return all;
  };
  const Texts fresh = summaries(false);
  const std::uint64_t freshOpens = registry.Counts()[RegistryCall::OpenKey];
  registry.ResetCounts();
  EXPECT_EQ(summaries(true), fresh);
  EXPECT_EQ(registry.Counts()[RegistryCall::OpenKey] + 3, freshOpens);
}

// --- The runs on the small synthetic machine ---

class SyntheticMachineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    machine_ = std::make_unique<fake::FakeMachine>(fake::FakeMachine::Layout::Standard);
    machine_->system.executablePath = "C:\\Program Files\\Sorvane\\Sorvane.exe";
    machine_->files.PutFile(machine_->system.executablePath, "MZ");
    machine_->files.PutIcons(machine_->system.executablePath, 1);
    platform::Platform platform = machine_->Get();
    seeded_ = std::make_unique<bench::SyntheticMachine>(
        bench::SyntheticPlan(bench::kSmall).Seed(platform));
    bench::WriteDatabase(machine_->files, "C:\\Program Files\\Sorvane", seeded_->database);
  }
  static void TearDownTestSuite() {
    seeded_.reset();
    machine_.reset();
  }

  engine::RunEnvironment Env() {
    return engine::RunEnvironment{platform, window, small, big, {}, {}};
  }

  static std::unique_ptr<fake::FakeMachine> machine_;
  static std::unique_ptr<bench::SyntheticMachine> seeded_;
  platform::Platform platform = machine_->Get();
  engine::MemoryWindow window;
  testing::RecordingIconList small, big;
};

std::unique_ptr<fake::FakeMachine> SyntheticMachineTest::machine_;
std::unique_ptr<bench::SyntheticMachine> SyntheticMachineTest::seeded_;

TEST_F(SyntheticMachineTest, TheMachineHoldsWhatItsSizeSays) {
  EXPECT_EQ(seeded_->uninstallEntries, bench::kSmall.uninstallEntries);
  EXPECT_EQ(seeded_->database.software.size(), static_cast<std::size_t>(bench::kSmall.signatures));
  EXPECT_EQ(seeded_->installerProducts, bench::kSmall.installerProducts);
  EXPECT_EQ(seeded_->comClasses, bench::kSmall.comClasses);
  EXPECT_EQ(seeded_->components, bench::kSmall.components);
  EXPECT_EQ(seeded_->supportedNames.size(), 40u);
  EXPECT_EQ(seeded_->residualNames.size(), 50u);
}

TEST_F(SyntheticMachineTest, ScanListsTheSameInBothModesWithFarFewerRegistryCalls) {
  platform::CountingRegistry registry(machine_->registry);
  platform::Platform counted{registry,          platform.files,    platform.system,
                             platform.messages, platform.services, platform.processes};
  engine::RunEnvironment env{counted, window, small, big, {}, {}};
  std::uint64_t literalCalls = 0;
  testing::RunInBothModes(env, [&](const engine::RunEnvironment& run) {
    registry.ResetCounts();
    engine::ScanSoftware(run);
    if (run.searches == SearchMode::Literal) literalCalls = registry.Counts().Total();
  });
  const std::uint64_t indexedCalls = registry.Counts().Total();
  // Every supported program and every residue is found.
  EXPECT_EQ(window.RowCount(engine::ListView::lstvNList), 100);
  EXPECT_EQ(window.RowCount(engine::ListView::lstvRList), 50);
  EXPECT_LT(indexedCalls * 50, literalCalls);
}

TEST_F(SyntheticMachineTest, DetailsAreTheSameInBothModes) {
  int rows = 0;
  for (const std::string& name :
       {seeded_->supportedNames[0], seeded_->supportedNames[1], seeded_->residualNames[0],
        seeded_->residualNames[1], seeded_->residualNames[2], std::string("Nothing Known")}) {
    window.SetText(engine::Label::labUS1Soft, name);
    testing::RunInBothModes(Env(), engine::GatherDetails);
    rows += window.RowCount(engine::ListView::lstvUS2Registry) +
            window.RowCount(engine::ListView::lstvUS2File);
  }
  // The installed programs list their files, Installer keys, classes and components.
  EXPECT_GT(rows, 2 * 20);
}

TEST_F(SyntheticMachineTest, DryRunRemovalsDecideTheSameInBothModes) {
  for (const std::string& name : {seeded_->supportedNames[0], seeded_->supportedNames[1]}) {
    testing::ExpectSameDryRunRemoval(Env(), name, engine::kInstalledProgram);
  }
  for (const std::string& name :
       {seeded_->residualNames[0], seeded_->residualNames[1], seeded_->residualNames[2]}) {
    testing::ExpectSameDryRunRemoval(Env(), name, engine::kResidue);
  }
  // A removal of an installed program takes its Installer keys and components.
  const testing::RemovalOutcome outcome = testing::DryRunRemoval(
      Env(), SearchMode::Indexed, seeded_->supportedNames[0], engine::kInstalledProgram);
  const auto components = std::count_if(
      outcome.decisions.begin(), outcome.decisions.end(), [](const engine::GateEvent& event) {
        return event.target.find("\\Components\\") != std::string::npos && !event.refused;
      });
  EXPECT_EQ(components, 10);
}

}  // namespace
}  // namespace sv
