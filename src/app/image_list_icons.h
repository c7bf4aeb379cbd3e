// The data module's icon lists (imglstSmallICO, imglstBigICO): common-control image lists
// behind the registry layer's IconList, so the scan puts program icons straight into the lists
// the window and the detail header draw from.
#pragma once

#include <windows.h>
//
#include <commctrl.h>

#include "app/image_list_handle.h"
#include "registry/icon_list.h"

namespace sv::app {

class ImageListIcons final : public registry::IconList {
 public:
  // An empty list of `size` by `size` pixel icons; Get() is null when the system refused it.
  explicit ImageListIcons(int size);

  int AppendIcon(const platform::Icon& icon) override;
  void RemoveLastIcon() override;

  [[nodiscard]] HIMAGELIST Get() const noexcept { return list_.Get(); }
  [[nodiscard]] int Count() const;

 private:
  ImageListHandle list_;
};

}  // namespace sv::app
