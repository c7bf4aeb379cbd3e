// Helpers for Windows path texts that need no system call.
#pragma once

#include <string>
#include <string_view>

#include "common/text.h"

namespace sv {

// "C:\..." or "\\server\...": a path that does not depend on the current drive or folder.
// Anything else would be resolved against whatever drive or folder is current.
[[nodiscard]] constexpr bool IsFullyQualifiedPath(std::string_view path) noexcept {
  if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') {
    const char drive = ToUpperAscii(path[0]);
    return drive >= 'A' && drive <= 'Z';
  }
  return path.size() >= 3 && path[0] == '\\' && path[1] == '\\';
}

// "C:\Program Files\" -> "C:\Program Files", for comparing folders however they were written.
// A drive root loses its backslash too ("C:"); callers that need the root keep it themselves.
[[nodiscard]] constexpr std::string_view WithoutTrailingBackslashes(
    std::string_view path) noexcept {
  while (!path.empty() && path.back() == '\\')
    path.remove_suffix(1);
  return path;
}

// "C:\Program Files" -> "C:\Program Files\", ready for a name or a search pattern; a path that
// already ends in a backslash stays as it is.
[[nodiscard]] inline std::string WithTrailingBackslash(std::string_view path) {
  std::string result(path);
  if (result.empty() || result.back() != '\\') result += '\\';
  return result;
}

}  // namespace sv
