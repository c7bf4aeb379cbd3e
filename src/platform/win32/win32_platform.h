// The real machine: one object that owns the Windows implementation of every interface.
#pragma once

#include "platform/platform.h"
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"

namespace sv::win32 {

class Win32Platform {
 public:
  [[nodiscard]] platform::Platform Get() { return {registry_, files_, system_, messages_}; }

 private:
  Win32Registry registry_;
  Win32FileSystem files_;
  Win32System system_;
  Win32Messages messages_;
};

}  // namespace sv::win32
