#include "app/window_logic.h"

#include "common/text.h"

namespace sv::app {

using engine::ListView;
using engine::Page;

namespace {

std::string JoinLines(std::initializer_list<std::string_view> lines) {
  std::string text;
  bool first = true;
  for (const auto line : lines) {
    if (!first) text.push_back('\r');
    text.append(line);
    first = false;
  }
  return text;
}

bool IsSupported(const engine::ListRow& row) {
  return row.subItems.size() >= 2 && row.subItems[1] == engine::kStateSupported;
}

}  // namespace

std::string WelcomeHintText() {
  return JoinLines({"Sorvane helps you", "completely remove programs", "&& leftovers from your PC.",
                    "", "Please click on the \"Scan\"", "button to start scanning your",
                    "system for residual files and", "complete programs installed",
                    "in your computer."});
}

std::string ResultsHintText() {
  return JoinLines({"Select the software you want to", "uninstall and click on the \"Clean\"",
                    "button to remove them.", "", "To view detailed information about",
                    "files and registry entries of a certain", "program, double click on it.", "",
                    "To submit unsupported software", "installed in your PC, double click",
                    "on it to enter the submit interface.", "", "Click on the \"Cancel\" button to",
                    "return to the previous page."});
}

std::string ScanningHintText() {
  return JoinLines({"Sorvane is now scanning", "your system. ", "", "Please wait until the scan is",
                    "completed and the results are", "shown on the left."});
}

std::string ConfirmRemoveShownText(std::string_view name) {
  return "Are you sure you want to remove " + std::string(name) + "? ";
}

CleanAnswer DecideClean(engine::WindowControls& window) {
  const int residues = window.RowCount(ListView::lstvRList);
  const int installed = window.RowCount(ListView::lstvNList);
  if (residues == 0 && installed == 0) return CleanAnswer::Nothing;
  int removable = 0;
  int unsupported = 0;
  for (int i = 0; i < residues; ++i) {
    if (window.Row(ListView::lstvRList, i).checked) ++removable;
  }
  for (int i = 0; i < installed; ++i) {
    const auto row = window.Row(ListView::lstvNList, i);
    if (!row.checked) continue;
    if (IsSupported(row)) {
      ++removable;
    } else {
      ++unsupported;
    }
  }
  if (removable > 0) return CleanAnswer::Confirm;
  if (unsupported > 0) return CleanAnswer::Unsupported;
  return CleanAnswer::SelectFirst;
}

Page BackPage(engine::WindowControls& window) {
  const int rows = window.RowCount(ListView::lstvRList) + window.RowCount(ListView::lstvNList);
  return rows > 0 ? Page::pgResults : Page::pgWelcome;
}

RowCommand RowCommandFor(ListView list, const engine::ListRow& row) {
  if (list == ListView::lstvRList) return RowCommand::Details;
  if (list != ListView::lstvNList) return RowCommand::None;
  return IsSupported(row) ? RowCommand::Details : RowCommand::Submit;
}

void SelectAllRows(engine::WindowControls& window, ListView list, bool checked) {
  const int count = window.RowCount(list);
  for (int i = 0; i < count; ++i) {
    if (list == ListView::lstvNList && !IsSupported(window.Row(list, i))) continue;
    window.SetRowChecked(list, i, checked);
  }
}

void PurgeUnsupportedRows(engine::WindowControls& window) {
  const ListView list = ListView::lstvNList;
  for (int i = window.RowCount(list) - 1; i >= 0; --i) {
    const auto row = window.Row(list, i);
    if (row.subItems.size() >= 2 && row.subItems[1] == engine::kStateUnsupported) {
      window.DeleteRow(list, i);
    } else {
      window.SetRowSelected(list, i, false);
    }
  }
  const int count = window.RowCount(list);
  for (int i = 0; i < count; ++i)
    window.SetRowCaption(list, i, std::to_string(i + 1));
}

bool MayClose(engine::WindowControls& window) {
  using engine::Control;
  return window.IsEnabled(Control::imgScan) && window.IsEnabled(Control::imgClean) &&
         window.IsEnabled(Control::imgDClean);
}

std::optional<std::string> AppVersionText(std::string_view fileVersion) {
  if (fileVersion.empty()) return std::nullopt;
  std::string text = "v";
  int parts = 0;
  std::size_t start = 0;
  while (parts < 3) {
    const auto dot = fileVersion.find('.', start);
    if (parts > 0) text.push_back('.');
    text.append(fileVersion.substr(start, dot == std::string_view::npos ? dot : dot - start));
    ++parts;
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return text;
}

std::string SoftVersionText(DateTime lastWriteUtc) {
  return FormatDateTime("yyyy.mmdd.hhnn.ss", lastWriteUtc);
}

std::string SupportCountText(std::uint16_t count) {
  return std::to_string(count) + " Software";
}

std::vector<std::string> SupportComboEntries(const std::array<std::uint16_t, 11>& counts) {
  static constexpr std::array<std::string_view, 11> kNames = {
      "All Types(",        "Networking Software (",  "System Tools (",
      "Audio and video (", "Graphic Tools (",        "Application Software (",
      "Profession (",      "Educational Software (", "Security Tools (",
      "Games (",           "Other Tools ("};
  std::vector<std::string> entries;
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    entries.push_back(std::string(kNames[i]) + std::to_string(counts[i]) + ")");
  }
  return entries;
}

}  // namespace sv::app
