// What the runs see of the main window: its controls by name, the page switch, the column sort
// and modal message boxes. The window implements this on its real controls (the calls arrive
// from the worker thread and are carried to the window's own thread); the console front end and
// the tests use MemoryWindow. The runs know nothing else of the window.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sv::engine {

enum class Page { pgWelcome, pgResults, pgSubmit, pgDetail, pgSettings, pgSupport };

[[nodiscard]] std::string_view PageName(Page page) noexcept;

// The list views the runs fill.
enum class ListView { lstvNList, lstvRList, lstvUS2Registry, lstvUS2File };

// Controls the runs enable, disable, show or hide.
enum class Control {
  imgScan,
  imgClean,
  imgCancel,
  imgDClean,
  imgDCancel,
  pan_Foot_Bottom,
  lstvNList,
  lstvRList,
  panCleanHint,
};

enum class CheckBox { chkHideUnsupport, chkHideProcess, chkSelectAll1, chkSelectAll2 };

// Texts the runs read or write (panCleanHint's caption is the status line of a removal).
enum class Label { labSoftNum, labUS1Soft, labUS1Type, panCleanHint };

// Which database record and Uninstall entry a result row stands for, as the scan matched
// them: the detail view and the removal use it and never look the record up again by name
// (a name may begin with another record's name).
struct ProgramRef {
  std::string softwareId;  // empty for an unsupported program
  std::string entryKey;    // full key path of its Uninstall entry; empty for a residue
  friend bool operator==(const ProgramRef&, const ProgramRef&) = default;
};

// One row of a list view: the caption ("No" column), the sub-items of the later columns, the
// icon and the state image (0 clear, 1 ticked, 2 the unsupported mark) and the check box.
struct ListRow {
  std::string caption;
  std::vector<std::string> subItems;
  int imageIndex = 0;
  int stateIndex = 0;
  bool checked = false;
  bool selected = false;
  ProgramRef program = {};  // result lists only
  friend bool operator==(const ListRow&, const ListRow&) = default;
};

// Column texts of the result lists, as the window shows them.
inline constexpr std::string_view kStateSupported = "Supported";
inline constexpr std::string_view kStateUnsupported = "Unsupported";

// The sort of the result lists: column 0 by the captions' numbers, any other column c by
// sub-item c - 1 compared without regard to ASCII case. Negative, zero or positive.
[[nodiscard]] int CompareListItems(const ListRow& first, const ListRow& second, int column);

class WindowControls {
 public:
  virtual ~WindowControls() = default;

  [[nodiscard]] virtual int RowCount(ListView list) = 0;
  virtual void ClearRows(ListView list) = 0;
  // Appends the row; its index.
  virtual int AddRow(ListView list, const ListRow& row) = 0;
  // A row as it is now (an empty row for an index outside the list).
  [[nodiscard]] virtual ListRow Row(ListView list, int index) = 0;
  virtual void SetRowCaption(ListView list, int index, std::string_view caption) = 0;
  virtual void SetRowSelected(ListView list, int index, bool selected) = 0;
  // Ticks or clears the row; its state image follows (1 or 0) unless it is the unsupported
  // mark (2), which stays.
  virtual void SetRowChecked(ListView list, int index, bool checked) = 0;
  virtual void DeleteRow(ListView list, int index) = 0;

  // The gauge is repainted at once on every change, so progress shows row by row.
  virtual void SetGaugeMax(int maximum) = 0;
  virtual void SetGaugeProgress(int progress) = 0;
  [[nodiscard]] virtual int GaugeProgress() = 0;

  [[nodiscard]] virtual std::string Text(Label label) = 0;
  // Sets the text and repaints the control at once.
  virtual void SetText(Label label, std::string_view text) = 0;

  virtual void SetEnabled(Control control, bool enabled) = 0;
  [[nodiscard]] virtual bool IsEnabled(Control control) = 0;
  virtual void SetVisible(Control control, bool visible) = 0;

  [[nodiscard]] virtual bool IsChecked(CheckBox box) = 0;
  virtual void SetChecked(CheckBox box, bool checked) = 0;

  // The program the detail header names (set with labUS1Soft when a detail run starts).
  virtual void SetDetailProgram(const ProgramRef& program) = 0;
  [[nodiscard]] virtual ProgramRef DetailProgram() = 0;

  virtual void ShowPage(Page page) = 0;
  // The column click of the result lists: sorts `list` ascending by `column` through
  // CompareListItems. Rows move; their captions stay.
  virtual void lstvNListColumnClick(ListView list, int column) = 0;

  // A modal message box owned by the window; the answer (kIdOk, kIdYes, ...).
  virtual int ShowMessageBox(std::string_view text, std::string_view caption, unsigned style) = 0;
};

// The gauge one step further.
void AdvanceGauge(WindowControls& window);

}  // namespace sv::engine
