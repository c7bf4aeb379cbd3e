// UTF-8 inside the program, UTF-16 at the Windows boundary.
#pragma once

#include <cstddef>
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

// Calls a "fill this buffer" function that answers with the length it wrote, or with the
// size it needs (terminator included) when the buffer is too small, and 0 on failure; grows
// the buffer until the answer fits. Empty on failure.
template <class Fill>
[[nodiscard]] std::wstring GrowingBuffer(Fill fill) {
  std::wstring buffer(260, L'\0');  // MAX_PATH
  for (int round = 0; round < 8; ++round) {
    const auto length = static_cast<std::size_t>(fill(buffer.data(), buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(length + 1);
  }
  return {};
}

}  // namespace sv::win32
