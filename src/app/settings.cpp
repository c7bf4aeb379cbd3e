#include "app/settings.h"

#include <charconv>
#include <optional>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/text.h"

namespace sv::app {

namespace {

constexpr std::string_view kUnableToWrite = "Unable to write to %s";

// The lines of a profile text without their line ends.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
    text.remove_suffix(1);
  return text;
}

// The section name of a "[name]" line.
std::optional<std::string_view> SectionOf(std::string_view line) {
  line = TrimBlanks(line);
  if (line.size() < 2 || line.front() != '[') return std::nullopt;
  const auto close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return TrimBlanks(line.substr(1, close - 1));
}

// The key of a "key=value" line (nothing for comments and lines without "=").
std::optional<std::string_view> KeyOf(std::string_view line) {
  const auto trimmed = TrimBlanks(line);
  if (trimmed.empty() || trimmed.front() == ';') return std::nullopt;
  const auto equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return TrimBlanks(line.substr(0, equals));
}

// The whole text as a decimal integer (an optional sign, then digits only).
std::optional<int> ParseInteger(std::string_view text) {
  text = TrimBlanks(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int value = 0;
  const auto* end = text.data() + text.size();
  const auto [ptr, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || ptr != end) return std::nullopt;
  return value;
}

}  // namespace

std::string FormatSettingsTime(DateTime value, char timeSeparator) {
  return FormatDateTime("yyyy-mm-dd hh:nn:ss", value, timeSeparator);
}

std::string DefaultSettingsText(std::string_view lastTime) {
  std::string text;
  for (const std::string_view line :
       {std::string_view("[Settings]"), std::string_view("View Style=2"),
        std::string_view("Hidden RightTips=0"), std::string_view("Hidden Process=0"),
        std::string_view("Hidden Unsupport=0"), std::string_view("Auto Update=0"),
        std::string_view("Delete Update=1"), std::string_view("Windows Startup=0"),
        std::string_view("Startup Minimize=0"), std::string_view("[Update Information]")}) {
    text.append(line).append("\r\n");
  }
  text.append("Last Time=").append(lastTime).append("\r\n");
  return text;
}

std::string SettingsPathFor(std::string_view executablePath) {
  const auto slash = executablePath.find_last_of("\\/");
  std::string folder(slash == std::string_view::npos ? std::string_view()
                                                     : executablePath.substr(0, slash + 1));
  return folder + std::string(kSettingsFileName);
}

namespace {

std::string NowText(platform::Platform& platform) {
  const auto now = SystemTimeToDateTime(platform.system.LocalTimeNow());
  return now ? FormatSettingsTime(*now) : std::string();
}

}  // namespace

void CreateDefaultSettings(platform::Platform& platform, std::string_view path) {
  const std::string text = DefaultSettingsText(NowText(platform));
  if (platform::WriteWholeFile(platform.files, path, text) != platform::kSuccess) {
    throw Error(FillPlaceholder(kUnableToWrite, path));
  }
}

std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key) {
  bool inSection = false;
  for (const auto line : SplitLines(text)) {
    if (const auto name = SectionOf(line)) {
      // The first section of the name is the one the system reads.
      if (inSection) return std::nullopt;
      inSection = SameTextAscii(*name, section);
      continue;
    }
    if (!inSection) continue;
    if (const auto name = KeyOf(line); name && SameTextAscii(*name, key)) {
      return std::string(TrimBlanks(line.substr(line.find('=') + 1)));
    }
  }
  return std::nullopt;
}

int ProfileInteger(std::string_view text, std::string_view section, std::string_view key,
                   int fallback) {
  const auto value = FindProfileValue(text, section, key);
  if (!value) return fallback;
  return ParseInteger(*value).value_or(fallback);
}

std::string WithProfileValue(std::string_view text, std::string_view section, std::string_view key,
                             std::string_view value) {
  const auto lines = SplitLines(text);
  const std::string entry = std::string(key) + "=" + std::string(value);
  std::optional<std::size_t> sectionLine;
  std::optional<std::size_t> insertAfter;  // the section's last entry
  std::optional<std::size_t> replace;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (const auto name = SectionOf(lines[i])) {
      if (sectionLine) break;
      if (SameTextAscii(*name, section)) {
        sectionLine = i;
        insertAfter = i;
      }
      continue;
    }
    if (!sectionLine) continue;
    if (const auto name = KeyOf(lines[i])) {
      insertAfter = i;
      if (SameTextAscii(*name, key)) {
        replace = i;
        break;
      }
    }
  }
  std::string out;
  const auto append = [&out](std::string_view line) { out.append(line).append("\r\n"); };
  for (std::size_t i = 0; i < lines.size(); ++i) {
    append(replace == i ? std::string_view(entry) : lines[i]);
    if (!replace && insertAfter == i) append(entry);
  }
  if (!sectionLine) {
    append("[" + std::string(section) + "]");
    append(entry);
  }
  return out;
}

void WriteProfileValue(platform::Platform& platform, std::string_view path,
                       std::string_view section, std::string_view key, std::string_view value) {
  const auto current = platform::ReadWholeFile(platform.files, path);
  const std::string text = WithProfileValue(current.value_or(std::string()), section, key, value);
  if (platform::WriteWholeFile(platform.files, path, text) != platform::kSuccess) {
    throw Error(FillPlaceholder(kUnableToWrite, path));
  }
}

SettingsValues ReadSettings(platform::Platform& platform, std::string_view path) {
  const std::string text = platform::ReadWholeFile(platform.files, path).value_or(std::string());
  SettingsValues values;
  const auto read = [&text](std::string_view key, int& value) {
    value = ProfileInteger(text, kSectionSettings, key, value);
  };
  read(kKeyViewStyle, values.viewStyle);
  read(kKeyHiddenRightTips, values.hiddenRightTips);
  read(kKeyHiddenProcess, values.hiddenProcess);
  read(kKeyHiddenUnsupport, values.hiddenUnsupport);
  read(kKeyAutoUpdate, values.autoUpdate);
  read(kKeyDeleteUpdate, values.deleteUpdate);
  read(kKeyWindowsStartup, values.windowsStartup);
  read(kKeyStartupMinimize, values.startupMinimize);
  values.lastTime =
      FindProfileValue(text, kSectionUpdate, kKeyLastTime).value_or(NowText(platform));
  return values;
}

void WriteLastUpdateTime(platform::Platform& platform, std::string_view path) {
  if (!platform::PathExists(platform.files, path)) CreateDefaultSettings(platform, path);
  WriteProfileValue(platform, path, kSectionUpdate, kKeyLastTime, NowText(platform));
}

std::string ReadServiceUrlSetting(platform::Platform& platform, std::string_view path) {
  const std::string text = platform::ReadWholeFile(platform.files, path).value_or(std::string());
  return FindProfileValue(text, kSectionUpdate, kKeyServiceUrl).value_or(std::string());
}

ViewStyle ViewStyleOf(int value) noexcept {
  if (value == 0) return ViewStyle::Icons;
  if (value == 2) return ViewStyle::Report;
  return ViewStyle::List;
}

ColumnWidths ColumnWidthsFor(int hiddenRightTips) noexcept {
  if (hiddenRightTips == 1) return {{40, 300, 300}, {40, 300, 75, 95, 130}};
  return {{40, 220, 205}, {40, 165, 75, 85, 100}};
}

}  // namespace sv::app
