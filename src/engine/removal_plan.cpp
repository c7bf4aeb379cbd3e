#include "engine/removal_plan.h"

#include <algorithm>
#include <set>

#include "common/paths.h"
#include "common/text.h"
#include "engine/deletion_gate.h"
#include "engine/run_support.h"

namespace sv::engine {

namespace {

using namespace detail;
using policy::PathUse;
using policy::Source;

std::string Deleting(std::string_view target) {
  return " Deleting " + std::string(target) + "...";
}

// The folder a path lies in, up to and including its last backslash (a folder written with a
// trailing backslash is its own parent here, so its real parent is never touched).
std::string ParentWithBackslash(std::string_view path) {
  const std::size_t slash = path.rfind('\\');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

class PlanBuilder {
 public:
  PlanBuilder(const RunEnvironment& env, DeletionGate& gate, RemovalPlan& plan)
      : platform_(env.platform), gate_(gate), plan_(plan) {}

  PlanItem& Add(PlanStep step, GateAction action, std::string target, std::string evidence,
                PathUse use = PathUse::File, Source source = Source::Machine) {
    PlanItem item;
    item.step = step;
    item.action = action;
    item.target = std::move(target);
    item.evidence = std::move(evidence);
    item.use = use;
    item.source = source;
    return Push(std::move(item));
  }

  PlanItem& Push(PlanItem item) {
    if (item.action == GateAction::DeleteValue && item.keyPath.empty()) {
      const std::size_t slash = item.target.rfind('\\');
      if (slash != std::string::npos) {
        item.keyPath = item.target.substr(0, slash);
        item.valueName = item.target.substr(slash + 1);
      }
    }
    if (item.action == GateAction::DeleteValue && item.target.empty())
      item.target = item.keyPath + "\\" + item.valueName;
    item.decision = gate_.Decide(item);
    if (item.decision.allowed && IsPathAction(item.action)) Inspect(item);
    const bool deletion =
        item.action == GateAction::DeleteFile || item.action == GateAction::DeleteTree ||
        item.action == GateAction::DeleteKey || item.action == GateAction::DeleteValue;
    if (item.status.empty() && deletion) item.status = Deleting(item.target);
    // The same thing found twice is done once, where it was found first.
    const std::string identity = Identity(item);
    if (!identity.empty() && !seen_.insert(identity).second) {
      duplicate_ = item;
      return duplicate_;
    }
    if (item.decision.allowed &&
        (IsPathAction(item.action) || item.action == GateAction::RemoveEmptyDir))
      planned_.insert(identity);
    plan_.items.push_back(std::move(item));
    return plan_.items.back();
  }

  // A folder of the program's: its tree, then its parent once nothing else is left there.
  void AddTree(PlanStep step, const std::string& folder, const std::string& evidence, Source source,
               std::string detailType = {}) {
    PlanItem& tree = Add(step, GateAction::DeleteTree, folder, evidence, PathUse::Tree, source);
    tree.detailType = std::move(detailType);
    if (!tree.decision.allowed) return;
    AddParent(step, folder);
  }

  void AddParent(PlanStep step, const std::string& folder) {
    const std::string parent = ParentWithBackslash(folder);
    if (parent.empty() || !platform::DirectoryExists(platform_.files, parent)) return;
    // A parent goes only when it holds nothing but what the removal takes from it.
    if (!HoldsOnlyPlanned(parent, registry::LastPathPart(WithoutTrailingBackslashes(folder))))
      return;
    PlanItem item;
    item.step = step;
    item.action = GateAction::RemoveEmptyDir;
    item.target = parent;
    item.leaving = folder;
    item.use = PathUse::EmptyFolder;
    item.evidence = "the parent of " + folder + ", once nothing else is left in it";
    // A parent that the policy keeps is no part of the removal, and worth no line.
    if (!gate_.Decide(item).allowed) return;
    Push(std::move(item));
  }

 private:
  static bool IsPathAction(GateAction action) {
    return action == GateAction::DeleteFile || action == GateAction::DeleteTree;
  }

  // What the machine shows of a file or folder the policy allows: a link leads elsewhere and
  // is kept; a folder's tree is listed with every entry it takes.
  void Inspect(PlanItem& item) {
    const auto canonical = gate_.CanonicalPath(item.target);
    if (!canonical) return;
    const auto identity = platform_.files.Identify(*canonical);
    if (!identity) return;
    if (policy::FoldedPathText(identity->finalPath) != *canonical) {
      item.decision = {false, false,
                       "is a link, or lies behind one, to " + identity->finalPath +
                           ": it is kept, since the system would delete what it points at"};
      return;
    }
    if (item.action == GateAction::DeleteTree) {
      if (identity->attributes & platform::kAttrReparsePoint) {
        item.decision.reason += "; a link, removed as a link";
        return;
      }
      item.contents = ListTreeForRemoval(platform_.files, *canonical);
    }
  }

  // Whether everything in `folder` is `leaving` or an earlier item of the plan.
  bool HoldsOnlyPlanned(const std::string& folder, std::string_view leaving) const {
    const auto canonical = gate_.CanonicalPath(folder);
    if (!canonical) return false;
    auto search = platform_.files.FindFirst(WithTrailingBackslash(folder) + "*.*");
    if (!search) return true;
    do {
      const std::string& name = search->Current().name;
      if (name == "." || name == ".." || SameTextAscii(name, leaving)) continue;
      const std::string inside = "f" + *canonical + "\\" + LowerAscii(name);
      if (!planned_.contains(inside)) return false;
    } while (search->Next());
    return true;
  }

  std::string Identity(const PlanItem& item) const {
    switch (item.action) {
      case GateAction::DeleteFile:
      case GateAction::DeleteTree:
      case GateAction::RemoveEmptyDir: {
        const auto canonical = gate_.CanonicalPath(item.target);
        return canonical ? "f" + *canonical : std::string();
      }
      case GateAction::DeleteKey:
        return "k" + LowerAscii(WithoutTrailingBackslashes(item.target));
      case GateAction::DeleteValue:
        return "v" + LowerAscii(WithoutTrailingBackslashes(item.keyPath)) + "\\" +
               LowerAscii(item.valueName);
      case GateAction::RemoveService:
        return "s" + LowerAscii(item.target);
      case GateAction::EndProcess:
        return "p" + std::to_string(item.processId);
      case GateAction::SkipFolder:
        break;
    }
    return {};
  }

  platform::Platform platform_;
  DeletionGate& gate_;
  RemovalPlan& plan_;
  std::set<std::string> seen_;
  std::set<std::string> planned_;  // files and folders the plan deletes
  PlanItem duplicate_;
};

}  // namespace

namespace {

// Everything inside a folder, each entry after what lies in it, never entering a link. A file
// link that the system follows (Wine shows it as a plain file) is told by where it leads.
void ListTree(platform::FileSystem& files, const std::string& folder, std::vector<TreeEntry>& out,
              int depth) {
  constexpr int kMaxDepth = 64;
  if (depth > kMaxDepth) return;
  std::vector<platform::FindData> entries;
  if (auto search = files.FindFirst(WithTrailingBackslash(folder) + "*.*")) {
    do {
      entries.push_back(search->Current());
    } while (search->Next());
  }
  for (const platform::FindData& entry : entries) {
    if (entry.name == "." || entry.name == "..") continue;
    TreeEntry item;
    item.path = WithTrailingBackslash(folder) + entry.name;
    item.folder = entry.IsDirectory();
    const auto identity = files.Identify(item.path);
    const bool leadsElsewhere = identity && policy::FoldedPathText(identity->finalPath) !=
                                                policy::FoldedPathText(item.path);
    item.link = (entry.attributes & platform::kAttrReparsePoint) != 0 || leadsElsewhere;
    if (identity && item.link) item.linkTarget = identity->finalPath;
    if (item.folder && !item.link) ListTree(files, item.path, out, depth + 1);
    out.push_back(std::move(item));
  }
}

// The product's name as its key gives it ("ProductName", or the Installer's own record's
// "DisplayName").
std::string ProductNameAt(platform::Platform& platform, const std::string& key) {
  const platform::Hive hive = registry::RootKeyOfPath(key);
  const std::string path(registry::KeyPathOf(key));
  for (const auto& [below, value] : {std::pair<const char*, const char*>{"", "ProductName"},
                                     {"\\InstallProperties", "DisplayName"}}) {
    const auto read = platform.registry.ReadValue(hive, path + below, value);
    if (read && platform::IsSingleStringType(read->type)) return Trim(read->data);
  }
  return {};
}

// Whether `product` is `name` followed by nothing but a version, a build or a bitness:
// "Maildove Mail Client 7.0 (x64)" for "Maildove Mail Client", never "Acme Tools" for "Acme".
bool IsVersionOf(std::string_view product, std::string_view name) {
  const std::string folded = LowerAscii(product);
  const std::string wanted = LowerAscii(TrimView(name));
  if (wanted.empty() || !folded.starts_with(wanted)) return false;
  static constexpr std::string_view kWords[] = {"x64",   "x86",     "x32",    "amd64", "bit",
                                                "build", "version", "sp",     "r",     "v",
                                                "rc",    "beta",    "release"};
  std::string token;
  const auto acceptable = [&](const std::string& word) {
    if (word.empty()) return true;
    if (std::find(std::begin(kWords), std::end(kWords), word) != std::end(kWords)) return true;
    std::size_t letters = 0;
    while (letters < word.size() && word[letters] >= 'a' && word[letters] <= 'z')
      ++letters;
    const std::string_view rest = std::string_view(word).substr(letters);
    const bool versionNumber =
        !rest.empty() &&
        std::all_of(rest.begin(), rest.end(),
                    [](char c) { return (c >= '0' && c <= '9') || c == '.'; }) &&
        (letters == 0 || word.substr(0, letters) == "v" || word.substr(0, letters) == "r" ||
         word.substr(0, letters) == "build");
    return versionNumber ||
           (word.ends_with("bit") && word.size() > 3 &&
            std::all_of(word.begin(), word.end() - 3, [](char c) { return c >= '0' && c <= '9'; }));
  };
  for (const char c : folded.substr(wanted.size())) {
    if (c == ' ' || c == '(' || c == ')' || c == ',' || c == '-' || c == '_') {
      if (!acceptable(token)) return false;
      token.clear();
    } else {
      token += c;
    }
  }
  return acceptable(token);
}

}  // namespace

std::vector<TreeEntry> ListTreeForRemoval(platform::FileSystem& files, const std::string& folder) {
  std::vector<TreeEntry> entries;
  ListTree(files, folder, entries, 0);
  return entries;
}

int RemovalResult::Count(Outcome outcome) const {
  return static_cast<int>(std::count_if(items.begin(), items.end(), [&](const auto& entry) {
    return entry.second.outcome == outcome;
  }));
}

RemovalPlan PlanRemoval(const RunEnvironment& env, DeletionGate& gate, const ProgramRef& program,
                        std::string_view name, std::uint16_t residual) {
  RemovalPlan plan;
  plan.name = std::string(name);
  plan.program = program;
  plan.residual = residual;
  platform::Platform platform = env.platform;
  database::TUFileOp db = OpenDatabase(env);
  registry::TURegistryOp reg = OpenRegistry(env);
  reg.UsePolicy(&gate.Policy());
  StringList info, locationKeys, valueNames, keys, typeLibraries, items;
  if (TrimView(program.softwareId).empty() ||
      db.GetSoftInfoById(program.softwareId, info, locationKeys, valueNames) <= 0) {
    return plan;
  }
  plan.known = true;
  info.resize(kInfoSize);

  // What the removal knows of the program: its own folders and names are the evidence.
  const registry::TUNINSTALL_DES entry = reg.ReadUninstallEntryAt(program.entryKey);
  policy::ProgramFacts& facts = plan.facts;
  facts.softwareId = Trim(program.softwareId);
  facts.databaseName = info[1];
  facts.displayName = entry.DisplayName;
  facts.uninstallKey = entry.KeyName.empty() ? std::string() : program.entryKey;
  facts.publisher = entry.Publisher;
  StringList productKeys;
  if (!facts.uninstallKey.empty()) {
    facts.packedProductCode =
        policy::PackedProductCode(policy::ProductCodeOfEntry(entry.KeyName, entry.UninstallString));
    reg.FindInstallerProductsByCode(facts.packedProductCode, productKeys);
  } else {
    // A leftover of removed software has no entry to give its product code: its name does,
    // but only a product named like the program and a version ("Acme 7.0", not "Acme Tools")
    // is taken for its own.
    reg.FindInstallerProducts(facts.databaseName, productKeys, facts.packedProductCode);
    if (!productKeys.empty() &&
        !IsVersionOf(ProductNameAt(platform, productKeys.front()), facts.databaseName)) {
      productKeys.clear();
      facts.packedProductCode.clear();
    }
  }
  StringList locationFolders;
  if (!locationKeys.empty())
    reg.CollectFoldersFromValues(locationKeys, valueNames, locationFolders);
  const std::string code = info[kInfoInstallFolder];
  const std::string codeFolder =
      TrimView(code).empty() ? std::string() : InstallFolderOf(platform, code);
  facts.installFolders = locationFolders;
  if (const std::string text = InstallFolderText(platform, code); !text.empty())
    facts.installFolders.push_back(text);
  if (IsFullyQualifiedPath(entry.InstallLocation))
    facts.installFolders.push_back(entry.InstallLocation);
  // The folders the database names are the program's own places too, where the policy can
  // place them (outside the roots programs share, only when they carry its name).
  db.GetSoftItemsById(program.softwareId, 0, 1, items);
  for (const std::string& line : items) {
    if (line.size() > 1 && line[0] == '4') facts.installFolders.push_back(line.substr(1));
  }
  gate.Policy().SetProgram(facts);

  PlanBuilder builder(env, gate, plan);

  for (const std::string& service : NamesOf(info[kInfoServices])) {
    PlanItem& item = builder.Add(PlanStep::Services, GateAction::RemoveService, service,
                                 "a service the database names");
    item.status = " Unloading services - " + service + "...";
    reg.FindServiceKeys(service, keys);
    // The service's keys go with it, under its one status line.
    for (const std::string& key : keys)
      builder
          .Add(PlanStep::Services, GateAction::DeleteKey, key, "the key of the service " + service)
          .status = " ";
  }

  if (const auto processes = platform.processes.Snapshot()) {
    for (const std::string& processName : NamesOf(info[kInfoProcesses])) {
      bool first = true;
      for (const platform::ProcessEntry& process : *processes) {
        if (!MatchesProcess(process, processName)) continue;
        PlanItem item;
        item.step = PlanStep::Processes;
        item.action = GateAction::EndProcess;
        item.target = process.exeFile;
        item.processId = process.processId;
        item.evidence = "a process the database names (" + processName + ")";
        // One status line for all copies of a program.
        if (first) item.status = " Ending process - " + processName + "...";
        first = false;
        builder.Push(std::move(item));
      }
    }
  }

  for (const std::string& line : items) {
    if (line.empty()) continue;
    const std::string path = line.substr(1);
    switch (line[0]) {
      case '1':
        builder
            .Add(PlanStep::Items, GateAction::DeleteFile, path, "a file the database names",
                 PathUse::File, Source::Database)
            .detailType = "File";
        break;
      case '4':
        builder.AddTree(PlanStep::Items, path, "a folder the database names", Source::Database,
                        "Directory");
        break;
      case '2':
        builder
            .Add(PlanStep::Items, GateAction::DeleteKey, path, "a key the database names",
                 PathUse::File, Source::Database)
            .detailType = "Key";
        break;
      case '3':
        builder
            .Add(PlanStep::Items, GateAction::DeleteValue, path, "a value the database names",
                 PathUse::File, Source::Database)
            .detailType = "Value";
        break;
      default:
        break;
    }
  }

  // The program's folders: those its location values name, and its install folder.
  struct Folder {
    std::string path;
    const char* evidence;
    Source source;
  };
  std::vector<Folder> folders;
  for (const std::string& folder : locationFolders)
    folders.push_back({folder, "the folder a location value names", Source::Machine});
  if (!codeFolder.empty())
    folders.push_back({codeFolder, "the install folder the database names", Source::Database});
  StringList allowedFolders;
  for (const Folder& folder : folders) {
    builder.AddTree(PlanStep::Folders, folder.path, folder.evidence, folder.source);
    if (gate.AllowsPath(folder.path, PathUse::Tree, folder.source))
      allowedFolders.push_back(folder.path);
  }
  const auto addRegistrations = [&](const StringList& searchFolders, auto&& add) {
    if (searchFolders.empty()) return;
    if (reg.FindComClasses(searchFolders, typeLibraries, keys) <= 0) return;
    for (const std::string& key : keys)
      add(key, "a COM class served from the program's folder");
    if (typeLibraries.empty()) return;
    gate.Policy().AddTypeLibraries(typeLibraries);
    const StringList libraries = typeLibraries;
    reg.FindTypeLibraries(libraries, keys);
    for (const std::string& key : keys)
      add(key, "a type library of the program's classes");
    reg.FindInterfaces(libraries, keys);
    for (const std::string& key : keys)
      add(key, "an interface of the program's type library");
  };
  addRegistrations(allowedFolders, [&](const std::string& key, const char* evidence) {
    builder.Add(PlanStep::Registrations, GateAction::DeleteKey, key, evidence).detailType = "Key";
  });
  if (!allowedFolders.empty()) {
    std::vector<registry::RegistryValueRef> entries;
    for (int list = 1; list <= 7; ++list) {
      reg.FindFolderListEntries(allowedFolders, entries, list);
      for (const registry::RegistryValueRef& value : entries) {
        PlanItem item;
        item.step = PlanStep::SystemLists;
        item.action = GateAction::DeleteValue;
        item.keyPath = value.keyPath;
        item.valueName = value.valueName;
        item.evidence = "an entry of a system list for the program's folder";
        builder.Push(std::move(item));
      }
    }
  }

  const auto addInstaller = [&](const StringList& found, const char* evidence) {
    for (const std::string& key : found) {
      PlanItem& item = builder.Add(PlanStep::Installer, GateAction::DeleteKey, key, evidence);
      item.detailType = "Key";
      if (item.decision.allowed || facts.packedProductCode.empty()) continue;
      // A component or upgrade code other products list too: only this product's entry goes.
      auto value = platform.registry.OpenKey(registry::RootKeyOfPath(key), registry::KeyPathOf(key),
                                             platform::KeyAccess::Read);
      if (!value || !value->QueryValue(facts.packedProductCode)) continue;
      PlanItem entryItem;
      entryItem.step = PlanStep::Installer;
      entryItem.action = GateAction::DeleteValue;
      entryItem.keyPath = key;
      entryItem.valueName = facts.packedProductCode;
      entryItem.evidence = "the program's entry in a registration other products share";
      entryItem.detailType = "Value";
      builder.Push(std::move(entryItem));
    }
  };
  if (!productKeys.empty()) {
    addInstaller(productKeys, "the Installer's record of the program's product");
    reg.FindInstallerFeatures(facts.packedProductCode, keys);
    addInstaller(keys, "the features of the program's product");
    reg.FindInstallerUpgradeCodes(facts.packedProductCode, keys);
    addInstaller(keys, "the upgrade code of the program's product");
    reg.FindInstallerComponents(facts.packedProductCode, keys);
    addInstaller(keys, "a component of the program's product");
  }

  StringList shortcuts;
  for (int kind = 1; kind <= 4; ++kind) {
    FindShortcuts(platform, gate, info[kInfoDesktop + static_cast<std::size_t>(kind) - 1], kind,
                  shortcuts);
    for (const std::string& path : shortcuts) {
      // Program groups are folders in the programs menu and the start menu.
      if ((kind == 2 || kind == 4) && platform::DirectoryExists(platform.files, path)) {
        builder.AddTree(PlanStep::Shortcuts, path, "a program group the database names",
                        Source::Database, "Shortcut");
      } else {
        builder
            .Add(PlanStep::Shortcuts, GateAction::DeleteFile, path, "a shortcut the database names",
                 PathUse::Shortcut, Source::Database)
            .detailType = "Shortcut";
      }
    }
  }

  if (residual == kInstalledProgram && !facts.uninstallKey.empty()) {
    // The traces are found through the Uninstall entry, so they go first.
    StringList traces;
    reg.FindProgramTracesOfEntry(facts.uninstallKey, traces);
    for (const std::string& trace : traces) {
      if (trace.size() < 2) continue;
      builder.Add(PlanStep::Traces,
                  trace[0] == '3' ? GateAction::DeleteValue : GateAction::DeleteKey,
                  trace.substr(1), "a trace of the program's Uninstall entry");
    }
    // Its deletion writes no status line of its own.
    builder
        .Add(PlanStep::UninstallEntry, GateAction::DeleteKey, facts.uninstallKey,
             "the program's own Uninstall entry")
        .status = " ";
  }

  // The detail view lists the files of the folders the location values name, or of the
  // install folder when they name none (and only when the database has location values).
  if (!locationKeys.empty()) {
    StringList detailFolders = locationFolders;
    if (detailFolders.empty() && !codeFolder.empty()) detailFolders.push_back(codeFolder);
    for (const std::string& folder : detailFolders) {
      if (gate.AllowsPath(folder, PathUse::Tree, Source::Machine))
        plan.detailFolders.push_back(folder);
    }
    std::set<std::string> detailSet, removalSet;
    for (const std::string& folder : plan.detailFolders)
      detailSet.insert(gate.CanonicalPath(folder).value_or(folder));
    for (const std::string& folder : allowedFolders)
      removalSet.insert(gate.CanonicalPath(folder).value_or(folder));
    if (detailSet == removalSet) {
      for (const PlanItem& item : plan.items) {
        if (item.step == PlanStep::Registrations) plan.detailRegistrations.push_back(item);
      }
    } else {
      addRegistrations(plan.detailFolders, [&](const std::string& key, const char* evidence) {
        PlanItem item;
        item.step = PlanStep::Registrations;
        item.action = GateAction::DeleteKey;
        item.target = key;
        item.evidence = evidence;
        item.decision = gate.Decide(item);
        item.detailType = "Key";
        plan.detailRegistrations.push_back(std::move(item));
      });
    }
  }
  return plan;
}

RemovalResult ExecutePlan(const RunEnvironment& env, DeletionGate& gate, const RemovalPlan& plan,
                          bool showProgress) {
  RemovalResult result;
  result.name = plan.name;
  result.known = plan.known;
  bool filesFailed = false;
  platform::Platform platform = env.platform;
  for (const PlanItem& item : plan.items) {
    if ((item.step == PlanStep::Traces || item.step == PlanStep::UninstallEntry) && filesFailed) {
      ItemResult kept{Outcome::Kept,
                      "kept, so that the program stays listed and can be removed again: some of "
                      "its files could not be removed"};
      result.items.emplace_back(item, gate.Keep(item, kept));
      continue;
    }
    // A parent goes only after the folder the removal took from it.
    if (item.action == GateAction::RemoveEmptyDir && gate.GetMode() == DeletionGate::Mode::Delete) {
      const auto leaving = gate.CanonicalPath(item.leaving);
      if (!leaving || platform.files.GetAttributes(*leaving) != platform::kInvalidAttributes)
        continue;
    }
    if (showProgress && item.decision.allowed && !TrimView(item.status).empty())
      env.window.SetText(Label::panCleanHint, item.status);
    ItemResult outcome = gate.Execute(item);
    if (outcome.outcome == Outcome::Failed &&
        (item.action == GateAction::DeleteFile || item.action == GateAction::DeleteTree)) {
      filesFailed = true;
    }
    result.items.emplace_back(item, std::move(outcome));
  }
  return result;
}

// --- Identity ---

std::vector<ListedProgram> MatchInstalledPrograms(const RunEnvironment& env) {
  std::vector<ListedProgram> listed;
  database::TUFileOp db = OpenDatabase(env);
  registry::TURegistryOp reg = OpenRegistry(env);
  StringList names, keys, dbNames, ids;
  reg.ListInstalledPrograms(names, keys, false);
  db.GetSoftNameList(dbNames, 0);
  db.GetSoftIdList(ids, 0);
  // Without database names the scan lists nothing at all.
  if (dbNames.empty()) return listed;
  SupportMatcher matcher(std::move(dbNames), std::move(ids), env.searches == SearchMode::Indexed);
  for (std::size_t i = 0; i < names.size() && i < keys.size(); ++i) {
    if (!reg.IsListedEntry(keys[i])) continue;
    const auto id = matcher.Match(names[i]);
    if (!id && names[i] == "Sorvane") continue;
    listed.push_back({names[i], ProgramRef{id.value_or(std::string()), keys[i]}});
  }
  return listed;
}

std::optional<ListedProgram> FindInstalledProgram(const RunEnvironment& env,
                                                  std::string_view name) {
  for (ListedProgram& program : MatchInstalledPrograms(env)) {
    if (program.displayName == name) return std::move(program);
  }
  return std::nullopt;
}

std::optional<ProgramRef> FindResidue(const RunEnvironment& env, std::string_view name) {
  database::TUFileOp db = OpenDatabase(env);
  registry::TURegistryOp reg = OpenRegistry(env);
  StringList names, keys, dbNames, ids;
  reg.ListInstalledPrograms(names, keys, false);
  db.GetSoftNameList(dbNames, 0);
  db.GetSoftIdList(ids, 0);
  SupportMatcher matcher(std::move(dbNames), std::move(ids), env.searches == SearchMode::Indexed);
  for (std::size_t i = 0; i < names.size() && i < keys.size(); ++i) {
    if (reg.IsListedEntry(keys[i])) (void)matcher.Match(names[i]);
  }
  platform::Platform platform = env.platform;
  const DeletionGate gate(platform, DeletionGate::Mode::Record);
  for (std::size_t j = 0; j < matcher.Names().size(); ++j) {
    if (matcher.Names()[j] != name) continue;
    if (IsResidue(platform, db, reg, gate, matcher.Names()[j], matcher.Ids()[j], nullptr, nullptr))
      return ProgramRef{matcher.Ids()[j], {}};
    return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace sv::engine
