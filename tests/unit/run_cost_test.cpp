// What a run asks of the system once instead of again and again (FolderMemo), and the meters
// the benchmarks use to find out which calls cost the time: the system's calls counted by kind,
// and the time of each kind read from a clock the test controls.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "bench_runs.h"
#include "engine/deletion_gate.h"
#include "engine/folder_memo.h"
#include "platform/counting/counting.h"
#include "platform/fake/fake_machine.h"
#include "synthetic_machine.h"

namespace sv {
namespace {

using platform::SystemCall;

// --- FolderMemo ---

struct MemoCase {
  const char* name;
  std::function<std::vector<std::string>(platform::System&)> questions;
  // How many of the questions reach the system behind the memo.
  std::uint64_t forwarded;
};

class FolderMemoTest : public ::testing::TestWithParam<MemoCase> {
 protected:
  fake::FakeMachine machine{fake::FakeMachine::Layout::Standard};
};

TEST_P(FolderMemoTest, AnswersAsTheSystemAndAsksEachQuestionOnce) {
  // Straight from the system, and through the memo with a meter behind it.
  const std::vector<std::string> expected = GetParam().questions(machine.system);
  platform::CountingSystem counted(machine.system);
  engine::FolderMemo memo(counted);
  EXPECT_EQ(GetParam().questions(memo), expected);
  EXPECT_EQ(counted.Counts().Total(), GetParam().forwarded);
}

std::vector<std::string> Folders(platform::System& system, const std::vector<int>& csidls) {
  std::vector<std::string> out;
  for (const int csidl : csidls)
    out.push_back(system.SpecialFolder(csidl));
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Questions, FolderMemoTest,
    ::testing::Values(MemoCase{"EachShellFolderByItsOwnNumber",
                               [](platform::System& system) {
                                 namespace csidl = platform::csidl;
                                 return Folders(
                                     system, {csidl::kDesktop, csidl::kCommonDesktopDirectory,
                                              csidl::kDesktop, csidl::kProgramFiles,
                                              csidl::kCommonDesktopDirectory, csidl::kProgramFiles,
                                              csidl::kStartup});
                               },
                               4},
                      MemoCase{
                          "AFolderTheSystemCannotNameStaysUnnamed",
                          [](platform::System& system) {
                            return Folders(system, {0x7F, 0x7F, platform::csidl::kDesktop, 0x7F});
                          },
                          2},
                      MemoCase{"WindowsSystemAndUser",
                               [](platform::System& system) {
                                 std::vector<std::string> out;
                                 for (int round = 0; round < 3; ++round) {
                                   out.push_back(system.WindowsDirectory());
                                   out.push_back(system.SystemDirectory());
                                   out.push_back(system.UserName());
                                 }
                                 return out;
                               },
                               3},
                      MemoCase{"ThingsThatMayChangeAreAskedEveryTime",
                               [](platform::System& system) {
                                 std::vector<std::string> out;
                                 for (int round = 0; round < 2; ++round) {
                                   out.push_back(system.ExecutablePath());
                                   out.push_back(system.AnsiToUtf8("caf\xE9"));
                                   out.push_back(system.ShortMonthName(3));
                                   out.push_back(std::to_string(system.LocalTimeNow().year));
                                 }
                                 return out;
                               },
                               8}),
    [](const auto& param) { return std::string(param.param.name); });

// --- The meters ---

// A clock that advances by `step` nanoseconds at each reading.
platform::TickSource SteppingClock(std::uint64_t step) {
  return [step, now = std::uint64_t{0}]() mutable { return now += step; };
}

struct TimedCase {
  const char* name;
  std::function<void(platform::Registry&, platform::FileSystem&, platform::System&)> calls;
  std::vector<platform::RegistryCall> registry;
  std::vector<platform::FileCall> files;
  std::vector<SystemCall> system;
};

class TimedMeterTest : public ::testing::TestWithParam<TimedCase> {
 protected:
  TimedMeterTest() {
    auto key = machine.registry.CreateKey(platform::Hive::LocalMachine, "SOFTWARE\\Acme");
    (void)key->SetStringValue("Name", "Acme");
    machine.files.PutFile("C:\\acme\\a.txt", "1");
  }
  fake::FakeMachine machine{fake::FakeMachine::Layout::Standard};
};

template <typename Kind>
platform::CallCounts<Kind> Expected(const std::vector<Kind>& calls, std::uint64_t each) {
  platform::CallCounts<Kind> expected;
  for (const Kind call : calls) {
    for (std::uint64_t n = 0; n < each; ++n)
      expected.Add(call);
  }
  return expected;
}

TEST_P(TimedMeterTest, EachKindGetsTheTimeItsCallsTook) {
  // Each call reads the clock twice, one step apart: every call lasts exactly one step.
  constexpr std::uint64_t kStep = 7;
  platform::CountingRegistry registry(machine.registry, SteppingClock(kStep));
  platform::CountingFileSystem files(machine.files, SteppingClock(kStep));
  platform::CountingSystem system(machine.system, SteppingClock(kStep));
  GetParam().calls(registry, files, system);
  EXPECT_EQ(registry.Counts().byKind, Expected(GetParam().registry, 1).byKind);
  EXPECT_EQ(files.Counts().byKind, Expected(GetParam().files, 1).byKind);
  EXPECT_EQ(system.Counts().byKind, Expected(GetParam().system, 1).byKind);
  EXPECT_EQ(registry.Nanoseconds().byKind, Expected(GetParam().registry, kStep).byKind);
  EXPECT_EQ(files.Nanoseconds().byKind, Expected(GetParam().files, kStep).byKind);
  EXPECT_EQ(system.Nanoseconds().byKind, Expected(GetParam().system, kStep).byKind);

  // Without a clock the same calls are counted and not timed; a reset forgets both.
  platform::CountingSystem untimed(machine.system);
  GetParam().calls(registry, files, untimed);
  EXPECT_EQ(untimed.Counts().byKind, Expected(GetParam().system, 1).byKind);
  EXPECT_EQ(untimed.Nanoseconds().Total(), 0u);
  registry.ResetCounts();
  files.ResetCounts();
  system.ResetCounts();
  EXPECT_EQ(registry.Counts().Total() + files.Counts().Total() + system.Counts().Total(), 0u);
  EXPECT_EQ(registry.Nanoseconds().Total() + files.Nanoseconds().Total(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, TimedMeterTest,
    ::testing::Values(
        TimedCase{"RegistryThroughTheKeyItOpened",
                  [](platform::Registry& registry, platform::FileSystem&, platform::System&) {
                    auto key = registry.OpenKey(platform::Hive::LocalMachine, "SOFTWARE\\Acme",
                                                platform::KeyAccess::Read);
                    ASSERT_TRUE(key);
                    EXPECT_EQ(key->QueryValue("Name"), platform::StringValue("Acme"));
                    EXPECT_EQ(key->EnumValue(0), "Name");
                    EXPECT_EQ(
                        registry.ReadValue(platform::Hive::LocalMachine, "SOFTWARE\\Acme", "Name"),
                        platform::StringValue("Acme"));
                  },
                  {platform::RegistryCall::OpenKey, platform::RegistryCall::QueryValue,
                   platform::RegistryCall::EnumValue, platform::RegistryCall::ReadValue},
                  {},
                  {}},
        TimedCase{"FilesAndEachStepOfASearch",
                  [](platform::Registry&, platform::FileSystem& files, platform::System&) {
                    auto search = files.FindFirst("C:\\acme\\*");
                    ASSERT_TRUE(search);
                    while (search->Next()) {
                    }
                    EXPECT_NE(files.GetAttributes("C:\\acme\\a.txt"), platform::kInvalidAttributes);
                  },
                  {},
                  // ".", "..", "a.txt": three entries, three steps after the first.
                  {platform::FileCall::FindFirst, platform::FileCall::FindNext,
                   platform::FileCall::FindNext, platform::FileCall::FindNext,
                   platform::FileCall::GetAttributes},
                  {}},
        TimedCase{"TheSystemByKind",
                  [](platform::Registry&, platform::FileSystem&, platform::System& system) {
                    EXPECT_FALSE(system.WindowsDirectory().empty());
                    EXPECT_FALSE(system.SpecialFolder(platform::csidl::kDesktop).empty());
                    EXPECT_FALSE(system.UserName().empty());
                    (void)system.LocalTimeNow();
                    EXPECT_FALSE(system.ExecutablePath().empty());
                    EXPECT_EQ(system.AnsiToUtf8("a"), "a");
                    (void)system.Is64BitBuild();
                    system.Sleep(0);
                  },
                  {},
                  {},
                  {SystemCall::Folders, SystemCall::Folders, SystemCall::UserName,
                   SystemCall::Clock, SystemCall::ExecutablePath, SystemCall::TextConversion,
                   SystemCall::Is64BitBuild, SystemCall::Sleep}}),
    [](const auto& param) { return std::string(param.param.name); });

// --- A run asks for each folder once ---

TEST(RunCost, AnIndexedScanAsksTheSystemForEachFolderOnce) {
  fake::FakeMachine machine(fake::FakeMachine::Layout::Standard);
  machine.system.executablePath = "C:\\Program Files\\Sorvane\\Sorvane.exe";
  machine.files.PutFile(machine.system.executablePath, "MZ");
  platform::Platform plain = machine.Get();
  const bench::SyntheticMachine seeded = bench::SyntheticPlan(bench::kSmall).Seed(plain);
  bench::WriteDatabase(machine.files, "C:\\Program Files\\Sorvane", seeded.database);

  platform::CountingSystem system(machine.system);
  platform::Platform counted{plain.registry, plain.files,    system,
                             plain.messages, plain.services, plain.processes};
  std::uint64_t folders[2] = {};
  for (const SearchMode mode : {SearchMode::Literal, SearchMode::Indexed}) {
    system.ResetCounts();
    const bench::RunResult scan = bench::Run(bench::RunKind::Scan, {counted, mode, {}, {}, {}});
    EXPECT_TRUE(bench::CompareScanWithPlan(scan, seeded).empty()) << bench::SearchModeName(mode);
    folders[mode == SearchMode::Indexed ? 1 : 0] = system.Counts()[SystemCall::Folders];
  }
  // The literal scan asks for the shell folders of every database name; the indexed one asks
  // for each folder once (the deletion gate's list of protected folders is most of them).
  EXPECT_GT(folders[0], 1000u);
  EXPECT_LE(folders[1], 60u);
}

// --- The deletion gate resolves each spelling of a protected folder once ---

TEST(RunCost, TheGateProtectsTheSameFoldersResolvingEachTextOnce) {
  fake::FakeMachine machine(fake::FakeMachine::Layout::Standard);
  // The registry's profiles in other spellings than the folders' own, as Windows writes them.
  auto list = machine.registry.CreateKey(
      platform::Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList");
  ASSERT_TRUE(list);
  (void)list->SetStringValue("ProfilesDirectory", "%SystemDrive%\\USERS");
  (void)list->SetStringValue("Public", "C:\\users\\public");
  machine.files.PutFile("C:\\Users\\Guest\\ntuser.dat");
  std::vector<std::string> folders[2];
  std::uint64_t resolved[2] = {};
  for (const SearchMode mode : {SearchMode::Literal, SearchMode::Indexed}) {
    platform::CountingFileSystem files(machine.files);
    platform::Platform platform{machine.registry, files,
                                machine.system,   machine.messages,
                                machine.services, machine.processes};
    engine::DeletionGate gate(platform);
    gate.SetSearchMode(mode);
    const std::size_t index = mode == SearchMode::Indexed ? 1 : 0;
    folders[index] = gate.ProtectedFolders();
    resolved[index] = files.Counts()[platform::FileCall::ResolvePath];
  }
  EXPECT_EQ(folders[1], folders[0]);
  EXPECT_NE(std::find(folders[1].begin(), folders[1].end(), "c:\\users\\guest\\desktop"),
            folders[1].end());
  EXPECT_LT(resolved[1] * 3, resolved[0] * 2);
}

// --- The benchmark's comparison of a scan with its plan ---

struct PlanCase {
  const char* name;
  std::function<void(bench::RunResult&)> change;
  bool agrees;
};

class ScanPlanTest : public ::testing::TestWithParam<PlanCase> {};

TEST_P(ScanPlanTest, FindsEveryDifference) {
  bench::SyntheticMachine plan;
  plan.supportedNames = {"Synth Program 00000", "Synth Program 00005"};
  plan.residualNames = {"Synth Program 00003", "Synth Program 00013"};
  bench::RunResult scan;
  scan.supported = {"Synth Program 00005 2.1", "Synth Program 00000 2.1"};
  scan.residues = plan.residualNames;
  GetParam().change(scan);
  EXPECT_EQ(bench::CompareScanWithPlan(scan, plan).empty(), GetParam().agrees);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ScanPlanTest,
    ::testing::Values(
        PlanCase{"None", [](bench::RunResult&) {}, true},
        PlanCase{"ASupportedProgramMissing",
                 [](bench::RunResult& scan) { scan.supported.pop_back(); }, false},
        PlanCase{"ASupportedProgramTwice",
                 [](bench::RunResult& scan) { scan.supported.push_back(scan.supported[0]); },
                 false},
        PlanCase{"AnUnplannedSupportedProgram",
                 [](bench::RunResult& scan) { scan.supported.push_back("Synth Program 00010"); },
                 false},
        PlanCase{"AResidueMissing", [](bench::RunResult& scan) { scan.residues.pop_back(); },
                 false},
        PlanCase{"ResiduesOutOfOrder",
                 [](bench::RunResult& scan) { std::swap(scan.residues[0], scan.residues[1]); },
                 false}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(MachineDescription, ComesBackAsWritten) {
  bench::SyntheticMachine machine;
  machine.uninstallEntries = 3;
  machine.installerProducts = 4;
  machine.comClasses = 5;
  machine.components = 6;
  machine.supportedNames = {"A", "B"};
  machine.residualNames = {"C"};
  const bench::SyntheticMachine back =
      bench::MachineFromJson(bench::MachineJson(bench::kSmall, machine));
  EXPECT_EQ(back.uninstallEntries, 3);
  EXPECT_EQ(back.installerProducts, 4);
  EXPECT_EQ(back.comClasses, 5);
  EXPECT_EQ(back.components, 6);
  EXPECT_EQ(back.supportedNames, machine.supportedNames);
  EXPECT_EQ(back.residualNames, machine.residualNames);
  nlohmann::json broken = bench::MachineJson(bench::kSmall, machine);
  broken["components"] = "many";
  EXPECT_THROW((void)bench::MachineFromJson(broken), std::runtime_error);
}

}  // namespace
}  // namespace sv
