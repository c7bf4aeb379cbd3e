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

bool MatchesProcess(const platform::ProcessEntry& process, std::string_view name) {
  if (name.empty()) return false;
  return SameTextAscii(registry::LastPathPart(process.exeFile), name) ||
         SameTextAscii(process.exeFile, name);
}

// The pieces of a comma list, as they stand; empty pieces name nothing.
StringList NamesOf(std::string_view list) {
  StringList names;
  for (std::string& piece : SplitCommaList(list)) {
    if (!piece.empty()) names.push_back(std::move(piece));
  }
  return names;
}

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

bool DeleteDirTree(platform::Platform& platform, std::string_view folder) {
  const std::string path(folder);
  const auto attributes = platform.files.GetAttributes(path);
  // A junction or symbolic link: remove the link itself, never what it points at. Asked
  // again right here, just before anything below it is touched.
  if (attributes != platform::kInvalidAttributes && (attributes & platform::kAttrReparsePoint)) {
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
    if (entry.IsDirectory()) {
      if (entry.attributes & platform::kAttrReparsePoint) {
        platform.files.RemoveDir(child);
        continue;
      }
      platform.files.SetAttributes(child, 0);
      DeleteDirTree(platform, child);
    } else {
      platform.files.SetAttributes(child, 0);
      platform.files.RemoveFile(child);
    }
  }
  platform.files.RemoveDir(path);
  return !platform::DirectoryExists(platform.files, path);
}

bool IsDirEmpty(platform::Platform& platform, std::string_view folder) {
  return HoldsNothingBut(platform, folder, {});
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

void RemoveSoftware(const RunEnvironment& caller, DeletionGate& gate, std::string_view name,
                    std::uint16_t residual, bool showProgress) {
  const RunScope scope(caller);
  const RunEnvironment& env = scope.Env();
  platform::Platform platform = env.platform;
  WindowControls& window = env.window;
  const auto report = [&](std::string_view text) {
    if (showProgress) window.SetText(Label::panCleanHint, text);
  };
  const auto deleting = [&](std::string_view target) {
    report(" Deleting " + std::string(target) + "...");
  };

  database::TUFileOp db = OpenDatabase(env);
  TURegistryOp reg = OpenRegistry(env);
  StringList info, locationKeys, valueNames, keys, typeLibraries, folders, items;

  if (db.GetSoftInfo(name, info, locationKeys, valueNames) <= 0) return;
  info.resize(kInfoSize);

  // The program's folders; one every program shares never enters the list, so it drives no
  // deletion and no search below.
  if (!locationKeys.empty()) reg.CollectFoldersFromValues(locationKeys, valueNames, folders);
  if (!TrimView(info[kInfoInstallFolder]).empty()) {
    std::string folder = InstallFolderOf(platform, info[kInfoInstallFolder]);
    if (!folder.empty() && std::find(folders.begin(), folders.end(), folder) == folders.end())
      folders.push_back(std::move(folder));
  }
  gate.KeepAllowedFolders(folders);

  for (const std::string& service : NamesOf(info[kInfoServices])) {
    if (!gate.AllowsService(service)) {
      gate.RemoveService(service);  // reported as refused, nothing else
      continue;
    }
    report(" Unloading services - " + service + "...");
    gate.RemoveService(service);
    reg.FindServiceKeys(service, keys);
    for (const std::string& key : keys)
      gate.DeleteRegistryItem(key, registry::kItemKey);
  }

  for (const std::string& process : NamesOf(info[kInfoProcesses])) {
    if (!IsProcessRunning(platform, process)) continue;
    report(" Ending process - " + process + "...");
    gate.EndProcessByName(process);
  }

  db.GetSoftItems(name, 0, 1, items);
  for (const std::string& line : items) {
    if (line.empty()) continue;
    const char kind = line[0];
    const std::string path = line.substr(1);
    deleting(path);
    if (kind == '1') {
      gate.DeleteFile(path, true);
    } else if (kind == '4') {
      gate.DeleteTree(path);
    } else {
      gate.DeleteRegistryItem(path, kind - '0');
    }
  }

  const auto deleteKeys = [&](const StringList& found) {
    for (const std::string& key : found) {
      deleting(key);
      gate.DeleteRegistryItem(key, registry::kItemKey);
    }
  };

  if (!folders.empty()) {
    for (const std::string& folder : folders) {
      deleting(folder);
      if (gate.DeleteTree(folder)) {
        // The folder's parent (up to its last backslash: a folder written with a trailing
        // backslash is its own parent here) goes when nothing else is left in it.
        const std::string parent = folder.substr(0, folder.rfind('\\') + 1);
        gate.RemoveDirIfEmpty(parent, folder);
      }
    }
    if (reg.FindComClasses(folders, typeLibraries, keys) > 0) {
      deleteKeys(keys);
      if (!typeLibraries.empty()) {
        reg.FindTypeLibraries(typeLibraries, keys);
        deleteKeys(keys);
        reg.FindInterfaces(typeLibraries, keys);
        deleteKeys(keys);
      }
    }
    std::vector<registry::RegistryValueRef> entries;
    for (int list = 1; list <= 7; ++list) {
      reg.FindFolderListEntries(folders, entries, list);
      for (const registry::RegistryValueRef& entry : entries) {
        deleting(entry.keyPath + "\\" + entry.valueName);
        gate.DeleteRegistryValue(entry.keyPath, entry.valueName);
      }
    }
  }

  std::string productCode;
  reg.FindInstallerProducts(name, keys, productCode);
  if (!keys.empty()) {
    deleteKeys(keys);
    reg.FindInstallerFeatures(productCode, keys);
    deleteKeys(keys);
    reg.FindInstallerUpgradeCodes(productCode, keys);
    deleteKeys(keys);
    reg.FindInstallerComponents(productCode, keys);
    deleteKeys(keys);
  }

  StringList shortcuts;
  for (int kind = 1; kind <= 4; ++kind) {
    FindShortcuts(platform, gate, info[kInfoDesktop + static_cast<std::size_t>(kind) - 1], kind,
                  shortcuts);
    for (const std::string& path : shortcuts) {
      deleting(path);
      // Program groups are folders in the programs menu and the start menu.
      const bool group =
          (kind == 2 || kind == 4) && platform::DirectoryExists(platform.files, path);
      if (group) {
        gate.DeleteTree(path);
        gate.RemoveDirIfEmpty(path.substr(0, path.rfind('\\') + 1), path);
      } else {
        gate.DeleteFile(path, false);
      }
    }
  }

  if (residual == kInstalledProgram) {
    // The traces are found through the Uninstall entry, so they go first.
    StringList traces;
    reg.FindProgramTraces(name, traces);
    for (const std::string& trace : traces) {
      if (trace.empty()) continue;
      deleting(trace.substr(1));
      gate.DeleteRegistryItem(trace.substr(1), trace[0] - '0');
    }
    const std::string uninstallKey = reg.FindUninstallKey(name);
    if (!uninstallKey.empty()) gate.DeleteRegistryItem(uninstallKey, registry::kItemKey);
  }
}

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
    const auto remove = [&](const std::string& name, std::uint16_t residual) {
      if (showProgress) window.SetText(Label::panCleanHint, " Cleaning " + name + "...");
      RemoveSoftware(env, gate, name, residual, showProgress);
      if (showProgress)
        window.SetText(Label::panCleanHint, " " + name + " has successfully unloaded.");
    };

    const int installed = window.RowCount(ListView::lstvNList);
    for (int i = 0; i < installed; ++i) {
      window.SetRowSelected(ListView::lstvNList, i, false);
      AdvanceGauge(window);
      const ListRow row = window.Row(ListView::lstvNList, i);
      if (row.checked && row.subItems.size() > 1 && row.subItems[1] == kStateSupported) {
        window.SetRowSelected(ListView::lstvNList, i, true);
        remove(row.subItems[0], kInstalledProgram);
      }
    }
    const int residues = window.RowCount(ListView::lstvRList);
    for (int i = 0; i < residues; ++i) {
      window.SetRowSelected(ListView::lstvRList, i, false);
      AdvanceGauge(window);
      const ListRow row = window.Row(ListView::lstvRList, i);
      if (row.checked && !row.subItems.empty()) {
        window.SetRowSelected(ListView::lstvRList, i, true);
        remove(row.subItems[0], kResidue);
      }
    }

    window.ShowMessageBox(kCleaningCompleted, kFinishCaption,
                          platform::kMbOk | platform::kMbIconInformation);

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
    // A residue keeps nothing in Windows' list of programs; an installed program's own
    // Uninstall entry and traces go with it, as with the ticked rows.
    if (kind == kKindResidual) {
      RemoveSoftware(env, gate, name, kResidue, false);
      window.SetGaugeProgress(80);
      DeleteFirstRowNamed(window, ListView::lstvRList, name);
      if (window.RowCount(ListView::lstvRList) > 0) Renumber(window, ListView::lstvRList);
    } else {
      RemoveSoftware(env, gate, name, kInstalledProgram, false);
      window.SetGaugeProgress(80);
      DeleteFirstRowNamed(window, ListView::lstvNList, name);
    }
    window.SetGaugeProgress(100);

    window.ShowMessageBox(kCleaningCompleted, kFinishCaption,
                          platform::kMbOk | platform::kMbIconInformation);

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
