// Processes through the tool-help snapshot and OpenProcess/TerminateProcess.
#pragma once

#include "platform/processes.h"

namespace sv::win32 {

class Win32Processes final : public platform::Processes {
 public:
  [[nodiscard]] std::optional<std::vector<platform::ProcessEntry>> Snapshot(
      platform::WinError* error = nullptr) override;
  [[nodiscard]] std::unique_ptr<platform::Process> OpenForTerminate(
      std::uint32_t processId, platform::WinError* error = nullptr) override;
  [[nodiscard]] std::uint32_t CurrentProcessId() override;
};

}  // namespace sv::win32
