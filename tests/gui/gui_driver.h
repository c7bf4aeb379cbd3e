// Works a running Windows program from outside its process, the way a user would: finds its
// windows and controls, clicks, types, reads labels, lists and message boxes, and takes
// screenshots. Everything waits with a deadline and polls; nothing sleeps for a fixed long time.
// Both processes must have the same bitness (list-view structures are passed in the other
// process's memory with this process's layout).
#pragma once

#include <windows.h>
//
#include <commctrl.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/handles.h"

namespace sv::gui {

using Milliseconds = std::chrono::milliseconds;

// Long enough for Wine on a busy two-core machine, short enough that a hang fails the test.
inline constexpr Milliseconds kDefaultTimeout{20000};

// Polls `condition` every `poll` until it holds or `timeout` has passed; answers whether it held.
bool WaitUntil(const std::function<bool()>& condition, Milliseconds timeout = kDefaultTimeout,
               Milliseconds poll = Milliseconds{15});

// A program started by the driver. The destructor ends it if it still runs, so a failed test
// never leaves a window behind.
class Process {
 public:
  // Starts `program` with `arguments` in `directory` (the program's own folder when empty).
  // Nothing when the system cannot start it.
  static std::optional<Process> Launch(const std::wstring& program,
                                       const std::wstring& arguments = L"",
                                       const std::wstring& directory = L"");

  Process(Process&&) noexcept = default;
  Process& operator=(Process&&) noexcept = default;
  ~Process();

  [[nodiscard]] DWORD Id() const noexcept { return id_; }
  [[nodiscard]] HANDLE Handle() const noexcept { return process_.Get(); }
  [[nodiscard]] bool IsRunning() const;
  // The exit code once the process has ended within `timeout`.
  [[nodiscard]] std::optional<DWORD> WaitForExit(Milliseconds timeout = kDefaultTimeout) const;
  // Ends the process and waits (bounded) until it has gone.
  void Terminate();

 private:
  Process(win32::KernelHandle process, DWORD id) noexcept;

  win32::KernelHandle process_;
  DWORD id_ = 0;
};

// --- Windows and controls ---------------------------------------------------------------------

[[nodiscard]] std::wstring ClassName(HWND window);
// The window's text through WM_GETTEXT (works across processes); empty for a hung window.
[[nodiscard]] std::wstring Text(HWND window);
// Visible means the window and all its parents are shown.
[[nodiscard]] bool IsVisible(HWND window);
[[nodiscard]] bool IsEnabled(HWND window);
[[nodiscard]] DWORD ProcessOf(HWND window);

// Top-level windows of a process with the class (every class when empty), in z-order.
[[nodiscard]] std::vector<HWND> TopLevelWindows(DWORD processId, std::wstring_view className = {});
// Waits for a visible top-level window of the class; nullptr when none came in time.
[[nodiscard]] HWND WaitForTopLevelWindow(DWORD processId, std::wstring_view className,
                                         Milliseconds timeout = kDefaultTimeout);

// The descendant (at any depth, through every panel) with the child-window identifier.
[[nodiscard]] HWND FindControl(HWND root, int id);
// FindControl, or throws std::runtime_error naming the id: a missing control is a test fault.
[[nodiscard]] HWND Control(HWND root, int id);

// A left click in the middle of the control: button down and up posted with client
// coordinates. The pointer is moved there first so code that asks where the mouse is agrees.
// False (and nothing sent) when the control or a parent is disabled: a real click would not
// reach it either.
bool Click(HWND control);
// The same at a client point of the control.
bool ClickAt(HWND control, POINT client);
// A double click at a client point: down, up, double-click, up.
bool DoubleClickAt(HWND control, POINT client);
// A key press and release (the target's message loop translates it into characters).
bool PressKey(HWND control, UINT virtualKey);
// Sends the text as WM_SETTEXT (edits): what the user typed, without keystrokes.
void SetText(HWND control, std::wstring_view text);

// Check boxes.
[[nodiscard]] bool IsChecked(HWND checkBox);
// Clicks the box (BM_CLICK, so its owner is told) when its state differs from `checked` and
// waits until it shows that state; false when it never did.
bool SetChecked(HWND checkBox, bool checked, Milliseconds timeout = kDefaultTimeout);

// Drop-down lists: the entries' texts and the selected index (-1 when none).
[[nodiscard]] std::vector<std::wstring> ComboItems(HWND combo);
[[nodiscard]] int ComboSelection(HWND combo);

// --- List views in another process ------------------------------------------------------------

// Memory in another process for the structures that list-view messages point to.
class RemoteMemory {
 public:
  RemoteMemory(HANDLE process, size_t size);
  RemoteMemory(RemoteMemory&& other) noexcept;
  RemoteMemory& operator=(RemoteMemory&&) = delete;
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;
  ~RemoteMemory();

  [[nodiscard]] void* Address() const noexcept { return address_; }
  void Write(const void* data, size_t size, size_t offset = 0) const;
  void Read(void* data, size_t size, size_t offset = 0) const;

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
};

class ListView {
 public:
  // Opens the owning process for reading and writing its memory; throws when it cannot.
  explicit ListView(HWND list);

  [[nodiscard]] HWND Window() const noexcept { return list_; }
  [[nodiscard]] int Count() const;
  [[nodiscard]] int ColumnCount() const;
  // Column 0 is the item's caption, column c > 0 its sub-item c.
  [[nodiscard]] std::wstring CellText(int item, int column) const;
  [[nodiscard]] std::vector<std::wstring> Row(int item) const;
  [[nodiscard]] std::vector<std::vector<std::wstring>> Rows() const;
  // The 1-based state image index (0 when the row shows none).
  [[nodiscard]] int StateImage(int item) const;
  [[nodiscard]] std::vector<int> StateImages() const;
  [[nodiscard]] LPARAM Param(int item) const;
  // Sorvane's result rows keep their tick in bit 0 of the item data (above it the record the
  // row stands for): 1 ticked, 0 clear.
  [[nodiscard]] LPARAM Tick(int item) const { return Param(item) & 1; }
  [[nodiscard]] bool IsSelected(int item) const;
  [[nodiscard]] bool IsFocused(int item) const;
  // LVIR_BOUNDS and friends, client coordinates.
  [[nodiscard]] RECT ItemRect(int item, int part = LVIR_BOUNDS) const;
  // The sub-item's rectangle, client coordinates.
  [[nodiscard]] RECT CellRect(int item, int column) const;
  // The hit-test flags (LVHT_...) and the item at a client point.
  [[nodiscard]] std::pair<UINT, int> HitTest(POINT client) const;
  // A client point of the row's state image (found by hit test); nothing when it has none.
  [[nodiscard]] std::optional<POINT> StateIconPoint(int item) const;
  // Clicks the row's state image, as a user ticks a row; false when the row shows none.
  bool ClickStateIcon(int item) const;
  // Clicks the row on its text (column 1 when there is one), which focuses and selects it.
  bool ClickRow(int item) const;
  // Clicks the row, waits until it is focused and double-clicks it there.
  bool DoubleClickRow(int item, Milliseconds timeout = kDefaultTimeout) const;
  // The first row whose cell in `column` equals `text`; -1 when none does.
  [[nodiscard]] int Find(int column, std::wstring_view text) const;

 private:
  LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) const;
  // A client point on the row's text that hit-tests to the row.
  [[nodiscard]] std::optional<POINT> RowPoint(int item) const;

  HWND list_;
  win32::KernelHandle process_;
};

// --- Message boxes ----------------------------------------------------------------------------

struct MessageBoxInfo {
  HWND window = nullptr;
  HWND owner = nullptr;
  std::wstring caption;
  std::wstring text;
};

// The visible message boxes (dialog class #32770) of a process.
[[nodiscard]] std::vector<HWND> MessageBoxes(DWORD processId);
[[nodiscard]] MessageBoxInfo ReadMessageBox(HWND box);
// Waits for a visible message box of the process; nothing when none came in time.
[[nodiscard]] std::optional<MessageBoxInfo> WaitForMessageBox(
    DWORD processId, Milliseconds timeout = kDefaultTimeout);
// Presses the button with the id (IDOK, IDYES, IDNO, ...) and waits until the box has gone.
bool PressMessageBoxButton(HWND box, int buttonId, Milliseconds timeout = kDefaultTimeout);

// --- Screenshots ------------------------------------------------------------------------------

// Captures the window's rectangle on the screen into a 24-bit BMP file; false on failure.
bool SaveScreenshot(HWND window, const std::wstring& bmpPath);

}  // namespace sv::gui
