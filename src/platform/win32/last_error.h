// The calling thread's last system error as the platform reports failures, and the optional
// out-parameter the interfaces use to hand it on.
#pragma once

#include <windows.h>

#include "platform/errors.h"

namespace sv::win32 {

[[nodiscard]] inline platform::WinError LastError() noexcept {
  return static_cast<platform::WinError>(::GetLastError());
}

inline void Report(platform::WinError* error, platform::WinError code) noexcept {
  if (error != nullptr) *error = code;
}

}  // namespace sv::win32
