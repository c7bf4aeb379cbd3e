// The owner of a common-control image list.
#pragma once

#include <windows.h>
//
#include <commctrl.h>

#include "common/scoped_handle.h"

namespace sv::app {

struct ImageListTraits {
  using Handle = HIMAGELIST;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
  static void Close(Handle handle) noexcept { ::ImageList_Destroy(handle); }
};

using ImageListHandle = ScopedHandle<ImageListTraits>;

}  // namespace sv::app
