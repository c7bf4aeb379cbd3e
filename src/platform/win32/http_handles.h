// The owner of WinINet handles (sessions, connections, requests); the only place that closes
// them. Kept apart from handles.h so <wininet.h> is only seen by the HTTP transport.
#pragma once

#include <windows.h>
// After <windows.h>, which it builds on.
#include <wininet.h>

#include "common/scoped_handle.h"

namespace sv::win32 {

struct InternetHandleTraits {
  using Handle = HINTERNET;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
  static void Close(Handle handle) noexcept { ::InternetCloseHandle(handle); }
};

using InternetHandle = ScopedHandle<InternetHandleTraits>;

}  // namespace sv::win32
