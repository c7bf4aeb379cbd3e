// TImageEx: a picture control that tells its parent when the pointer enters or leaves it and
// when it is clicked. It shows one bitmap (stretched to the control or drawn at its natural
// size) and, disabled, ignores clicks. Notifications arrive as WM_COMMAND with the control's
// identifier and one of the codes below, the way buttons report clicks.
#pragma once

#include <windows.h>

namespace sv::app {

inline constexpr WORD kImageExClick = BN_CLICKED;
inline constexpr WORD kImageExMouseEnter = 0x0100;
inline constexpr WORD kImageExMouseLeave = 0x0101;
inline constexpr WORD kImageExMouseDown = 0x0102;  // left button pressed
inline constexpr WORD kImageExMouseMove = 0x0103;  // moved while the left button is held

// Style bits of the class.
inline constexpr DWORD kImageExStretch = 0x0001;  // the picture fills the control

// Registers the window class (once per process).
bool RegisterImageExClass(HINSTANCE instance);

HWND CreateImageEx(HWND parent, int id, int x, int y, int width, int height, DWORD extraStyle);

// Gives the control its picture; it takes ownership and frees the previous one. Null clears it.
void SetImageExPicture(HWND control, HBITMAP picture);

}  // namespace sv::app
