// Running processes: the snapshot, and ending one of them.
#include <algorithm>
#include <set>

#include "contract/contract_environment.h"

namespace sv::testing {
namespace {

using platform::WinError;

class ProcessesContract : public PlatformContract {
 protected:
  std::vector<platform::ProcessEntry> Snapshot() {
    WinError error = platform::kErrorInvalidHandle;
    auto entries = Processes().Snapshot(&error);
    EXPECT_TRUE(entries);
    EXPECT_EQ(error, platform::kSuccess);
    return entries.value_or(std::vector<platform::ProcessEntry>{});
  }

  static const platform::ProcessEntry* Find(const std::vector<platform::ProcessEntry>& entries,
                                            std::uint32_t processId) {
    const auto it = std::find_if(entries.begin(), entries.end(),
                                 [processId](const auto& e) { return e.processId == processId; });
    return it == entries.end() ? nullptr : &*it;
  }
};

TEST_F(ProcessesContract, TheSnapshotHoldsTheProgramItselfAndEveryNumberOnce) {
  const auto entries = Snapshot();
  const auto* self = Find(entries, Processes().CurrentProcessId());
  ASSERT_TRUE(self) << "process " << Processes().CurrentProcessId();
  EXPECT_FALSE(self->exeFile.empty());
  std::set<std::uint32_t> numbers;
  for (const auto& entry : entries)
    EXPECT_TRUE(numbers.insert(entry.processId).second) << entry.processId;
}

TEST_F(ProcessesContract, AStartedProcessIsListedThenEndedAndGone) {
  const StartedProcess started = env_->StartWaitingProcess();
  ASSERT_NE(started.processId, 0u);
  const auto before = Snapshot();
  const auto* listed = Find(before, started.processId);
  ASSERT_TRUE(listed);
  EXPECT_EQ(listed->exeFile, started.exeFile);

  WinError error = platform::kErrorInvalidHandle;
  auto process = Processes().OpenForTerminate(started.processId, &error);
  ASSERT_TRUE(process) << error;
  EXPECT_EQ(error, platform::kSuccess);
  EXPECT_EQ(process->Terminate(7), platform::kSuccess);
  ASSERT_TRUE(env_->WaitForExit(started.processId));
  EXPECT_FALSE(Find(Snapshot(), started.processId));
}

TEST_F(ProcessesContract, NumbersThatNameNoProcessCannotBeOpened) {
  // 0 is the idle process on Windows, never a program that could be ended.
  for (std::uint32_t number : {0u, 0x7FFFFFF0u}) {
    WinError error = platform::kSuccess;
    EXPECT_FALSE(Processes().OpenForTerminate(number, &error)) << number;
    EXPECT_EQ(error, platform::kErrorInvalidParameter) << number;
  }
}

}  // namespace
}  // namespace sv::testing
