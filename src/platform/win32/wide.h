// UTF-8 inside the program, UTF-16 at the Windows boundary.
#pragma once

#include <string>
#include <string_view>

namespace sv::win32 {

[[nodiscard]] std::wstring Widen(std::string_view utf8);
[[nodiscard]] std::string Narrow(std::wstring_view utf16);

// Windows reads a name only up to its first NUL, so a text that holds one would address a
// shorter name: a parent folder or key of the one meant. Such names are refused.
[[nodiscard]] constexpr bool HoldsNul(std::string_view text) noexcept {
  return text.find('\0') != std::string_view::npos;
}

}  // namespace sv::win32
