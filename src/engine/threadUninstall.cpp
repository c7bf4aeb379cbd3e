#include "engine/threadUninstall.h"

#include <algorithm>
#include <charconv>
#include <exception>
#include <optional>

#include "common/paths.h"
#include "common/text.h"
#include "database/opUninstallFile.h"
#include "engine/deletion_gate.h"
#include "engine/removal_plan.h"
#include "engine/run_support.h"
#include "registry/opUninstallRegistry.h"

namespace sv::engine {

namespace {

using database::TUFileOp;
using registry::TURegistryOp;
using namespace detail;

int ParseIndex(std::string_view text) {
  int value = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return -1;
  return value;
}

std::string CountText(std::int32_t count) {
  return std::to_string(count) + std::string(kScanCountSuffix);
}

// A relative path that stays below the folder it is appended to: a part that is empty once
// Windows has dropped its trailing blanks and dots ("", " ", ".", "..", so also "a\\..") would
// address the folder itself or its parent, and a colon a drive. A removal would take that tree.
bool IsPathBelowFolder(std::string_view name) {
  if (name.empty()) return false;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = name.find_first_of("\\/", start);
    std::string_view part =
        name.substr(start, end == std::string_view::npos ? name.npos : end - start);
    while (!part.empty() && (part.back() == ' ' || part.back() == '.'))
      part.remove_suffix(1);
    if (part.empty() || part.find(':') != std::string_view::npos) return false;
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

struct ShortcutFolders {
  int first;
  int second;
};

std::optional<ShortcutFolders> FoldersOfKind(int kind) {
  namespace csidl = platform::csidl;
  switch (kind) {
    case 1:
      return ShortcutFolders{csidl::kDesktop, csidl::kCommonDesktopDirectory};
    case 2:
      return ShortcutFolders{csidl::kPrograms, csidl::kCommonPrograms};
    case 3:
      return ShortcutFolders{csidl::kCommonStartup, csidl::kStartup};
    case 4:
      return ShortcutFolders{csidl::kStartMenu, csidl::kCommonStartMenu};
    default:
      return std::nullopt;
  }
}

}  // namespace

std::string_view PageName(Page page) noexcept {
  switch (page) {
    case Page::pgWelcome:
      return "pgWelcome";
    case Page::pgResults:
      return "pgResults";
    case Page::pgSubmit:
      return "pgSubmit";
    case Page::pgDetail:
      return "pgDetail";
    case Page::pgSettings:
      return "pgSettings";
    case Page::pgSupport:
      return "pgSupport";
  }
  return "?";
}

int CompareListItems(const ListRow& first, const ListRow& second, int column) {
  if (column == 0) {
    const auto number = [](const std::string& caption) -> long long {
      long long value = 0;
      const std::string_view text = TrimView(caption);
      std::from_chars(text.data(), text.data() + text.size(), value);
      return value;
    };
    const long long difference = number(first.caption) - number(second.caption);
    return difference < 0 ? -1 : (difference > 0 ? 1 : 0);
  }
  const auto sub = [column](const ListRow& row) -> std::string_view {
    const auto index = static_cast<std::size_t>(column - 1);
    return column > 0 && index < row.subItems.size() ? std::string_view(row.subItems[index])
                                                     : std::string_view();
  };
  return CompareTextAscii(sub(first), sub(second));
}

void AdvanceGauge(WindowControls& window) {
  window.SetGaugeProgress(window.GaugeProgress() + 1);
}

int FindShortcuts(platform::Platform& platform, const DeletionGate& gate, std::string_view names,
                  int kind, StringList& list) {
  return FindShortcutsIn(platform, gate, names, kind, list, nullptr);
}

int detail::FindShortcutsIn(platform::Platform& platform, const DeletionGate& gate,
                            std::string_view names, int kind, StringList& list,
                            platform::FolderListings* listings) {
  list.clear();
  const std::string_view trimmed = TrimView(names);
  if (trimmed.empty()) return 0;
  const auto kinds = FoldersOfKind(kind);
  if (!kinds) return 0;
  // A folder the system cannot name is skipped: "\name" would be looked up on the current drive.
  std::vector<std::string> folders;
  for (const int csidl : {kinds->first, kinds->second}) {
    std::string folder = platform.system.SpecialFolder(csidl);
    folders.push_back(IsFullyQualifiedPath(folder) ? std::move(folder) : std::string());
  }
  for (const std::string& name : SplitCommaList(trimmed)) {
    if (!IsPathBelowFolder(name)) continue;
    for (const std::string& folder : folders) {
      if (folder.empty()) continue;
      std::string path = WithTrailingBackslash(folder) + name;
      const bool exists = listings != nullptr
                              ? listings->Exists(folder, name)
                              : platform.files.GetAttributes(path) != platform::kInvalidAttributes;
      // A name such as "Programs" in the start menu is a shell folder, not a program's own.
      if (exists && gate.AllowsPath(path, policy::PathUse::Shortcut, policy::Source::Database)) {
        list.push_back(std::move(path));
      }
    }
  }
  return static_cast<int>(list.size());
}

std::string detail::InstallFolderText(platform::Platform& platform, std::string_view code) {
  const std::string_view trimmed = TrimView(code);
  // The database always stores a digit and a folder after it; anything else names no folder.
  if (trimmed.size() < 2 || trimmed[0] < '0' || trimmed[0] > '3') return {};
  const std::string_view rest = trimmed.substr(1);
  if (!IsPathBelowFolder(rest)) return {};
  std::string path;
  switch (trimmed[0]) {
    case '0':
      path = "C:\\" + std::string(rest);
      break;
    case '1': {
      const std::string windows = platform.system.WindowsDirectory();
      path = windows.substr(0, 2) + "\\Program Files\\" + std::string(rest);
      break;
    }
    case '2':
      path = platform.system.WindowsDirectory() + "\\" + std::string(rest);
      break;
    default:
      path = platform.system.SystemDirectory() + "\\" + std::string(rest);
      break;
  }
  // Without the Windows folder the text would be relative to the current drive.
  return IsFullyQualifiedPath(path) ? path : std::string();
}

std::string detail::InstallFolderOf(platform::Platform& platform, std::string_view code) {
  std::string path = InstallFolderText(platform, code);
  return !path.empty() && platform::DirectoryExists(platform.files, path) ? path : std::string();
}

std::string ResolveInstallFolder(platform::Platform& platform, const DeletionGate& gate,
                                 std::string_view code) {
  // A code may name a folder every program shares ("2System32").
  std::string path = InstallFolderOf(platform, code);
  return !path.empty() && gate.AllowsPath(path, policy::PathUse::Tree, policy::Source::Database)
             ? path
             : std::string();
}

int FindShortcuts(platform::Platform& platform, std::string_view names, int kind,
                  StringList& list) {
  return FindShortcuts(platform, DeletionGate(platform), names, kind, list);
}

std::string ResolveInstallFolder(platform::Platform& platform, std::string_view code) {
  return ResolveInstallFolder(platform, DeletionGate(platform), code);
}

detail::SupportMatcher::SupportMatcher(StringList names, StringList ids, bool indexed)
    : names_(std::move(names)), ids_(std::move(ids)), indexed_(indexed) {
  ids_.resize(names_.size());
  // The database names in lower case, kept beside them (the literal lookup folds each name
  // again for every installed program).
  if (indexed_) {
    for (const std::string& name : names_)
      folded_.push_back(LowerAscii(name));
  }
}

std::optional<std::string> detail::SupportMatcher::Match(std::string_view installedName) {
  const std::string installed = LowerAscii(installedName);
  for (std::size_t n = 0; n < names_.size(); ++n) {
    // A blank name would be the beginning of every installed name.
    if (TrimView(names_[n]).empty()) continue;
    if (!installed.starts_with(indexed_ ? folded_[n] : LowerAscii(names_[n]))) continue;
    std::string id = ids_[n];
    const auto at = static_cast<std::ptrdiff_t>(n);
    names_.erase(names_.begin() + at);
    ids_.erase(ids_.begin() + at);
    if (indexed_) folded_.erase(folded_.begin() + at);
    return id;
  }
  return std::nullopt;
}

bool detail::IsResidue(platform::Platform& platform, TUFileOp& db, TURegistryOp& reg,
                       const DeletionGate& gate, std::string_view name, std::string_view softwareId,
                       const registry::InstallerProductList* products,
                       platform::FolderListings* listings) {
  if (TrimView(name).empty()) return false;
  StringList paths, info, locationKeys, valueNames;
  std::string productCode;
  if (products) {
    reg.FindInstallerProducts(*products, name, paths, productCode);
  } else {
    reg.FindInstallerProducts(name, paths, productCode);
  }
  if (!paths.empty()) return true;
  if (db.GetSoftInfoById(softwareId, info, locationKeys, valueNames) > 0 &&
      info.size() >= kInfoSize) {
    for (int kind = 1; kind <= 4; ++kind) {
      if (FindShortcutsIn(platform, gate, info[kInfoDesktop + static_cast<std::size_t>(kind) - 1],
                          kind, paths, listings) > 0)
        return true;
    }
  }
  for (const std::uint16_t kind : {1, 2, 4}) {
    if (db.GetSoftItemsById(softwareId, kind, 1, paths) > 0) return true;
  }
  return false;
}

void ScanSoftware(const RunEnvironment& caller) {
  const RunScope scope(caller);
  const RunEnvironment& env = scope.Env();
  WindowControls& window = env.window;
  platform::Platform platform = env.platform;

  const bool hideUnsupported = window.IsChecked(CheckBox::chkHideUnsupport);
  window.SetEnabled(Control::imgScan, false);
  window.ClearRows(ListView::lstvRList);
  window.ClearRows(ListView::lstvNList);

  std::int32_t supported = 0;
  std::int32_t residues = 0;
  std::int32_t found = 0;
  const auto showFound = [&] { window.SetText(Label::labSoftNum, CountText(found)); };

  const auto failure = Guarded([&] {
    const bool indexed = env.searches == SearchMode::Indexed;
    // A scan changes nothing, so the folders and keys it tests are listed once for the run.
    std::optional<platform::RunListings> listings;
    if (indexed)
      listings.emplace(platform.files, platform.registry, platform.system.Is64BitBuild());
    TUFileOp db = OpenDatabase(env);
    db.UseListings(listings ? &*listings : nullptr);
    TURegistryOp reg = OpenRegistry(env);
    if (indexed) reg.SetReadOnlyRun();
    DeletionGate gate(platform);
    gate.SetSearchMode(env.searches);
    StringList names, keys, dbNames, summary;

    reg.ListInstalledPrograms(names, keys, false);
    db.GetSoftNameList(dbNames, 0);
    StringList ids;
    db.GetSoftIdList(ids, 0);
    const int ownIcon =
        reg.AddIconFromFile(env.smallIcons, env.bigIcons, 0, platform.system.ExecutablePath());

    if (dbNames.empty()) return;
    window.SetGaugeMax(static_cast<int>(dbNames.size() + names.size()));
    SupportMatcher matcher(std::move(dbNames), std::move(ids), indexed);
    for (std::size_t i = 0; i < names.size() && i < keys.size(); ++i) {
      AdvanceGauge(window);
      if (reg.ReadProgramSummary(keys[i], env.smallIcons, summary, env.bigIcons) <= 0) continue;
      summary.resize(4);

      // The first database name that the installed name begins with, and only once: a name
      // that has matched is used up. The row keeps the record it matched.
      const std::optional<std::string> matched = matcher.Match(names[i]);

      ListRow row;
      row.caption = std::to_string(window.RowCount(ListView::lstvNList) + 1);
      row.imageIndex = ParseIndex(summary[3]);
      row.program = ProgramRef{matched.value_or(std::string()), keys[i]};
      if (matched) {
        row.subItems = {summary[0], std::string(kStateSupported), summary[1], summary[2]};
        row.stateIndex = 0;
        window.AddRow(ListView::lstvNList, row);
        ++supported;
        ++found;
        showFound();
      } else if (!hideUnsupported && names[i] != "Sorvane") {
        row.subItems = {summary[0], std::string(kStateUnsupported), summary[1], summary[2]};
        row.stateIndex = 2;
        window.AddRow(ListView::lstvNList, row);
      }
    }

    // The Installer's products are read in one walk for all the names left, not once per name.
    const StringList& left = matcher.Names();
    std::optional<registry::InstallerProductList> products;
    if (indexed && std::any_of(left.begin(), left.end(),
                               [](const std::string& name) { return !TrimView(name).empty(); })) {
      products = reg.ReadInstallerProducts();
    }
    for (std::size_t n = 0; n < left.size(); ++n) {
      const std::string& name = left[n];
      AdvanceGauge(window);
      if (!IsResidue(platform, db, reg, gate, name, matcher.Ids()[n],
                     products ? &*products : nullptr, listings ? &listings->folders : nullptr)) {
        continue;
      }
      ListRow row;
      row.caption = std::to_string(residues + 1);
      row.subItems = {name, db.GetCategoryText(name)};
      row.imageIndex = ownIcon;
      row.program = ProgramRef{matcher.Ids()[n], {}};
      window.AddRow(ListView::lstvRList, row);
      ++found;
      showFound();
      ++residues;
    }

    if (supported + residues > 0) window.ShowPage(Page::pgResults);
  });

  // The final step runs on every path, so a failed scan never leaves the Scan button disabled.
  window.SetEnabled(Control::imgScan, true);
  window.SetGaugeProgress(0);
  window.SetText(Label::labSoftNum, CountText(supported + residues));
  window.lstvNListColumnClick(ListView::lstvNList, 2);
  ReportFailure(window, failure);
}

void GatherDetails(const RunEnvironment& caller) {
  const RunScope scope(caller);
  const RunEnvironment& env = scope.Env();
  WindowControls& window = env.window;
  platform::Platform platform = env.platform;

  const std::string name = window.Text(Label::labUS1Soft);
  window.SetGaugeMax(100);

  const auto failure = Guarded([&] {
    // The view lists what a removal would really delete: the removal's own plan.
    DeletionGate gate(platform, DeletionGate::Mode::Record);
    gate.SetSearchMode(env.searches);
    window.ClearRows(ListView::lstvUS2Registry);
    window.ClearRows(ListView::lstvUS2File);
    int fileNumber = 0;
    int registryNumber = 0;
    const auto row = [&](const PlanItem& item) {
      if (!item.decision.allowed || item.detailType.empty()) return;
      const bool registry = item.detailType == "Key" || item.detailType == "Value";
      window.AddRow(registry ? ListView::lstvUS2Registry : ListView::lstvUS2File,
                    ListRow{std::to_string(registry ? ++registryNumber : ++fileNumber),
                            {item.target, item.detailType}});
    };
    window.SetGaugeProgress(5);

    ProgramRef program = window.DetailProgram();
    if (program.softwareId.empty()) program = ResolveProgramByName(env, name);
    const std::uint16_t residual =
        window.Text(Label::labUS1Type) == kKindResidual ? kResidue : kInstalledProgram;
    const RemovalPlan plan = PlanRemoval(env, gate, program, name, residual);
    window.SetGaugeProgress(30);
    for (const PlanItem& item : plan.items) {
      if (item.step == PlanStep::Items) row(item);
    }
    window.SetGaugeProgress(50);
    window.SetGaugeProgress(60);
    if (plan.known) {
      for (const PlanItem& item : plan.items) {
        if (item.step == PlanStep::Shortcuts) row(item);
      }
      window.SetGaugeProgress(70);
      for (const PlanItem& item : plan.items) {
        if (item.step == PlanStep::Installer) row(item);
      }
      window.SetGaugeProgress(80);
      for (const std::string& folder : plan.detailFolders) {
        const std::string prefix = WithTrailingBackslash(folder);
        // The folder's own files only; its sub-folders are not entered.
        if (auto search = platform.files.FindFirst(prefix + "*.*")) {
          do {
            const platform::FindData& entry = search->Current();
            if (!entry.IsDirectory()) {
              window.AddRow(
                  ListView::lstvUS2File,
                  ListRow{std::to_string(++fileNumber), {LowerAscii(prefix + entry.name), "File"}});
            }
          } while (search->Next());
        }
      }
      for (const PlanItem& item : plan.detailRegistrations)
        row(item);
    }

    window.SetGaugeProgress(90);
    window.ShowPage(Page::pgDetail);
  });

  window.SetGaugeProgress(0);
  ReportFailure(window, failure);
}

void RunMode(const RunEnvironment& env, std::uint16_t mode) {
  switch (mode) {
    case kModeDetails:
      GatherDetails(env);
      break;
    case kModeCleanChecked:
      CleanChecked(env);
      break;
    case kModeCleanShown:
      CleanShownSoftware(env);
      break;
    default:
      ScanSoftware(env);
      break;
  }
}

TUninstallThread::TUninstallThread(RunEnvironment env, std::uint16_t mode)
    : Mode(mode), thread_([env, mode] {
        try {
          RunMode(env, mode);
        } catch (...) {
          // RunMode reports its own failures; nothing may leave the thread.
        }
      }) {}

TUninstallThread::~TUninstallThread() {
  Detach();
}

void TUninstallThread::WaitFor() {
  if (thread_.joinable()) thread_.join();
}

void TUninstallThread::Detach() {
  if (thread_.joinable()) thread_.detach();
}

}  // namespace sv::engine
