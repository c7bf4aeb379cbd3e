// Running processes: a snapshot of them, and ending one. Shaped like the tool-help snapshot
// and OpenProcess/TerminateProcess.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/errors.h"

namespace sv::platform {

// One process of a snapshot (PROCESSENTRY32: th32ProcessID, szExeFile).
struct ProcessEntry {
  std::uint32_t processId = 0;
  // The executable's name as the system reports it: usually the file name alone
  // ("APP.EXE"), on some systems a whole path.
  std::string exeFile;
  friend bool operator==(const ProcessEntry&, const ProcessEntry&) = default;
};

// A process opened with PROCESS_TERMINATE only.
class Process {
 public:
  virtual ~Process() = default;
  virtual WinError Terminate(std::uint32_t exitCode) = 0;
};

class Processes {
 public:
  virtual ~Processes() = default;
  // Every process running now, in the system's order; empty when no snapshot can be taken.
  [[nodiscard]] virtual std::optional<std::vector<ProcessEntry>> Snapshot(
      WinError* error = nullptr) = 0;
  // OpenProcess(PROCESS_TERMINATE, not inheritable); null when refused or gone.
  [[nodiscard]] virtual std::unique_ptr<Process> OpenForTerminate(std::uint32_t processId,
                                                                  WinError* error = nullptr) = 0;
  // The program's own process, which a removal must never end.
  [[nodiscard]] virtual std::uint32_t CurrentProcessId() = 0;
};

}  // namespace sv::platform
