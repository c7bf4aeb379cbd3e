// How the fake file system reads a path: the rules Windows (and Wine) apply before a name
// reaches the disk.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errors.h"

namespace sv::fake {

struct ParsedPath {
  char drive = 'C';                   // upper case
  std::vector<std::string> segments;  // below the drive root; empty for the root itself
  bool trailingSeparator = false;     // the text ended in a backslash after a name
  bool hasWildcards = false;          // * or ? in the last segment
};

// Accepts "X:\...", "X:/...", "X:" and the "\\?\X:\..." form. Removes "." segments and
// resolves ".." (never above the root); drops trailing dots from every segment and trailing
// blanks from the last one. Relative paths fail with kErrorPathNotFound, network paths with
// kErrorBadNetPath, wildcards anywhere but the last segment with kErrorInvalidName.
[[nodiscard]] std::optional<ParsedPath> ParsePath(std::string_view path, platform::WinError* error);

// Matches a file name against a pattern with * and ?, ignoring ASCII case. As on Windows,
// a pattern ending in ".*" also matches the name without any extension ("*.*" matches all).
[[nodiscard]] bool MatchesWildcard(std::string_view pattern, std::string_view name);

}  // namespace sv::fake
