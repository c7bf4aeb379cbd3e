// A small window that behaves like the program's main window in the ways the GUI driver relies
// on: a report list view inside a panel whose rows are ticked by their state image (the tick in
// the row's lParam), a check box, image buttons that react to a press and release (one of them
// disabled) and open a message box owned by the window, labels, an edit, and a row that appears
// a little later. The driver's own tests work it from outside.
#include <windows.h>
//
#include <commctrl.h>

#include <initializer_list>
#include <string>

#include "fixture_ids.h"

namespace {

using namespace sv::gui::fixture;
constexpr UINT_PTR kAddTimer = 1;

constexpr COLORREF kPanelColour = RGB(0, 130, 203);

HWND g_main = nullptr;

HWND Item(int id) {
  HWND found = ::GetDlgItem(g_main, id);
  if (found == nullptr) found = ::GetDlgItem(::GetDlgItem(g_main, kPanel), id);
  return found;
}

std::wstring CellText(HWND list, int item, int column) {
  wchar_t text[256] = {};
  ListView_GetItemText(list, item, column, text, 256);
  return text;
}

void AddRow(HWND list, const wchar_t* name, const wchar_t* state) {
  const int index = ListView_GetItemCount(list);
  std::wstring number = std::to_wstring(index + 1);
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
  item.iItem = index;
  item.pszText = number.data();
  item.lParam = 0;
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(std::wstring(state) == L"Unsupported" ? 3 : 1);
  ListView_InsertItem(list, &item);
  ListView_SetItemText(list, index, 1, const_cast<LPWSTR>(name));
  ListView_SetItemText(list, index, 2, const_cast<LPWSTR>(state));
}

// Unsupported rows keep their mark whether ticked or not.
void ToggleTick(HWND list, int index) {
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = index;
  if (!ListView_GetItem(list, &item)) return;
  item.lParam = item.lParam ? 0 : 1;
  ListView_SetItem(list, &item);
  const bool unsupported = CellText(list, index, 2) == L"Unsupported";
  const UINT image = unsupported ? 3 : (item.lParam ? 2 : 1);
  ListView_SetItemState(list, index, INDEXTOSTATEIMAGEMASK(image), LVIS_STATEIMAGEMASK);
}

HIMAGELIST MakeStateImages() {
  HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR24, 3, 0);
  const COLORREF colours[] = {RGB(255, 255, 255), RGB(0, 160, 0), RGB(204, 3, 3)};
  HDC screen = ::GetDC(nullptr);
  for (COLORREF colour : colours) {
    HDC dc = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 16, 16);
    HGDIOBJ previous = ::SelectObject(dc, bitmap);
    RECT all{0, 0, 16, 16};
    HBRUSH brush = ::CreateSolidBrush(colour);
    ::FillRect(dc, &all, brush);
    ::DeleteObject(brush);
    ::SelectObject(dc, previous);
    ::DeleteDC(dc);
    ImageList_Add(images, bitmap, nullptr);
    ::DeleteObject(bitmap);
  }
  ::ReleaseDC(nullptr, screen);
  return images;
}

void OnNotify(const NMHDR& header) {
  if (header.idFrom != kList) return;
  HWND list = header.hwndFrom;
  switch (header.code) {
    case NM_CLICK: {
      const auto& activate = reinterpret_cast<const NMITEMACTIVATE&>(header);
      LVHITTESTINFO hit{};
      hit.pt = activate.ptAction;
      ListView_SubItemHitTest(list, &hit);
      if (hit.iItem >= 0 && (hit.flags & LVHT_ONITEM) == LVHT_ONITEMSTATEICON)
        ToggleTick(list, hit.iItem);
      break;
    }
    case LVN_KEYDOWN:
      if (reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_SPACE) {
        const int focused = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
        if (focused >= 0) ToggleTick(list, focused);
      }
      break;
    case NM_DBLCLK: {
      const int focused = ListView_GetNextItem(list, -1, LVNI_FOCUSED);
      if (focused >= 0)
        ::SetWindowTextW(Item(kOpenedLabel), (L"Opened " + CellText(list, focused, 1)).c_str());
      break;
    }
    default:
      break;
  }
}

// An image button: a press and a release inside it, or Enter or Space, is a click.
LRESULT CALLBACK ImageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
      ::SetPropW(window, L"pressed", reinterpret_cast<HANDLE>(1));
      return 0;
    case WM_LBUTTONUP:
      if (::RemovePropW(window, L"pressed") != nullptr && ::IsWindowEnabled(window))
        ::PostMessageW(::GetParent(window), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(window), 0),
                       reinterpret_cast<LPARAM>(window));
      return 0;
    case WM_KEYDOWN:
      if ((wParam == VK_RETURN || wParam == VK_SPACE) && ::IsWindowEnabled(window))
        ::PostMessageW(::GetParent(window), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(window), 0),
                       reinterpret_cast<LPARAM>(window));
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = ::BeginPaint(window, &paint);
      ::FillRect(dc, &paint.rcPaint, ::GetSysColorBrush(COLOR_BTNSHADOW));
      ::EndPaint(window, &paint);
      return 0;
    }
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

// Panels hand their children's notifications to the window, as the program's panels do.
LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NOTIFY:
    case WM_COMMAND:
      return ::SendMessageW(::GetParent(window), message, wParam, lParam);
    case WM_ERASEBKGND: {
      RECT all;
      ::GetClientRect(window, &all);
      HBRUSH brush = ::CreateSolidBrush(kPanelColour);
      ::FillRect(reinterpret_cast<HDC>(wParam), &all, brush);
      ::DeleteObject(brush);
      return 1;
    }
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

void OnCommand(int id, int code) {
  switch (id) {
    case kImageButton: {
      const int answer =
          ::MessageBoxW(g_main, L"Remove everything? ", L"Confirm", MB_YESNO | MB_ICONQUESTION);
      ::SetWindowTextW(Item(kAnswerLabel), answer == IDYES ? L"yes" : L"no");
      break;
    }
    case kDisabledImageButton:
      ::MessageBoxW(g_main, L"A disabled button was clicked", L"Error", MB_OK);
      break;
    case kCheckBox:
      if (code == BN_CLICKED)
        ::SetWindowTextW(Item(kCheckLabel),
                         ::SendMessageW(Item(kCheckBox), BM_GETCHECK, 0, 0) == BST_CHECKED
                             ? L"checked"
                             : L"clear");
      break;
    case kAddLater:
      ::SetTimer(g_main, kAddTimer, 300, nullptr);
      break;
    default:
      break;
  }
}

HWND Child(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int x, int y,
           int width, int height, int id) {
  return ::CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                           parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           ::GetModuleHandleW(nullptr), nullptr);
}

void CreateControls(HWND window) {
  HWND panel = Child(window, L"FixturePanel", L"", WS_CLIPCHILDREN, 0, 0, 600, 230, kPanel);
  HWND list = Child(panel, WC_LISTVIEWW, L"", LVS_REPORT | LVS_SHOWSELALWAYS | WS_BORDER, 20, 20,
                    540, 190, kList);
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  ListView_SetImageList(list, MakeStateImages(), LVSIL_STATE);
  const wchar_t* captions[] = {L"No", L"Software Name", L"State"};
  const int widths[] = {60, 260, 120};
  for (int column = 0; column < 3; ++column) {
    LVCOLUMNW definition{};
    definition.mask = LVCF_TEXT | LVCF_WIDTH;
    definition.pszText = const_cast<LPWSTR>(captions[column]);
    definition.cx = widths[column];
    ListView_InsertColumn(list, column, &definition);
  }
  AddRow(list, L"Alpha", L"Supported");
  AddRow(list, L"Beta", L"Unsupported");
  AddRow(list, L"Gamma", L"Supported");

  Child(window, L"BUTTON", L"Tick me", BS_AUTOCHECKBOX, 20, 240, 120, 24, kCheckBox);
  Child(window, L"FixtureImage", L"", 0, 160, 240, 90, 40, kImageButton);
  HWND disabled = Child(window, L"FixtureImage", L"", 0, 260, 240, 90, 40, kDisabledImageButton);
  ::EnableWindow(disabled, FALSE);
  Child(window, L"BUTTON", L"Add later", BS_PUSHBUTTON, 360, 240, 100, 28, kAddLater);
  Child(window, L"STATIC", L"Fixture label", 0, 20, 290, 200, 20, kLabel);
  Child(window, L"STATIC", L"", 0, 20, 315, 200, 20, kOpenedLabel);
  Child(window, L"STATIC", L"clear", 0, 240, 290, 100, 20, kCheckLabel);
  Child(window, L"STATIC", L"", 0, 240, 315, 100, 20, kAnswerLabel);
  Child(window, L"EDIT", L"", WS_BORDER | ES_AUTOHSCROLL, 360, 290, 200, 24, kEdit);
  HWND combo =
      Child(window, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL, 360, 320, 200, 120, kCombo);
  for (const wchar_t* entry : {L"All Types(3)", L"Networking Software (1)", L"Games (2)"})
    ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
  ::SendMessageW(combo, CB_SETCURSEL, 1, 0);
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      g_main = window;
      CreateControls(window);
      return 0;
    case WM_NOTIFY:
      OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_TIMER:
      if (wParam == kAddTimer) {
        ::KillTimer(window, kAddTimer);
        AddRow(Item(kList), L"Delta", L"Supported");
      }
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(7);
      return 0;
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

void Register(const wchar_t* name, WNDPROC procedure, HBRUSH background) {
  WNDCLASSW windowClass{};
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = background;
  windowClass.lpszClassName = name;
  ::RegisterClassW(&windowClass);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES};
  ::InitCommonControlsEx(&controls);
  Register(L"SvGuiFixture", MainProc, ::GetSysColorBrush(COLOR_WINDOW));
  Register(L"FixturePanel", PanelProc, nullptr);
  Register(L"FixtureImage", ImageProc, nullptr);
  HWND window = ::CreateWindowExW(0, L"SvGuiFixture", L"Fixture", WS_OVERLAPPEDWINDOW, 40, 40, 620,
                                  400, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) return 1;
  ::ShowWindow(window, SW_SHOWNORMAL);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
