// Tdm, the data module: the image lists the window and the scan share, and the pop-up menu of
// the notification-area icon. It holds no other state.
#pragma once

#include <windows.h>

#include <memory>

#include "app/artwork.h"
#include "app/image_list_handle.h"
#include "app/image_list_icons.h"
#include "app/tray_menu_ids.h"

namespace sv::app {

class Tdm {
 public:
  explicit Tdm(HINSTANCE instance);
  ~Tdm();
  Tdm(const Tdm&) = delete;
  Tdm& operator=(const Tdm&) = delete;

  ImageListIcons imglstSmallICO{16};
  ImageListIcons imglstBigICO{32};
  ImageListHandle imglstButton;     // 90 x 91
  ImageListHandle imglstOther;      // 30 x 11
  ImageListHandle imglstHelp;       // 61 x 31
  ImageListHandle imglstTopButton;  // 78 x 18
  ImageListHandle imglstCheck;      // 16 x 16: clear, ticked, the unsupported mark

  // TrayPopMenu: "Sorvane", "Update Online", a separator, " Exit".
  [[nodiscard]] HMENU TrayPopMenu() const noexcept { return trayPopMenu_; }

 private:
  HMENU trayPopMenu_ = nullptr;
  BitmapHandle menuApp_;
  BitmapHandle menuUpdate_;
};

}  // namespace sv::app
