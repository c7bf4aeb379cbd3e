#include "common/text.h"

#include <algorithm>

namespace sv {

std::string_view TrimLeftView(std::string_view text) noexcept {
  std::size_t begin = 0;
  while (begin < text.size() && IsBlankOrControl(text[begin]))
    ++begin;
  return text.substr(begin);
}

std::string_view TrimRightView(std::string_view text) noexcept {
  std::size_t end = text.size();
  while (end > 0 && IsBlankOrControl(text[end - 1]))
    --end;
  return text.substr(0, end);
}

std::string_view TrimView(std::string_view text) noexcept {
  return TrimRightView(TrimLeftView(text));
}

std::string Trim(std::string_view text) {
  return std::string(TrimView(text));
}

std::string UpperAscii(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(), ToUpperAscii);
  return result;
}

std::string LowerAscii(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(), ToLowerAscii);
  return result;
}

namespace {

template <char (*Fold)(char) noexcept>
int CompareFolded(std::string_view a, std::string_view b) noexcept {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const int ca = static_cast<unsigned char>(Fold(a[i]));
    const int cb = static_cast<unsigned char>(Fold(b[i]));
    if (ca != cb) return ca - cb;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace

int CompareTextAscii(std::string_view a, std::string_view b) noexcept {
  return CompareFolded<ToUpperAscii>(a, b);
}

bool SameTextAscii(std::string_view a, std::string_view b) noexcept {
  return a.size() == b.size() && CompareTextAscii(a, b) == 0;
}

bool StartsWithTextAscii(std::string_view text, std::string_view prefix) noexcept {
  return text.size() >= prefix.size() && SameTextAscii(text.substr(0, prefix.size()), prefix);
}

std::size_t FindTextAscii(std::string_view haystack, std::string_view needle,
                          std::size_t from) noexcept {
  if (from > haystack.size()) return std::string_view::npos;
  if (needle.empty()) return from;
  for (std::size_t i = from; i + needle.size() <= haystack.size(); ++i) {
    if (SameTextAscii(haystack.substr(i, needle.size()), needle)) return i;
  }
  return std::string_view::npos;
}

bool LessFoldLower::operator()(std::string_view a, std::string_view b) const noexcept {
  return CompareFolded<ToLowerAscii>(a, b) < 0;
}

bool LessFoldUpper::operator()(std::string_view a, std::string_view b) const noexcept {
  return CompareFolded<ToUpperAscii>(a, b) < 0;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string result;
  result.reserve(text.size());
  std::size_t pos = 0;
  while (true) {
    const std::size_t hit = text.find(from, pos);
    if (hit == std::string_view::npos) break;
    result.append(text, pos, hit - pos);
    result.append(to);
    pos = hit + from.size();
  }
  result.append(text, pos);
  return result;
}

std::vector<std::string> SplitSkippingEmpty(std::string_view text, char separator) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(separator, start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) pieces.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

std::vector<std::string> SplitCommaList(std::string_view list) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (std::size_t comma = list.find(','); comma != std::string_view::npos;
       comma = list.find(',', start)) {
    pieces.emplace_back(list.substr(start, comma - start));
    start = comma + 1;
  }
  if (start < list.size()) pieces.emplace_back(list.substr(start));
  return pieces;
}

}  // namespace sv
