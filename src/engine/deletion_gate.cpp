#include "engine/deletion_gate.h"

#include <algorithm>
#include <array>

#include "common/paths.h"
#include "common/text.h"
#include "engine/run_support.h"
#include "engine/threadUninstall.h"
#include "platform/listings.h"

namespace sv::engine {

namespace {

using platform::Hive;

// Stands for any one key name in the protected key patterns below (also inside their texts).
constexpr std::string_view kAnyKey = "<any>";

// Folders below the Windows folder that belong to the system as such; a program's own file or
// folder inside them may still go.
constexpr std::array<std::string_view, 26> kWindowsSubfolders{"system32",
                                                              "syswow64",
                                                              "system32\\drivers",
                                                              "syswow64\\drivers",
                                                              "system32\\config",
                                                              "system32\\drivers\\etc",
                                                              "system32\\spool",
                                                              "system32\\wbem",
                                                              "system32\\tasks",
                                                              "system",
                                                              "winsxs",
                                                              "fonts",
                                                              "installer",
                                                              "temp",
                                                              "inf",
                                                              "assembly",
                                                              "microsoft.net",
                                                              "help",
                                                              "resources",
                                                              "servicing",
                                                              "globalization",
                                                              "boot",
                                                              "logs",
                                                              "tasks",
                                                              "sysnative",
                                                              "downloaded program files"};

// Folders of every user profile that Windows itself makes (old and new layouts).
constexpr std::array<std::string_view, 34> kProfileSubfolders{
    "Desktop",
    "Documents",
    "My Documents",
    "Downloads",
    "Music",
    "Pictures",
    "Videos",
    "Favorites",
    "Links",
    "Saved Games",
    "Contacts",
    "Searches",
    "Templates",
    "Cookies",
    "NetHood",
    "PrintHood",
    "Recent",
    "SendTo",
    "AppData",
    "AppData\\Local",
    "AppData\\LocalLow",
    "AppData\\Roaming",
    "AppData\\Local\\Temp",
    "AppData\\Roaming\\Microsoft",
    "AppData\\Roaming\\Microsoft\\Windows\\Start Menu",
    "AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs",
    "AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup",
    "Application Data",
    "Local Settings",
    "Local Settings\\Application Data",
    "Local Settings\\Temp",
    "Start Menu",
    "Start Menu\\Programs",
    "Start Menu\\Programs\\Startup"};

// Every shell folder the system names.
constexpr std::array<int, 44> kShellFolders{
    platform::csidl::kDesktop,
    platform::csidl::kPrograms,
    platform::csidl::kPersonal,
    platform::csidl::kFavorites,
    platform::csidl::kStartup,
    platform::csidl::kRecent,
    platform::csidl::kSendTo,
    platform::csidl::kStartMenu,
    platform::csidl::kMyMusic,
    platform::csidl::kMyVideo,
    platform::csidl::kDesktopDirectory,
    platform::csidl::kNetHood,
    platform::csidl::kFonts,
    platform::csidl::kTemplates,
    platform::csidl::kCommonStartMenu,
    platform::csidl::kCommonPrograms,
    platform::csidl::kCommonStartup,
    platform::csidl::kCommonDesktopDirectory,
    platform::csidl::kAppData,
    platform::csidl::kPrintHood,
    platform::csidl::kLocalAppData,
    platform::csidl::kCommonFavorites,
    platform::csidl::kInternetCache,
    platform::csidl::kCookies,
    platform::csidl::kHistory,
    platform::csidl::kCommonAppData,
    platform::csidl::kWindows,
    platform::csidl::kSystem,
    platform::csidl::kProgramFiles,
    platform::csidl::kMyPictures,
    platform::csidl::kProfile,
    platform::csidl::kSystemX86,
    platform::csidl::kProgramFilesX86,
    platform::csidl::kProgramFilesCommon,
    platform::csidl::kProgramFilesCommonX86,
    platform::csidl::kCommonTemplates,
    platform::csidl::kCommonDocuments,
    platform::csidl::kCommonAdminTools,
    platform::csidl::kAdminTools,
    platform::csidl::kCommonMusic,
    platform::csidl::kCommonPictures,
    platform::csidl::kCommonVideo,
    platform::csidl::kResources,
    platform::csidl::kCdBurnArea,
};

// Processes no removal may end: the system's own, and Wine's stand-ins for them.
constexpr std::array<std::string_view, 16> kSystemProcesses{
    "system",         "[system process]", "smss.exe",  "csrss.exe",   "wininit.exe", "winlogon.exe",
    "services.exe",   "lsass.exe",        "lsm.exe",   "svchost.exe", "dwm.exe",     "explorer.exe",
    "winedevice.exe", "plugplay.exe",     "rpcss.exe", "wineboot.exe"};

// A name as the file system compares it: trailing dots and blanks do not count (Windows drops
// them when it opens a path), nor does ASCII case.
std::string FoldPart(std::string_view part) {
  while (!part.empty() && (part.back() == '.' || part.back() == ' '))
    part.remove_suffix(1);
  return LowerAscii(part);
}

// Splits a canonical path or key path into its parts.
std::vector<std::string_view> Parts(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = text.find('\\', start);
    const std::string_view part = text.substr(start, end == text.npos ? text.npos : end - start);
    if (!part.empty()) parts.push_back(part);
    if (end == text.npos) break;
    start = end + 1;
  }
  return parts;
}

// `path` is `folder` or lies below it (both canonical).
bool IsSameOrBelow(std::string_view path, std::string_view folder) {
  if (path == folder) return true;
  return path.size() > folder.size() && path.starts_with(folder) && path[folder.size()] == '\\';
}

// --- Registry ---

// The canonical form of a key: its hive, and its parts in lower case.
struct KeyName {
  Hive hive;
  std::vector<std::string> parts;
};

std::optional<Hive> HiveOf(std::string_view name) {
  for (const Hive hive : {Hive::ClassesRoot, Hive::CurrentUser, Hive::LocalMachine, Hive::Users,
                          Hive::CurrentConfig}) {
    if (SameTextAscii(name, platform::HiveName(hive))) return hive;
  }
  return std::nullopt;
}

// Only the five hive names are understood: anything else would be sent to some hive the
// writer of the entry never meant.
std::optional<KeyName> ParseKey(std::string_view fullKeyPath) {
  const std::size_t slash = fullKeyPath.find('\\');
  const auto hive = HiveOf(fullKeyPath.substr(0, slash));
  if (!hive || fullKeyPath.find('\0') != std::string_view::npos) return std::nullopt;
  KeyName key{*hive, {}};
  if (slash == std::string_view::npos) return key;
  for (const std::string_view part : Parts(fullKeyPath.substr(slash + 1)))
    key.parts.push_back(LowerAscii(part));
  return key;
}

struct KeyPattern {
  Hive hive;
  std::vector<std::string> parts;
};

// The software roots of the machine and of every user, in both registry views.
std::vector<KeyPattern> SoftwareRoots() {
  const std::string any(kAnyKey);
  return {
      {Hive::LocalMachine, {"software"}}, {Hive::LocalMachine, {"software", "wow6432node"}},
      {Hive::CurrentUser, {"software"}},  {Hive::CurrentUser, {"software", "wow6432node"}},
      {Hive::Users, {any, "software"}},   {Hive::Users, {any, "software", "wow6432node"}},
  };
}

// Where COM and Windows Installer classes live.
std::vector<KeyPattern> ClassesRoots() {
  std::vector<KeyPattern> roots{{Hive::ClassesRoot, {}},
                                {Hive::ClassesRoot, {"wow6432node"}},
                                {Hive::Users, {std::string(kAnyKey)}}};
  for (KeyPattern root : SoftwareRoots()) {
    root.parts.push_back("classes");
    roots.push_back(std::move(root));
  }
  return roots;
}

std::vector<KeyPattern> Below(const std::vector<KeyPattern>& roots,
                              std::initializer_list<std::string_view> tails) {
  std::vector<KeyPattern> patterns;
  for (const KeyPattern& root : roots) {
    for (const std::string_view tail : tails) {
      KeyPattern pattern = root;
      for (const std::string_view part : Parts(tail))
        pattern.parts.push_back(LowerAscii(part));
      patterns.push_back(std::move(pattern));
    }
  }
  return patterns;
}

// Keys that no removal may delete, nor any key above them. Their sub-keys (a vendor key, an
// Uninstall entry, a class) may go.
const std::vector<KeyPattern>& ProtectedKeys() {
  static const std::vector<KeyPattern> keys = [] {
    const std::string any(kAnyKey);
    std::vector<KeyPattern> all{
        // Every key right below a hive root (SOFTWARE, SYSTEM, a user's SID), and for a user
        // every key right below that.
        {Hive::LocalMachine, {any}},
        {Hive::CurrentUser, {any}},
        {Hive::Users, {any, any}},
        {Hive::CurrentConfig, {any}},
        // The control sets and what they hold.
        {Hive::LocalMachine, {"system", any, any}},
        {Hive::LocalMachine,
         {"system", any, "services", "sharedaccess", "parameters", "firewallpolicy", any,
          "authorizedapplications", "list"}},
    };
    const auto add = [&all](std::vector<KeyPattern> more) {
      for (KeyPattern& pattern : more)
        all.push_back(std::move(pattern));
    };
    add(Below(SoftwareRoots(),
              {"Microsoft",
               "Windows",
               "Windows NT",
               "Policies",
               "Classes",
               "Clients",
               "RegisteredApplications",
               "Wow6432Node",
               "ODBC",
               "Wine",
               "Description",
               "Setup",
               "Secure",
               "Program Groups",
               "DefaultUserEnvironment",
               "Microsoft\\Windows",
               "Microsoft\\Windows NT",
               "Microsoft\\Installer",
               "Microsoft\\Installer\\Products",
               "Microsoft\\Installer\\Features",
               "Microsoft\\Installer\\UpgradeCodes",
               "Microsoft\\Installer\\Components",
               "Microsoft\\Windows\\CurrentVersion\\Uninstall",
               "Microsoft\\Windows\\CurrentVersion\\Run",
               "Microsoft\\Windows\\CurrentVersion\\RunOnce",
               "Microsoft\\Windows\\CurrentVersion\\RunOnceEx",
               "Microsoft\\Windows\\CurrentVersion\\App Paths",
               "Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache",
               "Microsoft\\Windows\\CurrentVersion\\SharedDlls",
               "Microsoft\\Windows\\CurrentVersion\\Policies",
               "Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
               "Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
               "Microsoft\\Windows\\CurrentVersion\\Installer\\Folders",
               "Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes",
               "Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\<any>\\Products",
               "Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\<any>\\Components",
               "Microsoft\\Windows\\ShellNoRoam\\MUICache",
               "Microsoft\\Windows NT\\CurrentVersion\\Hotfix",
               "Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
               "Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
               "Microsoft\\Windows NT\\CurrentVersion\\Fonts"}));
    add(Below(ClassesRoots(), {"CLSID",
                               "TypeLib",
                               "Interface",
                               "AppID",
                               "Installer\\Products",
                               "Installer\\Features",
                               "Installer\\UpgradeCodes",
                               "Installer\\Components",
                               "Installer\\Patches",
                               "Wow6432Node\\CLSID",
                               "Wow6432Node\\TypeLib",
                               "Wow6432Node\\Interface",
                               "Wow6432Node\\AppID",
                               "Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache",
                               "*",
                               "AllFilesystemObjects",
                               "Directory",
                               "Drive",
                               "Folder",
                               "exefile",
                               "dllfile",
                               "lnkfile",
                               ".exe",
                               ".dll",
                               ".lnk"}));
    return all;
  }();
  return keys;
}

// List keys whose values are programs' entries: a removal deletes single values there.
const std::vector<KeyPattern>& ValueListKeys() {
  static const std::vector<KeyPattern> keys = [] {
    const std::string any(kAnyKey);
    std::vector<KeyPattern> all{
        {Hive::LocalMachine,
         {"system", any, "services", "sharedaccess", "parameters", "firewallpolicy", any,
          "authorizedapplications", "list"}},
    };
    for (KeyPattern& pattern :
         Below(SoftwareRoots(), {"Microsoft\\Windows\\CurrentVersion\\Run",
                                 "Microsoft\\Windows\\CurrentVersion\\RunOnce",
                                 "Microsoft\\Windows\\CurrentVersion\\SharedDlls",
                                 "Microsoft\\Windows\\CurrentVersion\\Installer\\Folders",
                                 "Microsoft\\Windows\\ShellNoRoam\\MUICache"})) {
      all.push_back(std::move(pattern));
    }
    for (KeyPattern& pattern :
         Below(ClassesRoots(), {"Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache"}))
      all.push_back(std::move(pattern));
    return all;
  }();
  return keys;
}

// HKEY_CLASSES_ROOT shows HKEY_LOCAL_MACHINE\SOFTWARE\Classes (and the user's classes);
// compare both spellings.
std::vector<KeyName> Aliases(const KeyName& key) {
  std::vector<KeyName> names{key};
  if (key.hive == Hive::ClassesRoot) {
    KeyName machine{Hive::LocalMachine, {"software", "classes"}};
    machine.parts.insert(machine.parts.end(), key.parts.begin(), key.parts.end());
    names.push_back(std::move(machine));
  }
  return names;
}

bool PartMatches(std::string_view part, std::string_view pattern) {
  return pattern == kAnyKey || part == pattern;
}

// `key` is the pattern's key or one above it.
bool IsSameOrAbove(const KeyName& key, const KeyPattern& pattern) {
  if (key.hive != pattern.hive || key.parts.size() > pattern.parts.size()) return false;
  for (std::size_t i = 0; i < key.parts.size(); ++i) {
    if (!PartMatches(key.parts[i], pattern.parts[i])) return false;
  }
  return true;
}

bool IsExactly(const KeyName& key, const KeyPattern& pattern) {
  return key.parts.size() == pattern.parts.size() && IsSameOrAbove(key, pattern);
}

bool IsProtectedKey(const KeyName& key) {
  if (key.parts.empty()) return true;  // a hive root
  for (const KeyName& name : Aliases(key)) {
    for (const KeyPattern& pattern : ProtectedKeys()) {
      if (IsSameOrAbove(name, pattern)) return true;
    }
  }
  return false;
}

bool IsValueListKey(const KeyName& key) {
  for (const KeyName& name : Aliases(key)) {
    for (const KeyPattern& pattern : ValueListKeys()) {
      if (IsExactly(name, pattern)) return true;
    }
  }
  return false;
}

// "%SystemDrive%" and "%SystemRoot%", the two variables profile paths are written with.
std::string ExpandSystemVariables(std::string_view text, std::string_view windows) {
  std::string result(text);
  const std::string drive(windows.substr(0, 2));
  for (const auto& [name, value] :
       {std::pair<std::string_view, std::string_view>{"%SystemDrive%", drive},
        {"%SystemRoot%", windows}}) {
    for (std::size_t at = FindTextAscii(result, name); at != std::string::npos;
         at = FindTextAscii(result, name, at + value.size())) {
      result.replace(at, name.size(), value);
    }
  }
  return result;
}

// The folder a path lies in; a drive root keeps its backslash ("C:\\").
std::string ParentOf(std::string_view path) {
  const std::string_view trimmed = WithoutTrailingBackslashes(path);
  const std::size_t slash = trimmed.rfind('\\');
  if (slash == std::string_view::npos) return {};
  return std::string(trimmed.substr(0, slash == 2 && trimmed[1] == ':' ? 3 : slash));
}

}  // namespace

std::string_view GateActionName(GateAction action) noexcept {
  switch (action) {
    case GateAction::DeleteFile:
      return "file";
    case GateAction::DeleteTree:
      return "folder";
    case GateAction::RemoveEmptyDir:
      return "empty folder";
    case GateAction::DeleteKey:
      return "key";
    case GateAction::DeleteValue:
      return "value";
    case GateAction::RemoveService:
      return "service";
    case GateAction::EndProcess:
      return "process";
    case GateAction::SkipFolder:
      return "program folder";
  }
  return "?";
}

DeletionGate::DeletionGate(platform::Platform platform, Mode mode)
    : platform_(platform), registry_(platform), mode_(mode) {}

std::optional<std::string> DeletionGate::CanonicalPath(std::string_view path) const {
  std::string text(path);
  std::replace(text.begin(), text.end(), '/', '\\');
  // The long-path forms name the same places as the paths they wrap.
  if (StartsWithTextAscii(text, "\\\\?\\UNC\\")) {
    text.erase(2, 6);
  } else if (text.starts_with("\\\\?\\") || text.starts_with("\\\\.\\")) {
    text.erase(0, 4);
    // Only drive paths; a device ("\\.\PhysicalDrive0") is no file of a program.
    if (text.size() < 2 || text[1] != ':') return std::nullopt;
  }
  if (!IsFullyQualifiedPath(text) || text.find('\0') != std::string::npos) return std::nullopt;
  auto resolved = ResolvedByParts(text);
  if (!resolved) resolved = platform_.files.ResolvePath(text);
  if (!resolved || !IsFullyQualifiedPath(*resolved)) return std::nullopt;

  std::string canonical;
  std::vector<std::string> parts;
  std::string_view rest(*resolved);
  if (rest.starts_with("\\\\")) {
    canonical = "\\\\";
    rest.remove_prefix(2);
  } else {
    canonical = LowerAscii(rest.substr(0, 2));  // "c:"
    rest.remove_prefix(2);
  }
  for (const std::string_view part : Parts(rest)) {
    const std::string folded = FoldPart(part);
    if (folded.empty()) continue;
    if (folded == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(folded);
  }
  if (canonical == "\\\\") {
    // "\\server\share" is the root of a share.
    if (parts.size() < 2) return std::nullopt;
    canonical += parts[0] + "\\" + parts[1];
    parts.erase(parts.begin(), parts.begin() + 2);
  }
  for (const std::string& part : parts)
    canonical += "\\" + part;
  return canonical;
}

std::optional<std::string> DeletionGate::ResolvedByParts(std::string_view path) const {
  // Parts the system would rewrite first (dots, blanks, devices, short-name tildes) are left
  // to ResolvePath; what remains is what it does: each existing part takes its stored name,
  // and from the first missing part on the rest stays as written.
  if (searches_ != SearchMode::Indexed || !platform::IsPlainDrivePath(path)) return std::nullopt;
  std::string resolved(path.substr(0, 2));
  bool missing = false;
  for (const std::string& name : SplitSkippingEmpty(path.substr(3), '\\')) {
    resolved += '\\';
    if (missing) {
      resolved += name;
      continue;
    }
    const std::string id = LowerAscii(resolved) + LowerAscii(name);
    auto known = storedNames_.find(id);
    if (known == storedNames_.end()) {
      std::optional<std::string> stored;
      if (const auto search = platform_.files.FindFirst(resolved + name))
        stored = search->Current().name;
      known = storedNames_.emplace(id, std::move(stored)).first;
    }
    missing = !known->second;
    resolved += missing ? name : *known->second;
  }
  return resolved;
}

void DeletionGate::AddProtectedFolder(std::string_view path) const {
  if (path.empty()) return;
  // The list names the same folders in several spellings ("C:\Users\Public" from the profiles
  // root, "C:\users\Public" from the registry). Resolving asks the file system about every
  // part, which is slow under Wine; a text that differs from one resolved before only in
  // ASCII case names the same place and would add the same canonical folder again.
  if (searches_ == SearchMode::Indexed && !resolvedTexts_.insert(LowerAscii(path)).second) return;
  if (auto canonical = CanonicalPath(path)) protectedFolders_.push_back(std::move(*canonical));
}

void DeletionGate::AddProtectedTree(std::string_view path) const {
  if (path.empty()) return;
  if (auto canonical = CanonicalPath(path)) protectedTrees_.push_back(std::move(*canonical));
}

void DeletionGate::CollectProtectedFolders() const {
  if (collected_) return;
  collected_ = true;
  platform::System& system = platform_.system;
  const std::string windows(WithoutTrailingBackslashes(system.WindowsDirectory()));
  AddProtectedFolder(windows);
  AddProtectedFolder(system.SystemDirectory());
  if (!windows.empty()) {
    for (const std::string_view sub : kWindowsSubfolders)
      AddProtectedFolder(windows + "\\" + std::string(sub));
  }
  for (const int csidl : kShellFolders)
    AddProtectedFolder(system.SpecialFolder(csidl));

  // The roots every program shares, also where the shell folders name others.
  const std::string drive = windows.size() >= 2 ? windows.substr(0, 2) : std::string("C:");
  for (const std::string_view root :
       {"\\Program Files", "\\Program Files (x86)", "\\Program Files\\Common Files",
        "\\Program Files (x86)\\Common Files", "\\ProgramData", "\\Users",
        "\\Documents and Settings"}) {
    AddProtectedFolder(drive + std::string(root));
  }

  // Every profile: the folders below the profiles roots, the ones the registry knows, and
  // the shared ones even where they do not exist yet.
  std::vector<std::string> profileRoots{drive + "\\Users", drive + "\\Documents and Settings"};
  const std::string userProfile = system.SpecialFolder(platform::csidl::kProfile);
  if (!userProfile.empty()) profileRoots.push_back(ParentOf(userProfile));
  constexpr std::string_view kProfileList =
      "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
  std::vector<std::string> profiles;
  if (auto list =
          platform_.registry.OpenKey(Hive::LocalMachine, kProfileList, platform::KeyAccess::Read)) {
    for (const char* name : {"ProfilesDirectory", "Default", "Public", "AllUsersProfile"}) {
      if (auto text = registry::ReadValueTextIfText(*list, name); text && !text->empty()) {
        std::string expanded = ExpandSystemVariables(*text, windows);
        if (std::string_view(name) == "ProfilesDirectory")
          profileRoots.push_back(std::move(expanded));
        else
          profiles.push_back(std::move(expanded));
      }
    }
    for (std::uint32_t i = 0;; ++i) {
      const auto sid = list->EnumKey(i);
      if (!sid || sid->empty()) break;
      if (auto user = platform_.registry.OpenKey(Hive::LocalMachine,
                                                 std::string(kProfileList) + "\\" + *sid,
                                                 platform::KeyAccess::Read)) {
        if (auto text = registry::ReadValueTextIfText(*user, "ProfileImagePath");
            text && !text->empty()) {
          profiles.push_back(ExpandSystemVariables(*text, windows));
        }
      }
    }
  }
  for (const std::string& root : profileRoots) {
    if (root.empty()) continue;
    AddProtectedFolder(root);
    for (const std::string_view shared : {"Default", "Default User", "Public", "All Users"})
      profiles.push_back(root + "\\" + std::string(shared));
    if (auto search = platform_.files.FindFirst(root + "\\*")) {
      do {
        const platform::FindData& entry = search->Current();
        if (entry.IsDirectory() && entry.name != "." && entry.name != "..")
          profiles.push_back(root + "\\" + entry.name);
      } while (search->Next());
    }
  }
  for (const std::string& profile : profiles) {
    AddProtectedFolder(profile);
    for (const std::string_view sub : kProfileSubfolders)
      AddProtectedFolder(profile + "\\" + std::string(sub));
  }

  // This program and its database live in its own folder.
  const std::string executable = system.ExecutablePath();
  if (!executable.empty()) AddProtectedTree(ParentOf(executable));

  std::sort(protectedFolders_.begin(), protectedFolders_.end());
  protectedFolders_.erase(std::unique(protectedFolders_.begin(), protectedFolders_.end()),
                          protectedFolders_.end());
  resolvedTexts_.clear();
}

bool DeletionGate::AllowsPath(std::string_view path) const {
  CollectProtectedFolders();
  const auto canonical = CanonicalPath(path);
  // Something right below a drive or share root at least.
  if (!canonical || Parts(*canonical).size() < (canonical->starts_with("\\\\") ? 3U : 2U))
    return false;
  for (const std::string& folder : protectedFolders_) {
    if (IsSameOrBelow(folder, *canonical)) return false;
  }
  for (const std::string& tree : protectedTrees_) {
    if (IsSameOrBelow(tree, *canonical) || IsSameOrBelow(*canonical, tree)) return false;
  }
  return true;
}

bool DeletionGate::AllowsKey(std::string_view fullKeyPath) const {
  const auto key = ParseKey(fullKeyPath);
  return key && !IsProtectedKey(*key);
}

bool DeletionGate::AllowsValue(std::string_view fullKeyPath, std::string_view valueName) const {
  const auto key = ParseKey(fullKeyPath);
  if (!key || key->parts.empty() || valueName.find('\0') != std::string_view::npos) return false;
  return !IsProtectedKey(*key) || IsValueListKey(*key);
}

bool DeletionGate::AllowsValueItem(std::string_view fullPath) const {
  const std::size_t slash = fullPath.rfind('\\');
  if (slash == std::string_view::npos) return false;
  return AllowsValue(fullPath.substr(0, slash), fullPath.substr(slash + 1));
}

bool DeletionGate::AllowsService(std::string_view name) const {
  // A blank name would address the service key locations themselves, one with a backslash
  // some other key below them.
  return !TrimView(name).empty() && name.find('\\') == std::string_view::npos &&
         name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

bool DeletionGate::AllowsProcess(const platform::ProcessEntry& process) const {
  if (process.processId == 0 || process.processId == platform_.processes.CurrentProcessId())
    return false;
  const std::string name = LowerAscii(registry::LastPathPart(process.exeFile));
  return std::find(kSystemProcesses.begin(), kSystemProcesses.end(), name) ==
         kSystemProcesses.end();
}

void DeletionGate::Report(GateAction action, std::string_view target, bool refused) const {
  if (observer_) observer_(GateEvent{action, std::string(target), refused});
}

void DeletionGate::KeepAllowedFolders(std::vector<std::string>& folders) {
  std::vector<std::string> kept;
  for (std::string& folder : folders) {
    if (AllowsPath(folder)) {
      kept.push_back(std::move(folder));
    } else {
      Report(GateAction::SkipFolder, folder, true);
    }
  }
  folders = std::move(kept);
}

bool DeletionGate::DeleteFile(std::string_view path, bool clearAttributes) {
  const bool allowed = AllowsPath(path);
  Report(GateAction::DeleteFile, path, !allowed);
  if (!allowed) return false;
  if (mode_ == Mode::Record) return true;
  ForgetStoredNames();
  if (clearAttributes) platform_.files.SetAttributes(path, 0);
  return platform_.files.RemoveFile(path) == platform::kSuccess;
}

bool DeletionGate::DeleteTree(std::string_view folder) {
  const bool allowed = AllowsPath(folder);
  Report(GateAction::DeleteTree, folder, !allowed);
  if (!allowed) return false;
  if (mode_ == Mode::Record) return true;
  ForgetStoredNames();
  platform_.files.SetAttributes(folder, 0);
  return DeleteDirTree(platform_, folder);
}

void DeletionGate::RemoveDirIfEmpty(std::string_view folder, std::string_view leaving) {
  if (platform_.files.GetAttributes(folder) == platform::kInvalidAttributes) return;
  // Nothing was deleted in Record mode: the folder would be empty if it held only what the
  // removal took.
  const bool empty =
      mode_ == Mode::Record
          ? detail::HoldsNothingBut(platform_, folder,
                                    registry::LastPathPart(WithoutTrailingBackslashes(leaving)))
          : IsDirEmpty(platform_, folder);
  if (!empty) return;
  const bool allowed = AllowsPath(folder);
  Report(GateAction::RemoveEmptyDir, folder, !allowed);
  if (allowed && mode_ == Mode::Delete) {
    ForgetStoredNames();
    platform_.files.RemoveDir(folder);
  }
}

bool DeletionGate::DeleteRegistryItem(std::string_view fullPath, int kind) {
  if (kind == registry::kItemValue) {
    const bool allowed = AllowsValueItem(fullPath);
    Report(GateAction::DeleteValue, fullPath, !allowed);
    if (!allowed) return false;
  } else {
    const bool allowed = kind == registry::kItemKey && AllowsKey(fullPath);
    Report(GateAction::DeleteKey, fullPath, !allowed);
    if (!allowed) return false;
  }
  if (mode_ == Mode::Record) return true;
  return registry_.DeleteRegistryItem(fullPath, kind);
}

bool DeletionGate::DeleteRegistryValue(std::string_view fullKeyPath, std::string_view valueName) {
  const bool allowed = AllowsValue(fullKeyPath, valueName);
  Report(GateAction::DeleteValue, std::string(fullKeyPath) + "\\" + std::string(valueName),
         !allowed);
  if (!allowed) return false;
  if (mode_ == Mode::Record) return true;
  return registry_.DeleteRegistryValue(fullKeyPath, valueName);
}

int DeletionGate::RemoveService(std::string_view name) {
  const bool allowed = AllowsService(name);
  Report(GateAction::RemoveService, name, !allowed);
  if (!allowed) return -2;
  if (mode_ == Mode::Record) return 1;
  return engine::RemoveService(platform_, name);
}

void DeletionGate::EndProcessByName(std::string_view name) {
  engine::EndProcessByName(platform_, name, [this](const platform::ProcessEntry& process) {
    const bool allowed = AllowsProcess(process);
    Report(GateAction::EndProcess, process.exeFile + " (" + std::to_string(process.processId) + ")",
           !allowed);
    return allowed && mode_ == Mode::Delete;
  });
}

}  // namespace sv::engine
