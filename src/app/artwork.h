// The window's artwork: JPEG pictures kept as RCDATA resources, decoded with the Windows Imaging
// Component into GDI bitmaps, and the image lists and button pictures made from them.
#pragma once

#include <windows.h>
//
#include <commctrl.h>

#include <cstdint>
#include <span>

#include "app/image_list_handle.h"
#include "common/scoped_handle.h"

namespace sv::app {

struct BitmapTraits {
  using Handle = HBITMAP;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
  static void Close(Handle handle) noexcept { ::DeleteObject(handle); }
};

using BitmapHandle = ScopedHandle<BitmapTraits>;

// The bitmaps below are top-down 32-bit DIB sections whose fourth byte is 255 in every pixel, so
// image lists and AlphaBlend treat them as opaque and BitBlt ignores it.

// Decodes a JPEG held in memory into a bitmap of the picture's size. Null for empty, truncated or
// otherwise undecodable data; never throws. The calling thread should have initialised COM (the
// window's thread has); on a thread that has not, the call initialises COM for itself and
// uninitialises it again before it returns.
[[nodiscard]] BitmapHandle DecodeJpeg(std::span<const std::uint8_t> bytes) noexcept;

// Decodes the RCDATA resource `id` of `module` (a JPEG); null when it is missing or undecodable.
[[nodiscard]] BitmapHandle LoadJpegResource(HINSTANCE module, int id) noexcept;

// An image list of `cellWidth` by `cellHeight` images, one per whole cell of the strip read from
// left to right (a partial cell at the right end is left out). The list keeps its own copy, so the
// strip may be deleted afterwards. Null when the strip holds no whole cell.
[[nodiscard]] ImageListHandle MakeStripImageList(HBITMAP strip, int cellWidth,
                                                 int cellHeight) noexcept;

// The state images of the result lists, 16 by 16 on white: 0 an unticked check box, 1 a ticked
// one, 2 the mark of an unsupported program (a red disc with a white bar).
[[nodiscard]] ImageListHandle MakeCheckImageList() noexcept;

// A new bitmap of the list's cell size holding image `index` drawn on white; the image buttons
// swap their picture with it. Null for an index outside the list.
[[nodiscard]] BitmapHandle CopyImageFromList(HIMAGELIST list, int index) noexcept;

}  // namespace sv::app
