#include "platform/win32/win32_system.h"

#include <windows.h>
// After <windows.h>, which it builds on.
#include <shlobj.h>

#include <climits>

#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace sv::win32 {
namespace {

std::string WithoutTrailingBackslash(std::string path) {
  // A drive root keeps its backslash: "C:" alone would mean the current folder on C.
  if (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

}  // namespace

std::string Win32System::WindowsDirectory() {
  return WithoutTrailingBackslash(Narrow(GrowingBuffer([](wchar_t* buffer, std::size_t size) {
    return ::GetWindowsDirectoryW(buffer, static_cast<UINT>(size));
  })));
}

std::string Win32System::SystemDirectory() {
  return WithoutTrailingBackslash(Narrow(GrowingBuffer([](wchar_t* buffer, std::size_t size) {
    return ::GetSystemDirectoryW(buffer, static_cast<UINT>(size));
  })));
}

std::string Win32System::SpecialFolder(int csidl) {
  CoTaskMem idList;
  if (FAILED(::SHGetSpecialFolderLocation(nullptr, csidl,
                                          reinterpret_cast<PIDLIST_ABSOLUTE*>(idList.Receive())))) {
    return {};
  }
  wchar_t path[MAX_PATH] = {};
  if (!::SHGetPathFromIDListW(static_cast<PCIDLIST_ABSOLUTE>(idList.Get()), path)) return {};
  // Wine answers virtual folders (the printers, the network) with a "::{class id}" text
  // where Windows fails; neither is a place on disk.
  if (path[0] == L':') return {};
  return WithoutTrailingBackslash(Narrow(path));
}

std::string Win32System::UserName() {
  std::wstring name(257, L'\0');
  DWORD size = static_cast<DWORD>(name.size());
  if (!::GetUserNameW(name.data(), &size)) {
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
    name.resize(size);
    if (!::GetUserNameW(name.data(), &size)) return {};
  }
  // The size counts the terminator.
  name.resize(size > 0 ? size - 1 : 0);
  return Narrow(name);
}

std::string Win32System::ComputerName() {
  std::wstring name(MAX_COMPUTERNAME_LENGTH + 1, L'\0');
  DWORD size = static_cast<DWORD>(name.size());
  if (!::GetComputerNameW(name.data(), &size)) {
    // The size then counts the terminator.
    if (::GetLastError() != ERROR_BUFFER_OVERFLOW || size <= name.size()) return {};
    name.resize(size);
    if (!::GetComputerNameW(name.data(), &size)) return {};
  }
  // On success the size leaves the terminator out.
  name.resize(size);
  return Narrow(name);
}

SystemTime Win32System::LocalTimeNow() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  return {now.wYear, now.wMonth,  now.wDayOfWeek, now.wDay,
          now.wHour, now.wMinute, now.wSecond,    now.wMilliseconds};
}

std::optional<FileTime> Win32System::FileTimeToLocal(FileTime utc) {
  FILETIME in;
  in.dwLowDateTime = static_cast<DWORD>(utc.ticks & 0xFFFFFFFFu);
  in.dwHighDateTime = static_cast<DWORD>(utc.ticks >> 32);
  FILETIME out;
  if (!::FileTimeToLocalFileTime(&in, &out)) return std::nullopt;
  return FileTime{(static_cast<std::uint64_t>(out.dwHighDateTime) << 32) | out.dwLowDateTime};
}

std::string Win32System::ExecutablePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (int round = 0; round < 8; ++round) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      return Narrow(buffer);
    }
    buffer.resize(buffer.size() * 2);
  }
  return {};
}

std::uint32_t Win32System::AnsiCodePage() {
  return ::GetACP();
}

std::string Win32System::AnsiToUtf8(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > INT_MAX) return {};
  const int length = static_cast<int>(bytes.size());
  const int count = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
  if (count <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(count), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, wide.data(), count);
  return Narrow(wide);
}

std::string Win32System::Utf8ToAnsi(std::string_view text) {
  // With UTF-8 as the system code page there is nothing to convert (and the conversion
  // below would refuse its flags).
  if (::GetACP() == CP_UTF8) return std::string(text);
  const std::wstring wide = Widen(text);
  if (wide.empty()) return {};
  const int length = static_cast<int>(wide.size());
  // No "best fit" look-alikes: a character the code page lacks becomes '?'.
  const int count = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length,
                                          nullptr, 0, "?", nullptr);
  if (count <= 0) return {};
  std::string result(static_cast<std::size_t>(count), '\0');
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), length, result.data(), count,
                        "?", nullptr);
  return result;
}

std::string Win32System::ShortMonthName(int month) {
  if (month < 1 || month > 12) return {};
  const LCTYPE type = static_cast<LCTYPE>(LOCALE_SABBREVMONTHNAME1 + (month - 1));
  const int length = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, nullptr, 0);
  if (length <= 0) return {};
  std::wstring name(static_cast<std::size_t>(length), L'\0');
  if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, name.data(), length) <= 0) return {};
  name.resize(static_cast<std::size_t>(length - 1));  // the length counts the terminator
  return Narrow(name);
}

void Win32System::Sleep(std::uint32_t milliseconds) {
  ::Sleep(milliseconds);
}

int Win32Messages::ShowMessageBox(std::string_view text, std::string_view caption, unsigned style) {
  return ::MessageBoxW(nullptr, Widen(text).c_str(), Widen(caption).c_str(), style);
}

}  // namespace sv::win32
