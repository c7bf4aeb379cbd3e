// The real machine: one object that owns the Windows implementation of every interface.
#pragma once

#include "platform/platform.h"
#include "platform/win32/win32_filesystem.h"
#include "platform/win32/win32_processes.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/win32_system.h"

namespace sv::win32 {

class Win32Platform {
 public:
  [[nodiscard]] platform::Platform Get() {
    return {registry_, files_, system_, messages_, services_, processes_};
  }

 private:
  Win32Registry registry_;
  Win32FileSystem files_;
  Win32System system_;
  Win32Messages messages_;
  Win32Services services_;
  Win32Processes processes_;
};

}  // namespace sv::win32
