#include "engine/memory_window.h"

#include <algorithm>

#include "platform/system.h"

namespace sv::engine {

std::string_view ListViewName(ListView list) noexcept {
  switch (list) {
    case ListView::lstvNList:
      return "lstvNList";
    case ListView::lstvRList:
      return "lstvRList";
    case ListView::lstvUS2Registry:
      return "lstvUS2Registry";
    case ListView::lstvUS2File:
      return "lstvUS2File";
  }
  return "?";
}

std::string_view ControlName(Control control) noexcept {
  switch (control) {
    case Control::imgScan:
      return "imgScan";
    case Control::imgClean:
      return "imgClean";
    case Control::imgCancel:
      return "imgCancel";
    case Control::imgDClean:
      return "imgDClean";
    case Control::imgDCancel:
      return "imgDCancel";
    case Control::pan_Foot_Bottom:
      return "pan_Foot_Bottom";
    case Control::lstvNList:
      return "lstvNList";
    case Control::lstvRList:
      return "lstvRList";
    case Control::panCleanHint:
      return "panCleanHint";
  }
  return "?";
}

std::string_view LabelName(Label label) noexcept {
  switch (label) {
    case Label::labSoftNum:
      return "labSoftNum";
    case Label::labUS1Soft:
      return "labUS1Soft";
    case Label::labUS1Type:
      return "labUS1Type";
    case Label::panCleanHint:
      return "panCleanHint";
  }
  return "?";
}

std::string_view CheckBoxName(CheckBox box) noexcept {
  switch (box) {
    case CheckBox::chkHideUnsupport:
      return "chkHideUnsupport";
    case CheckBox::chkHideProcess:
      return "chkHideProcess";
    case CheckBox::chkSelectAll1:
      return "chkSelectAll1";
    case CheckBox::chkSelectAll2:
      return "chkSelectAll2";
  }
  return "?";
}

MemoryWindow::MemoryWindow() {
  // A fresh window: everything enabled, the status strip hidden, the boxes clear.
  for (Control control : {Control::imgScan, Control::imgClean, Control::imgCancel,
                          Control::imgDClean, Control::imgDCancel, Control::pan_Foot_Bottom,
                          Control::lstvNList, Control::lstvRList, Control::panCleanHint}) {
    enabled_[control] = true;
    visible_[control] = control != Control::panCleanHint;
  }
}

void MemoryWindow::Log(std::string event) {
  events_.push_back(std::move(event));
}

std::vector<ListRow>& MemoryWindow::ListOf(ListView list) {
  return lists_[list];
}

int MemoryWindow::RowCount(ListView list) {
  std::lock_guard lock(mutex_);
  return static_cast<int>(ListOf(list).size());
}

void MemoryWindow::ClearRows(ListView list) {
  std::lock_guard lock(mutex_);
  ListOf(list).clear();
  Log("clear " + std::string(ListViewName(list)));
}

int MemoryWindow::AddRow(ListView list, const ListRow& row) {
  std::lock_guard lock(mutex_);
  auto& rows = ListOf(list);
  rows.push_back(row);
  std::string event = "add " + std::string(ListViewName(list)) + " " + row.caption;
  for (const std::string& sub : row.subItems)
    event += " | " + sub;
  Log(std::move(event));
  return static_cast<int>(rows.size()) - 1;
}

ListRow MemoryWindow::Row(ListView list, int index) {
  std::lock_guard lock(mutex_);
  const auto& rows = ListOf(list);
  if (index < 0 || index >= static_cast<int>(rows.size())) return {};
  return rows[static_cast<std::size_t>(index)];
}

void MemoryWindow::SetRowCaption(ListView list, int index, std::string_view caption) {
  std::lock_guard lock(mutex_);
  auto& rows = ListOf(list);
  if (index < 0 || index >= static_cast<int>(rows.size())) return;
  rows[static_cast<std::size_t>(index)].caption = caption;
}

void MemoryWindow::SetRowSelected(ListView list, int index, bool selected) {
  std::lock_guard lock(mutex_);
  auto& rows = ListOf(list);
  if (index < 0 || index >= static_cast<int>(rows.size())) return;
  rows[static_cast<std::size_t>(index)].selected = selected;
}

void MemoryWindow::SetRowChecked(ListView list, int index, bool checked) {
  std::lock_guard lock(mutex_);
  auto& rows = ListOf(list);
  if (index < 0 || index >= static_cast<int>(rows.size())) return;
  auto& row = rows[static_cast<std::size_t>(index)];
  row.checked = checked;
  if (row.stateIndex != 2) row.stateIndex = checked ? 1 : 0;
}

void MemoryWindow::DeleteRow(ListView list, int index) {
  std::lock_guard lock(mutex_);
  auto& rows = ListOf(list);
  if (index < 0 || index >= static_cast<int>(rows.size())) return;
  Log("delete " + std::string(ListViewName(list)) + " " +
      rows[static_cast<std::size_t>(index)].caption);
  rows.erase(rows.begin() + index);
}

void MemoryWindow::SetGaugeMax(int maximum) {
  std::lock_guard lock(mutex_);
  gaugeMax_ = maximum;
  Log("gauge max " + std::to_string(maximum));
}

void MemoryWindow::SetGaugeProgress(int progress) {
  std::lock_guard lock(mutex_);
  gaugeProgress_ = progress;
  Log("gauge " + std::to_string(progress));
}

int MemoryWindow::GaugeProgress() {
  std::lock_guard lock(mutex_);
  return gaugeProgress_;
}

int MemoryWindow::GaugeMax() {
  std::lock_guard lock(mutex_);
  return gaugeMax_;
}

std::string MemoryWindow::Text(Label label) {
  std::lock_guard lock(mutex_);
  return texts_[label];
}

void MemoryWindow::SetText(Label label, std::string_view text) {
  std::lock_guard lock(mutex_);
  texts_[label] = text;
  Log("text " + std::string(LabelName(label)) + " " + std::string(text));
}

void MemoryWindow::SetEnabled(Control control, bool enabled) {
  std::lock_guard lock(mutex_);
  enabled_[control] = enabled;
  Log(std::string(enabled ? "enable " : "disable ") + std::string(ControlName(control)));
}

bool MemoryWindow::IsEnabled(Control control) {
  std::lock_guard lock(mutex_);
  return enabled_[control];
}

void MemoryWindow::SetVisible(Control control, bool visible) {
  std::lock_guard lock(mutex_);
  visible_[control] = visible;
  Log(std::string(visible ? "show " : "hide ") + std::string(ControlName(control)));
}

bool MemoryWindow::IsVisible(Control control) {
  std::lock_guard lock(mutex_);
  return visible_[control];
}

bool MemoryWindow::IsChecked(CheckBox box) {
  std::lock_guard lock(mutex_);
  return checked_[box];
}

void MemoryWindow::SetChecked(CheckBox box, bool checked) {
  std::lock_guard lock(mutex_);
  checked_[box] = checked;
  Log(std::string(checked ? "tick " : "untick ") + std::string(CheckBoxName(box)));
}

void MemoryWindow::SetDetailProgram(const ProgramRef& program) {
  const std::lock_guard lock(mutex_);
  detailProgram_ = program;
}

ProgramRef MemoryWindow::DetailProgram() {
  const std::lock_guard lock(mutex_);
  return detailProgram_;
}

void MemoryWindow::ShowPage(Page page) {
  std::lock_guard lock(mutex_);
  // As the window does: every page change hides the status strip, and the welcome page starts
  // with empty result lists.
  visible_[Control::panCleanHint] = false;
  if (page == Page::pgWelcome) {
    ListOf(ListView::lstvRList).clear();
    ListOf(ListView::lstvNList).clear();
    Log("clear lstvRList");
    Log("clear lstvNList");
  }
  page_ = page;
  Log("page " + std::string(PageName(page)));
}

void MemoryWindow::lstvNListColumnClick(ListView list, int column) {
  std::lock_guard lock(mutex_);
  auto& rows = ListOf(list);
  // Rows that compare equal keep their order.
  std::stable_sort(rows.begin(), rows.end(), [column](const ListRow& a, const ListRow& b) {
    return CompareListItems(a, b, column) < 0;
  });
  Log("sort " + std::string(ListViewName(list)) + " " + std::to_string(column));
}

int MemoryWindow::ShowMessageBox(std::string_view text, std::string_view caption, unsigned style) {
  std::lock_guard lock(mutex_);
  messages_.push_back({std::string(text), std::string(caption), style});
  Log("message " + std::string(caption) + ": " + std::string(text));
  if (answers_.empty()) return platform::kIdOk;
  const int answer = answers_.front();
  answers_.pop_front();
  return answer;
}

std::vector<ListRow> MemoryWindow::Rows(ListView list) {
  std::lock_guard lock(mutex_);
  return ListOf(list);
}

std::optional<Page> MemoryWindow::CurrentPage() {
  std::lock_guard lock(mutex_);
  return page_;
}

std::vector<RecordedMessage> MemoryWindow::Messages() {
  std::lock_guard lock(mutex_);
  return messages_;
}

std::vector<std::string> MemoryWindow::Events() {
  std::lock_guard lock(mutex_);
  return events_;
}

void MemoryWindow::ClearEvents() {
  std::lock_guard lock(mutex_);
  events_.clear();
}

void MemoryWindow::QueueAnswer(int answer) {
  std::lock_guard lock(mutex_);
  answers_.push_back(answer);
}

}  // namespace sv::engine
