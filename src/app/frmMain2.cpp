#include "app/frmMain2.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <array>
#include <thread>
#include <vector>

#include "app/ImageEx.h"
#include "app/artwork.h"
#include "app/control_ids.h"
#include "app/dm2.h"
#include "app/resource_ids.h"
#include "app/update_launch.h"
#include "app/window_logic.h"
#include "common/error.h"
#include "common/publicFun.h"
#include "common/text.h"
#include "database/opUninstallFile.h"
#include "engine/threadUninstall.h"
#include "online/service_url.h"
#include "online/submission.h"
#include "online/update_check.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_http.h"
#include "registry/opUninstallRegistry.h"

namespace sv::app {

using database::StringList;
using database::TUFileOp;
using engine::CheckBox;
using engine::Control;
using engine::Label;
using engine::ListView;
using engine::Page;
using registry::TURegistryOp;

namespace {

constexpr int kClientWidth = 692;
constexpr int kClientHeight = 517;
constexpr int kSideWidth = 9;
constexpr int kInnerWidth = kClientWidth - 2 * kSideWidth;  // 674
constexpr int kTopHeight = 81;
constexpr int kContentHeight = 275;
constexpr int kGaugeHeight = 10;
constexpr int kFootHeight = 151;
constexpr int kFootLeftWidth = 265;
constexpr int kFootMainWidth = kInnerWidth - kFootLeftWidth;  // 409
constexpr int kFootStripHeight = 14;
constexpr int kFootBottomHeight = 26;
constexpr int kFootPanelHeight = kFootHeight - kFootStripHeight - kFootBottomHeight;
constexpr int kHintPaneWidth = 181;

constexpr COLORREF kColorDark = RGB(41, 57, 80);
constexpr COLORREF kColorBlue = RGB(0, 130, 203);
constexpr COLORREF kColorLine = RGB(226, 236, 246);
constexpr COLORREF kColorStatus = RGB(7, 109, 191);
constexpr COLORREF kColorVersion = RGB(255, 251, 242);
constexpr COLORREF kColorUnsupported = RGB(204, 3, 3);

constexpr UINT kInvokeMessage = WM_APP + 1;
constexpr UINT WM_TRAYICON = WM_USER + 100;
constexpr UINT kTrayIconId = 1;
constexpr UINT_PTR kTimerUpdate = 1;
constexpr UINT kUpdateDelayMs = 30000;

// Panel styles (low bits of the window style are free for a custom class).
constexpr DWORD kPanelTopLine = 0x0001;     // a 2 px line on top, status text below it
constexpr DWORD kPanelBottomLine = 0x0002;  // a 2 px line at the bottom
constexpr DWORD kPanelLight = 0x0004;       // light blue-grey instead of white (the list titles)

constexpr wchar_t kSupportMail[] = L"mailto:support@sorvane.com";

struct GdiTraits {
  using Handle = HGDIOBJ;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
  static void Close(Handle handle) noexcept { ::DeleteObject(handle); }
};
using GdiHandle = ScopedHandle<GdiTraits>;

HFONT MakeFont(int height, int weight = FW_NORMAL, bool underline = false) {
  LOGFONTW font{};
  font.lfHeight = -height;
  font.lfWeight = weight;
  font.lfUnderline = underline ? TRUE : FALSE;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = CLEARTYPE_QUALITY;
  wcscpy_s(font.lfFaceName, L"Tahoma");
  return ::CreateFontIndirectW(&font);
}

std::wstring W(std::string_view text) {
  return win32::Widen(text);
}
std::string N(std::wstring_view text) {
  return win32::Narrow(text);
}

std::wstring WindowTextOf(HWND control) {
  const int length = ::GetWindowTextLengthW(control);
  std::wstring text(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
  const int copied = ::GetWindowTextW(control, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(std::max(copied, 0)));
  return text;
}

// Panels hold controls and pass their notifications on to the window, so every handler lives
// in TfrmMain however deep the control sits.
LRESULT CALLBACK PanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      return ::SendMessageW(::GetParent(hwnd), message, wParam, lParam);
    case WM_ERASEBKGND: {
      RECT client;
      ::GetClientRect(hwnd, &client);
      const auto dc = reinterpret_cast<HDC>(wParam);
      const DWORD style = static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_STYLE));
      // The DC brush: no object to make and free on every erase.
      ::SetDCBrushColor(dc, kColorLine);
      const auto line = static_cast<HBRUSH>(::GetStockObject(DC_BRUSH));
      ::FillRect(
          dc, &client,
          (style & kPanelLight) != 0 ? line : static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
      if ((style & kPanelTopLine) != 0) {
        RECT top{0, 0, client.right, 2};
        ::FillRect(dc, &top, line);
      }
      if ((style & kPanelBottomLine) != 0) {
        RECT bottom{0, client.bottom - 2, client.right, client.bottom};
        ::FillRect(dc, &bottom, line);
      }
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      const HDC dc = ::BeginPaint(hwnd, &paint);
      const std::wstring text = WindowTextOf(hwnd);
      if (!text.empty()) {
        RECT client;
        ::GetClientRect(hwnd, &client);
        client.left += 8;
        client.top += 2;
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, kColorStatus);
        const auto font = reinterpret_cast<HFONT>(::SendMessageW(hwnd, WM_GETFONT, 0, 0));
        const HGDIOBJ old = font != nullptr ? ::SelectObject(dc, font) : nullptr;
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &client,
                    DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
        if (old != nullptr) ::SelectObject(dc, old);
      }
      ::EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_SETTEXT: {
      const LRESULT result = ::DefWindowProcW(hwnd, message, wParam, lParam);
      ::InvalidateRect(hwnd, nullptr, TRUE);
      return result;
    }
    case WM_SETFONT:
      ::SetPropW(hwnd, L"SvFont", reinterpret_cast<HANDLE>(wParam));
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(::GetPropW(hwnd, L"SvFont"));
    case WM_NCDESTROY:
      ::RemovePropW(hwnd, L"SvFont");
      break;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

// labSupportNum is a link: hand cursor and a colour that follows the pointer.
LRESULT CALLBACK LinkLabelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                               DWORD_PTR) noexcept {
  switch (message) {
    case WM_SETCURSOR:
      ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
      return TRUE;
    case WM_MOUSEMOVE:
      if (::GetPropW(hwnd, L"SvHover") == nullptr) {
        ::SetPropW(hwnd, L"SvHover", reinterpret_cast<HANDLE>(1));
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
        ::TrackMouseEvent(&track);
        ::InvalidateRect(hwnd, nullptr, TRUE);
      }
      break;
    case WM_MOUSELEAVE:
      ::RemovePropW(hwnd, L"SvHover");
      ::InvalidateRect(hwnd, nullptr, TRUE);
      break;
    case WM_NCDESTROY:
      ::RemovePropW(hwnd, L"SvHover");
      ::RemoveWindowSubclass(hwnd, LinkLabelProc, 0);
      break;
    default:
      break;
  }
  return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

// Report-view columns: caption and width, left to right.
void AddColumns(HWND list, std::initializer_list<std::pair<const wchar_t*, int>> columns) {
  int index = 0;
  for (const auto& [caption, width] : columns) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = const_cast<wchar_t*>(caption);
    column.cx = width;
    column.iSubItem = index;
    ListView_InsertColumn(list, index++, &column);
  }
}

bool IsBoxTicked(HWND box) {
  return ::SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetBoxTicked(HWND box, bool ticked) {
  ::SendMessageW(box, BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
}

int ColumnCount(HWND list) {
  const auto header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
  return header != nullptr ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

}  // namespace

struct TfrmMain::Fonts {
  GdiHandle normal{MakeFont(11)};
  GdiHandle foot{MakeFont(13)};
  GdiHandle footBold{MakeFont(13, FW_BOLD)};
  GdiHandle title{MakeFont(19, FW_NORMAL, true)};
  GdiHandle hint{MakeFont(12)};
  GdiHandle bold{MakeFont(11, FW_BOLD)};
  GdiHandle big{MakeFont(32)};
  GdiHandle white{::CreateSolidBrush(RGB(255, 255, 255))};
  GdiHandle light{::CreateSolidBrush(kColorLine)};
};

// The data module's icon lists as the runs see them: every append happens on the window's
// thread, where the detail header reads them.
class WindowThreadIcons final : public registry::IconList {
 public:
  WindowThreadIcons(TfrmMain& window, registry::IconList& list) : window_(window), list_(list) {}
  int AppendIcon(const platform::Icon& icon) override {
    int index = -1;
    window_.OnWindowThread([&] { index = list_.AppendIcon(icon); });
    return index;
  }
  void RemoveLastIcon() override {
    window_.OnWindowThread([&] { list_.RemoveLastIcon(); });
  }

 private:
  TfrmMain& window_;
  registry::IconList& list_;
};

bool RegisterMainWindowClasses(HINSTANCE instance) {
  WNDCLASSEXW main{};
  main.cbSize = sizeof main;
  main.lpfnWndProc = &TfrmMain::WindowProc;
  main.hInstance = instance;
  main.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_SORVANE));
  main.hIconSm = main.hIcon;
  main.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  main.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
  main.lpszClassName = SV_MAIN_WINDOW_CLASS;
  WNDCLASSEXW panel{};
  panel.cbSize = sizeof panel;
  panel.lpfnWndProc = PanelProc;
  panel.hInstance = instance;
  panel.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  panel.lpszClassName = SV_PANEL_CLASS;
  return ::RegisterClassExW(&main) != 0 && ::RegisterClassExW(&panel) != 0 &&
         RegisterImageExClass(instance);
}

TfrmMain::TfrmMain(HINSTANCE instance, platform::Platform platform)
    : instance_(instance), platform_(platform), fonts_(std::make_unique<Fonts>()) {}

TfrmMain::~TfrmMain() {
  if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
}

bool TfrmMain::Create() {
  threadId_ = ::GetCurrentThreadId();
  RECT frame{0, 0, kClientWidth, kClientHeight};
  const DWORD style = WS_POPUP | WS_CLIPCHILDREN | WS_MINIMIZEBOX | WS_SYSMENU;
  ::AdjustWindowRectEx(&frame, style, FALSE, WS_EX_CONTROLPARENT | WS_EX_APPWINDOW);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int x = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  hwnd_ = ::CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_APPWINDOW, SV_MAIN_WINDOW_CLASS,
                            W(kAppTitle).c_str(), style, x, y, width, height, nullptr, nullptr,
                            instance_, this);
  return hwnd_ != nullptr;
}

void TfrmMain::Show() {
  ::ShowWindow(hwnd_, SW_SHOWNORMAL);
  ::UpdateWindow(hwnd_);
  if (!shown_) {
    shown_ = true;
    FormShow();
  }
}

LRESULT CALLBACK TfrmMain::WindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                      LPARAM lParam) noexcept {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    auto* self = static_cast<TfrmMain*>(create->lpCreateParams);
    self->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<TfrmMain*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  try {
    return self->HandleMessage(message, wParam, lParam);
  } catch (const std::exception& error) {
    // Nothing may cross into the system; the user learns what went wrong.
    ::MessageBoxW(hwnd, W(error.what()).c_str(), W(kCaptionError).c_str(), MB_OK | MB_ICONERROR);
  } catch (...) {
  }
  return 0;
}

LRESULT TfrmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      callTarget_.store(hwnd_);
      FormCreate();
      return 0;
    case kInvokeMessage:
      (*reinterpret_cast<const std::function<void()>*>(lParam))();
      return 1;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_DRAWITEM:
      DrawFlatButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return ColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_TIMER:
      if (wParam == kTimerUpdate) timerUpdateTimer();
      return 0;
    case WM_TRAYICON:
      TrayIconNotify(lParam);
      return 0;
    case WM_CLOSE:
      if (FormCloseQuery()) ::DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY: {
      // FormDestroy: the icon goes with the window.
      NOTIFYICONDATAW tray = TrayIconData();
      ::Shell_NotifyIconW(NIM_DELETE, &tray);
      ::PostQuitMessage(0);
      return 0;
    }
    case WM_NCDESTROY:
      callTarget_.store(nullptr);
      ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

bool TfrmMain::OnWindowThread(const std::function<void()>& call) {
  if (::GetCurrentThreadId() == threadId_) {
    call();
    return true;
  }
  const HWND window = callTarget_.load();
  if (window == nullptr) return false;
  DWORD_PTR result = 0;
  // A window that is gone answers 0 and the call is dropped: a run outliving the window
  // has nobody left to tell.
  return ::SendMessageTimeoutW(window, kInvokeMessage, 0, reinterpret_cast<LPARAM>(&call),
                               SMTO_BLOCK | SMTO_NOTIMEOUTIFNOTHUNG, 0x7fffffff, &result) != 0 &&
         result == 1;
}

// ---- building the window ----------------------------------------------------------------

HWND TfrmMain::Ctl(int id) const {
  const auto found = controls_.find(id);
  return found != controls_.end() ? found->second : nullptr;
}

void TfrmMain::SetControlFont(HWND control, HFONT font) {
  ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

HWND TfrmMain::AddControl(HWND parent, int id, const wchar_t* className, std::wstring_view text,
                          DWORD style, int x, int y, int width, int height, DWORD exStyle) {
  const std::wstring caption(text);
  const HWND control = ::CreateWindowExW(
      exStyle, className, caption.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, width, height,
      parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
  if (control != nullptr) {
    SetControlFont(control, static_cast<HFONT>(fonts_->normal.Get()));
    if (id > 0) controls_[id] = control;
  }
  return control;
}

HWND TfrmMain::AddPanel(HWND parent, int id, int x, int y, int width, int height,
                        DWORD panelStyle) {
  return AddControl(parent, id, SV_PANEL_CLASS, L"", WS_CLIPCHILDREN | WS_CLIPSIBLINGS | panelStyle,
                    x, y, width, height, WS_EX_CONTROLPARENT);
}

HWND TfrmMain::AddLabel(HWND parent, int id, std::wstring_view text, int x, int y, int width,
                        int height, DWORD extraStyle) {
  return AddControl(parent, id, L"STATIC", text, extraStyle, x, y, width, height);
}

HWND TfrmMain::AddImageButton(HWND parent, int id, int x, int y, int width, int height,
                              DWORD style) {
  const HWND control = CreateImageEx(parent, id, x, y, width, height, style);
  if (control != nullptr) controls_[id] = control;
  return control;
}

HWND TfrmMain::AddCheckBox(HWND parent, int id, std::wstring_view text, int x, int y, int width) {
  return AddControl(parent, id, L"BUTTON", text, BS_AUTOCHECKBOX | WS_TABSTOP, x, y, width, 18);
}

HWND TfrmMain::AddListView(HWND parent, int id, int x, int y, int width, int height, bool results) {
  DWORD style = LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS | WS_TABSTOP | WS_BORDER;
  if (!results) style |= LVS_NOSORTHEADER;
  const HWND list = AddControl(parent, id, WC_LISTVIEWW, L"", style, x, y, width, height);
  DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES;
  if (results) extended |= LVS_EX_FLATSB;
  ListView_SetExtendedListViewStyle(list, extended);
  return list;
}

void TfrmMain::FormCreate() {
  // A rounded window without border or caption.
  RECT window;
  ::GetWindowRect(hwnd_, &window);
  ::SetWindowRgn(hwnd_,
                 ::CreateRoundRectRgn(0, 0, window.right - window.left + 1,
                                      window.bottom - window.top + 1, 20, 20),
                 TRUE);
  CreateTitleArea();
  // The content area, the gauge and the foot.
  const HWND left = AddPanel(hwnd_, ids::pan_Left, 0, 0, kSideWidth, kClientHeight);
  const HWND right =
      AddPanel(hwnd_, ids::pan_Right, kClientWidth - kSideWidth, 0, kSideWidth, kClientHeight);
  AddImageButton(left, ids::imgLeft, 0, 0, kSideWidth, kClientHeight, kImageExStretch);
  AddImageButton(right, ids::imgRight, 0, 0, kSideWidth, kClientHeight, kImageExStretch);
  CreateUninstallPage();
  CreateDetailPage();
  CreateSettingsPage();
  CreateSupportPage();
  CreateSubmitPage();
  const HWND gauge = AddControl(hwnd_, ids::gaugeUS, PROGRESS_CLASSW, L"", PBS_SMOOTH, kSideWidth,
                                kTopHeight + kContentHeight, kInnerWidth, kGaugeHeight);
  ::SendMessageW(gauge, PBM_SETBARCOLOR, 0, kColorBlue);
  ::SendMessageW(gauge, PBM_SETRANGE32, 0, 100);
  CreateFootArea();

  // The notification-area icon lives as long as the window.
  NOTIFYICONDATAW tray = TrayIconData();
  ::Shell_NotifyIconW(NIM_ADD, &tray);
}

NOTIFYICONDATAW TfrmMain::TrayIconData() const {
  NOTIFYICONDATAW tray{};
  tray.cbSize = NOTIFYICONDATAW_V1_SIZE;
  tray.hWnd = hwnd_;
  tray.uID = kTrayIconId;
  tray.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  tray.uCallbackMessage = WM_TRAYICON;
  tray.hIcon = ::LoadIconW(instance_, MAKEINTRESOURCEW(IDI_SORVANE));
  wcscpy_s(tray.szTip, 64, W(kAppTitle).c_str());
  return tray;
}

void TfrmMain::CreateTitleArea() {
  const HWND top = AddPanel(hwnd_, ids::panTop, kSideWidth, 0, kInnerWidth, kTopHeight);
  const HWND logo = AddImageButton(top, ids::imgLogo, 0, 0, 312, kTopHeight, kImageExStretch);
  AddImageButton(top, ids::imgHeader, 312, 0, kInnerWidth - 312, kTopHeight, kImageExStretch);
  // The version sits on the picture, drawn without a background of its own.
  AddLabel(logo, ids::labAppVer, L"", 236, 62, 72, 14, SS_NOPREFIX | SS_RIGHT);
  // Their pictures are drawn on the rows of the header they cover.
  AddImageButton(top, ids::imgClose, kInnerWidth - 31 - 8, 0, 31, 11, 0);
  AddImageButton(top, ids::imgMin, kInnerWidth - 31 - 8 - 30 - 2, 0, 30, 11, 0);
  AddImageButton(top, ids::imgSettings, kInnerWidth - 78 - 8, 22, 78, 18, WS_TABSTOP);
  // The buttons lie on the header picture: above it in the drawing order.
  for (const int id : {ids::imgClose, ids::imgMin, ids::imgSettings}) {
    ::SetWindowPos(Ctl(id), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void TfrmMain::CreateFootArea() {
  const int footTop = kTopHeight + kContentHeight + kGaugeHeight;
  const HWND foot = AddPanel(hwnd_, ids::panFoot, kSideWidth, footTop, kInnerWidth, kFootHeight);
  const HWND left =
      AddPanel(foot, ids::panFoot_Left, 0, 0, kFootLeftWidth, kFootHeight - kFootStripHeight);
  const HWND main = AddPanel(foot, ids::panFoot_Main, kFootLeftWidth, 0, kFootMainWidth,
                             kFootHeight - kFootStripHeight);
  AddImageButton(foot, ids::imgFoot, 0, kFootHeight - kFootStripHeight, kInnerWidth,
                 kFootStripHeight, kImageExStretch);

  const HFONT footFont = static_cast<HFONT>(fonts_->foot.Get());
  const struct {
    const wchar_t* caption;
    int valueId;
  } rows[] = {{L"Scan Result:", ids::labSoftNum},
              {L"Application Version:", ids::labSoftVersion},
              {L"Database   Version:", ids::labDataVersion},
              {L"Support Software:", ids::labSupportNum}};
  int y = 10;
  for (const auto& row : rows) {
    SetControlFont(AddLabel(left, 0, row.caption, 4, y, 130, 17), footFont);
    DWORD style = SS_NOPREFIX;
    if (row.valueId == ids::labSupportNum) style |= SS_NOTIFY;
    const HWND value = AddLabel(left, row.valueId, L"", 136, y, 128, 17, style);
    SetControlFont(value, footFont);
    if (row.valueId == ids::labSupportNum) ::SetWindowSubclass(value, LinkLabelProc, 0, 0);
    y += 21;
  }
  AddImageButton(left, ids::imgHelp, 12, 96, 61, 31, WS_TABSTOP);

  // The foot panels of the pages, each with its buttons in a right-aligned block.
  const struct {
    int panel;
    std::array<int, 2> buttons;
  } footPanels[] = {{ids::pan_Foot_Scan, {ids::imgScan, 0}},
                    {ids::pan_Foot_Clean, {ids::imgClean, ids::imgCancel}},
                    {ids::pan_Foot_Submit, {ids::imgSubmit, ids::imgSCancel}},
                    {ids::pan_Foot_Detail, {ids::imgDClean, ids::imgDCancel}},
                    {ids::pan_Foot_Settings, {ids::imgSESave, ids::imgSECancel}},
                    {ids::pan_Foot_Status, {ids::imgSTCancel, 0}}};
  for (const auto& footPanel : footPanels) {
    const HWND panel = AddPanel(main, footPanel.panel, 0, 0, kFootMainWidth, kFootPanelHeight);
    ::ShowWindow(panel, SW_HIDE);
    const HWND block = AddPanel(panel, 0, kFootMainWidth - 273, 0, 273, kFootPanelHeight);
    const int count = footPanel.buttons[1] != 0 ? 2 : 1;
    int x = 273 - count * 94;
    for (int i = 0; i < count; ++i, x += 94) {
      AddImageButton(block, footPanel.buttons[static_cast<std::size_t>(i)], x, 10, 90, 91,
                     WS_TABSTOP);
    }
  }
  const HWND bottom =
      AddPanel(main, ids::pan_Foot_Bottom, 0, kFootPanelHeight, kFootMainWidth, kFootBottomHeight);
  const struct {
    int id;
    const wchar_t* caption;
    int x;
    int width;
  } flat[] = {{ids::sbtnUpdate, L"Online Upgrade", 0, 120},
              {ids::sbtnSubmitSoft, L"Submit A Software", 124, 140},
              {ids::sbtnTechnical, L"Technical Support", 268, 136}};
  for (const auto& button : flat) {
    const HWND control = AddControl(bottom, button.id, L"BUTTON", button.caption,
                                    BS_OWNERDRAW | WS_TABSTOP, button.x, 2, button.width, 22);
    SetControlFont(control, static_cast<HFONT>(fonts_->footBold.Get()));
  }
}

void TfrmMain::CreateUninstallPage() {
  const HWND page =
      AddPanel(hwnd_, ids::pan_Main_Uninstall, kSideWidth, kTopHeight, kInnerWidth, kContentHeight);
  // Each list has a title bar: its picture on the left, "Select All" on the right.
  titleBarR_ = AddPanel(page, 0, 0, 0, 100, 22, kPanelLight);
  AddImageButton(titleBarR_, ids::imgTitleR, 0, 0, 200, 22, 0);
  AddCheckBox(titleBarR_, ids::chkSelectAll1, L"Select All", 0, 2, 80);
  const HWND residues = AddListView(page, ids::lstvRList, 0, 22, 100, 104, true);
  titleBarN_ = AddPanel(page, 0, 0, 126, 100, 22, kPanelLight);
  AddImageButton(titleBarN_, ids::imgTitleN, 0, 0, 200, 22, 0);
  AddCheckBox(titleBarN_, ids::chkSelectAll2, L"Select All", 0, 2, 80);
  const HWND installed = AddListView(page, ids::lstvNList, 0, 148, 100, 103, true);
  const HWND status =
      AddPanel(page, ids::panCleanHint, 0, kContentHeight - 24, 100, 24, kPanelTopLine);
  SetControlFont(status, static_cast<HFONT>(fonts_->normal.Get()));
  ::ShowWindow(status, SW_HIDE);

  AddColumns(installed, {{L"No", 40},
                         {L"Software Name", 165},
                         {L"State", 75},
                         {L"Install Date", 85},
                         {L"Publisher", 100}});
  AddColumns(residues, {{L"No", 40}, {L"Software Name", 220}, {L"description ", 205}});

  const HWND hint = AddPanel(page, ids::pan_Uninstall_RightHint, kInnerWidth - kHintPaneWidth, 0,
                             kHintPaneWidth, kContentHeight);
  const HWND title =
      AddLabel(hint, ids::labTitle, L"", 4, 12, kHintPaneWidth - 8, 24, SS_NOPREFIX | SS_CENTER);
  SetControlFont(title, static_cast<HFONT>(fonts_->title.Get()));
  // The hint shows a doubled ampersand as one.
  const HWND text = AddLabel(hint, ids::labHint, L"", 4, 44, kHintPaneWidth - 6, 220, 0);
  SetControlFont(text, static_cast<HFONT>(fonts_->hint.Get()));
  LayoutUninstallPage();
  ::ShowWindow(page, SW_HIDE);
}

void TfrmMain::LayoutUninstallPage() {
  const int width = hintPaneVisible_ ? kInnerWidth - kHintPaneWidth : kInnerWidth;
  const auto place = [](HWND control, int x, int y, int w, int h) {
    ::SetWindowPos(control, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  };
  place(titleBarR_, 0, 0, width, 22);
  place(Ctl(ids::chkSelectAll1), width - 86, 2, 84, 18);
  place(Ctl(ids::lstvRList), 0, 22, width, 104);
  place(titleBarN_, 0, 126, width, 22);
  place(Ctl(ids::chkSelectAll2), width - 86, 2, 84, 18);
  place(Ctl(ids::lstvNList), 0, 148, width, kContentHeight - 148 - 24);
  place(Ctl(ids::panCleanHint), 0, kContentHeight - 24, width, 24);
  ::ShowWindow(Ctl(ids::pan_Uninstall_RightHint), hintPaneVisible_ ? SW_SHOW : SW_HIDE);
}

void TfrmMain::CreateDetailPage() {
  const HWND page =
      AddPanel(hwnd_, ids::pan_Main_Detail, kSideWidth, kTopHeight, kInnerWidth, kContentHeight);
  const HWND top = AddPanel(page, ids::panUS1Top, 0, 0, kInnerWidth, 40, kPanelBottomLine);
  AddImageButton(top, ids::imgUS1Soft, 8, 4, 32, 32, 0);
  AddLabel(top, ids::labUS1Soft, L"", 48, 12, 480, 18);
  const HWND kind =
      AddLabel(top, ids::labUS1Type, L"", kInnerWidth - 112, 12, 100, 18, SS_NOPREFIX | SS_RIGHT);
  SetControlFont(kind, static_cast<HFONT>(fonts_->bold.Get()));
  SetControlFont(AddLabel(page, 0, L"Registry information", 4, 44, 300, 15),
                 static_cast<HFONT>(fonts_->bold.Get()));
  const HWND registry = AddListView(page, ids::lstvUS2Registry, 0, 60, kInnerWidth, 90, false);
  SetControlFont(AddLabel(page, 0, L"File information", 4, 155, 300, 15),
                 static_cast<HFONT>(fonts_->bold.Get()));
  const HWND files = AddListView(page, ids::lstvUS2File, 0, 171, kInnerWidth, 104, false);
  AddColumns(registry, {{L"No", 30}, {L"Registry Key", 530}, {L"Type", 60}});
  AddColumns(files, {{L"No", 30}, {L"File Name", 530}, {L"Type", 60}});
  ::ShowWindow(page, SW_HIDE);
}

void TfrmMain::CreateSettingsPage() {
  const HWND page =
      AddPanel(hwnd_, ids::pan_Main_Settings, kSideWidth, kTopHeight, kInnerWidth, kContentHeight);
  const HWND title =
      AddLabel(page, ids::labSettingsTitle, L"Make Sorvane work better", 16, 6, 600, 40);
  SetControlFont(title, static_cast<HFONT>(fonts_->big.Get()));
  AddControl(page, ids::gboxDisplay, L"BUTTON", L"Display Options", BS_GROUPBOX, 10, 56, 330, 200);
  AddCheckBox(page, ids::chkHideTip, L"Hide tips box operation", 20, 84, 316);
  AddCheckBox(page, ids::chkHideProcess, L"Don't show software uninstall process", 20, 114, 316);
  AddCheckBox(page, ids::chkHideUnsupport, L"Don't display unsupported software installed in PC ",
              20, 144, 316);
  AddControl(page, ids::gboxUpdate, L"BUTTON", L"Update Options", BS_GROUPBOX, 346, 56, 312, 104);
  AddCheckBox(page, ids::chkAutoUpdate, L"Check for Vestrel update automatically", 360, 78, 290);
  AddLabel(page, ids::labLastTime, L"Last Time: ", 378, 102, 270, 16);
  AddCheckBox(page, ids::chkUpdateDel, L"Delete the files after upgrade", 360, 126, 290);
  AddControl(page, ids::gboxStartup, L"BUTTON", L"Startup Options", BS_GROUPBOX, 346, 168, 312, 88);
  AddCheckBox(page, ids::chkWindowStart, L"Run at windows startup", 360, 192, 290);
  AddCheckBox(page, ids::chkStartMin, L"Minimize to tray on startup", 360, 222, 290);
  ::ShowWindow(page, SW_HIDE);
}

void TfrmMain::CreateSupportPage() {
  const HWND page =
      AddPanel(hwnd_, ids::pan_Main_Status, kSideWidth, kTopHeight, kInnerWidth, kContentHeight);
  AddLabel(page, 0, L"Software Type:", 16, 14, 100, 16);
  AddControl(page, ids::cmbSupportSoft, WC_COMBOBOXW, L"",
             CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 120, 10, 260, 300);
  const HWND list = AddListView(page, ids::lstvSoftInfo, 16, 40, 300, 228, false);
  AddColumns(list, {{L"No", 40}, {L"Software Name", 230}});
  ::ShowWindow(page, SW_HIDE);
}

void TfrmMain::CreateSubmitPage() {
  const HWND page =
      AddPanel(hwnd_, ids::pan_Main_Submit, kSideWidth, kTopHeight, kInnerWidth, kContentHeight);
  AddLabel(page, ids::labSubmitHint, L"", 12, 4, 580, 72);
  AddImageButton(page, ids::imgBack, kInnerWidth - 61 - 8, 4, 61, 31, WS_TABSTOP);
  const HWND required = AddLabel(page, 0, L"(* Required)", kInnerWidth - 90, 40, 84, 16);
  SetControlFont(required, static_cast<HFONT>(fonts_->bold.Get()));
  ::SetPropW(required, L"SvRed", reinterpret_cast<HANDLE>(1));
  const struct {
    const wchar_t* caption;
    int id;
    bool starred;
  } rows[] = {
      {L"Software Name :", ids::edtSoftName, true}, {L"Software Version :", ids::edtSoftVer, false},
      {L"Software Type :", ids::cmbSoftType, true}, {L"Operating System :", ids::cmbOS, true},
      {L"Download link:", ids::edtDownLink, false}, {L"Other Information:", ids::memoOther, false},
      {L" Your E-mail:", ids::edtEMail, true}};
  int y = 80;
  for (const auto& row : rows) {
    if (row.starred) {
      const HWND star = AddLabel(page, 0, L"*", 30, y + 3, 10, 16);
      SetControlFont(star, static_cast<HFONT>(fonts_->bold.Get()));
      ::SetPropW(star, L"SvRed", reinterpret_cast<HANDLE>(1));
    }
    AddLabel(page, 0, row.caption, 42, y + 3, 120, 16);
    const int height = row.id == ids::memoOther ? 44 : 20;
    if (row.id == ids::cmbSoftType || row.id == ids::cmbOS) {
      AddControl(page, row.id, WC_COMBOBOXW, L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 170,
                 y, 300, 240);
    } else if (row.id == ids::memoOther) {
      AddControl(page, row.id, L"EDIT", L"",
                 ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_TABSTOP, 170, y,
                 300, height, WS_EX_CLIENTEDGE);
    } else {
      AddControl(page, row.id, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, 170, y, 300, height,
                 WS_EX_CLIENTEDGE);
    }
    y += height + 4;
  }
  for (const auto entry : online::kSoftTypeEntries) {
    ::SendMessageW(Ctl(ids::cmbSoftType), CB_ADDSTRING, 0,
                   reinterpret_cast<LPARAM>(W(entry).c_str()));
  }
  ::SendMessageW(Ctl(ids::cmbSoftType), CB_SETCURSEL, 0, 0);
  for (const auto entry : online::kOsEntries) {
    ::SendMessageW(Ctl(ids::cmbOS), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(entry).c_str()));
  }
  ::SendMessageW(Ctl(ids::cmbOS), CB_SETCURSEL, online::kDefaultOsIndex, 0);
  ::ShowWindow(page, SW_HIDE);
}

// ---- first showing ------------------------------------------------------------------------

void TfrmMain::FormShow() {
  executablePath_ = platform_.system.ExecutablePath();
  settingsPath_ = SettingsPathFor(executablePath_);
  smallIcons_ = std::make_unique<WindowThreadIcons>(*this, dm_->imglstSmallICO);
  bigIcons_ = std::make_unique<WindowThreadIcons>(*this, dm_->imglstBigICO);
  for (const int id : {ids::lstvNList, ids::lstvRList}) {
    ListView_SetImageList(Ctl(id), dm_->imglstCheck.Get(), LVSIL_STATE);
  }
  if (!platform::PathExists(platform_.files, settingsPath_)) {
    try {
      CreateDefaultSettings(platform_, settingsPath_);
    } catch (const Error& error) {
      // Said once; the program runs on with the defaults.
      ShowMessageBox(error.what(), kCaptionError, MB_OK | MB_ICONERROR);
    }
  }
  ResetButtonImages();
  LoadSettings();
  LoadProductInfo();
}

void TfrmMain::ResetButtonImages() {
  // Pictures that never change.
  const struct {
    int id;
    int resource;
  } fixed[] = {{ids::imgLogo, IDJ_LOGO},     {ids::imgHeader, IDJ_HEADER},
               {ids::imgLeft, IDJ_SIDE},     {ids::imgRight, IDJ_SIDE},
               {ids::imgFoot, IDJ_FOOT},     {ids::imgTitleR, IDJ_TITLE_R},
               {ids::imgTitleN, IDJ_TITLE_N}};
  for (const auto& picture : fixed) {
    SetImageExPicture(Ctl(picture.id), LoadJpegResource(instance_, picture.resource).Release());
  }
  buttonImages_ = {
      {ids::imgMin, {0, 1}},     {ids::imgClose, {2, 3}},    {ids::imgScan, {0, 1}},
      {ids::imgClean, {2, 3}},   {ids::imgDClean, {2, 3}},   {ids::imgCancel, {4, 5}},
      {ids::imgSCancel, {4, 5}}, {ids::imgSECancel, {4, 5}}, {ids::imgSubmit, {6, 7}},
      {ids::imgSESave, {6, 7}},  {ids::imgDCancel, {8, 9}},  {ids::imgSTCancel, {8, 9}},
      {ids::imgHelp, {0, 1}},    {ids::imgBack, {2, 3}},     {ids::imgSettings, {2, 3}}};
  for (const auto& [id, images] : buttonImages_)
    SetImage(id, false);
  ShowPage(Page::pgWelcome);
}

void TfrmMain::SetImage(int buttonId, bool enter) {
  const auto found = buttonImages_.find(buttonId);
  if (found == buttonImages_.end() || dm_ == nullptr) return;
  HIMAGELIST strip = nullptr;
  switch (buttonId) {
    case ids::imgMin:
    case ids::imgClose:
      strip = dm_->imglstOther.Get();
      break;
    case ids::imgHelp:
    case ids::imgBack:
      strip = dm_->imglstHelp.Get();
      break;
    case ids::imgSettings:
      strip = dm_->imglstTopButton.Get();
      break;
    default:
      strip = dm_->imglstButton.Get();
      break;
  }
  const int index = enter ? found->second.second : found->second.first;
  SetImageExPicture(Ctl(buttonId), CopyImageFromList(strip, index).Release());
}

void TfrmMain::LoadProductInfo() {
  const std::string version = GetFileVersion(platform_.files, executablePath_);
  if (const auto text = AppVersionText(version)) {
    ::SetWindowTextW(Ctl(ids::labAppVer), W(*text).c_str());
    ::InvalidateRect(Ctl(ids::imgLogo), nullptr, FALSE);
    const DateTime written = GetFileDate(platform_, executablePath_, kFileDateLastWrite);
    ::SetWindowTextW(Ctl(ids::labSoftVersion), W(SoftVersionText(written)).c_str());
  }
  const HWND combo = Ctl(ids::cmbSupportSoft);
  ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  try {
    TUFileOp database(platform_);
    ::SetWindowTextW(Ctl(ids::labDataVersion), W(database.GetDataVersion(2)).c_str());
    std::array<std::uint16_t, 11> counts{};
    for (std::uint16_t category = 0; category < counts.size(); ++category) {
      counts[category] = database.GetSoftCount(category);
    }
    ::SetWindowTextW(Ctl(ids::labSupportNum), W(SupportCountText(counts[0])).c_str());
    for (const auto& entry : SupportComboEntries(counts)) {
      ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(entry).c_str()));
    }
    ::SendMessageW(combo, CB_SETCURSEL, 0, 0);
  } catch (const Error& error) {
    ShowMessageBox(error.what(), kCaptionError, MB_OK | MB_ICONERROR);
  }
  // The submission page.
  ::SetWindowTextW(Ctl(ids::labSubmitHint), W(online::SubmitHintText()).c_str());
  OSVERSIONINFOW os{};
  os.dwOSVersionInfoSize = sizeof os;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  const bool known = ::GetVersionExW(&os) != FALSE;
#pragma GCC diagnostic pop
  const int index =
      known ? online::PreselectedOsIndex(os.dwPlatformId, os.dwMajorVersion, os.dwMinorVersion)
            : online::kDefaultOsIndex;
  ::SendMessageW(Ctl(ids::cmbOS), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void TfrmMain::LoadSettings() {
  const SettingsValues values = ReadSettings(platform_, settingsPath_);
  DWORD view = LVS_LIST;
  switch (ViewStyleOf(values.viewStyle)) {
    case ViewStyle::Icons:
      view = LVS_ICON;
      break;
    case ViewStyle::Report:
      view = LVS_REPORT;
      break;
    case ViewStyle::List:
      break;
  }
  for (const int id : {ids::lstvRList, ids::lstvNList}) {
    const HWND list = Ctl(id);
    const LONG style = ::GetWindowLongW(list, GWL_STYLE);
    ::SetWindowLongW(list, GWL_STYLE, static_cast<LONG>((style & ~LVS_TYPEMASK) | view));
  }
  const auto tick = [this](int id, bool on) { SetBoxTicked(Ctl(id), on); };
  tick(ids::chkAutoUpdate, values.autoUpdate == 1);
  // The automatic check runs once, 30 seconds after the first showing.
  if (values.autoUpdate == 1) ::SetTimer(hwnd_, kTimerUpdate, kUpdateDelayMs, nullptr);
  tick(ids::chkUpdateDel, values.deleteUpdate == 1);
  ::SetWindowTextW(Ctl(ids::labLastTime), W("Last Time: " + values.lastTime).c_str());
  tick(ids::chkHideTip, values.hiddenRightTips == 1);
  tick(ids::chkHideProcess, values.hiddenProcess == 1);
  tick(ids::chkHideUnsupport, values.hiddenUnsupport == 1);
  ApplyHintPane(values.hiddenRightTips);
  tick(ids::chkWindowStart, values.windowsStartup == 1);
  tick(ids::chkStartMin, values.startupMinimize == 1);
  if (values.startupMinimize == 1) imgMinClick();
}

void TfrmMain::ApplyHintPane(int hiddenRightTips) {
  hintPaneVisible_ = hiddenRightTips == 0;
  LayoutUninstallPage();
  const ColumnWidths widths = ColumnWidthsFor(hiddenRightTips);
  for (int column = 1; column < 3; ++column) {
    ListView_SetColumnWidth(Ctl(ids::lstvRList), column, widths.residue[column]);
  }
  for (int column = 1; column < 5; ++column) {
    ListView_SetColumnWidth(Ctl(ids::lstvNList), column, widths.installed[column]);
  }
}

// ---- the runs' view of the window ---------------------------------------------------------

HWND TfrmMain::ListOf(ListView list) const {
  switch (list) {
    case ListView::lstvNList:
      return Ctl(ids::lstvNList);
    case ListView::lstvRList:
      return Ctl(ids::lstvRList);
    case ListView::lstvUS2Registry:
      return Ctl(ids::lstvUS2Registry);
    case ListView::lstvUS2File:
      return Ctl(ids::lstvUS2File);
  }
  return nullptr;
}

HWND TfrmMain::ControlOf(Control control) const {
  switch (control) {
    case Control::imgScan:
      return Ctl(ids::imgScan);
    case Control::imgClean:
      return Ctl(ids::imgClean);
    case Control::imgCancel:
      return Ctl(ids::imgCancel);
    case Control::imgDClean:
      return Ctl(ids::imgDClean);
    case Control::imgDCancel:
      return Ctl(ids::imgDCancel);
    case Control::pan_Foot_Bottom:
      return Ctl(ids::pan_Foot_Bottom);
    case Control::lstvNList:
      return Ctl(ids::lstvNList);
    case Control::lstvRList:
      return Ctl(ids::lstvRList);
    case Control::panCleanHint:
      return Ctl(ids::panCleanHint);
  }
  return nullptr;
}

HWND TfrmMain::CheckBoxOf(CheckBox box) const {
  switch (box) {
    case CheckBox::chkHideUnsupport:
      return Ctl(ids::chkHideUnsupport);
    case CheckBox::chkHideProcess:
      return Ctl(ids::chkHideProcess);
    case CheckBox::chkSelectAll1:
      return Ctl(ids::chkSelectAll1);
    case CheckBox::chkSelectAll2:
      return Ctl(ids::chkSelectAll2);
  }
  return nullptr;
}

engine::ListRow TfrmMain::ReadRow(ListView list, int index) const {
  const HWND control = ListOf(list);
  if (index < 0 || index >= ListView_GetItemCount(control)) return {};
  engine::ListRow row;
  const int columns = ColumnCount(control);
  std::array<wchar_t, 2048> buffer{};
  for (int column = 0; column < columns; ++column) {
    buffer[0] = L'\0';
    ListView_GetItemText(control, index, column, buffer.data(), static_cast<int>(buffer.size()));
    std::string text = N(buffer.data());
    if (column == 0) {
      row.caption = std::move(text);
    } else {
      row.subItems.push_back(std::move(text));
    }
  }
  LVITEMW item{};
  item.mask = LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
  item.iItem = index;
  item.stateMask = LVIS_STATEIMAGEMASK | LVIS_SELECTED;
  ListView_GetItem(control, &item);
  row.imageIndex = item.iImage;
  row.checked = (item.lParam & 1) != 0;
  const auto program = static_cast<std::size_t>(item.lParam >> 1);
  if (program > 0 && program <= programs_.size()) row.program = programs_[program - 1];
  row.selected = (item.state & LVIS_SELECTED) != 0;
  const int state = static_cast<int>((item.state & LVIS_STATEIMAGEMASK) >> 12);
  row.stateIndex = state > 0 ? state - 1 : 0;
  return row;
}

LPARAM TfrmMain::RowData(const engine::ProgramRef& program, bool checked) {
  std::size_t slot = 0;
  if (program != engine::ProgramRef{}) {
    auto known = std::find(programs_.begin(), programs_.end(), program);
    if (known == programs_.end()) known = programs_.insert(programs_.end(), program);
    slot = static_cast<std::size_t>(known - programs_.begin()) + 1;
  }
  return static_cast<LPARAM>(slot << 1) | (checked ? 1 : 0);
}

void TfrmMain::SetRowState(ListView list, int index, int stateIndex, bool checked) {
  const HWND control = ListOf(list);
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = index;
  ListView_GetItem(control, &item);
  item.mask = LVIF_PARAM;
  item.lParam = (item.lParam & ~static_cast<LPARAM>(1)) | (checked ? 1 : 0);
  ListView_SetItem(control, &item);
  if (list == ListView::lstvNList || list == ListView::lstvRList) {
    // The residue list always shows the tick itself.
    if (list == ListView::lstvRList) stateIndex = checked ? 1 : 0;
    ListView_SetItemState(control, index, INDEXTOSTATEIMAGEMASK(stateIndex + 1),
                          LVIS_STATEIMAGEMASK);
  }
}

void TfrmMain::WriteRow(ListView list, int index, const engine::ListRow& row) {
  const HWND control = ListOf(list);
  std::wstring caption = W(row.caption);
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  item.iItem = index;
  item.pszText = caption.data();
  item.iImage = row.imageIndex;
  item.lParam = RowData(row.program, row.checked);
  ListView_SetItem(control, &item);
  for (std::size_t i = 0; i < row.subItems.size(); ++i) {
    std::wstring text = W(row.subItems[i]);
    ListView_SetItemText(control, index, static_cast<int>(i + 1), text.data());
  }
  SetRowState(list, index, row.stateIndex, row.checked);
  ListView_SetItemState(control, index, row.selected ? LVIS_SELECTED : 0, LVIS_SELECTED);
}

int TfrmMain::RowCount(ListView list) {
  int count = 0;
  OnWindowThread([&] { count = ListView_GetItemCount(ListOf(list)); });
  return count;
}

void TfrmMain::ClearRows(ListView list) {
  OnWindowThread([&] { ListView_DeleteAllItems(ListOf(list)); });
}

int TfrmMain::AddRow(ListView list, const engine::ListRow& row) {
  int index = -1;
  OnWindowThread([&] {
    const HWND control = ListOf(list);
    std::wstring caption = W(row.caption);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = ListView_GetItemCount(control);
    item.pszText = caption.data();
    index = ListView_InsertItem(control, &item);
    if (index >= 0) WriteRow(list, index, row);
  });
  return index;
}

engine::ListRow TfrmMain::Row(ListView list, int index) {
  engine::ListRow row;
  OnWindowThread([&] { row = ReadRow(list, index); });
  return row;
}

void TfrmMain::SetRowCaption(ListView list, int index, std::string_view caption) {
  OnWindowThread([&] {
    std::wstring text = W(caption);
    ListView_SetItemText(ListOf(list), index, 0, text.data());
  });
}

void TfrmMain::SetRowSelected(ListView list, int index, bool selected) {
  OnWindowThread([&] {
    ListView_SetItemState(ListOf(list), index, selected ? LVIS_SELECTED : 0, LVIS_SELECTED);
  });
}

void TfrmMain::SetRowChecked(ListView list, int index, bool checked) {
  OnWindowThread([&] {
    if (index < 0 || index >= ListView_GetItemCount(ListOf(list))) return;
    const engine::ListRow row = ReadRow(list, index);
    SetRowState(list, index, row.stateIndex == 2 ? 2 : (checked ? 1 : 0), checked);
  });
}

void TfrmMain::DeleteRow(ListView list, int index) {
  OnWindowThread([&] { ListView_DeleteItem(ListOf(list), index); });
}

void TfrmMain::SetGaugeMax(int maximum) {
  OnWindowThread([&] {
    ::SendMessageW(Ctl(ids::gaugeUS), PBM_SETRANGE32, 0, maximum);
    ::UpdateWindow(Ctl(ids::gaugeUS));
  });
}

void TfrmMain::SetGaugeProgress(int progress) {
  OnWindowThread([&] {
    ::SendMessageW(Ctl(ids::gaugeUS), PBM_SETPOS, static_cast<WPARAM>(progress), 0);
    ::UpdateWindow(Ctl(ids::gaugeUS));
  });
}

int TfrmMain::GaugeProgress() {
  int progress = 0;
  OnWindowThread(
      [&] { progress = static_cast<int>(::SendMessageW(Ctl(ids::gaugeUS), PBM_GETPOS, 0, 0)); });
  return progress;
}

namespace {

int LabelId(Label label) {
  switch (label) {
    case Label::labSoftNum:
      return ids::labSoftNum;
    case Label::labUS1Soft:
      return ids::labUS1Soft;
    case Label::labUS1Type:
      return ids::labUS1Type;
    case Label::panCleanHint:
      return ids::panCleanHint;
  }
  return 0;
}

}  // namespace

std::string TfrmMain::Text(Label label) {
  std::string text;
  OnWindowThread([&] { text = N(WindowTextOf(Ctl(LabelId(label)))); });
  return text;
}

void TfrmMain::SetText(Label label, std::string_view text) {
  OnWindowThread([&] {
    const HWND control = Ctl(LabelId(label));
    ::SetWindowTextW(control, W(text).c_str());
    ::UpdateWindow(control);
  });
}

void TfrmMain::SetEnabled(Control control, bool enabled) {
  OnWindowThread([&] {
    ::EnableWindow(ControlOf(control), enabled ? TRUE : FALSE);
    // A scan that found nothing to show stays on the welcome page; "Scan in progress" must not
    // stay with it once the scan is over.
    if (control == Control::imgScan && enabled && page_ == Page::pgWelcome) {
      ::SetWindowTextW(Ctl(ids::labTitle), W(kWelcomeTitle).c_str());
      ::SetWindowTextW(Ctl(ids::labHint), W(WelcomeHintText()).c_str());
    }
  });
}

bool TfrmMain::IsEnabled(Control control) {
  bool enabled = false;
  OnWindowThread([&] { enabled = ::IsWindowEnabled(ControlOf(control)) != FALSE; });
  return enabled;
}

void TfrmMain::SetVisible(Control control, bool visible) {
  OnWindowThread([&] { ::ShowWindow(ControlOf(control), visible ? SW_SHOW : SW_HIDE); });
}

bool TfrmMain::IsChecked(CheckBox box) {
  bool checked = false;
  OnWindowThread([&] { checked = IsBoxTicked(CheckBoxOf(box)); });
  return checked;
}

void TfrmMain::SetChecked(CheckBox box, bool checked) {
  OnWindowThread([&] {
    const HWND control = CheckBoxOf(box);
    if (IsBoxTicked(control) == checked) return;
    SetBoxTicked(control, checked);
    // A change made by code runs the box's handler, as a click would.
    if (box == CheckBox::chkSelectAll1) chkSelectAll1Click();
    if (box == CheckBox::chkSelectAll2) chkSelectAll2Click();
  });
}

void TfrmMain::ShowPage(Page page) {
  OnWindowThread([&] {
    for (const int id : {ids::pan_Foot_Scan, ids::pan_Foot_Clean, ids::pan_Foot_Submit,
                         ids::pan_Foot_Detail, ids::pan_Foot_Settings, ids::pan_Foot_Status,
                         ids::pan_Main_Uninstall, ids::pan_Main_Submit, ids::pan_Main_Detail,
                         ids::pan_Main_Settings, ids::pan_Main_Status, ids::panCleanHint}) {
      ::ShowWindow(Ctl(id), SW_HIDE);
    }
    page_ = page;
    const auto show = [this](int content, int foot) {
      ::ShowWindow(Ctl(content), SW_SHOW);
      ::ShowWindow(Ctl(foot), SW_SHOW);
    };
    switch (page) {
      case Page::pgWelcome:
        ::SetWindowTextW(Ctl(ids::labTitle), W(kWelcomeTitle).c_str());
        ::SetWindowTextW(Ctl(ids::labHint), W(WelcomeHintText()).c_str());
        show(ids::pan_Main_Uninstall, ids::pan_Foot_Scan);
        ListView_DeleteAllItems(Ctl(ids::lstvRList));
        ListView_DeleteAllItems(Ctl(ids::lstvNList));
        break;
      case Page::pgResults:
        ::SetWindowTextW(Ctl(ids::labTitle), W(kResultsTitle).c_str());
        ::SetWindowTextW(Ctl(ids::labHint), W(ResultsHintText()).c_str());
        show(ids::pan_Main_Uninstall, ids::pan_Foot_Clean);
        break;
      case Page::pgSubmit:
        show(ids::pan_Main_Submit, ids::pan_Foot_Submit);
        break;
      case Page::pgDetail:
        show(ids::pan_Main_Detail, ids::pan_Foot_Detail);
        break;
      case Page::pgSettings:
        show(ids::pan_Main_Settings, ids::pan_Foot_Settings);
        break;
      case Page::pgSupport:
        show(ids::pan_Main_Status, ids::pan_Foot_Status);
        cmbSupportSoftChange();
        break;
    }
  });
}

void TfrmMain::lstvNListColumnClick(ListView list, int column) {
  OnWindowThread([&] {
    const HWND control = ListOf(list);
    const int count = ListView_GetItemCount(control);
    std::vector<engine::ListRow> rows;
    rows.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
      rows.push_back(ReadRow(list, i));
    std::stable_sort(rows.begin(), rows.end(), [column](const auto& a, const auto& b) {
      return engine::CompareListItems(a, b, column) < 0;
    });
    ::SendMessageW(control, WM_SETREDRAW, FALSE, 0);
    for (int i = 0; i < count; ++i)
      WriteRow(list, i, rows[static_cast<std::size_t>(i)]);
    ::SendMessageW(control, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(control, nullptr, TRUE);
  });
}

void TfrmMain::SetDetailProgram(const engine::ProgramRef& program) {
  OnWindowThread([&] { detailProgram_ = program; });
}

engine::ProgramRef TfrmMain::DetailProgram() {
  engine::ProgramRef program;
  OnWindowThread([&] { program = detailProgram_; });
  return program;
}

int TfrmMain::ShowMessageBox(std::string_view text, std::string_view caption, unsigned style) {
  int answer = 0;
  OnWindowThread(
      [&] { answer = ::MessageBoxW(hwnd_, W(text).c_str(), W(caption).c_str(), style); });
  return answer;
}

// ---- commands -----------------------------------------------------------------------------

void TfrmMain::StartRun(std::uint16_t mode) {
  engine::RunEnvironment env{platform_, *this, *smallIcons_, *bigIcons_, {}, {}};
  // The worker runs on by itself; the window keeps no reference to it.
  engine::TUninstallThread worker(std::move(env), mode);
}

void TfrmMain::OnCommand(int id, int code, HWND control) {
  if (control == nullptr) {
    // The tray menu.
    switch (static_cast<UINT>(id)) {
      case kMenuVestrel1:
        RestoreFromTray();
        break;
      case kMenuUpdateOnline1:
        // Exactly the window's own button.
        sbtnUpdateClick();
        break;
      case kMenuExit1:
        ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
        break;
      default:
        break;
    }
    return;
  }
  if (code == kImageExMouseEnter || code == kImageExMouseLeave) {
    SetImage(id, code == kImageExMouseEnter);
    return;
  }
  if ((id == ids::imgLogo || id == ids::imgHeader) &&
      (code == kImageExMouseDown || code == kImageExMouseMove)) {
    POINT at;
    ::GetCursorPos(&at);
    ::ScreenToClient(control, &at);
    if (code == kImageExMouseDown) {
      dragOrigin_ = at;
    } else {
      RECT window;
      ::GetWindowRect(hwnd_, &window);
      ::SetWindowPos(hwnd_, nullptr, window.left + at.x - dragOrigin_.x,
                     window.top + at.y - dragOrigin_.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return;
  }
  if (id == ids::labSupportNum && code == STN_CLICKED) {
    labSupportNumClick();
    return;
  }
  if (id == ids::cmbSupportSoft && code == CBN_SELCHANGE) {
    cmbSupportSoftChange();
    return;
  }
  if (code != BN_CLICKED) return;
  switch (id) {
    case ids::imgScan:
      imgScanClick();
      break;
    case ids::imgClean:
      imgCleanClick();
      break;
    case ids::imgCancel:
      imgCancelClick();
      break;
    case ids::imgSCancel:
    case ids::imgSECancel:
    case ids::imgBack:
      imgSCancelClick();
      break;
    case ids::imgDCancel:
    case ids::imgSTCancel:
      imgDCancelClick();
      break;
    case ids::imgDClean:
      imgDCleanClick();
      break;
    case ids::imgSettings:
      imgSettingsClick();
      break;
    case ids::imgSESave:
      imgSESaveClick();
      break;
    case ids::imgSubmit:
      imgSubmitClick();
      break;
    case ids::imgHelp:
      imgHelpClick();
      break;
    case ids::imgMin:
      imgMinClick();
      break;
    case ids::imgClose:
      ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
      break;
    case ids::sbtnUpdate:
      sbtnUpdateClick();
      break;
    case ids::sbtnSubmitSoft:
      sbtnSubmitSoftClick();
      break;
    case ids::sbtnTechnical:
      sbtnTechnicalClick();
      break;
    case ids::chkSelectAll1:
      chkSelectAll1Click();
      break;
    case ids::chkSelectAll2:
      chkSelectAll2Click();
      break;
    default:
      break;
  }
}

LRESULT TfrmMain::OnNotify(const NMHDR& header) {
  const int id = static_cast<int>(header.idFrom);
  const bool results = id == ids::lstvNList || id == ids::lstvRList;
  if (!results) return 0;
  const ListView list = id == ids::lstvNList ? ListView::lstvNList : ListView::lstvRList;
  switch (header.code) {
    case LVN_COLUMNCLICK:
      lstvNListColumnClick(list, reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
      return 0;
    case NM_CLICK: {
      // A click on the tick box of a row ticks or clears it. With whole-row selection some
      // list views report every part of the row as "on the item", so the box is also found by
      // its place: left of the (empty) icon cell.
      LVHITTESTINFO hit{};
      hit.pt = reinterpret_cast<const NMITEMACTIVATE&>(header).ptAction;
      const int index = ListView_HitTest(header.hwndFrom, &hit);
      if (index < 0) return 0;
      RECT bounds{};
      RECT icon{};
      ListView_GetItemRect(header.hwndFrom, index, &bounds, LVIR_BOUNDS);
      ListView_GetItemRect(header.hwndFrom, index, &icon, LVIR_ICON);
      const bool onBox = (hit.flags & LVHT_ONITEM) == LVHT_ONITEMSTATEICON ||
                         (hit.pt.x >= bounds.left && hit.pt.x < icon.left);
      if (onBox) ToggleRowTick(list, index);
      return 0;
    }
    case LVN_KEYDOWN:
      if (reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_SPACE) {
        const int index = ListView_GetNextItem(header.hwndFrom, -1, LVNI_FOCUSED);
        if (index >= 0) ToggleRowTick(list, index);
      }
      return 0;
    case NM_DBLCLK:
    case NM_RETURN:
      if (list == ListView::lstvNList) {
        lstvNListDblClick();
      } else {
        lstvRListDblClick();
      }
      return 0;
    case NM_CUSTOMDRAW: {
      auto& draw = const_cast<NMLVCUSTOMDRAW&>(reinterpret_cast<const NMLVCUSTOMDRAW&>(header));
      if (list != ListView::lstvNList) return CDRF_DODEFAULT;
      switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
          return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
        case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
          // Unsupported rows are drawn in red.
          const UINT state = ListView_GetItemState(
              header.hwndFrom, static_cast<int>(draw.nmcd.dwItemSpec), LVIS_STATEIMAGEMASK);
          if ((state >> 12) == 3) draw.clrText = kColorUnsupported;
          return draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT
                     ? (CDRF_NEWFONT | CDRF_NOTIFYSUBITEMDRAW)
                     : CDRF_NEWFONT;
        }
        default:
          return CDRF_DODEFAULT;
      }
    }
    default:
      return 0;
  }
}

void TfrmMain::ToggleRowTick(ListView list, int index) {
  const engine::ListRow row = ReadRow(list, index);
  SetRowChecked(list, index, !row.checked);
}

void TfrmMain::imgScanClick() {
  ::SetWindowTextW(Ctl(ids::labTitle), W(kScanningTitle).c_str());
  ::SetWindowTextW(Ctl(ids::labHint), W(ScanningHintText()).c_str());
  ::UpdateWindow(Ctl(ids::labTitle));
  ::UpdateWindow(Ctl(ids::labHint));
  SetChecked(CheckBox::chkSelectAll1, false);
  SetChecked(CheckBox::chkSelectAll2, false);
  // The run disables the button from its own thread; until then a second click must not
  // start a second scan.
  ::EnableWindow(Ctl(ids::imgScan), FALSE);
  StartRun(engine::kModeScan);
}

void TfrmMain::imgCleanClick() {
  switch (DecideClean(*this)) {
    case CleanAnswer::Nothing:
      return;
    case CleanAnswer::Confirm:
      if (ShowMessageBox(kConfirmRemoveSelected, kCaptionConfirm, MB_YESNO | MB_ICONQUESTION) ==
          IDYES) {
        ::EnableWindow(Ctl(ids::imgClean), FALSE);
        StartRun(engine::kModeCleanChecked);
      }
      return;
    case CleanAnswer::Unsupported:
      ShowMessageBox(kUnsupportedSelected, kCaptionError, MB_OK | MB_ICONINFORMATION);
      return;
    case CleanAnswer::SelectFirst:
      ShowMessageBox(kSelectFirst, kCaptionError, MB_OK | MB_ICONINFORMATION);
      return;
  }
}

void TfrmMain::imgCancelClick() {
  ShowPage(Page::pgWelcome);
}

void TfrmMain::imgSCancelClick() {
  ShowPage(BackPage(*this));
}

void TfrmMain::imgDCancelClick() {
  ShowPage(BackPage(*this));
}

void TfrmMain::imgDCleanClick() {
  const std::string name = Text(Label::labUS1Soft);
  if (ShowMessageBox(ConfirmRemoveShownText(name), kCaptionConfirm, MB_YESNO | MB_ICONQUESTION) ==
      IDYES) {
    ::EnableWindow(Ctl(ids::imgDClean), FALSE);
    StartRun(engine::kModeCleanShown);
  }
}

void TfrmMain::imgSettingsClick() {
  ShowPage(Page::pgSettings);
}

void TfrmMain::imgSESaveClick() {
  const auto ticked = [this](int id) { return IsBoxTicked(Ctl(id)) ? 1 : 0; };
  const auto write = [this](std::string_view section, std::string_view key, int value) {
    WriteProfileValue(platform_, settingsPath_, section, key, std::to_string(value));
  };
  try {
    if (!platform::PathExists(platform_.files, settingsPath_))
      CreateDefaultSettings(platform_, settingsPath_);
    const int hideTip = ticked(ids::chkHideTip);
    const int hideProcess = ticked(ids::chkHideProcess);
    const int hideUnsupport = ticked(ids::chkHideUnsupport);
    if (hideUnsupport == 1) PurgeUnsupportedRows(*this);
    ApplyHintPane(hideTip);
    write(kSectionSettings, kKeyHiddenRightTips, hideTip);
    write(kSectionSettings, kKeyHiddenProcess, hideProcess);
    write(kSectionSettings, kKeyHiddenUnsupport, hideUnsupport);
    write(kSectionSettings, kKeyAutoUpdate, ticked(ids::chkAutoUpdate));
    write(kSectionSettings, kKeyDeleteUpdate, ticked(ids::chkUpdateDel));
    TURegistryOp registry(platform_);
    if (ticked(ids::chkWindowStart) == 1) {
      write(kSectionSettings, kKeyWindowsStartup, 1);
      registry.SetRunValue(kRunValueName, executablePath_);
    } else {
      write(kSectionSettings, kKeyWindowsStartup, 0);
      registry.DeleteRunValue(kRunValueName);
    }
    write(kSectionSettings, kKeyStartupMinimize, ticked(ids::chkStartMin));
    ShowMessageBox(kSettingsSaved, kCaptionSave, MB_OK | MB_ICONINFORMATION);
  } catch (const Error& error) {
    ShowMessageBox(error.what(), kCaptionError, MB_OK | MB_ICONERROR);
  }
}

void TfrmMain::imgSubmitClick() {
  const auto text = [this](int id) { return N(WindowTextOf(Ctl(id))); };
  const online::SoftwareSubmission typed{
      text(ids::edtSoftName), text(ids::edtSoftVer), text(ids::cmbSoftType), text(ids::cmbOS),
      text(ids::edtDownLink), text(ids::memoOther),  text(ids::edtEMail)};
  // The exchange blocks the window for its duration, as a form post does.
  const HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  win32::Win32HttpTransport transport;
  const online::SubmitOutcome outcome = online::SubmitSoftwareForm(
      transport,
      online::ExchangeOptions::ForSetting(ReadServiceUrlSetting(platform_, settingsPath_)), typed);
  ::SetCursor(previous);
  if (outcome.clearTextFields) {
    for (const int id :
         {ids::edtSoftName, ids::edtSoftVer, ids::edtDownLink, ids::memoOther, ids::edtEMail}) {
      ::SetWindowTextW(Ctl(id), L"");
    }
  }
  ShowMessageBox(outcome.message, online::kSubmitCaption, MB_OK | MB_ICONINFORMATION);
}

void TfrmMain::imgHelpClick() {
  const auto slash = executablePath_.find_last_of('\\');
  const std::string help = executablePath_.substr(0, slash + 1) + "SVHelp.chm";
  const std::string target = platform::PathExists(platform_.files, help)
                                 ? help
                                 : std::string(online::kVendorWebSite) + "help.php";
  ::ShellExecuteW(hwnd_, L"open", W(target).c_str(), L"", L"", SW_SHOWNORMAL);
}

void TfrmMain::imgMinClick() {
  // Only the notification icon leads back.
  ::ShowWindow(hwnd_, SW_MINIMIZE);
  ::ShowWindow(hwnd_, SW_HIDE);
}

void TfrmMain::RestoreFromTray() {
  if (::IsIconic(hwnd_) || !::IsWindowVisible(hwnd_)) {
    ::ShowWindow(hwnd_, SW_SHOWNORMAL);
    ::SetForegroundWindow(hwnd_);
  }
}

void TfrmMain::TrayIconNotify(LPARAM mouseMessage) {
  switch (static_cast<UINT>(mouseMessage)) {
    case WM_LBUTTONDBLCLK:
      if (::IsIconic(hwnd_)) RestoreFromTray();
      break;
    case WM_RBUTTONUP: {
      ::SetForegroundWindow(hwnd_);
      POINT at;
      ::GetCursorPos(&at);
      if (dm_ != nullptr) {
        ::TrackPopupMenu(dm_->TrayPopMenu(), TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr);
      }
      break;
    }
    default:
      break;
  }
}

void TfrmMain::sbtnUpdateClick() {
  if (platform::PathExists(platform_.files, online::UpdaterPath(executablePath_))) {
    StartUpdater();
  } else {
    ShowMessageBox(online::PleaseVisitMessage(), online::kUpdateCaption,
                   MB_OK | MB_ICONINFORMATION);
  }
}

namespace {

// The automatic check: on a thread of its own, touching no control and showing nothing.
void UpdateCheckThread(platform::Platform platform, std::string settingsPath,
                       std::string executablePath) noexcept {
  try {
    win32::Win32HttpTransport transport;
    RunUpdateCheck(platform, transport, settingsPath, executablePath, OpenWithShell);
  } catch (...) {
    // Silent by design: the check is a courtesy, and the user asked for nothing.
  }
}

}  // namespace

void TfrmMain::StartUpdater() {
  try {
    LaunchUpdater(platform_, settingsPath_, executablePath_, OpenWithShell);
  } catch (const Error& error) {
    ShowMessageBox(error.what(), kCaptionError, MB_OK | MB_ICONERROR);
  }
}

void TfrmMain::timerUpdateTimer() {
  ::KillTimer(hwnd_, kTimerUpdate);
  std::thread(UpdateCheckThread, platform_, settingsPath_, executablePath_).detach();
}

void TfrmMain::sbtnSubmitSoftClick() {
  ShowPage(Page::pgSubmit);
}

void TfrmMain::sbtnTechnicalClick() {
  ::ShellExecuteW(hwnd_, L"open", kSupportMail, L"", L"", SW_SHOWNORMAL);
}

void TfrmMain::labSupportNumClick() {
  ShowPage(Page::pgSupport);
}

void TfrmMain::cmbSupportSoftChange() {
  const HWND combo = Ctl(ids::cmbSupportSoft);
  const auto selected = ::SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (selected == CB_ERR) return;
  const HWND list = Ctl(ids::lstvSoftInfo);
  ListView_DeleteAllItems(list);
  std::vector<std::wstring> names;
  try {
    TUFileOp database(platform_);
    StringList found;
    database.GetSoftNameList(found, static_cast<std::uint16_t>(selected));
    for (const auto& name : found)
      names.push_back(W(Trim(name)));
  } catch (const Error& error) {
    ShowMessageBox(error.what(), kCaptionError, MB_OK | MB_ICONERROR);
    return;
  }
  std::stable_sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
    return ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(),
                            static_cast<int>(a.size()), b.c_str(),
                            static_cast<int>(b.size())) == CSTR_LESS_THAN;
  });
  ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::wstring number = std::to_wstring(i + 1);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(i);
    item.pszText = number.data();
    const int index = ListView_InsertItem(list, &item);
    ListView_SetItemText(list, index, 1, names[i].data());
  }
  ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(list, nullptr, TRUE);
}

void TfrmMain::lstvNListDblClick() {
  RowDoubleClick(ListView::lstvNList);
}

void TfrmMain::lstvRListDblClick() {
  RowDoubleClick(ListView::lstvRList);
}

void TfrmMain::RowDoubleClick(ListView list) {
  const HWND control = ListOf(list);
  if (ListView_GetItemCount(control) == 0) return;
  const int index = ListView_GetNextItem(control, -1, LVNI_FOCUSED);
  if (index < 0) return;
  const engine::ListRow row = ReadRow(list, index);
  const std::string name = row.subItems.empty() ? std::string() : row.subItems[0];
  if (RowCommandFor(list, row) == RowCommand::Details) {
    // The detail header: the row's large icon, its name and its kind.
    SetImageExPicture(Ctl(ids::imgUS1Soft),
                      CopyImageFromList(dm_->imglstBigICO.Get(), row.imageIndex).Release());
    ::SetWindowTextW(Ctl(ids::labUS1Soft), W(name).c_str());
    const std::string_view kind =
        list == ListView::lstvRList ? engine::kKindResidual : engine::kKindInstallation;
    ::SetWindowTextW(Ctl(ids::labUS1Type), W(kind).c_str());
    detailProgram_ = row.program;
    StartRun(engine::kModeDetails);
  } else {
    ::SetWindowTextW(Ctl(ids::edtSoftName), W(name).c_str());
    ShowPage(Page::pgSubmit);
  }
}

void TfrmMain::chkSelectAll1Click() {
  SelectAllRows(*this, ListView::lstvRList, IsBoxTicked(Ctl(ids::chkSelectAll1)));
}

void TfrmMain::chkSelectAll2Click() {
  SelectAllRows(*this, ListView::lstvNList, IsBoxTicked(Ctl(ids::chkSelectAll2)));
}

bool TfrmMain::FormCloseQuery() {
  if (MayClose(*this)) return true;
  ShowMessageBox(kCannotClose, kCaptionError, MB_OK | MB_ICONINFORMATION);
  return false;
}

void TfrmMain::EscapeCommand() {
  const auto press = [this](int id) {
    const HWND button = Ctl(id);
    if (::IsWindowEnabled(button) && ::IsWindowVisible(button)) {
      ::SendMessageW(::GetParent(button), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
    }
  };
  switch (page_) {
    case Page::pgResults:
      press(ids::imgCancel);
      break;
    case Page::pgSubmit:
      press(ids::imgSCancel);
      break;
    case Page::pgDetail:
      press(ids::imgDCancel);
      break;
    case Page::pgSettings:
      press(ids::imgSECancel);
      break;
    case Page::pgSupport:
      press(ids::imgSTCancel);
      break;
    case Page::pgWelcome:
      break;
  }
}

bool TfrmMain::TranslateKeyboard(MSG& msg) {
  if (hwnd_ == nullptr) return false;
  if (msg.hwnd != hwnd_ && !::IsChild(hwnd_, msg.hwnd)) return false;
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
    // A drop-down list that is open closes first.
    if (::SendMessageW(msg.hwnd, CB_GETDROPPEDSTATE, 0, 0) == 0) {
      EscapeCommand();
      return true;
    }
  }
  return ::IsDialogMessageW(hwnd_, &msg) != FALSE;
}

void TfrmMain::DrawFlatButton(const DRAWITEMSTRUCT& draw) {
  const HDC dc = draw.hDC;
  RECT area = draw.rcItem;
  ::FillRect(dc, &area, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  const std::wstring text = WindowTextOf(draw.hwndItem);
  ::SetBkMode(dc, TRANSPARENT);
  const bool enabled = (draw.itemState & ODS_DISABLED) == 0;
  ::SetTextColor(dc, enabled ? kColorDark : ::GetSysColor(COLOR_GRAYTEXT));
  const HGDIOBJ old = ::SelectObject(dc, fonts_->footBold.Get());
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
              DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
  ::SelectObject(dc, old);
  if ((draw.itemState & ODS_FOCUS) != 0) ::DrawFocusRect(dc, &area);
}

LRESULT TfrmMain::ColorStatic(HDC dc, HWND control) {
  const int id = ::GetDlgCtrlID(control);
  COLORREF color = kColorDark;
  if (id == ids::labAppVer) {
    // Written straight onto the logo.
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, kColorVersion);
    return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
  }
  if (id == ids::chkSelectAll1 || id == ids::chkSelectAll2) {
    // They sit on the list's title bar.
    ::SetTextColor(dc, kColorDark);
    ::SetBkColor(dc, kColorLine);
    return reinterpret_cast<LRESULT>(fonts_->light.Get());
  }
  if (id == ids::labTitle || id == ids::labSettingsTitle) color = kColorBlue;
  if (id == ids::labSupportNum && ::GetPropW(control, L"SvHover") != nullptr) color = kColorBlue;
  if (::GetPropW(control, L"SvRed") != nullptr) color = RGB(255, 0, 0);
  ::SetTextColor(dc, color);
  ::SetBkColor(dc, RGB(255, 255, 255));
  return reinterpret_cast<LRESULT>(fonts_->white.Get());
}

}  // namespace sv::app
