// The fake machine's processes. Tests start processes by executable name; a process may hold
// files of the fake file system open, so that "a file in use" is freed when it ends. The
// program's own process is part of every snapshot.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/fake/fake_faults.h"
#include "platform/filesystem.h"
#include "platform/processes.h"

namespace sv::fake {

class FakeProcesses final : public platform::Processes {
 public:
  explicit FakeProcesses(Faults& faults);
  ~FakeProcesses() override;
  FakeProcesses(const FakeProcesses&) = delete;
  FakeProcesses& operator=(const FakeProcesses&) = delete;

  // The program's own process, as the snapshot reports it. Started processes never get this
  // number.
  std::uint32_t currentProcessId = 0x108;
  std::string currentExeFile = "Sorvane.exe";

  // A running process; `exeFile` is what the snapshot reports ("APP.EXE", or a whole path to
  // model systems that report one). The files stay open until the process ends.
  std::uint32_t Start(std::string exeFile,
                      std::vector<std::unique_ptr<platform::File>> heldFiles = {});
  // The process ends by itself with this exit code; false when it was not running.
  bool Exit(std::uint32_t processId, std::uint32_t exitCode = 0);

  [[nodiscard]] bool IsRunning(std::uint32_t processId) const;
  struct Ended {
    std::uint32_t processId = 0;
    std::string exeFile;
    std::uint32_t exitCode = 0;
    bool terminated = false;  // ended by Terminate rather than by itself
    friend bool operator==(const Ended&, const Ended&) = default;
  };
  // Every process that ended, in order; the program's own process too if something ended it.
  [[nodiscard]] const std::vector<Ended>& EndedProcesses() const noexcept { return ended_; }
  // Process handles not yet closed.
  [[nodiscard]] int OpenHandleCount() const noexcept { return openHandles_; }

  [[nodiscard]] std::optional<std::vector<platform::ProcessEntry>> Snapshot(
      platform::WinError* error = nullptr) override;
  [[nodiscard]] std::unique_ptr<platform::Process> OpenForTerminate(
      std::uint32_t processId, platform::WinError* error = nullptr) override;
  [[nodiscard]] std::uint32_t CurrentProcessId() override { return currentProcessId; }

 private:
  friend class FakeProcess;

  struct Running {
    std::string exeFile;
    std::vector<std::unique_ptr<platform::File>> heldFiles;
  };
  // Where the process is listed: its own entry, or the program's own process.
  [[nodiscard]] std::optional<std::string> ExeFileOf(std::uint32_t processId) const;
  bool End(std::uint32_t processId, std::uint32_t exitCode, bool terminated);

  Faults& faults_;
  std::map<std::uint32_t, Running> running_;
  bool currentEnded_ = false;
  std::vector<Ended> ended_;
  std::uint32_t nextId_ = 0x200;
  int openHandles_ = 0;
};

}  // namespace sv::fake
