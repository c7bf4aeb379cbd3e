// The window's controls kept in memory: what the console front end runs the engine against, and
// what the tests inspect. Every change is also written to an event log, so a test can check the
// order of updates (gauge steps, label texts, page switches) and not only the end state.
#pragma once

#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/window_controls.h"

namespace sv::engine {

struct RecordedMessage {
  std::string text;
  std::string caption;
  unsigned style = 0;
  friend bool operator==(const RecordedMessage&, const RecordedMessage&) = default;
};

class MemoryWindow : public WindowControls {
 public:
  MemoryWindow();

  int RowCount(ListView list) override;
  void ClearRows(ListView list) override;
  int AddRow(ListView list, const ListRow& row) override;
  ListRow Row(ListView list, int index) override;
  void SetRowCaption(ListView list, int index, std::string_view caption) override;
  void SetRowSelected(ListView list, int index, bool selected) override;
  void SetRowChecked(ListView list, int index, bool checked) override;
  void DeleteRow(ListView list, int index) override;
  void SetGaugeMax(int maximum) override;
  void SetGaugeProgress(int progress) override;
  int GaugeProgress() override;
  std::string Text(Label label) override;
  void SetText(Label label, std::string_view text) override;
  void SetEnabled(Control control, bool enabled) override;
  bool IsEnabled(Control control) override;
  void SetVisible(Control control, bool visible) override;
  bool IsChecked(CheckBox box) override;
  void SetChecked(CheckBox box, bool checked) override;
  void SetDetailProgram(const ProgramRef& program) override;
  ProgramRef DetailProgram() override;
  void ShowPage(Page page) override;
  void lstvNListColumnClick(ListView list, int column) override;
  int ShowMessageBox(std::string_view text, std::string_view caption, unsigned style) override;

  // Test and console access (safe while a worker runs).
  [[nodiscard]] std::vector<ListRow> Rows(ListView list);
  [[nodiscard]] std::optional<Page> CurrentPage();
  [[nodiscard]] int GaugeMax();
  [[nodiscard]] bool IsVisible(Control control);
  [[nodiscard]] std::vector<RecordedMessage> Messages();
  [[nodiscard]] std::vector<std::string> Events();
  void ClearEvents();
  // Answers for the next message boxes, in order; kIdOk once they are used up.
  void QueueAnswer(int answer);

 private:
  void Log(std::string event);
  std::vector<ListRow>& ListOf(ListView list);

  std::mutex mutex_;
  std::map<ListView, std::vector<ListRow>> lists_;
  std::map<Label, std::string> texts_;
  std::map<Control, bool> enabled_;
  std::map<Control, bool> visible_;
  std::map<CheckBox, bool> checked_;
  std::optional<Page> page_;
  ProgramRef detailProgram_;
  int gaugeMax_ = 100;
  int gaugeProgress_ = 0;
  std::vector<RecordedMessage> messages_;
  std::deque<int> answers_;
  std::vector<std::string> events_;
};

[[nodiscard]] std::string_view ListViewName(ListView list) noexcept;
[[nodiscard]] std::string_view ControlName(Control control) noexcept;
[[nodiscard]] std::string_view LabelName(Label label) noexcept;
[[nodiscard]] std::string_view CheckBoxName(CheckBox box) noexcept;

}  // namespace sv::engine
