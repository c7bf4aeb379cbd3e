#include "gui_driver.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <utility>

namespace sv::gui {
namespace {

// A cross-process message that takes longer than this means the other side hangs.
constexpr UINT kSendTimeoutMs = 5000;
// Room for any cell text the program shows.
constexpr int kTextCapacity = 2048;

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + " (error " + std::to_string(::GetLastError()) + ")");
}

std::optional<LRESULT> SendTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_NORMAL,
                             kSendTimeoutMs, &result))
    return std::nullopt;
  return static_cast<LRESULT>(result);
}

LPARAM PointParam(POINT point) {
  return MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(point.x)),
                    static_cast<WORD>(static_cast<SHORT>(point.y)));
}

void PostMouse(HWND control, UINT message, WPARAM keys, POINT client) {
  ::PostMessageW(control, message, keys, PointParam(client));
}

// A real click never reaches a disabled window, nor one inside a disabled parent.
bool TakesInput(HWND control) {
  for (HWND window = control; window != nullptr; window = ::GetParent(window)) {
    if (!::IsWindowEnabled(window)) return false;
    if ((::GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) == 0) break;
  }
  return true;
}

void MovePointerTo(HWND control, POINT client) {
  POINT screen = client;
  ::ClientToScreen(control, &screen);
  ::SetCursorPos(screen.x, screen.y);
}

POINT Centre(const RECT& rect) {
  return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

struct MemoryDcTraits {
  using Handle = HDC;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
  static void Close(Handle handle) noexcept { ::DeleteDC(handle); }
};

struct GdiObjectTraits {
  using Handle = HGDIOBJ;
  static Handle Null() noexcept { return nullptr; }
  static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
  static void Close(Handle handle) noexcept { ::DeleteObject(handle); }
};

// The screen's device context, given back to the system on every path.
class ScreenDc {
 public:
  ScreenDc() : dc_(::GetDC(nullptr)) {}
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  ~ScreenDc() {
    if (dc_ != nullptr) ::ReleaseDC(nullptr, dc_);
  }
  [[nodiscard]] HDC Get() const noexcept { return dc_; }

 private:
  HDC dc_;
};

// Puts a GDI object into a device context for one scope and takes it out again.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  ~Selection() {
    if (previous_ != nullptr && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, Milliseconds timeout, Milliseconds poll) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(poll);
  }
}

// --- Process ----------------------------------------------------------------------------------

Process::Process(win32::KernelHandle process, DWORD id) noexcept
    : process_(std::move(process)), id_(id) {}

std::optional<Process> Process::Launch(const std::wstring& program, const std::wstring& arguments,
                                       const std::wstring& directory) {
  std::wstring folder = directory;
  if (folder.empty()) {
    const auto slash = program.find_last_of(L"\\/");
    if (slash != std::wstring::npos) folder = program.substr(0, slash);
  }
  std::wstring commandLine = L"\"" + program + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &started))
    return std::nullopt;
  win32::KernelHandle thread(started.hThread);
  return Process(win32::KernelHandle(started.hProcess), started.dwProcessId);
}

Process::~Process() {
  if (process_ && IsRunning()) Terminate();
}

bool Process::IsRunning() const {
  return process_ && ::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Process::WaitForExit(Milliseconds timeout) const {
  if (!process_) return std::nullopt;
  if (::WaitForSingleObject(process_.Get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
    return std::nullopt;
  DWORD code = 0;
  if (!::GetExitCodeProcess(process_.Get(), &code)) return std::nullopt;
  return code;
}

void Process::Terminate() {
  if (!process_) return;
  ::TerminateProcess(process_.Get(), 1);
  ::WaitForSingleObject(process_.Get(), 10000);
}

// --- Windows and controls ---------------------------------------------------------------------

std::wstring ClassName(HWND window) {
  wchar_t name[256] = {};
  const int length = ::GetClassNameW(window, name, 256);
  return std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0);
}

std::wstring Text(HWND window) {
  const auto length = SendTimeout(window, WM_GETTEXTLENGTH, 0, 0);
  if (!length || *length <= 0) return {};
  std::wstring text(static_cast<size_t>(*length) + 1, L'\0');
  const auto copied =
      SendTimeout(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  if (!copied || *copied < 0) return {};
  text.resize(std::min(static_cast<size_t>(*copied), text.size()));
  return text;
}

bool IsVisible(HWND window) {
  return ::IsWindowVisible(window) != FALSE;
}

bool IsEnabled(HWND window) {
  return ::IsWindowEnabled(window) != FALSE;
}

DWORD ProcessOf(HWND window) {
  DWORD id = 0;
  ::GetWindowThreadProcessId(window, &id);
  return id;
}

namespace {

struct TopLevelSearch {
  DWORD processId;
  std::wstring_view className;
  std::vector<HWND> found;
};

// A named function, not a lambda: the 32-bit system calls it with its own calling convention.
BOOL CALLBACK CollectTopLevel(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<TopLevelSearch*>(context);
  if (ProcessOf(window) == search.processId &&
      (search.className.empty() || ClassName(window) == search.className))
    search.found.push_back(window);
  return TRUE;
}

struct ControlSearch {
  int id;
  HWND found;
};

BOOL CALLBACK FindById(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<ControlSearch*>(context);
  if (::GetDlgCtrlID(window) != search.id) return TRUE;
  search.found = window;
  return FALSE;
}

}  // namespace

std::vector<HWND> TopLevelWindows(DWORD processId, std::wstring_view className) {
  TopLevelSearch search{processId, className, {}};
  ::EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForTopLevelWindow(DWORD processId, std::wstring_view className, Milliseconds timeout) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND window : TopLevelWindows(processId, className)) {
          if (IsVisible(window)) {
            found = window;
            return true;
          }
        }
        return false;
      },
      timeout);
  return found;
}

HWND FindControl(HWND root, int id) {
  ControlSearch search{id, nullptr};
  // EnumChildWindows visits every descendant, so controls inside panels are found too.
  ::EnumChildWindows(root, FindById, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND Control(HWND root, int id) {
  HWND control = FindControl(root, id);
  if (control == nullptr) throw std::runtime_error("no control with the id " + std::to_string(id));
  return control;
}

bool Click(HWND control) {
  RECT client{};
  ::GetClientRect(control, &client);
  return ClickAt(control, Centre(client));
}

bool ClickAt(HWND control, POINT client) {
  if (!TakesInput(control)) return false;
  MovePointerTo(control, client);
  PostMouse(control, WM_MOUSEMOVE, 0, client);
  PostMouse(control, WM_LBUTTONDOWN, MK_LBUTTON, client);
  PostMouse(control, WM_LBUTTONUP, 0, client);
  return true;
}

bool DoubleClickAt(HWND control, POINT client) {
  if (!ClickAt(control, client)) return false;
  PostMouse(control, WM_LBUTTONDBLCLK, MK_LBUTTON, client);
  PostMouse(control, WM_LBUTTONUP, 0, client);
  return true;
}

bool PressKey(HWND control, UINT virtualKey) {
  if (!TakesInput(control)) return false;
  const UINT scan = ::MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
  const LPARAM down = 1 | static_cast<LPARAM>(scan << 16);
  const LPARAM up = down | (LPARAM{1} << 30) | (LPARAM{1} << 31);
  ::PostMessageW(control, WM_KEYDOWN, virtualKey, down);
  ::PostMessageW(control, WM_KEYUP, virtualKey, up);
  return true;
}

void SetText(HWND control, std::wstring_view text) {
  const std::wstring copy(text);
  SendTimeout(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(copy.c_str()));
}

bool IsChecked(HWND checkBox) {
  return SendTimeout(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool SetChecked(HWND checkBox, bool checked, Milliseconds timeout) {
  if (IsChecked(checkBox) == checked) return true;
  if (!TakesInput(checkBox)) return false;
  // Posted, so a handler that opens a message box cannot hold this call.
  ::PostMessageW(checkBox, BM_CLICK, 0, 0);
  return WaitUntil([&] { return IsChecked(checkBox) == checked; }, timeout);
}

std::vector<std::wstring> ComboItems(HWND combo) {
  std::vector<std::wstring> items;
  const int count = static_cast<int>(SendTimeout(combo, CB_GETCOUNT, 0, 0).value_or(0));
  for (int index = 0; index < count; ++index) {
    const auto length = SendTimeout(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (!length || *length < 0) {
      items.emplace_back();
      continue;
    }
    // The system carries this message's text across processes, as it does WM_GETTEXT's.
    std::wstring text(static_cast<size_t>(*length) + 1, L'\0');
    const auto copied = SendTimeout(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                    reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied && *copied > 0 ? std::min(static_cast<size_t>(*copied), text.size()) : 0);
    items.push_back(std::move(text));
  }
  return items;
}

int ComboSelection(HWND combo) {
  return static_cast<int>(SendTimeout(combo, CB_GETCURSEL, 0, 0).value_or(CB_ERR));
}

// --- Remote memory and list views -------------------------------------------------------------

RemoteMemory::RemoteMemory(HANDLE process, size_t size)
    : process_(process),
      address_(::VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {
  if (address_ == nullptr) Fail("VirtualAllocEx failed");
}

RemoteMemory::RemoteMemory(RemoteMemory&& other) noexcept
    : process_(other.process_), address_(std::exchange(other.address_, nullptr)) {}

RemoteMemory::~RemoteMemory() {
  if (address_ != nullptr) ::VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
}

void RemoteMemory::Write(const void* data, size_t size, size_t offset) const {
  SIZE_T written = 0;
  if (!::WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, size,
                            &written) ||
      written != size)
    Fail("WriteProcessMemory failed");
}

void RemoteMemory::Read(void* data, size_t size, size_t offset) const {
  SIZE_T read = 0;
  if (!::ReadProcessMemory(process_, static_cast<const char*>(address_) + offset, data, size,
                           &read) ||
      read != size)
    Fail("ReadProcessMemory failed");
}

ListView::ListView(HWND list) : list_(list) {
  if (list_ == nullptr) throw std::runtime_error("no list view");
  process_.Reset(::OpenProcess(
      PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION, FALSE,
      ProcessOf(list_)));
  if (!process_) Fail("OpenProcess failed for the list view's process");
}

LRESULT ListView::Send(UINT message, WPARAM wParam, LPARAM lParam) const {
  const auto result = SendTimeout(list_, message, wParam, lParam);
  if (!result) Fail("the list view did not answer message " + std::to_string(message));
  return *result;
}

int ListView::Count() const {
  return static_cast<int>(Send(LVM_GETITEMCOUNT, 0, 0));
}

int ListView::ColumnCount() const {
  const auto header = reinterpret_cast<HWND>(Send(LVM_GETHEADER, 0, 0));
  if (header == nullptr) return 0;
  return static_cast<int>(SendTimeout(header, HDM_GETITEMCOUNT, 0, 0).value_or(0));
}

namespace {

// One LVITEMW followed by its text buffer in the list's process.
constexpr size_t kTextOffset = (sizeof(LVITEMW) + 15) & ~size_t{15};
constexpr size_t kItemBlockSize = kTextOffset + kTextCapacity * sizeof(wchar_t);

std::wstring ReadCell(const RemoteMemory& block, HWND list, int item, int column) {
  LVITEMW request{};
  request.iSubItem = column;
  request.cchTextMax = kTextCapacity;
  request.pszText = reinterpret_cast<LPWSTR>(static_cast<char*>(block.Address()) + kTextOffset);
  block.Write(&request, sizeof(request));
  const wchar_t nothing = L'\0';
  block.Write(&nothing, sizeof(nothing), kTextOffset);
  const auto length = SendTimeout(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item),
                                  reinterpret_cast<LPARAM>(block.Address()));
  if (!length) Fail("the list view did not give a cell text");
  const auto count = std::clamp<LRESULT>(*length, 0, kTextCapacity - 1);
  std::wstring text(static_cast<size_t>(count), L'\0');
  if (count > 0) block.Read(text.data(), static_cast<size_t>(count) * sizeof(wchar_t), kTextOffset);
  return text;
}

}  // namespace

std::wstring ListView::CellText(int item, int column) const {
  RemoteMemory block(process_.Get(), kItemBlockSize);
  return ReadCell(block, list_, item, column);
}

std::vector<std::wstring> ListView::Row(int item) const {
  RemoteMemory block(process_.Get(), kItemBlockSize);
  std::vector<std::wstring> row;
  const int columns = std::max(ColumnCount(), 1);
  for (int column = 0; column < columns; ++column)
    row.push_back(ReadCell(block, list_, item, column));
  return row;
}

std::vector<std::vector<std::wstring>> ListView::Rows() const {
  std::vector<std::vector<std::wstring>> rows;
  const int count = Count();
  for (int item = 0; item < count; ++item)
    rows.push_back(Row(item));
  return rows;
}

int ListView::StateImage(int item) const {
  return static_cast<int>((Send(LVM_GETITEMSTATE, static_cast<WPARAM>(item), LVIS_STATEIMAGEMASK) &
                           LVIS_STATEIMAGEMASK) >>
                          12);
}

std::vector<int> ListView::StateImages() const {
  std::vector<int> images;
  const int count = Count();
  for (int item = 0; item < count; ++item)
    images.push_back(StateImage(item));
  return images;
}

LPARAM ListView::Param(int item) const {
  RemoteMemory block(process_.Get(), sizeof(LVITEMW));
  LVITEMW request{};
  request.mask = LVIF_PARAM;
  request.iItem = item;
  block.Write(&request, sizeof(request));
  if (!Send(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(block.Address())))
    throw std::runtime_error("no row " + std::to_string(item));
  block.Read(&request, sizeof(request));
  return request.lParam;
}

bool ListView::IsSelected(int item) const {
  return (Send(LVM_GETITEMSTATE, static_cast<WPARAM>(item), LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

bool ListView::IsFocused(int item) const {
  return (Send(LVM_GETITEMSTATE, static_cast<WPARAM>(item), LVIS_FOCUSED) & LVIS_FOCUSED) != 0;
}

RECT ListView::ItemRect(int item, int part) const {
  RemoteMemory block(process_.Get(), sizeof(RECT));
  RECT rect{};
  rect.left = part;
  block.Write(&rect, sizeof(rect));
  if (!Send(LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(block.Address())))
    throw std::runtime_error("no rectangle for row " + std::to_string(item));
  block.Read(&rect, sizeof(rect));
  return rect;
}

RECT ListView::CellRect(int item, int column) const {
  RemoteMemory block(process_.Get(), sizeof(RECT));
  RECT rect{};
  rect.top = column;
  rect.left = column == 0 ? LVIR_LABEL : LVIR_BOUNDS;
  block.Write(&rect, sizeof(rect));
  if (!Send(LVM_GETSUBITEMRECT, static_cast<WPARAM>(item),
            reinterpret_cast<LPARAM>(block.Address())))
    throw std::runtime_error("no rectangle for row " + std::to_string(item) + " column " +
                             std::to_string(column));
  block.Read(&rect, sizeof(rect));
  return rect;
}

std::pair<UINT, int> ListView::HitTest(POINT client) const {
  RemoteMemory block(process_.Get(), sizeof(LVHITTESTINFO));
  LVHITTESTINFO info{};
  info.pt = client;
  block.Write(&info, sizeof(info));
  Send(LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(block.Address()));
  block.Read(&info, sizeof(info));
  return {info.flags, info.iItem};
}

std::optional<POINT> ListView::StateIconPoint(int item) const {
  Send(LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), FALSE);
  const RECT row = ItemRect(item, LVIR_BOUNDS);
  const LONG y = (row.top + row.bottom) / 2;
  // The state image sits at the left of the first column; take the middle of the run of
  // points that hit it.
  std::optional<LONG> first;
  LONG last = 0;
  for (LONG x = row.left; x < row.left + 48 && x < row.right; ++x) {
    const auto [flags, hit] = HitTest({x, y});
    const bool onIcon = hit == item && (flags & LVHT_ONITEM) == LVHT_ONITEMSTATEICON;
    if (onIcon) {
      if (!first) first = x;
      last = x;
    } else if (first) {
      break;
    }
  }
  if (!first) return std::nullopt;
  return POINT{(*first + last) / 2, y};
}

bool ListView::ClickStateIcon(int item) const {
  const auto point = StateIconPoint(item);
  return point && ClickAt(list_, *point);
}

std::optional<POINT> ListView::RowPoint(int item) const {
  Send(LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), FALSE);
  const RECT cell = ColumnCount() > 1 ? CellRect(item, 1) : ItemRect(item, LVIR_LABEL);
  RECT client{};
  ::GetClientRect(list_, &client);
  POINT point = Centre(cell);
  // A wide column may reach past the visible part; stay inside it.
  point.x = std::clamp(point.x, cell.left + 2, std::min(cell.right, client.right) - 2);
  const auto [flags, hit] = HitTest(point);
  if (hit != item || (flags & LVHT_ONITEM) == 0) return std::nullopt;
  return point;
}

bool ListView::ClickRow(int item) const {
  const auto point = RowPoint(item);
  return point && ClickAt(list_, *point);
}

bool ListView::DoubleClickRow(int item, Milliseconds timeout) const {
  const auto point = RowPoint(item);
  if (!point || !ClickAt(list_, *point)) return false;
  if (!WaitUntil([&] { return IsFocused(item); }, timeout)) return false;
  PostMouse(list_, WM_LBUTTONDBLCLK, MK_LBUTTON, *point);
  PostMouse(list_, WM_LBUTTONUP, 0, *point);
  return true;
}

int ListView::Find(int column, std::wstring_view text) const {
  const int count = Count();
  for (int item = 0; item < count; ++item)
    if (CellText(item, column) == text) return item;
  return -1;
}

// --- Message boxes ----------------------------------------------------------------------------

std::vector<HWND> MessageBoxes(DWORD processId) {
  std::vector<HWND> boxes;
  for (HWND window : TopLevelWindows(processId, L"#32770"))
    if (IsVisible(window)) boxes.push_back(window);
  return boxes;
}

MessageBoxInfo ReadMessageBox(HWND box) {
  MessageBoxInfo info;
  info.window = box;
  info.owner = ::GetWindow(box, GW_OWNER);
  info.caption = Text(box);
  // The message text is the static control with the id 0xFFFF.
  if (HWND text = ::GetDlgItem(box, 0xFFFF); text != nullptr) info.text = Text(text);
  return info;
}

std::optional<MessageBoxInfo> WaitForMessageBox(DWORD processId, Milliseconds timeout) {
  HWND found = nullptr;
  if (!WaitUntil(
          [&] {
            const auto boxes = MessageBoxes(processId);
            found = boxes.empty() ? nullptr : boxes.front();
            return found != nullptr;
          },
          timeout))
    return std::nullopt;
  return ReadMessageBox(found);
}

bool PressMessageBoxButton(HWND box, int buttonId, Milliseconds timeout) {
  HWND button = ::GetDlgItem(box, buttonId);
  if (button == nullptr) return false;
  // What the button tells its dialog when it is clicked.
  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
  return WaitUntil([&] { return !::IsWindow(box) || !IsVisible(box); }, timeout);
}

// --- Screenshots ------------------------------------------------------------------------------

bool SaveScreenshot(HWND window, const std::wstring& bmpPath) {
  // Let the window finish painting what the test has just changed.
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  SendTimeout(window, WM_NULL, 0, 0);
  std::this_thread::sleep_for(Milliseconds{150});

  RECT rect{};
  if (!::GetWindowRect(window, &rect)) return false;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;

  ScreenDc screen;
  if (screen.Get() == nullptr) return false;
  ScopedHandle<MemoryDcTraits> memory(::CreateCompatibleDC(screen.Get()));
  ScopedHandle<GdiObjectTraits> bitmap(::CreateCompatibleBitmap(screen.Get(), width, height));
  if (!memory || !bitmap) return false;
  {
    Selection selected(memory.Get(), bitmap.Get());
    if (!::BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), rect.left, rect.top,
                  SRCCOPY | CAPTUREBLT))
      return false;
  }

  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = width;
  header.biHeight = height;  // bottom-up, as BMP files store it
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
  std::vector<unsigned char> pixels(stride * static_cast<size_t>(height));
  if (::GetDIBits(memory.Get(), static_cast<HBITMAP>(bitmap.Get()), 0, static_cast<UINT>(height),
                  pixels.data(), reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS) != height)
    return false;
  header.biSizeImage = static_cast<DWORD>(pixels.size());

  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());

  win32::FileHandle out(::CreateFileW(bmpPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out) return false;
  const auto write = [&](const void* data, size_t size) {
    DWORD written = 0;
    return ::WriteFile(out.Get(), data, static_cast<DWORD>(size), &written, nullptr) &&
           written == size;
  };
  return write(&file, sizeof(file)) && write(&header, sizeof(header)) &&
         write(pixels.data(), pixels.size());
}

}  // namespace sv::gui
