// Text helpers shared by every layer. Texts are UTF-8 in std::string; "case-insensitive"
// always means folding the ASCII letters A-Z only, as the database and registry rules require.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace sv {

// Blanks and control characters: every byte from 0 to 32. Bytes of multi-byte UTF-8
// sequences are never trimmed.
[[nodiscard]] constexpr bool IsBlankOrControl(char c) noexcept {
  return static_cast<unsigned char>(c) <= 0x20;
}

[[nodiscard]] std::string_view TrimView(std::string_view text) noexcept;
[[nodiscard]] std::string_view TrimLeftView(std::string_view text) noexcept;
[[nodiscard]] std::string_view TrimRightView(std::string_view text) noexcept;
[[nodiscard]] std::string Trim(std::string_view text);

[[nodiscard]] constexpr char ToUpperAscii(char c) noexcept {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
[[nodiscard]] constexpr char ToLowerAscii(char c) noexcept {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
[[nodiscard]] std::string UpperAscii(std::string_view text);
[[nodiscard]] std::string LowerAscii(std::string_view text);

// Negative, zero or positive like the usual text comparison: the first differing byte after
// folding a-z to A-Z decides (bytes compared unsigned), then the shorter text is smaller.
[[nodiscard]] int CompareTextAscii(std::string_view a, std::string_view b) noexcept;
[[nodiscard]] bool SameTextAscii(std::string_view a, std::string_view b) noexcept;
[[nodiscard]] bool StartsWithTextAscii(std::string_view text, std::string_view prefix) noexcept;
// Position of the first occurrence of needle ignoring ASCII case, or npos.
[[nodiscard]] std::size_t FindTextAscii(std::string_view haystack, std::string_view needle,
                                        std::size_t from = 0) noexcept;

// Orderings for containers keyed by names that compare without regard to ASCII case.
// The registry enumerates names folded to lower case, directory listings folded to upper
// case; the two differ for the characters between 'Z' and 'a' ('[', '_', ...).
struct LessFoldLower {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept;
};
struct LessFoldUpper {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const noexcept;
};

// Every occurrence of `from`, left to right without overlapping, case-sensitive.
[[nodiscard]] std::string ReplaceAll(std::string_view text, std::string_view from,
                                     std::string_view to);

// The non-empty pieces between separators: "\a\\b\" split at a backslash gives "a", "b".
[[nodiscard]] std::vector<std::string> SplitSkippingEmpty(std::string_view text, char separator);

// Splits a comma-separated list: every piece before a comma is an entry (even an empty one),
// the rest after the last comma only when it is not empty. Pieces are not trimmed:
// "a,b," gives "a", "b"; "a,,b" gives "a", "", "b"; "" gives nothing.
[[nodiscard]] std::vector<std::string> SplitCommaList(std::string_view list);

}  // namespace sv
