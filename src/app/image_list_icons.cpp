#include "app/image_list_icons.h"

#include "platform/win32/win32_filesystem.h"

namespace sv::app {

ImageListIcons::ImageListIcons(int size)
    : list_(::ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 16, 16)) {}

int ImageListIcons::AppendIcon(const platform::Icon& icon) {
  const auto* win32Icon = dynamic_cast<const win32::Win32Icon*>(&icon);
  if (!list_ || win32Icon == nullptr || win32Icon->Get() == nullptr) return -1;
  // Index -1 appends; the list keeps its own copy, so the caller still releases the icon.
  return ::ImageList_ReplaceIcon(list_.Get(), -1, win32Icon->Get());
}

void ImageListIcons::RemoveLastIcon() {
  const int count = Count();
  if (count > 0) ::ImageList_Remove(list_.Get(), count - 1);
}

int ImageListIcons::Count() const {
  return list_ ? ::ImageList_GetImageCount(list_.Get()) : 0;
}

}  // namespace sv::app
