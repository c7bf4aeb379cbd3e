#include "registry/opUninstallRegistry.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <span>

#include "common/datetime.h"
#include "common/error.h"
#include "common/paths.h"
#include "common/text.h"
#include "policy/removal_policy.h"

namespace sv::registry {

using platform::Hive;
using platform::KeyAccess;

namespace {

constexpr std::string_view kHotfixKey = "\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix";
constexpr std::string_view kShellFoldersKey =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr std::string_view kArpCacheKey =
    "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache";
constexpr std::string_view kAppPathsKey =
    "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr std::string_view kSoftwareKey = "\\SOFTWARE";

struct Location {
  Hive hive;
  std::string_view keyPath;
};

constexpr std::array<Location, 4> kProductLocations{{
    {Hive::ClassesRoot, "\\Installer\\Products"},
    {Hive::CurrentUser, "\\Software\\Microsoft\\Installer\\Products"},
    {Hive::LocalMachine, "\\SOFTWARE\\Classes\\Installer\\Products"},
    {Hive::LocalMachine,
     "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products"},
}};
// The last product location names the product in a sub-key of the product's key.
constexpr std::size_t kProductPropertiesPass = 3;

constexpr std::array<Location, 3> kFeatureLocations{{
    {Hive::ClassesRoot, "\\Installer\\Features"},
    {Hive::CurrentUser, "\\Software\\Microsoft\\Installer\\Features"},
    {Hive::LocalMachine, "\\SOFTWARE\\Classes\\Installer\\Features"},
}};

constexpr std::array<Location, 4> kUpgradeCodeLocations{{
    {Hive::ClassesRoot, "\\Installer\\UpgradeCodes"},
    {Hive::CurrentUser, "\\Software\\Microsoft\\Installer\\UpgradeCodes"},
    {Hive::LocalMachine, "\\SOFTWARE\\Classes\\Installer\\UpgradeCodes"},
    {Hive::LocalMachine, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes"},
}};

constexpr std::string_view kComponentsKey =
    "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Components";

constexpr std::array<Location, 3> kClassLocations{{
    {Hive::ClassesRoot, "\\CLSID"},
    {Hive::LocalMachine, "\\SOFTWARE\\Classes\\CLSID"},
    {Hive::CurrentUser, "\\SOFTWARE\\Classes\\CLSID"},
}};
constexpr std::array<std::string_view, 2> kServerSubKeys{"\\InprocServer32", "\\LocalServer32"};

constexpr std::array<Location, 2> kTypeLibraryLocations{{
    {Hive::ClassesRoot, "\\TypeLib"},
    {Hive::LocalMachine, "\\SOFTWARE\\Classes\\TypeLib"},
}};

constexpr std::array<Location, 2> kInterfaceLocations{{
    {Hive::ClassesRoot, "\\Interface"},
    {Hive::LocalMachine, "\\SOFTWARE\\Classes\\Interface"},
}};

constexpr std::array<std::string_view, 3> kServiceLocations{
    "\\SYSTEM\\ControlSet001\\Services",
    "\\SYSTEM\\ControlSet002\\Services",
    "\\SYSTEM\\CurrentControlSet\\Services",
};

constexpr std::array<Location, 7> kSystemLists{{
    {Hive::LocalMachine, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders"},
    {Hive::LocalMachine, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls"},
    {Hive::LocalMachine,
     "\\SYSTEM\\ControlSet001\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\"
     "StandardProfile\\AuthorizedApplications\\List"},
    {Hive::LocalMachine,
     "\\SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\"
     "StandardProfile\\AuthorizedApplications\\List"},
    {Hive::LocalMachine,
     "\\SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\"
     "DomainProfile\\AuthorizedApplications\\List"},
    {Hive::LocalMachine,
     "\\SYSTEM\\ControlSet001\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\"
     "DomainProfile\\AuthorizedApplications\\List"},
    {Hive::CurrentUser, "\\Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache"},
}};

// Keys directly under "\SOFTWARE" that belong to the system or to every program; a program
// whose name happens to equal one of them must not take it along.
constexpr std::array<std::string_view, 14> kWellKnownSoftwareKeys{
    "Classes",  "Clients",        "DefaultUserEnvironment", "Description", "Microsoft", "ODBC",
    "Policies", "Program Groups", "RegisteredApplications", "Secure",      "Setup",     "Windows",
    "Wine",     "Wow6432Node",
};

bool IsWellKnownSoftwareKey(std::string_view name) {
  return std::any_of(kWellKnownSoftwareKeys.begin(), kWellKnownSoftwareKeys.end(),
                     [&](std::string_view known) { return SameTextAscii(known, name); });
}

// A name that addresses exactly one key below a location: not blank and without a
// backslash (an empty or "\"-bearing name would address the location itself or another key).
bool IsSingleKeyName(std::string_view name) {
  return !TrimView(name).empty() && name.find('\\') == std::string_view::npos;
}

std::string Join(std::string_view keyPath, std::string_view name) {
  std::string path(keyPath);
  path += '\\';
  path += name;
  return path;
}

// Every name a key enumerates (sub-keys or values), in the registry's order.
template <typename Enumerate>
std::vector<std::string> EnumeratedNames(Enumerate enumerate) {
  std::vector<std::string> names;
  for (std::uint32_t i = 0;; ++i) {
    auto name = enumerate(i);
    if (!name) break;
    names.push_back(std::move(*name));
  }
  return names;
}

std::vector<std::string> SubKeyNames(const platform::RegistryKey& key) {
  return EnumeratedNames([&key](std::uint32_t i) { return key.EnumKey(i); });
}

std::vector<std::string> ValueNames(const platform::RegistryKey& key) {
  return EnumeratedNames([&key](std::uint32_t i) { return key.EnumValue(i); });
}

// The keys of the same names in the later locations, which the first location found: the
// counterparts of one registration seen through another view of the registry.
void AppendCounterparts(platform::Registry& registry, std::span<const Location> later,
                        const std::vector<std::string>& names, StringList& keys) {
  for (const std::string& name : names) {
    for (const Location& other : later) {
      const std::string path = Join(other.keyPath, name);
      if (registry.OpenKey(other.hive, path, KeyAccess::Read)) {
        keys.push_back(FullKeyPath(other.hive, path));
      }
    }
  }
}

// A value as text where a broken value must not stop anything: missing and non-text both
// read as the empty text.
std::string TextOrEmpty(const platform::RegistryKey& key, std::string_view name) {
  return ReadValueTextIfText(key, name).value_or(std::string());
}

// Printable ASCII only: no NUL, which a value query refuses, and no letters whose case the
// registry folds differently from ASCII.
bool IsPlainAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    const auto code = static_cast<unsigned char>(c);
    return code >= 0x20 && code < 0x7F;
  });
}

bool HasValue(const platform::RegistryKey& key, std::string_view name) {
  return key.QueryValue(name).has_value();
}

// A whole decimal number with an optional sign, or nothing.
std::optional<int> ParseInteger(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  int number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return number;
}

// Whether `text` names `location` or something inside it: an occurrence (exact, letter case
// counts) that ends the text or is followed by a backslash, a quote or a list separator.
// "C:\Program Files\Acme" must not find "C:\Program Files\Acme Tools\tray.exe".
bool ContainsAtPathBoundary(std::string_view text, std::string_view location) {
  if (location.empty()) return false;
  if (location.back() == '\\') return text.find(location) != std::string_view::npos;
  for (std::size_t at = text.find(location); at != std::string_view::npos;
       at = text.find(location, at + 1)) {
    const std::size_t end = at + location.size();
    if (end == text.size()) return true;
    const char next = text[end];
    if (next == '\\' || next == '"' || next == ';' || next == ',') return true;
  }
  return false;
}

// A server path as the system reads it, quotes dropped: the text with "." and ".." applied
// and trailing dots dropped, so that a path climbing out of a folder is not taken as lying in
// it.
std::string FoldedCommandText(std::string_view text) {
  return policy::FoldedPathText(ReplaceAll(TrimView(text), "\"", ""));
}

constexpr std::array<std::string_view, 12> kEnglishMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

std::string Padded(int number, std::size_t width) {
  std::string digits = std::to_string(number);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return digits;
}

}  // namespace

Hive RootKeyOfPath(std::string_view fullPath) noexcept {
  const std::string_view name = fullPath.substr(0, fullPath.find('\\'));
  if (SameTextAscii(name, "HKEY_LOCAL_MACHINE")) return Hive::LocalMachine;
  if (SameTextAscii(name, "HKEY_CURRENT_USER")) return Hive::CurrentUser;
  if (SameTextAscii(name, "HKEY_CLASSES_ROOT")) return Hive::ClassesRoot;
  if (SameTextAscii(name, "HKEY_USERS")) return Hive::Users;
  return Hive::CurrentConfig;
}

std::string_view KeyPathOf(std::string_view fullPath) noexcept {
  const std::size_t slash = fullPath.find('\\');
  if (slash == std::string_view::npos) return {};
  return fullPath.substr(slash);
}

std::string FullKeyPath(Hive hive, std::string_view keyPath) {
  std::string full(platform::HiveName(hive));
  full += keyPath;
  return full;
}

std::string LastPathPart(std::string_view text) {
  const std::size_t slash = text.rfind('\\');
  if (slash == std::string_view::npos) return std::string(text);
  return std::string(text.substr(slash + 1));
}

namespace {

// ReadValueTextIfText of a value already read.
std::optional<std::string> TextIfText(std::optional<platform::RegValue> value) {
  if (!value) return std::string();
  if (value->data.empty()) return std::string();  // exists, but holds no data
  if (!platform::IsSingleStringType(value->type)) return std::nullopt;
  return std::move(value->data);
}

}  // namespace

std::optional<std::string> ReadValueTextIfText(const platform::RegistryKey& key,
                                               std::string_view name) {
  return TextIfText(key.QueryValue(name));
}

std::string ReadValueText(const platform::RegistryKey& key, std::string_view name) {
  auto text = ReadValueTextIfText(key, name);
  if (!text) throw Error(FillPlaceholder(kInvalidDataType, name));
  return std::move(*text);
}

TURegistryOp::TURegistryOp(platform::Platform platform) : platform_(platform) {}

std::vector<TURegistryOp::UninstallPass> TURegistryOp::UninstallPasses() {
  std::vector<UninstallPass> passes{{Hive::LocalMachine, kUninstallKey}};
  // The 64-bit build sees the 64-bit registry; the 32-bit programs are registered in the
  // 32-bit view, which it reaches under WOW6432Node.
  if (platform_.system.Is64BitBuild()) passes.push_back({Hive::LocalMachine, kWow64UninstallKey});
  passes.push_back({Hive::CurrentUser, kUninstallKey});
  return passes;
}

bool TURegistryOp::KeyExists(Hive hive, std::string_view keyPath) {
  return platform_.registry.OpenKey(hive, keyPath, KeyAccess::Read) != nullptr;
}

std::optional<std::string> TURegistryOp::ReadKeyText(Hive hive, std::string_view keyPath,
                                                     std::string_view name) {
  if (mode_ == SearchMode::Indexed) {
    auto value = platform_.registry.ReadValue(hive, keyPath, name);
    if (!value || value->data.empty()) return std::string();
    if (!platform::IsSingleStringType(value->type)) return std::nullopt;
    return std::move(value->data);
  }
  auto key = platform_.registry.OpenKey(hive, keyPath, KeyAccess::Read);
  if (!key) return std::string();
  return ReadValueTextIfText(*key, name);
}

bool TURegistryOp::HasValueNamed(Hive hive, std::string_view keyPath, std::string_view name) {
  // The registry finds a value by name in one request, comparing without case as we do; for
  // a name outside printable ASCII its rules differ from ours, so such a name reads the names.
  if (mode_ == SearchMode::Indexed && IsPlainAscii(name))
    return platform_.registry.ReadValue(hive, keyPath, name).has_value();
  auto key = platform_.registry.OpenKey(hive, keyPath, KeyAccess::Read);
  if (!key) return false;
  const auto values = ValueNames(*key);
  return std::any_of(values.begin(), values.end(),
                     [&](const std::string& value) { return SameTextAscii(value, name); });
}

bool TURegistryOp::FileExists(std::string_view path) {
  const auto attributes = platform_.files.GetAttributes(path);
  return attributes != platform::kInvalidAttributes && !(attributes & platform::kAttrDirectory);
}

bool TURegistryOp::FolderExists(std::string_view path) {
  return platform::DirectoryExists(platform_.files, path);
}

// --- Installed-software inventory ---

int TURegistryOp::ListInstalledPrograms(StringList& names, StringList& keys, bool includeHotfixes) {
  StringList hotfixes;
  ListHotfixKeys(hotfixes);
  names.clear();
  keys.clear();
  for (const UninstallPass& pass : UninstallPasses()) {
    auto root = platform_.registry.OpenKey(pass.hive, pass.keyPath, KeyAccess::Read);
    if (!root) continue;
    for (std::uint32_t i = 0;; ++i) {
      const auto name = root->EnumKey(i);
      if (!name) break;
      const std::string entryPath = Join(pass.keyPath, *name);
      auto entry = platform_.registry.OpenKey(pass.hive, entryPath, KeyAccess::Read);
      if (!entry) continue;
      const auto displayName = ReadValueTextIfText(*entry, "DisplayName");
      if (!displayName) continue;
      std::string trimmed = Trim(*displayName);
      if (trimmed.empty()) continue;
      if (!includeHotfixes) {
        const auto hotfix = std::find(hotfixes.begin(), hotfixes.end(), *name);
        if (hotfix != hotfixes.end()) {
          hotfixes.erase(hotfix);
          continue;
        }
      }
      keys.push_back(FullKeyPath(pass.hive, entryPath));
      names.push_back(std::move(trimmed));
      if (readOnlyRun_) entryKeys_[keys.back()] = std::move(entry);
    }
  }
  return static_cast<int>(names.size());
}

int TURegistryOp::ListHotfixKeys(StringList& hotfixes) {
  hotfixes.clear();
  auto root = platform_.registry.OpenKey(Hive::LocalMachine, kHotfixKey, KeyAccess::Read);
  if (!root) return 0;
  for (const std::string& name : SubKeyNames(*root)) {
    auto hotfix =
        platform_.registry.OpenKey(Hive::LocalMachine, Join(kHotfixKey, name), KeyAccess::Read);
    if (hotfix && HasValue(*hotfix, "Comments")) hotfixes.push_back(name);
  }
  return static_cast<int>(hotfixes.size());
}

int TURegistryOp::ReadProgramSummary(std::string_view fullKeyPath, IconList& smallIcons,
                                     StringList& summary, IconList& bigIcons) {
  const std::string windowsInstaller = GetWindowsDir() + "\\Installer\\";
  const std::string userInstaller = ReadShellFolder("AppData") + "\\Microsoft\\Installer\\";
  summary.clear();
  std::unique_ptr<platform::RegistryKey> key;
  if (const auto kept = entryKeys_.find(std::string(fullKeyPath)); kept != entryKeys_.end()) {
    key = std::move(kept->second);
    entryKeys_.erase(kept);
  } else {
    key = platform_.registry.OpenKey(RootKeyOfPath(fullKeyPath), KeyPathOf(fullKeyPath),
                                     KeyAccess::Read);
  }
  if (!key) return 0;
  // Each of the two values is asked for once, to test it and to read it.
  auto displayNameValue = key->QueryValue("DisplayName");
  if (!displayNameValue) return 0;
  auto uninstallValue = key->QueryValue("UninstallString");
  if (!uninstallValue) return 0;
  // A name that is not text is a broken entry: it does not qualify, the scan goes on.
  const auto displayName = TextIfText(std::move(displayNameValue));
  if (!displayName) return 0;
  summary.push_back(Trim(*displayName));
  summary.push_back(FormatInstallDate(TextOrEmpty(*key, "InstallDate")));
  summary.push_back(TextOrEmpty(*key, "Publisher"));

  int index = 0;
  int result = 0;
  bool found = false;
  auto add = [&](std::string_view file) {
    result = AddIconFromFile(smallIcons, bigIcons, index, file);
    // Position 0 is a real icon too (the first one in the lists); only -1 means none.
    found = result >= 0;
  };

  std::string iconPath = Trim(TextOrEmpty(*key, "DisplayIcon"));
  if (!iconPath.empty()) {
    if (const std::size_t comma = iconPath.find(','); comma != std::string::npos) {
      index = ParseInteger(Trim(std::string_view(iconPath).substr(comma + 1))).value_or(0);
      iconPath.resize(comma);
    }
    if (FileExists(iconPath)) add(iconPath);
  }
  if (!found) {
    const std::string uninstall =
        LowerAscii(Trim(TextIfText(std::move(uninstallValue)).value_or(std::string())));
    if (!uninstall.empty()) {
      if (uninstall.find("msiexec.exe") != std::string::npos) {
        const std::size_t brace = uninstall.find('{');
        const std::string product =
            brace == std::string::npos ? uninstall : uninstall.substr(brace);
        std::string folder;
        if (FolderExists(windowsInstaller + product)) {
          folder = windowsInstaller + product;
        } else if (FolderExists(userInstaller + product)) {
          folder = userInstaller + product;
        }
        if (!folder.empty()) {
          const std::string iconFile = FindInstallerIconFile(folder);
          if (!iconFile.empty()) add(iconFile);
        }
      } else if (const std::size_t exe = uninstall.find(".exe"); exe != std::string::npos) {
        const std::string file = ReplaceAll(uninstall.substr(0, exe + 4), "\"", "");
        if (FileExists(file)) add(file);
      }
    }
  }
  if (!found)
    result = AddIconFromFile(smallIcons, bigIcons, index, platform_.system.ExecutablePath());
  summary.push_back(std::to_string(result));
  return static_cast<int>(summary.size());
}

bool TURegistryOp::IsListedEntry(std::string_view fullKeyPath) {
  auto key = platform_.registry.OpenKey(RootKeyOfPath(fullKeyPath), KeyPathOf(fullKeyPath),
                                        KeyAccess::Read);
  if (!key) return false;
  auto displayName = key->QueryValue("DisplayName");
  if (!displayName || !key->QueryValue("UninstallString")) return false;
  return TextIfText(std::move(displayName)).has_value();
}

int TURegistryOp::AddIconFromFile(IconList& smallIcons, IconList& bigIcons, int index,
                                  std::string_view file) {
  // The lists keep copies; ours are released when `extracted` goes out of scope.
  platform::ExtractedIcons extracted;
  const platform::ExtractedIcons* icons = &extracted;
  if (readOnlyRun_ && file == platform_.system.ExecutablePath()) {
    auto known = ownIcons_.find(index);
    if (known == ownIcons_.end())
      known = ownIcons_.emplace(index, platform_.files.ExtractIcons(file, index)).first;
    icons = &known->second;
  } else {
    extracted = platform_.files.ExtractIcons(file, index);
  }
  // Both lists grow together, so one position serves the rows of both.
  if (!icons->large || !icons->small) return -1;
  if (smallIcons.AppendIcon(*icons->small) < 0) return -1;
  const int position = bigIcons.AppendIcon(*icons->large);
  // A list that refuses must not put the two out of step: every later row would show the
  // icon of its neighbour.
  if (position < 0) smallIcons.RemoveLastIcon();
  return position;
}

std::string TURegistryOp::FindInstallerIconFile(std::string_view folder) {
  for (const char* name : {"\\Installer.ico", "\\ARPPRODUCTICON.exe"}) {
    const std::string path = std::string(folder) + name;
    if (platform_.files.GetAttributes(path) != platform::kInvalidAttributes) return path;
  }
  auto search = platform_.files.FindFirst(std::string(folder) + "\\*.exe");
  if (!search) return {};
  do {
    const platform::FindData& entry = search->Current();
    if (entry.name != "." && entry.name != ".." && !entry.IsDirectory()) {
      return std::string(folder) + "\\" + entry.name;
    }
  } while (search->Next());
  return {};
}

std::string TURegistryOp::FormatInstallDate(std::string_view raw) {
  if (TrimView(raw).empty()) return {};
  if (raw.find('-') != std::string_view::npos || raw.find(',') != std::string_view::npos) {
    return std::string(raw);
  }
  auto part = [&](std::size_t from, std::size_t length, int fallback) {
    if (from >= raw.size()) return fallback;
    return ParseInteger(raw.substr(from, length)).value_or(fallback);
  };
  const int year = part(0, 4, 2008);
  const int month = part(4, 2, 1);
  const int day = part(6, 2, 1);
  if (!IsValidDate(year, month, day)) return {};
  std::string monthName = platform_.system.ShortMonthName(month);
  if (monthName.empty()) monthName = kEnglishMonths[static_cast<std::size_t>(month - 1)];
  return monthName + " " + Padded(day, 2) + "," + Padded(year, 4);
}

std::string TURegistryOp::ReadShellFolder(std::string_view valueName) {
  auto key = platform_.registry.OpenKey(Hive::CurrentUser, kShellFoldersKey, KeyAccess::Read);
  if (!key) return {};
  return Trim(TextOrEmpty(*key, valueName));
}

std::string TURegistryOp::GetWindowsDir() {
  // The system layer asks with a buffer that grows, so a long Windows folder comes back whole.
  return std::string(WithoutTrailingBackslashes(platform_.system.WindowsDirectory()));
}

std::vector<std::string> TURegistryOp::OwnFolders(const StringList& folders) {
  // A program's folder list may name a folder every program shares (a location value that
  // points at a DLL in System32, an install folder cut back to Program Files); everything
  // registered inside it would then count as the program's. The removal policy says which
  // folders a program can own, resolved as the system reads them.
  return Policy().OwnFolders(folders);
}

policy::RemovalPolicy& TURegistryOp::Policy() {
  if (policy_ != nullptr) return *policy_;
  if (!ownPolicy_) {
    ownPolicy_ = std::make_unique<policy::RemovalPolicy>(platform_);
    ownPolicy_->SetSearchMode(mode_);
  }
  return *ownPolicy_;
}

std::string TURegistryOp::FindUninstallKey(std::string_view displayName) {
  std::string result;
  // No entry is listed under a blank name; one without "DisplayName" must never answer for it
  // (its deletion would take an entry that belongs to no program we know).
  if (TrimView(displayName).empty()) return result;
  for (const UninstallPass& pass : UninstallPasses()) {
    auto root = platform_.registry.OpenKey(pass.hive, pass.keyPath, KeyAccess::Read);
    if (!root) continue;
    for (std::uint32_t i = 0;; ++i) {
      const auto name = root->EnumKey(i);
      if (!name) break;
      const std::string entryPath = Join(pass.keyPath, *name);
      auto entry = platform_.registry.OpenKey(pass.hive, entryPath, KeyAccess::Read);
      if (!entry) continue;
      if (!HasValue(*entry, "DisplayName")) continue;
      const auto text = ReadValueTextIfText(*entry, "DisplayName");
      if (text && Trim(*text) == displayName) {
        // A later pass replaces what an earlier one found.
        result = FullKeyPath(pass.hive, entryPath);
        break;
      }
    }
  }
  return result;
}

TUNINSTALL_DES TURegistryOp::ReadUninstallEntry(std::string_view displayName, std::int32_t tag) {
  TUNINSTALL_DES entry = ReadUninstallEntryAt(FindUninstallKey(displayName));
  if (entry.KeyName.empty()) return {};
  entry.DisplayName = std::string(displayName);
  entry.Tag = tag;
  return entry;
}

// --- Windows Installer registration ---

bool TURegistryOp::IsInstalledProduct(std::string_view packedCode) {
  if (!installedProducts_) {
    installedProducts_.emplace();
    for (const UninstallPass& pass : UninstallPasses()) {
      auto root = platform_.registry.OpenKey(pass.hive, pass.keyPath, KeyAccess::Read);
      if (!root) continue;
      for (const std::string& name : SubKeyNames(*root)) {
        const std::string packed = policy::PackedProductCode(policy::ProductCodeOfEntry(name, {}));
        if (!packed.empty()) installedProducts_->insert(packed);
      }
    }
  }
  return installedProducts_->contains(UpperAscii(packedCode));
}

bool TURegistryOp::ProductNameMatches(std::string_view foldedProductName, std::string_view wanted,
                                      std::string_view packedCode) {
  // The name at a word's end ("Acme" is not "Acmeware"), and not so short that it begins half
  // the products; a product that is installed is that program's, not a leftover's.
  if (wanted.size() < 4 || !foldedProductName.starts_with(wanted)) return false;
  if (foldedProductName.size() > wanted.size()) {
    const char next = foldedProductName[wanted.size()];
    const bool letterOrDigit = (next >= 'a' && next <= 'z') || (next >= '0' && next <= '9') ||
                               static_cast<unsigned char>(next) >= 0x80;
    const char last = wanted.back();
    const bool wantedEndsInWord = (last >= 'a' && last <= 'z') || (last >= '0' && last <= '9') ||
                                  static_cast<unsigned char>(last) >= 0x80;
    if (letterOrDigit && wantedEndsInWord) return false;
  }
  return !IsInstalledProduct(packedCode);
}

void TURegistryOp::FindInstallerProductsByCode(std::string_view packedCode, StringList& keys) {
  keys.clear();
  if (!IsSingleKeyName(packedCode)) return;
  for (std::size_t pass = 0; pass < kProductLocations.size(); ++pass) {
    const Location& location = kProductLocations[pass];
    const std::string path = Join(location.keyPath, packedCode);
    if (KeyExists(location.hive, path)) keys.push_back(FullKeyPath(location.hive, path));
  }
}

void TURegistryOp::FindInstallerProducts(std::string_view softwareName, StringList& keys,
                                         std::string& productCode) {
  keys.clear();
  productCode.clear();
  if (softwareName.empty()) return;
  const std::string wanted = LowerAscii(Trim(softwareName));
  for (std::size_t pass = 0; pass < kProductLocations.size(); ++pass) {
    const Location& location = kProductLocations[pass];
    auto root = platform_.registry.OpenKey(location.hive, location.keyPath, KeyAccess::Read);
    if (!root) continue;
    for (std::uint32_t i = 0;; ++i) {
      const auto code = root->EnumKey(i);
      if (!code) break;
      const bool properties = pass == kProductPropertiesPass;
      std::string productKey = Join(location.keyPath, *code);
      if (properties) productKey += "\\InstallProperties";
      // A missing key reads as an empty name, which begins no wanted name.
      const auto name =
          ReadKeyText(location.hive, productKey, properties ? "DisplayName" : "ProductName");
      if (!name || !ProductNameMatches(LowerAscii(Trim(*name)), wanted, *code)) continue;
      keys.push_back(FullKeyPath(location.hive, Join(location.keyPath, *code)));
      productCode = *code;
      for (std::size_t later = pass + 1; later < kProductLocations.size(); ++later) {
        const Location& other = kProductLocations[later];
        const std::string otherPath = Join(other.keyPath, *code);
        if (KeyExists(other.hive, otherPath)) keys.push_back(FullKeyPath(other.hive, otherPath));
      }
      return;
    }
  }
}

InstallerProductList TURegistryOp::ReadInstallerProducts() {
  InstallerProductList list;
  list.locations.resize(kProductLocations.size());
  for (std::size_t pass = 0; pass < kProductLocations.size(); ++pass) {
    const Location& location = kProductLocations[pass];
    auto root = platform_.registry.OpenKey(location.hive, location.keyPath, KeyAccess::Read);
    if (!root) continue;
    const bool properties = pass == kProductPropertiesPass;
    for (std::uint32_t i = 0;; ++i) {
      auto code = root->EnumKey(i);
      if (!code) break;
      std::string productKey = Join(location.keyPath, *code);
      if (properties) productKey += "\\InstallProperties";
      InstallerProductList::Product product{std::move(*code), std::nullopt};
      if (const auto name =
              ReadKeyText(location.hive, productKey, properties ? "DisplayName" : "ProductName")) {
        product.foldedName = LowerAscii(Trim(*name));
      }
      list.locations[pass].push_back(std::move(product));
    }
  }
  return list;
}

void TURegistryOp::FindInstallerProducts(const InstallerProductList& products,
                                         std::string_view softwareName, StringList& keys,
                                         std::string& productCode) {
  keys.clear();
  productCode.clear();
  if (softwareName.empty()) return;
  const std::string wanted = LowerAscii(Trim(softwareName));
  for (std::size_t pass = 0; pass < products.locations.size(); ++pass) {
    for (const InstallerProductList::Product& product : products.locations[pass]) {
      if (!product.foldedName || !ProductNameMatches(*product.foldedName, wanted, product.code))
        continue;
      const Location& location = kProductLocations[pass];
      keys.push_back(FullKeyPath(location.hive, Join(location.keyPath, product.code)));
      productCode = product.code;
      for (std::size_t later = pass + 1; later < kProductLocations.size(); ++later) {
        const Location& other = kProductLocations[later];
        const std::string otherPath = Join(other.keyPath, product.code);
        if (KeyExists(other.hive, otherPath)) keys.push_back(FullKeyPath(other.hive, otherPath));
      }
      return;
    }
  }
}

int TURegistryOp::FindInstallerFeatures(std::string_view productCode, StringList& keys) {
  keys.clear();
  if (!IsSingleKeyName(productCode)) return 0;
  for (const Location& location : kFeatureLocations) {
    const std::string path = Join(location.keyPath, productCode);
    if (KeyExists(location.hive, path)) keys.push_back(FullKeyPath(location.hive, path));
  }
  return static_cast<int>(keys.size());
}

int TURegistryOp::FindInstallerUpgradeCodes(std::string_view productCode, StringList& keys) {
  keys.clear();
  // An empty code would match every key's default value.
  if (!IsSingleKeyName(productCode)) return 0;
  for (std::size_t pass = 0; pass < kUpgradeCodeLocations.size(); ++pass) {
    const Location& location = kUpgradeCodeLocations[pass];
    auto root = platform_.registry.OpenKey(location.hive, location.keyPath, KeyAccess::Read);
    if (!root) continue;
    for (const std::string& upgradeCode : SubKeyNames(*root)) {
      if (!HasValueNamed(location.hive, Join(location.keyPath, upgradeCode), productCode)) continue;
      keys.push_back(FullKeyPath(location.hive, Join(location.keyPath, upgradeCode)));
      for (std::size_t later = pass + 1; later < kUpgradeCodeLocations.size(); ++later) {
        const Location& other = kUpgradeCodeLocations[later];
        const std::string otherPath = Join(other.keyPath, upgradeCode);
        if (KeyExists(other.hive, otherPath)) keys.push_back(FullKeyPath(other.hive, otherPath));
      }
      return static_cast<int>(keys.size());
    }
  }
  return static_cast<int>(keys.size());
}

int TURegistryOp::FindInstallerComponents(std::string_view productCode, StringList& keys) {
  keys.clear();
  if (!IsSingleKeyName(productCode)) return 0;
  auto root = platform_.registry.OpenKey(Hive::LocalMachine, kComponentsKey, KeyAccess::Read);
  if (!root) return 0;
  for (const std::string& component : SubKeyNames(*root)) {
    const std::string path = Join(kComponentsKey, component);
    if (HasValueNamed(Hive::LocalMachine, path, productCode))
      keys.push_back(FullKeyPath(Hive::LocalMachine, path));
  }
  return static_cast<int>(keys.size());
}

// --- COM registration ---

int TURegistryOp::FindComClasses(const StringList& folders, StringList& typeLibraries,
                                 StringList& keys) {
  keys.clear();
  typeLibraries.clear();
  if (folders.empty()) return 0;
  // A server lies in a folder when the folder followed by a backslash occurs in its path:
  // "c:\program files\acme" must not take the classes of "c:\program files\acme tools".
  std::vector<std::string> needles;
  for (std::string& folder : OwnFolders(folders))
    needles.push_back(folder + "\\");
  if (needles.empty()) return 0;
  // The path is compared as the system reads it: "..\" and trailing dots in a server path must
  // not lead into, or out of, the program's folders.

  for (std::size_t pass = 0; pass < kClassLocations.size(); ++pass) {
    const Location& location = kClassLocations[pass];
    auto root = platform_.registry.OpenKey(location.hive, location.keyPath, KeyAccess::Read);
    if (!root) continue;
    std::vector<std::string> remembered;
    for (std::uint32_t i = 0;; ++i) {
      const auto classId = root->EnumKey(i);
      if (!classId) break;
      const std::string classPath = Join(location.keyPath, *classId);
      for (std::string_view serverKey : kServerSubKeys) {
        // A class without this server reads as an empty path.
        const auto text = ReadKeyText(location.hive, classPath + std::string(serverKey), "");
        if (!text) continue;
        const std::string serverPath = FoldedCommandText(*text);
        if (serverPath.empty()) continue;
        const bool inFolder =
            std::any_of(needles.begin(), needles.end(), [&](const std::string& needle) {
              return serverPath.find(needle) != std::string::npos;
            });
        if (!inFolder) continue;
        keys.push_back(FullKeyPath(location.hive, classPath));
        remembered.push_back(*classId);
        std::string library =
            Trim(ReadKeyText(location.hive, classPath + "\\Typelib", "").value_or(std::string()));
        if (!library.empty()) typeLibraries.push_back(std::move(library));
      }
    }
    if (remembered.empty()) continue;
    AppendCounterparts(platform_.registry, std::span(kClassLocations).subspan(pass + 1), remembered,
                       keys);
    break;
  }
  return static_cast<int>(keys.size());
}

int TURegistryOp::FindTypeLibraries(const StringList& typeLibraries, StringList& keys) {
  keys.clear();
  for (const Location& location : kTypeLibraryLocations) {
    for (const std::string& library : typeLibraries) {
      if (!IsSingleKeyName(library)) continue;
      const std::string path = Join(location.keyPath, library);
      if (KeyExists(location.hive, path)) keys.push_back(FullKeyPath(location.hive, path));
    }
  }
  return static_cast<int>(keys.size());
}

int TURegistryOp::FindInterfaces(const StringList& typeLibraries, StringList& keys) {
  keys.clear();
  if (typeLibraries.empty()) return 0;
  for (std::size_t pass = 0; pass < kInterfaceLocations.size(); ++pass) {
    const Location& location = kInterfaceLocations[pass];
    auto root = platform_.registry.OpenKey(location.hive, location.keyPath, KeyAccess::Read);
    if (!root) continue;
    std::vector<std::string> remembered;
    for (std::uint32_t i = 0;; ++i) {
      const auto interfaceId = root->EnumKey(i);
      if (!interfaceId) break;
      const std::string interfacePath = Join(location.keyPath, *interfaceId);
      const std::string library =
          Trim(ReadKeyText(location.hive, interfacePath + "\\TypeLib", "").value_or(std::string()));
      if (library.empty()) continue;
      if (std::find(typeLibraries.begin(), typeLibraries.end(), library) == typeLibraries.end()) {
        continue;
      }
      keys.push_back(FullKeyPath(location.hive, interfacePath));
      remembered.push_back(*interfaceId);
    }
    if (remembered.empty()) continue;
    AppendCounterparts(platform_.registry, std::span(kInterfaceLocations).subspan(pass + 1),
                       remembered, keys);
    break;
  }
  return static_cast<int>(keys.size());
}

// --- Other registry residue ---

bool TURegistryOp::DeleteKeyTree(Hive hive, const std::string& keyPath) {
  std::vector<std::string> children;
  {
    auto key = platform_.registry.OpenKey(hive, keyPath, KeyAccess::Read);
    if (!key) return false;
    children = SubKeyNames(*key);
  }
  // Depth first: the registry deletes only keys without sub-keys. A sub-key that stays makes
  // the key stay too; what was deleted stays deleted.
  for (const std::string& child : children)
    DeleteKeyTree(hive, Join(keyPath, child));
  return platform_.registry.DeleteKey(hive, keyPath) == platform::kSuccess;
}

bool TURegistryOp::DeleteRegistryItem(std::string_view fullPath, int kind) {
  const Hive hive = RootKeyOfPath(fullPath);
  const std::string_view keyPath = KeyPathOf(fullPath);
  if (kind == kItemKey) {
    // A path that names no key below the hive ("HKEY_LOCAL_MACHINE", "HKEY_LOCAL_MACHINE\")
    // would otherwise take the whole hive.
    if (SplitSkippingEmpty(keyPath, '\\').empty()) return false;
    return DeleteKeyTree(hive, std::string(keyPath));
  }
  if (kind == kItemValue) {
    if (keyPath.empty()) return false;
    const std::string name = LastPathPart(keyPath);
    const std::string_view parent = keyPath.substr(0, keyPath.size() - name.size() - 1);
    auto key = platform_.registry.OpenKey(hive, parent, KeyAccess::AllAccess);
    return key && key->DeleteValue(name) == platform::kSuccess;
  }
  return false;
}

bool TURegistryOp::DeleteRegistryValue(std::string_view fullKeyPath, std::string_view valueName) {
  auto key = platform_.registry.OpenKey(RootKeyOfPath(fullKeyPath), KeyPathOf(fullKeyPath),
                                        KeyAccess::AllAccess);
  return key && key->DeleteValue(valueName) == platform::kSuccess;
}

int TURegistryOp::FindProgramTraces(std::string_view displayName, StringList& traces) {
  return FindProgramTracesOfEntry(FindUninstallKey(displayName), traces);
}

TUNINSTALL_DES TURegistryOp::ReadUninstallEntryAt(std::string_view fullKeyPath) {
  if (fullKeyPath.empty()) return {};
  auto key = platform_.registry.OpenKey(RootKeyOfPath(fullKeyPath), KeyPathOf(fullKeyPath),
                                        KeyAccess::Read);
  if (!key) return {};
  TUNINSTALL_DES entry;
  entry.InstallDate = FormatInstallDate(Trim(TextOrEmpty(*key, "InstallDate")));
  entry.DisplayVersion = Trim(TextOrEmpty(*key, "DisplayVersion"));
  entry.InstallLocation = Trim(TextOrEmpty(*key, "InstallLocation"));
  entry.HelpLink = Trim(TextOrEmpty(*key, "HelpLink"));
  entry.Publisher = Trim(TextOrEmpty(*key, "Publisher"));
  entry.URLInfoAbout = Trim(TextOrEmpty(*key, "URLInfoAbout"));
  entry.URLUpdateInfo = Trim(TextOrEmpty(*key, "URLUpdateInfo"));
  entry.UninstallString = Trim(TextOrEmpty(*key, "UninstallString"));
  entry.KeyName = LastPathPart(fullKeyPath);
  entry.DisplayName = Trim(TextOrEmpty(*key, "DisplayName"));
  return entry;
}

int TURegistryOp::FindProgramTracesOfEntry(std::string_view entryKey, StringList& traces) {
  const TUNINSTALL_DES entry = ReadUninstallEntryAt(entryKey);
  const std::string& keyName = entry.KeyName;
  const std::string& name = entry.DisplayName;
  const std::string& location = entry.InstallLocation;
  traces.clear();
  // Without an Uninstall entry there is nothing to go by; with an empty name "\SOFTWARE\"
  // followed by it would be "\SOFTWARE" itself.
  if (keyName.empty() || TrimView(name).empty()) return 0;

  // An install location that is a drive root or a folder every program shares would match
  // every other program's App Paths and Run values.
  const std::vector<std::string> usable = OwnFolders({location});
  const bool locationUsable = !usable.empty();

  for (const Hive hive : {Hive::LocalMachine, Hive::CurrentUser}) {
    if (auto cache = platform_.registry.OpenKey(hive, kArpCacheKey, KeyAccess::Read)) {
      for (const std::string& sub : SubKeyNames(*cache)) {
        if (sub == keyName) {
          traces.push_back("2" + FullKeyPath(hive, Join(kArpCacheKey, keyName)));
          break;
        }
      }
    }

    if (locationUsable) {
      if (auto appPaths = platform_.registry.OpenKey(hive, kAppPathsKey, KeyAccess::Read)) {
        for (const std::string& sub : SubKeyNames(*appPaths)) {
          auto app = platform_.registry.OpenKey(hive, Join(kAppPathsKey, sub), KeyAccess::Read);
          if (!app || !HasValue(*app, "Path")) continue;
          const auto path = ReadValueTextIfText(*app, "Path");
          if (path && ContainsAtPathBoundary(*path, location)) {
            traces.push_back("2" + FullKeyPath(hive, Join(kAppPathsKey, sub)));
            break;
          }
        }
        if (auto run = platform_.registry.OpenKey(hive, kRunKey, KeyAccess::Read)) {
          for (const std::string& value : ValueNames(*run)) {
            // A name with a backslash cannot be addressed as a value item.
            if (value.find('\\') != std::string::npos) continue;
            const auto text = ReadValueTextIfText(*run, value);
            if (text && ContainsAtPathBoundary(*text, location)) {
              traces.push_back("3" + FullKeyPath(hive, Join(kRunKey, value)));
            }
          }
        }
      }
    }

    auto software = platform_.registry.OpenKey(hive, kSoftwareKey, KeyAccess::Read);
    if (!software) continue;
    for (const std::string& sub : SubKeyNames(*software)) {
      if (sub == keyName || sub == name) {
        if (!IsWellKnownSoftwareKey(sub)) {
          traces.push_back("2" + FullKeyPath(hive, Join(kSoftwareKey, sub)));
        }
        continue;
      }
      auto vendor = platform_.registry.OpenKey(hive, Join(kSoftwareKey, sub), KeyAccess::Read);
      if (!vendor) continue;
      for (const std::string& product : SubKeyNames(*vendor)) {
        if (product == name) {
          traces.push_back("2" + FullKeyPath(hive, Join(Join(kSoftwareKey, sub), name)));
        }
      }
    }
  }
  return static_cast<int>(traces.size());
}

bool TURegistryOp::DeleteUninstallEntry(std::string_view displayName) {
  const std::string key = FindUninstallKey(displayName);
  if (key.empty()) return false;
  return DeleteRegistryItem(key, kItemKey);
}

int TURegistryOp::FindServiceKeys(std::string_view serviceName, StringList& keys) {
  keys.clear();
  // A blank name would address the service locations themselves, one with a backslash
  // another service's sub-key; no service is named like that.
  if (!IsSingleKeyName(serviceName)) return 0;
  for (std::string_view location : kServiceLocations) {
    const std::string path = Join(location, serviceName);
    if (KeyExists(Hive::LocalMachine, path)) keys.push_back(FullKeyPath(Hive::LocalMachine, path));
  }
  return static_cast<int>(keys.size());
}

bool TURegistryOp::DeleteServiceKeys(std::string_view serviceName) {
  StringList keys;
  FindServiceKeys(serviceName, keys);
  for (const std::string& key : keys)
    DeleteKeyTree(Hive::LocalMachine, std::string(KeyPathOf(key)));
  return !keys.empty();
}

int TURegistryOp::CollectFoldersFromValues(const StringList& keys, const StringList& valueNames,
                                           StringList& folders) {
  folders.clear();
  for (std::size_t i = 0; i < keys.size() && i < valueNames.size(); ++i) {
    const std::string keyText = Trim(keys[i]);
    const std::string valueName = Trim(valueNames[i]);
    std::string text;
    {
      auto key =
          platform_.registry.OpenKey(RootKeyOfPath(keyText), KeyPathOf(keyText), KeyAccess::Read);
      if (!key) continue;
      const bool isDefault = LowerAscii(valueName) == "(default)";
      const auto read = ReadValueTextIfText(*key, isDefault ? std::string() : valueName);
      if (!read) continue;
      text = Trim(*read);
    }
    if (text.empty()) continue;
    if (text.find('"') != std::string::npos) {
      if (text.front() == '"') text.erase(0, 1);
      if (const std::size_t quote = text.find('"'); quote != std::string::npos) text.resize(quote);
    }
    if (const std::size_t comma = text.find(','); comma != std::string::npos) text.resize(comma);
    const std::size_t separator = text.find_last_of("\\:");
    const std::string_view lastPart = separator == std::string::npos
                                          ? std::string_view(text)
                                          : std::string_view(text).substr(separator + 1);
    if (lastPart.find('.') != std::string_view::npos) {
      // The last part looks like a file name: take its folder.
      if (separator == std::string::npos || text[separator] != '\\') {
        text.clear();
      } else {
        text.resize(separator);
        if (text.size() == 2 && text[1] == ':') text += '\\';  // a drive root keeps it
      }
    }
    text = LowerAscii(text);
    // A relative text would be looked up in whatever the current folder happens to be.
    if (!IsFullyQualifiedPath(text) || !FolderExists(text)) continue;
    if (std::find(folders.begin(), folders.end(), text) == folders.end()) folders.push_back(text);
  }
  return static_cast<int>(folders.size());
}

int TURegistryOp::FindFolderListEntries(const StringList& folders,
                                        std::vector<RegistryValueRef>& entries, int listNumber) {
  entries.clear();
  if (folders.empty() || listNumber < 1 || listNumber > static_cast<int>(kSystemLists.size())) {
    return 0;
  }
  const std::vector<std::string> boundaries = OwnFolders(folders);
  if (boundaries.empty()) return 0;
  const Location& list = kSystemLists[static_cast<std::size_t>(listNumber - 1)];
  auto key = platform_.registry.OpenKey(list.hive, list.keyPath, KeyAccess::Read);
  if (!key) return 0;
  for (const std::string& name : ValueNames(*key)) {
    // The entry is the folder itself or lies below it, read as the system reads the path.
    const std::string folded = policy::FoldedPathText(name);
    const bool belongs = std::any_of(
        boundaries.begin(), boundaries.end(),
        [&](const std::string& folder) { return policy::IsSameOrBelow(folded, folder); });
    if (belongs) entries.push_back({FullKeyPath(list.hive, list.keyPath), name});
  }
  return static_cast<int>(entries.size());
}

void TURegistryOp::SetRunValue(std::string_view valueName, std::string_view text) {
  auto key = platform_.registry.OpenKey(Hive::LocalMachine, kRunKey, KeyAccess::AllAccess);
  if (!key || key->SetStringValue(valueName, text) != platform::kSuccess) {
    throw Error(FillPlaceholder(kFailedToSetData, valueName));
  }
}

void TURegistryOp::DeleteRunValue(std::string_view valueName) {
  auto key = platform_.registry.OpenKey(Hive::LocalMachine, kRunKey, KeyAccess::AllAccess);
  if (key && HasValue(*key, valueName)) (void)key->DeleteValue(valueName);
}

}  // namespace sv::registry
