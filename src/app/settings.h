// Settings.ini: the options file beside the executable. Read and written like the system's
// profile functions (sections and keys without regard to ASCII case, every write straight to
// the file), but over the platform's file system, so the rules are tested on the fake machine.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/datetime.h"
#include "platform/platform.h"

namespace sv::app {

inline constexpr std::string_view kSettingsFileName = "Settings.ini";
inline constexpr std::string_view kSectionSettings = "Settings";
inline constexpr std::string_view kSectionUpdate = "Update Information";
inline constexpr std::string_view kKeyViewStyle = "View Style";
inline constexpr std::string_view kKeyHiddenRightTips = "Hidden RightTips";
inline constexpr std::string_view kKeyHiddenProcess = "Hidden Process";
inline constexpr std::string_view kKeyHiddenUnsupport = "Hidden Unsupport";
inline constexpr std::string_view kKeyAutoUpdate = "Auto Update";
inline constexpr std::string_view kKeyDeleteUpdate = "Delete Update";
inline constexpr std::string_view kKeyWindowsStartup = "Windows Startup";
inline constexpr std::string_view kKeyStartupMinimize = "Startup Minimize";
inline constexpr std::string_view kKeyLastTime = "Last Time";
// Points the online services at another address (a mirror, a test service); never written by
// the program itself.
inline constexpr std::string_view kKeyServiceUrl = "Service URL";
// The start-with-Windows value under the machine's Run key.
inline constexpr std::string_view kRunValueName = "Vestrel";

// The options as stored; the defaults are those of a new file.
struct SettingsValues {
  int viewStyle = 2;
  int hiddenRightTips = 0;
  int hiddenProcess = 0;
  int hiddenUnsupport = 0;
  int autoUpdate = 0;
  int deleteUpdate = 1;
  int windowsStartup = 0;
  int startupMinimize = 0;
  std::string lastTime;
  friend bool operator==(const SettingsValues&, const SettingsValues&) = default;
};

// "yyyy-mm-dd hh:nn:ss" with the user's time separator.
[[nodiscard]] std::string FormatSettingsTime(DateTime value, char timeSeparator = ':');

// The eleven lines of a new file, each ended by CR LF.
[[nodiscard]] std::string DefaultSettingsText(std::string_view lastTime);

// Settings.ini beside the executable.
[[nodiscard]] std::string SettingsPathFor(std::string_view executablePath);

// Writes the default file (creating or replacing it). Throws sv::Error "Unable to write to %s".
void CreateDefaultSettings(platform::Platform& platform, std::string_view path);

// Reads every option; a missing file, key or a value that is not an integer reads as its
// default ("Last Time": `now` formatted).
[[nodiscard]] SettingsValues ReadSettings(platform::Platform& platform, std::string_view path);

// "Last Time" becomes now (the default file is written first when there is none). Throws
// sv::Error "Unable to write to %s".
void WriteLastUpdateTime(platform::Platform& platform, std::string_view path);

// The "Service URL" text as stored; empty when there is none.
[[nodiscard]] std::string ReadServiceUrlSetting(platform::Platform& platform,
                                                std::string_view path);

// The profile functions, on text and on the file.
[[nodiscard]] std::optional<std::string> FindProfileValue(std::string_view text,
                                                          std::string_view section,
                                                          std::string_view key);
[[nodiscard]] int ProfileInteger(std::string_view text, std::string_view section,
                                 std::string_view key, int fallback);
// The text with key=value set in the section: an existing key is replaced where it stands, a
// new key goes after the section's last entry, a new section at the end. CR LF line ends.
[[nodiscard]] std::string WithProfileValue(std::string_view text, std::string_view section,
                                           std::string_view key, std::string_view value);
// One write, straight to the file (not the system function of that name, which <windows.h>
// makes a macro). Throws sv::Error "Unable to write to %s".
void WriteProfileValue(platform::Platform& platform, std::string_view path,
                       std::string_view section, std::string_view key, std::string_view value);

// What the options mean for the result lists.
enum class ViewStyle { Icons, Report, List };
[[nodiscard]] ViewStyle ViewStyleOf(int value) noexcept;

struct ColumnWidths {
  int residue[3];    // lstvRList: No, Software Name, description
  int installed[5];  // lstvNList: No, Software Name, State, Install Date, Publisher
};
// The widths that go with a hidden hint pane ("Hidden RightTips" 1) or a shown one.
[[nodiscard]] ColumnWidths ColumnWidthsFor(int hiddenRightTips) noexcept;

}  // namespace sv::app
