// The user's temp folder, where tests under Wine make their scratch files.
#pragma once

#include <windows.h>
//
#include <string>

#include "platform/win32/wide.h"

namespace sv::testing {

// Without its trailing backslash, so callers append "\name".
[[nodiscard]] inline std::string TempFolder() {
  wchar_t buffer[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
  std::wstring path(buffer, length);
  while (!path.empty() && path.back() == L'\\')
    path.pop_back();
  return win32::Narrow(path);
}

}  // namespace sv::testing
