#include "app/ImageEx.h"

#include <windowsx.h>

#include <memory>

#include "app/control_ids.h"

namespace sv::app {

namespace {

constexpr UINT kSetPicture = WM_USER + 1;

struct ImageExState {
  HBITMAP picture = nullptr;
  bool tracking = false;
  bool pressed = false;
};

ImageExState* StateOf(HWND hwnd) {
  return reinterpret_cast<ImageExState*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

void Notify(HWND hwnd, WORD code) {
  const HWND parent = ::GetParent(hwnd);
  if (parent == nullptr) return;
  const int id = ::GetDlgCtrlID(hwnd);
  ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(hwnd));
}

void Paint(HWND hwnd, const ImageExState& state) {
  PAINTSTRUCT paint;
  const HDC dc = ::BeginPaint(hwnd, &paint);
  RECT client;
  ::GetClientRect(hwnd, &client);
  if (state.picture != nullptr) {
    BITMAP info{};
    ::GetObjectW(state.picture, sizeof info, &info);
    const HDC source = ::CreateCompatibleDC(dc);
    const HGDIOBJ old = ::SelectObject(source, state.picture);
    if ((::GetWindowLongW(hwnd, GWL_STYLE) & kImageExStretch) != 0) {
      ::SetStretchBltMode(dc, HALFTONE);
      ::StretchBlt(dc, 0, 0, client.right, client.bottom, source, 0, 0, info.bmWidth, info.bmHeight,
                   SRCCOPY);
    } else {
      ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
      ::BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
    }
    ::SelectObject(source, old);
    ::DeleteDC(source);
  } else {
    ::FillRect(dc, &client, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  }
  // Keyboard users see where they are.
  if (::GetFocus() == hwnd) {
    RECT focus = client;
    ::InflateRect(&focus, -2, -2);
    ::DrawFocusRect(dc, &focus);
  }
  ::EndPaint(hwnd, &paint);
}

LRESULT CALLBACK ImageExProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  ImageExState* state = StateOf(hwnd);
  switch (message) {
    case WM_NCCREATE: {
      auto created = std::make_unique<ImageExState>();
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created.release()));
      break;
    }
    case WM_NCDESTROY:
      if (state != nullptr) {
        const std::unique_ptr<ImageExState> owned(state);
        if (owned->picture != nullptr) ::DeleteObject(owned->picture);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      }
      break;
    case kSetPicture:
      if (state != nullptr) {
        if (state->picture != nullptr) ::DeleteObject(state->picture);
        state->picture = reinterpret_cast<HBITMAP>(lParam);
        ::InvalidateRect(hwnd, nullptr, FALSE);
      }
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      if (state != nullptr) {
        Paint(hwnd, *state);
        return 0;
      }
      break;
    case WM_MOUSEMOVE:
      if (state != nullptr && !state->tracking) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
        state->tracking = ::TrackMouseEvent(&track) != FALSE;
        Notify(hwnd, kImageExMouseEnter);
      }
      if ((wParam & MK_LBUTTON) != 0) Notify(hwnd, kImageExMouseMove);
      return 0;
    case WM_MOUSELEAVE:
      if (state != nullptr) state->tracking = false;
      Notify(hwnd, kImageExMouseLeave);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (state != nullptr) {
        state->pressed = true;
        ::SetCapture(hwnd);
      }
      Notify(hwnd, kImageExMouseDown);
      return 0;
    case WM_LBUTTONUP:
      if (state != nullptr && state->pressed) {
        state->pressed = false;
        if (::GetCapture() == hwnd) ::ReleaseCapture();
        RECT client;
        ::GetClientRect(hwnd, &client);
        const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (::PtInRect(&client, at) && ::IsWindowEnabled(hwnd)) Notify(hwnd, kImageExClick);
      }
      return 0;
    case WM_CAPTURECHANGED:
      if (state != nullptr) state->pressed = false;
      return 0;
    case WM_GETDLGCODE:
      // Enter belongs to the focused image button, not to a default button.
      if (lParam != 0) {
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) return DLGC_WANTMESSAGE;
      }
      return DLGC_WANTCHARS;
    case WM_KEYDOWN:
      if (wParam == VK_RETURN || wParam == VK_SPACE) {
        if (::IsWindowEnabled(hwnd)) Notify(hwnd, kImageExClick);
        return 0;
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      ::InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_ENABLE:
      ::InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_CTLCOLORSTATIC:
      // A label placed on the picture asks the window for its colours.
      return ::SendMessageW(::GetParent(hwnd), message, wParam, lParam);
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

bool RegisterImageExClass(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = ImageExProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = SV_IMAGE_EX_CLASS;
  return ::RegisterClassExW(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND CreateImageEx(HWND parent, int id, int x, int y, int width, int height, DWORD extraStyle) {
  return ::CreateWindowExW(
      0, SV_IMAGE_EX_CLASS, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | extraStyle, x, y, width,
      height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
      reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
}

void SetImageExPicture(HWND control, HBITMAP picture) {
  ::SendMessageW(control, kSetPicture, 0, reinterpret_cast<LPARAM>(picture));
}

}  // namespace sv::app
