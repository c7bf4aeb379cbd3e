// What the main window decides, apart from drawing it: texts of the pages, the page rules,
// the Clean command's answer, the settings page's purge and the information labels. Written
// over the window-controls interface, so it is tested on the in-memory window.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/datetime.h"
#include "engine/window_controls.h"

namespace sv::app {

inline constexpr std::string_view kAppTitle = "Sorvane";
inline constexpr std::string_view kInstanceMutexName = "SV_S_EXISTS";

inline constexpr std::string_view kWelcomeTitle = "Welcome to SV";
inline constexpr std::string_view kResultsTitle = "Scan results";
inline constexpr std::string_view kScanningTitle = "Scan in progress";
// Hint texts: lines joined by a single carriage return, no line break at the end.
[[nodiscard]] std::string WelcomeHintText();
[[nodiscard]] std::string ResultsHintText();
[[nodiscard]] std::string ScanningHintText();

// Message texts and captions of the window.
inline constexpr std::string_view kCaptionError = "Error";
inline constexpr std::string_view kCaptionConfirm = "Confirm";
inline constexpr std::string_view kCaptionSave = "Save";
inline constexpr std::string_view kConfirmRemoveSelected =
    "Are you sure you want to remove the selected software? ";
inline constexpr std::string_view kUnsupportedSelected =
    "The program you selected is unsupported by Sorvane and cannot be uninstalled at present. ";
inline constexpr std::string_view kSelectFirst =
    "Please select the software you want to remove first! ";
inline constexpr std::string_view kCannotClose = "Application is running, can not out!";
inline constexpr std::string_view kSettingsSaved = "Settings have been saved successfully.";
// "Are you sure you want to remove NAME? "
[[nodiscard]] std::string ConfirmRemoveShownText(std::string_view name);

// The Clean command of the results page.
enum class CleanAnswer { Nothing, Confirm, Unsupported, SelectFirst };
[[nodiscard]] CleanAnswer DecideClean(engine::WindowControls& window);

// Back and Cancel of the detail, submission, settings and support pages.
[[nodiscard]] engine::Page BackPage(engine::WindowControls& window);

// What a double-click on a row of a result list opens.
enum class RowCommand { None, Details, Submit };
[[nodiscard]] RowCommand RowCommandFor(engine::ListView list, const engine::ListRow& row);

// "Select All": every row of the residue list, or the supported rows of the installed list.
void SelectAllRows(engine::WindowControls& window, engine::ListView list, bool checked);

// Save with "Hidden Unsupport" ticked: the unsupported rows leave the installed list and the
// rest are numbered 1, 2, 3 ... in their current order.
void PurgeUnsupportedRows(engine::WindowControls& window);

// Whether the window may close: neither a scan nor a removal of any kind is running.
[[nodiscard]] bool MayClose(engine::WindowControls& window);

// labAppVer: "v" and the first three parts of the file version; nothing for an empty version.
[[nodiscard]] std::optional<std::string> AppVersionText(std::string_view fileVersion);
// labSoftVersion: the executable's last-write time (UTC) as "yyyy.mmdd.hhnn.ss".
[[nodiscard]] std::string SoftVersionText(DateTime lastWriteUtc);
// labSupportNum: "N Software".
[[nodiscard]] std::string SupportCountText(std::uint16_t count);
// The eleven entries of cmbSupportSoft, category 0 ("All Types(") to 10, with their counts.
[[nodiscard]] std::vector<std::string> SupportComboEntries(
    const std::array<std::uint16_t, 11>& counts);

}  // namespace sv::app
