#include "platform/fake/fake_processes.h"

namespace sv::fake {

using platform::WinError;

namespace {

void Report(WinError* error, WinError code) {
  if (error != nullptr) *error = code;
}

}  // namespace

// A process opened for ending it.
class FakeProcess final : public platform::Process {
 public:
  FakeProcess(FakeProcesses& owner, std::uint32_t processId, std::string exeFile)
      : owner_(owner), processId_(processId), exeFile_(std::move(exeFile)) {
    ++owner_.openHandles_;
  }
  ~FakeProcess() override { --owner_.openHandles_; }
  FakeProcess(const FakeProcess&) = delete;
  FakeProcess& operator=(const FakeProcess&) = delete;

  WinError Terminate(std::uint32_t exitCode) override {
    if (const auto fault = owner_.faults_.Find(Op::TerminateProcess, exeFile_)) return *fault;
    // Windows refuses to end a process that has already ended (Wine does not mind).
    if (!owner_.End(processId_, exitCode, true)) return platform::kErrorAccessDenied;
    return platform::kSuccess;
  }

 private:
  FakeProcesses& owner_;
  std::uint32_t processId_;
  std::string exeFile_;
};

FakeProcesses::FakeProcesses(Faults& faults) : faults_(faults) {}

FakeProcesses::~FakeProcesses() = default;

std::uint32_t FakeProcesses::Start(std::string exeFile,
                                   std::vector<std::unique_ptr<platform::File>> heldFiles) {
  // Multiples of four, as Windows numbers them.
  if (nextId_ == currentProcessId) nextId_ += 4;
  const std::uint32_t id = nextId_;
  nextId_ += 4;
  running_.emplace(id, Running{std::move(exeFile), std::move(heldFiles)});
  return id;
}

bool FakeProcesses::Exit(std::uint32_t processId, std::uint32_t exitCode) {
  return End(processId, exitCode, false);
}

bool FakeProcesses::End(std::uint32_t processId, std::uint32_t exitCode, bool terminated) {
  if (processId == currentProcessId && !running_.contains(processId)) {
    if (currentEnded_) return false;
    currentEnded_ = true;
    ended_.push_back({processId, currentExeFile, exitCode, terminated});
    return true;
  }
  const auto it = running_.find(processId);
  if (it == running_.end()) return false;
  ended_.push_back({processId, it->second.exeFile, exitCode, terminated});
  // Its files close with it.
  running_.erase(it);
  return true;
}

bool FakeProcesses::IsRunning(std::uint32_t processId) const {
  return ExeFileOf(processId).has_value();
}

std::optional<std::string> FakeProcesses::ExeFileOf(std::uint32_t processId) const {
  if (const auto it = running_.find(processId); it != running_.end()) return it->second.exeFile;
  if (processId == currentProcessId && !currentEnded_) return currentExeFile;
  return std::nullopt;
}

std::optional<std::vector<platform::ProcessEntry>> FakeProcesses::Snapshot(WinError* error) {
  if (const auto fault = faults_.Find(Op::ProcessSnapshot, "")) {
    Report(error, *fault);
    return std::nullopt;
  }
  std::vector<platform::ProcessEntry> entries;
  bool currentListed = currentEnded_ || running_.contains(currentProcessId);
  for (const auto& [id, process] : running_) {
    if (!currentListed && currentProcessId < id) {
      entries.push_back({currentProcessId, currentExeFile});
      currentListed = true;
    }
    entries.push_back({id, process.exeFile});
  }
  if (!currentListed) entries.push_back({currentProcessId, currentExeFile});
  Report(error, platform::kSuccess);
  return entries;
}

std::unique_ptr<platform::Process> FakeProcesses::OpenForTerminate(std::uint32_t processId,
                                                                   WinError* error) {
  auto exeFile = ExeFileOf(processId);
  // OpenProcess answers a process number that names no process with "invalid parameter".
  if (!exeFile) {
    Report(error, platform::kErrorInvalidParameter);
    return nullptr;
  }
  if (const auto fault = faults_.Find(Op::OpenProcess, *exeFile)) {
    Report(error, *fault);
    return nullptr;
  }
  Report(error, platform::kSuccess);
  return std::make_unique<FakeProcess>(*this, processId, std::move(*exeFile));
}

}  // namespace sv::fake
