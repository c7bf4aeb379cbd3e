#include "platform/fake/fake_paths.h"

#include "common/text.h"

namespace sv::fake {
namespace {

bool HasWildcard(std::string_view segment) {
  return segment.find_first_of("*?") != std::string_view::npos;
}

bool MatchFrom(std::string_view pattern, std::string_view name) {
  // Iterative glob with one backtrack point for the last '*'.
  std::size_t p = 0, n = 0, star = std::string_view::npos, mark = 0;
  while (n < name.size()) {
    if (p < pattern.size() &&
        (pattern[p] == '?' || ToUpperAscii(pattern[p]) == ToUpperAscii(name[n]))) {
      ++p, ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*')
    ++p;
  return p == pattern.size();
}

}  // namespace

std::optional<ParsedPath> ParsePath(std::string_view path, platform::WinError* error) {
  auto fail = [error](platform::WinError code) -> std::optional<ParsedPath> {
    if (error != nullptr) *error = code;
    return std::nullopt;
  };
  // Windows would read such a path only up to the NUL: a parent of the one meant.
  if (path.find('\0') != std::string_view::npos) return fail(platform::kErrorInvalidName);
  std::string text(path);
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
  std::string_view rest = text;
  if (rest.starts_with("\\\\?\\")) rest.remove_prefix(4);
  if (rest.starts_with("\\\\")) return fail(platform::kErrorBadNetPath);
  if (rest.size() < 2 || rest[1] != ':' ||
      !((rest[0] >= 'A' && rest[0] <= 'Z') || (rest[0] >= 'a' && rest[0] <= 'z'))) {
    return fail(platform::kErrorPathNotFound);
  }
  ParsedPath parsed;
  parsed.drive = ToUpperAscii(rest[0]);
  rest.remove_prefix(2);
  const std::vector<std::string> raw = SplitSkippingEmpty(rest, '\\');
  parsed.trailingSeparator = !raw.empty() && rest.ends_with('\\');
  for (std::size_t i = 0; i < raw.size(); ++i) {
    std::string segment = raw[i];
    const bool last = i + 1 == raw.size();
    if (segment == ".") continue;
    if (segment == "..") {
      if (!parsed.segments.empty()) parsed.segments.pop_back();
      continue;
    }
    while (!segment.empty() && (segment.back() == '.' || (last && segment.back() == ' '))) {
      segment.pop_back();
    }
    if (segment.empty()) continue;
    if (HasWildcard(segment)) {
      if (!last) return fail(platform::kErrorInvalidName);
      parsed.hasWildcards = true;
    }
    parsed.segments.push_back(std::move(segment));
  }
  if (error != nullptr) *error = platform::kSuccess;
  return parsed;
}

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
  if (MatchFrom(pattern, name)) return true;
  return pattern.ends_with(".*") && name.find('.') == std::string_view::npos &&
         MatchFrom(pattern.substr(0, pattern.size() - 2), name);
}

}  // namespace sv::fake
