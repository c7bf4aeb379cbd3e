// The indexed lookups must give what the literal ones give. These helpers run a scan, a detail
// view or a dry-run removal with the literal lookups on a window of their own, so a test can
// hold the indexed run that follows to the same window events, rows, messages, icons and
// deletion decisions, in the same order.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "engine/deletion_gate.h"
#include "engine/memory_window.h"
#include "engine/threadUninstall.h"
#include "support/icon_lists.h"

namespace sv::testing {

// What a run left in a window, from the given event and message on.
struct WindowOutcome {
  std::vector<std::string> events;
  std::array<std::vector<engine::ListRow>, 4> rows;
  std::vector<engine::RecordedMessage> messages;
  std::vector<RecordingIconList::Entry> smallIcons, bigIcons;
  friend bool operator==(const WindowOutcome&, const WindowOutcome&) = default;
};

inline WindowOutcome OutcomeOf(engine::MemoryWindow& window, const RecordingIconList& small,
                               const RecordingIconList& big, std::size_t eventsFrom = 0,
                               std::size_t messagesFrom = 0) {
  WindowOutcome outcome;
  const auto events = window.Events();
  outcome.events.assign(events.begin() + static_cast<std::ptrdiff_t>(eventsFrom), events.end());
  for (const engine::ListView list :
       {engine::ListView::lstvNList, engine::ListView::lstvRList, engine::ListView::lstvUS2Registry,
        engine::ListView::lstvUS2File}) {
    outcome.rows[static_cast<std::size_t>(list)] = window.Rows(list);
  }
  const auto messages = window.Messages();
  outcome.messages.assign(messages.begin() + static_cast<std::ptrdiff_t>(messagesFrom),
                          messages.end());
  outcome.smallIcons = small.entries;
  outcome.bigIcons = big.entries;
  return outcome;
}

// A window that starts as `window` does in what the runs read before they write: the check
// boxes and the labels.
inline void CopyInputs(engine::MemoryWindow& from, engine::MemoryWindow& to) {
  for (const engine::CheckBox box :
       {engine::CheckBox::chkHideUnsupport, engine::CheckBox::chkHideProcess,
        engine::CheckBox::chkSelectAll1, engine::CheckBox::chkSelectAll2}) {
    to.SetChecked(box, from.IsChecked(box));
  }
  for (const engine::Label label : {engine::Label::labSoftNum, engine::Label::labUS1Soft,
                                    engine::Label::labUS1Type, engine::Label::panCleanHint}) {
    to.SetText(label, from.Text(label));
  }
  for (const engine::ListView list :
       {engine::ListView::lstvNList, engine::ListView::lstvRList, engine::ListView::lstvUS2Registry,
        engine::ListView::lstvUS2File}) {
    to.ClearRows(list);
    for (const engine::ListRow& row : from.Rows(list))
      to.AddRow(list, row);
  }
  to.ClearEvents();
}

// Runs `run` (ScanSoftware, GatherDetails) in both modes: the literal one on a copy of the
// window, then the indexed one on `window` itself; expects the same outcome from both.
template <typename Run>
void RunInBothModes(engine::RunEnvironment env, Run run) {
  engine::MemoryWindow reference;
  CopyInputs(static_cast<engine::MemoryWindow&>(env.window), reference);
  auto* small = dynamic_cast<RecordingIconList*>(&env.smallIcons);
  auto* big = dynamic_cast<RecordingIconList*>(&env.bigIcons);
  ASSERT_TRUE(small != nullptr && big != nullptr);
  RecordingIconList referenceSmall = *small, referenceBig = *big;
  run(engine::RunEnvironment{env.platform, reference, referenceSmall, referenceBig, env.dataPath,
                             env.softPath, SearchMode::Literal});
  const WindowOutcome literal = OutcomeOf(reference, referenceSmall, referenceBig);

  auto& window = static_cast<engine::MemoryWindow&>(env.window);
  const std::size_t eventsFrom = window.Events().size();
  const std::size_t messagesFrom = window.Messages().size();
  env.searches = SearchMode::Indexed;
  run(env);
  EXPECT_EQ(OutcomeOf(window, *small, *big, eventsFrom, messagesFrom), literal)
      << "the indexed lookups changed what the run shows";
}

// A dry-run removal of one program: every decision of the gate and the status lines.
struct RemovalOutcome {
  std::vector<engine::GateEvent> decisions;
  std::vector<std::string> events;
  friend bool operator==(const RemovalOutcome&, const RemovalOutcome&) = default;
};

inline RemovalOutcome DryRunRemoval(engine::RunEnvironment env, SearchMode mode,
                                    std::string_view name, std::uint16_t residual) {
  engine::MemoryWindow window;
  RecordingIconList small, big;
  engine::DeletionGate gate(env.platform, engine::DeletionGate::Mode::Record);
  gate.SetSearchMode(mode);
  RemovalOutcome outcome;
  gate.SetObserver([&](const engine::GateEvent& event) { outcome.decisions.push_back(event); });
  engine::RemoveSoftware(
      engine::RunEnvironment{env.platform, window, small, big, env.dataPath, env.softPath, mode},
      gate, name, residual, true);
  outcome.events = window.Events();
  return outcome;
}

inline void ExpectSameDryRunRemoval(const engine::RunEnvironment& env, std::string_view name,
                                    std::uint16_t residual) {
  EXPECT_EQ(DryRunRemoval(env, SearchMode::Indexed, name, residual),
            DryRunRemoval(env, SearchMode::Literal, name, residual))
      << "the indexed lookups changed the removal of " << name;
}

}  // namespace sv::testing
