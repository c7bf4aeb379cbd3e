#include "platform/win32/win32_processes.h"

#include <windows.h>
// After <windows.h>, which it builds on.
#include <tlhelp32.h>

#include "platform/win32/handles.h"
#include "platform/win32/last_error.h"
#include "platform/win32/wide.h"

namespace sv::win32 {
namespace {

using platform::WinError;

class Win32Process final : public platform::Process {
 public:
  explicit Win32Process(KernelHandle handle) : handle_(std::move(handle)) {}

  WinError Terminate(std::uint32_t exitCode) override {
    return ::TerminateProcess(handle_.Get(), exitCode) ? platform::kSuccess : LastError();
  }

 private:
  KernelHandle handle_;
};

}  // namespace

std::optional<std::vector<platform::ProcessEntry>> Win32Processes::Snapshot(WinError* error) {
  FileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) {
    Report(error, LastError());
    return std::nullopt;
  }
  std::vector<platform::ProcessEntry> entries;
  PROCESSENTRY32W entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
       more = ::Process32NextW(snapshot.Get(), &entry)) {
    entries.push_back({entry.th32ProcessID, Narrow(entry.szExeFile)});
  }
  // The walk ends with "no more files"; anything else means the list is incomplete.
  const WinError end = LastError();
  if (end != ERROR_NO_MORE_FILES) {
    Report(error, end);
    return std::nullopt;
  }
  Report(error, platform::kSuccess);
  return entries;
}

std::unique_ptr<platform::Process> Win32Processes::OpenForTerminate(std::uint32_t processId,
                                                                    WinError* error) {
  KernelHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, processId));
  if (!process) {
    Report(error, LastError());
    return nullptr;
  }
  Report(error, platform::kSuccess);
  return std::make_unique<Win32Process>(std::move(process));
}

std::uint32_t Win32Processes::CurrentProcessId() {
  return ::GetCurrentProcessId();
}

}  // namespace sv::win32
