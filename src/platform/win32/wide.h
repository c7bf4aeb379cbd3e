// UTF-8 inside the program, UTF-16 at the Windows boundary.
#pragma once

#include <string>
#include <string_view>

namespace sv::win32 {

[[nodiscard]] std::wstring Widen(std::string_view utf8);
[[nodiscard]] std::string Narrow(std::wstring_view utf16);

}  // namespace sv::win32
