#include "app/dm2.h"

#include "app/artwork.h"
#include "app/resource_ids.h"

namespace sv::app {

namespace {

ImageListHandle StripFromResource(HINSTANCE instance, int id, int cellWidth, int cellHeight) {
  const BitmapHandle strip = LoadJpegResource(instance, id);
  if (!strip) return ImageListHandle();
  return MakeStripImageList(strip.Get(), cellWidth, cellHeight);
}

}  // namespace

Tdm::Tdm(HINSTANCE instance)
    : imglstButton(StripFromResource(instance, IDJ_STRIP_BUTTON, 90, 91)),
      imglstOther(StripFromResource(instance, IDJ_STRIP_OTHER, 30, 11)),
      imglstHelp(StripFromResource(instance, IDJ_STRIP_HELP, 61, 31)),
      imglstTopButton(StripFromResource(instance, IDJ_STRIP_TOPBUTTON, 78, 18)),
      imglstCheck(MakeCheckImageList()),
      trayPopMenu_(::CreatePopupMenu()) {
  if (trayPopMenu_ == nullptr) return;
  menuApp_ = LoadJpegResource(instance, IDJ_MENU_APP);
  menuUpdate_ = LoadJpegResource(instance, IDJ_MENU_UPDATE);
  const auto add = [this](UINT id, const wchar_t* caption, HBITMAP picture) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_STRING | (picture != nullptr ? MIIM_BITMAP : 0U);
    item.wID = id;
    item.dwTypeData = const_cast<wchar_t*>(caption);
    item.hbmpItem = picture;
    ::InsertMenuItemW(trayPopMenu_, ::GetMenuItemCount(trayPopMenu_), TRUE, &item);
  };
  add(kMenuVestrel1, L"Sorvane", menuApp_.Get());
  add(kMenuUpdateOnline1, L"Update Online", menuUpdate_.Get());
  ::AppendMenuW(trayPopMenu_, MF_SEPARATOR, 0, nullptr);
  add(kMenuExit1, L" Exit", nullptr);
}

Tdm::~Tdm() {
  // The menu goes first: it refers to the pictures.
  if (trayPopMenu_ != nullptr) ::DestroyMenu(trayPopMenu_);
}

}  // namespace sv::app
