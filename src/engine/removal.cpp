// The removal runs of TUninstallThread (the ticked rows, and the program on the detail page),
// RemoveSoftware, and the service, process and folder routines only the removal uses.
#include <algorithm>

#include "common/paths.h"
#include "common/text.h"
#include "engine/deletion_gate.h"
#include "engine/run_support.h"
#include "engine/threadUninstall.h"
#include "registry/opUninstallRegistry.h"

namespace sv::engine {

namespace {

using namespace detail;
using registry::TURegistryOp;

constexpr std::string_view kCleaningCompleted = "Cleaning completed.";
constexpr std::string_view kFinishCaption = "Finish";
// The count label after a removal (one blank; the scan writes two).
constexpr std::string_view kRemovalCountSuffix = " Software";

// How long RemoveService lets a service take to stop, so its files are free to go.
constexpr int kServiceStopPolls = 20;
constexpr std::uint32_t kServiceStopPollMs = 250;
// After each attempt to end a process, so it lets go of its files.
constexpr std::uint32_t kProcessEndPauseMs = 1000;

// What the completion message lists of the items that could not be removed, at most.
constexpr std::size_t kListedFailures = 12;

// The rows of `list` numbered 1, 2, 3 ...
void Renumber(WindowControls& window, ListView list) {
  const int count = window.RowCount(list);
  for (int i = 0; i < count; ++i)
    window.SetRowCaption(list, i, std::to_string(i + 1));
}

std::uint16_t CountSupported(WindowControls& window) {
  std::uint16_t supported = 0;
  const int count = window.RowCount(ListView::lstvNList);
  for (int i = 0; i < count; ++i) {
    const ListRow row = window.Row(ListView::lstvNList, i);
    if (row.subItems.size() > 1 && row.subItems[1] == kStateSupported) ++supported;
  }
  return supported;
}

// Deletes the first row of `list` whose software name is `name`.
void DeleteFirstRowNamed(WindowControls& window, ListView list, std::string_view name) {
  const int count = window.RowCount(list);
  for (int i = 0; i < count; ++i) {
    const ListRow row = window.Row(list, i);
    if (!row.subItems.empty() && row.subItems[0] == name) {
      window.DeleteRow(list, i);
      return;
    }
  }
}

}  // namespace

int RemoveService(platform::Platform& platform, std::string_view name) {
  const auto manager = platform.services.OpenManager();
  if (!manager) return -1;
  const auto service = manager->Open(name);
  if (!service) return -2;
  service->Stop();
  // A running service holds its files; give it a bounded while to let go of them.
  for (int poll = 0; poll < kServiceStopPolls; ++poll) {
    const auto state = service->QueryState();
    if (!state || *state == platform::kServiceStopped) break;
    platform.system.Sleep(kServiceStopPollMs);
  }
  service->Delete();
  return 1;
}

bool IsProcessRunning(platform::Platform& platform, std::string_view name) {
  const auto processes = platform.processes.Snapshot();
  if (!processes) return false;
  return std::any_of(processes->begin(), processes->end(),
                     [name](const platform::ProcessEntry& p) { return MatchesProcess(p, name); });
}

void EndProcessByName(platform::Platform& platform, std::string_view name,
                      const std::function<bool(const platform::ProcessEntry&)>& mayEnd) {
  const auto processes = platform.processes.Snapshot();
  if (!processes) return;
  for (const platform::ProcessEntry& process : *processes) {
    if (!MatchesProcess(process, name)) continue;
    if (mayEnd && !mayEnd(process)) continue;
    if (auto opened = platform.processes.OpenForTerminate(process.processId)) opened->Terminate(0);
    platform.system.Sleep(kProcessEndPauseMs);
  }
}

namespace {

// The system reaches `path` itself, not through a link or at its target.
bool ReachesItself(platform::FileSystem& files, const std::string& path) {
  const auto identity = files.Identify(path);
  return identity && policy::FoldedPathText(identity->finalPath) == policy::FoldedPathText(path);
}

}  // namespace

bool DeleteDirTree(platform::Platform& platform, std::string_view folder) {
  // Trailing backslashes, dots and blanks would make the system read a link's target.
  std::string path(WithoutTrailingBackslashes(TrimView(folder)));
  while (!path.empty() && (path.back() == '.' || path.back() == ' '))
    path.pop_back();
  const auto identity = platform.files.Identify(path);
  if (!identity) return !platform::DirectoryExists(platform.files, path);
  // A path that leads elsewhere (through a link, or a link the system follows) is left alone.
  if (policy::FoldedPathText(identity->finalPath) != policy::FoldedPathText(path)) return false;
  if (identity->attributes & platform::kAttrReparsePoint) {
    // The system opened the link itself: removing it leaves what it points at alone.
    platform.files.RemoveDir(path);
    return !platform::DirectoryExists(platform.files, path);
  }
  const std::string prefix = WithTrailingBackslash(path);
  std::vector<platform::FindData> entries;
  if (auto search = platform.files.FindFirst(prefix + "*.*")) {
    do {
      entries.push_back(search->Current());
    } while (search->Next());
  }
  for (const platform::FindData& entry : entries) {
    if (entry.name == "." || entry.name == "..") continue;
    const std::string child = prefix + entry.name;
    // Asked again right here, just before anything at or below it is touched.
    if (!ReachesItself(platform.files, child)) continue;
    if (entry.IsDirectory()) {
      DeleteDirTree(platform, child);
    } else {
      platform.files.SetAttributes(child, 0);
      platform.files.RemoveFile(child);
    }
  }
  platform.files.SetAttributes(path, 0);
  platform.files.RemoveDir(path);
  return !platform::DirectoryExists(platform.files, path);
}

bool IsDirEmpty(platform::Platform& platform, std::string_view folder) {
  return HoldsNothingBut(platform, folder, {});
}

bool detail::MatchesProcess(const platform::ProcessEntry& process, std::string_view name) {
  if (name.empty()) return false;
  return SameTextAscii(registry::LastPathPart(process.exeFile), name) ||
         SameTextAscii(process.exeFile, name);
}

StringList detail::NamesOf(std::string_view list) {
  StringList names;
  for (std::string& piece : SplitCommaList(list)) {
    if (!piece.empty()) names.push_back(std::move(piece));
  }
  return names;
}

bool detail::HoldsNothingBut(platform::Platform& platform, std::string_view folder,
                             std::string_view except) {
  auto search = platform.files.FindFirst(WithTrailingBackslash(folder) + "*.*");
  if (!search) return true;
  do {
    const std::string& name = search->Current().name;
    if (name != "." && name != ".." && (except.empty() || !SameTextAscii(name, except)))
      return false;
  } while (search->Next());
  return true;
}

ProgramRef ResolveProgramByName(const RunEnvironment& env, std::string_view name) {
  if (auto listed = FindInstalledProgram(env, name); listed && !listed->program.softwareId.empty())
    return listed->program;
  // A database name: the record of exactly that name, with the Uninstall entry the scan
  // matched to it, if any.
  database::TUFileOp db = OpenDatabase(env);
  StringList names, ids;
  db.GetSoftNameList(names, 0);
  db.GetSoftIdList(ids, 0);
  for (std::size_t i = 0; i < names.size() && i < ids.size(); ++i) {
    if (TrimView(names[i]).empty() || names[i] != name) continue;
    ProgramRef program{ids[i], {}};
    for (const ListedProgram& listed : MatchInstalledPrograms(env)) {
      if (listed.program.softwareId == ids[i]) program.entryKey = listed.program.entryKey;
    }
    return program;
  }
  return {};
}

RemovalResult RemoveSoftware(const RunEnvironment& caller, DeletionGate& gate,
                             const ProgramRef& program, std::string_view name,
                             std::uint16_t residual, bool showProgress) {
  const RunScope scope(caller);
  const RemovalPlan plan = PlanRemoval(scope.Env(), gate, program, name, residual);
  return ExecutePlan(scope.Env(), gate, plan, showProgress);
}

RemovalResult RemoveSoftware(const RunEnvironment& caller, DeletionGate& gate,
                             std::string_view name, std::uint16_t residual, bool showProgress) {
  const RunScope scope(caller);
  return RemoveSoftware(scope.Env(), gate, ResolveProgramByName(scope.Env(), name), name, residual,
                        showProgress);
}

namespace {

// The completion message: what could not be removed is listed, not hidden behind "done".
std::string CompletionText(const std::vector<RemovalResult>& results) {
  std::vector<std::string> lines;
  for (const RemovalResult& result : results) {
    for (const auto& [item, outcome] : result.items) {
      if (outcome.outcome == Outcome::Failed)
        lines.push_back(result.name + ": " + item.target + " (" + outcome.reason + ")");
    }
  }
  std::string text(kCleaningCompleted);
  if (lines.empty()) return text;
  text += "\r\n\r\nThese items could not be removed:";
  for (std::size_t i = 0; i < lines.size() && i < kListedFailures; ++i)
    text += "\r\n" + lines[i];
  if (lines.size() > kListedFailures)
    text += "\r\n... and " + std::to_string(lines.size() - kListedFailures) + " more";
  return text;
}

unsigned CompletionStyle(const std::vector<RemovalResult>& results) {
  const bool complete = std::all_of(results.begin(), results.end(),
                                    [](const RemovalResult& result) { return result.Complete(); });
  return platform::kMbOk | (complete ? platform::kMbIconInformation : platform::kMbIconWarning);
}

std::string OutcomeLine(const RemovalResult& result) {
  if (result.Complete()) return " " + result.name + " has successfully unloaded.";
  const int failed = result.Count(Outcome::Failed);
  return " " + result.name + ": " + std::to_string(failed) +
         (failed == 1 ? " item could not be removed." : " items could not be removed.");
}

}  // namespace

void CleanChecked(const RunEnvironment& caller) {
  const RunScope scope(caller);
  const RunEnvironment& env = scope.Env();
  WindowControls& window = env.window;
  const bool showProgress = !window.IsChecked(CheckBox::chkHideProcess);
  if (showProgress) window.SetVisible(Control::panCleanHint, true);
  window.SetEnabled(Control::imgClean, false);
  window.SetEnabled(Control::imgCancel, false);
  window.SetGaugeMax(window.RowCount(ListView::lstvRList) + window.RowCount(ListView::lstvNList));
  window.SetGaugeProgress(0);
  window.SetEnabled(Control::lstvNList, false);
  window.SetEnabled(Control::lstvRList, false);
  window.SetEnabled(Control::pan_Foot_Bottom, false);

  const auto failure = Guarded([&] {
    DeletionGate gate(env.platform);
    gate.SetSearchMode(env.searches);
    std::vector<RemovalResult> results;
    // Whether the program is gone (but for what the policy keeps): only then its row goes.
    const auto remove = [&](const ListRow& row, std::uint16_t residual) {
      const std::string& name = row.subItems[0];
      if (showProgress) window.SetText(Label::panCleanHint, " Cleaning " + name + "...");
      const ProgramRef program =
          row.program.softwareId.empty() ? ResolveProgramByName(env, name) : row.program;
      results.push_back(RemoveSoftware(env, gate, program, name, residual, showProgress));
      if (showProgress) window.SetText(Label::panCleanHint, OutcomeLine(results.back()));
      return results.back().Complete();
    };

    const int installed = window.RowCount(ListView::lstvNList);
    for (int i = 0; i < installed; ++i) {
      window.SetRowSelected(ListView::lstvNList, i, false);
      AdvanceGauge(window);
      const ListRow row = window.Row(ListView::lstvNList, i);
      if (row.checked && row.subItems.size() > 1 && row.subItems[1] == kStateSupported) {
        window.SetRowSelected(ListView::lstvNList, i, true);
        if (!remove(row, kInstalledProgram)) window.SetRowSelected(ListView::lstvNList, i, false);
      }
    }
    const int residues = window.RowCount(ListView::lstvRList);
    for (int i = 0; i < residues; ++i) {
      window.SetRowSelected(ListView::lstvRList, i, false);
      AdvanceGauge(window);
      const ListRow row = window.Row(ListView::lstvRList, i);
      if (row.checked && !row.subItems.empty()) {
        window.SetRowSelected(ListView::lstvRList, i, true);
        if (!remove(row, kResidue)) window.SetRowSelected(ListView::lstvRList, i, false);
      }
    }

    window.ShowMessageBox(CompletionText(results), kFinishCaption, CompletionStyle(results));

    for (const ListView list : {ListView::lstvRList, ListView::lstvNList}) {
      for (int i = window.RowCount(list) - 1; i >= 0; --i) {
        if (window.Row(list, i).selected) window.DeleteRow(list, i);
      }
    }
    const std::uint16_t supported = CountSupported(window);
    Renumber(window, ListView::lstvNList);
    const int left = window.RowCount(ListView::lstvRList);
    Renumber(window, ListView::lstvRList);
    const int total = supported + left;
    window.SetText(Label::labSoftNum, std::to_string(total) + std::string(kRemovalCountSuffix));
    window.SetVisible(Control::panCleanHint, false);
    if (total == 0) window.ShowPage(Page::pgWelcome);
  });

  // On every path, so a failed removal never leaves the window stuck.
  if (failure) window.SetVisible(Control::panCleanHint, false);
  window.SetChecked(CheckBox::chkSelectAll1, false);
  window.SetChecked(CheckBox::chkSelectAll2, false);
  for (const Control control : {Control::imgClean, Control::imgCancel, Control::lstvRList,
                                Control::lstvNList, Control::pan_Foot_Bottom}) {
    window.SetEnabled(control, true);
  }
  window.SetGaugeProgress(0);
  ReportFailure(window, failure);
}

void CleanShownSoftware(const RunEnvironment& caller) {
  const RunScope scope(caller);
  const RunEnvironment& env = scope.Env();
  WindowControls& window = env.window;
  const std::string name = window.Text(Label::labUS1Soft);
  window.SetEnabled(Control::imgDCancel, false);
  window.SetEnabled(Control::imgDClean, false);
  window.SetGaugeMax(100);
  window.SetGaugeProgress(0);
  window.SetEnabled(Control::pan_Foot_Bottom, false);

  const auto failure = Guarded([&] {
    const std::string kind = window.Text(Label::labUS1Type);
    DeletionGate gate(env.platform);
    gate.SetSearchMode(env.searches);
    ProgramRef program = window.DetailProgram();
    if (program.softwareId.empty()) program = ResolveProgramByName(env, name);
    // A residue keeps nothing in Windows' list of programs; an installed program's own
    // Uninstall entry and traces go with it, as with the ticked rows. A program that could
    // not be removed whole keeps its row, so it can be tried again.
    std::vector<RemovalResult> results;
    if (kind == kKindResidual) {
      results.push_back(RemoveSoftware(env, gate, program, name, kResidue, false));
      window.SetGaugeProgress(80);
      if (results.back().Complete()) DeleteFirstRowNamed(window, ListView::lstvRList, name);
      if (window.RowCount(ListView::lstvRList) > 0) Renumber(window, ListView::lstvRList);
    } else {
      results.push_back(RemoveSoftware(env, gate, program, name, kInstalledProgram, false));
      window.SetGaugeProgress(80);
      if (results.back().Complete()) DeleteFirstRowNamed(window, ListView::lstvNList, name);
    }
    window.SetGaugeProgress(100);

    window.ShowMessageBox(CompletionText(results), kFinishCaption, CompletionStyle(results));

    const int residues = window.RowCount(ListView::lstvRList);
    const std::uint16_t supported = CountSupported(window);
    Renumber(window, ListView::lstvNList);
    const int total = residues + supported;
    window.SetText(Label::labSoftNum, std::to_string(total) + std::string(kRemovalCountSuffix));
    window.SetVisible(Control::panCleanHint, false);
    window.ShowPage(total == 0 ? Page::pgWelcome : Page::pgResults);
  });

  if (failure) window.SetVisible(Control::panCleanHint, false);
  for (const Control control : {Control::imgDClean, Control::imgDCancel, Control::pan_Foot_Bottom})
    window.SetEnabled(control, true);
  window.SetGaugeProgress(0);
  ReportFailure(window, failure);
}

}  // namespace sv::engine
