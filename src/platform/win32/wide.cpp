#include "platform/win32/wide.h"

#include <windows.h>

#include <climits>

namespace sv::win32 {

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty() || utf8.size() > INT_MAX) return {};
  const int length = static_cast<int>(utf8.size());
  const int count = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  std::wstring result(static_cast<std::size_t>(count > 0 ? count : 0), L'\0');
  if (count > 0) ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, result.data(), count);
  return result;
}

std::string Narrow(std::wstring_view utf16) {
  if (utf16.empty() || utf16.size() > INT_MAX) return {};
  const int length = static_cast<int>(utf16.size());
  const int count =
      ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(count > 0 ? count : 0), '\0');
  if (count > 0) {
    ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, result.data(), count, nullptr, nullptr);
  }
  return result;
}

}  // namespace sv::win32
