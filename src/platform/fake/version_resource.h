// Version resource blocks (the VS_VERSIONINFO tree of an executable) for the fake machine:
// a builder for tests and seeds, and the queries the real system answers with VerQueryValue.
// The reader treats the block as untrusted bytes: every length is checked before it is used.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sv::fake {

struct VersionStringTable {
  std::string key;  // language and code page as 8 hexadecimal digits, e.g. "040904B0"
  std::vector<std::pair<std::string, std::string>> strings;  // name, value
};

struct VersionResourceContent {
  std::uint16_t fileVersion[4] = {0, 0, 0, 0};
  std::vector<VersionStringTable> stringTables;
  // Without a value the block has no "VarFileInfo" at all.
  std::optional<std::vector<std::uint32_t>> translations;
};

[[nodiscard]] std::vector<std::uint8_t> BuildVersionResource(const VersionResourceContent& content);

// "\VarFileInfo\Translation" as language/code page pairs; empty when absent.
[[nodiscard]] std::vector<std::uint32_t> ReadVersionTranslations(
    const std::vector<std::uint8_t>& block);
// A text value such as "\StringFileInfo\040904B0\FileVersion"; names compare without
// regard to letter case.
[[nodiscard]] std::optional<std::string> ReadVersionString(const std::vector<std::uint8_t>& block,
                                                           std::string_view subBlock);

}  // namespace sv::fake
