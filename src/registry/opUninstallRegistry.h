// TURegistryOp: the registry side of the program. The inventory of installed programs, the
// searches for a program's Windows Installer, COM and other registry residue, and the generic
// deletion of a key tree or a value. Every key or value that crosses this class's boundary is
// a full key path: a hive name ("HKEY_LOCAL_MACHINE") followed by the key path, which begins
// with a backslash.
//
// A scan or a removal must never stop half-way because one installer wrote a broken value, so
// the searches treat a value that should be text but is not as "not matching" and go on. The
// error "Invalid data type for '%s'" belongs to ReadValueText, for callers that report it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/search_mode.h"
#include "platform/platform.h"
#include "policy/removal_policy.h"
#include "registry/icon_list.h"

namespace sv::registry {

using StringList = std::vector<std::string>;

inline constexpr std::string_view kInvalidDataType = "Invalid data type for '%s'";
inline constexpr std::string_view kFailedToSetData = "Failed to set data for '%s'";

// Registry item kinds, as the trace lines and the removal run write them.
inline constexpr int kItemKey = 2;
inline constexpr int kItemValue = 3;

// The hive that a full key path names: the text before the first backslash, compared without
// regard to case with the four hive names; anything else is HKEY_CURRENT_CONFIG.
[[nodiscard]] platform::Hive RootKeyOfPath(std::string_view fullPath) noexcept;
// The key path below the hive: from the first backslash (included) to the end; empty when
// the text has no backslash.
[[nodiscard]] std::string_view KeyPathOf(std::string_view fullPath) noexcept;
// The hive's name followed by the key path.
[[nodiscard]] std::string FullKeyPath(platform::Hive hive, std::string_view keyPath);

// The text after the last backslash (the whole text when it has none).
[[nodiscard]] std::string LastPathPart(std::string_view text);

// A value read as text: empty when it does not exist or holds no data; REG_SZ and
// REG_EXPAND_SZ up to the first NUL, environment references left as they are. Any other type
// raises sv::Error "Invalid data type for '<name>'". An empty name is the default value.
[[nodiscard]] std::string ReadValueText(const platform::RegistryKey& key, std::string_view name);
// The same, but a value of another type gives nothing instead of an error.
[[nodiscard]] std::optional<std::string> ReadValueTextIfText(const platform::RegistryKey& key,
                                                             std::string_view name);

// The details of one Uninstall entry.
struct TUNINSTALL_DES {
  std::string KeyName;  // the Uninstall sub-key's name
  std::string DisplayName;
  std::int32_t Tag = 0;
  std::string DisplayVersion;
  std::string InstallDate;  // as FormatInstallDate gives it
  std::string InstallLocation;
  std::string HelpLink;
  std::string Publisher;
  std::string URLInfoAbout;
  std::string URLUpdateInfo;
  std::string UninstallString;
  friend bool operator==(const TUNINSTALL_DES&, const TUNINSTALL_DES&) = default;
};

// One entry of a system list: the value `valueName` of the key `keyPath` (a full key path).
// The names of these values are paths, so they cannot be joined into one full key path and
// split again at the last backslash.
struct RegistryValueRef {
  std::string keyPath;
  std::string valueName;
  friend bool operator==(const RegistryValueRef&, const RegistryValueRef&) = default;
};

// The product keys of the Installer locations as one walk read them: per location, in the
// registry's order, each product code with its name (lower case, trimmed; empty when the
// product's key could not be opened or its name is not text).
struct InstallerProductList {
  struct Product {
    std::string code;
    std::optional<std::string> foldedName;
  };
  std::vector<std::vector<Product>> locations;
};

class TURegistryOp {
 public:
  // The Uninstall key of each hive, and of the 32-bit view for the 64-bit build.
  static constexpr std::string_view kUninstallKey =
      "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  static constexpr std::string_view kWow64UninstallKey =
      "\\Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  static constexpr std::string_view kRunKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

  explicit TURegistryOp(platform::Platform platform);

  // Indexed (the default) asks the registry the fewest questions per key it looks at;
  // Literal reads every key the way the searches were first written. The answers are the same.
  void SetSearchMode(SearchMode mode) noexcept { mode_ = mode; }
  // For a run that reads many entries and changes nothing (a scan): the program's own icons
  // are extracted once, and the entry keys ListInstalledPrograms opens stay open for
  // ReadProgramSummary. Both are kept until this object goes.
  void SetReadOnlyRun() noexcept { readOnlyRun_ = true; }
  // The removal policy that says which folders a program can own (the run's, so that what it
  // learnt of the machine is shared); without one the object makes its own.
  void UsePolicy(policy::RemovalPolicy* policy) noexcept { policy_ = policy; }

  // --- Installed-software inventory ---

  // The display names and full key paths of the installed programs: the machine's entries,
  // then (64-bit build) the 32-bit programs' entries, then the user's. With `includeHotfixes`
  // false, each hotfix name leaves out the first entry of that name.
  int ListInstalledPrograms(StringList& names, StringList& keys, bool includeHotfixes);
  // Name, install date, publisher and icon index of one entry; 0 items when the entry lacks
  // "DisplayName" or "UninstallString".
  int ReadProgramSummary(std::string_view fullKeyPath, IconList& smallIcons, StringList& summary,
                         IconList& bigIcons);
  // Whether the entry qualifies for the scan's lists, as ReadProgramSummary judges it (a text
  // "DisplayName" and an "UninstallString"), without reading its icon.
  [[nodiscard]] bool IsListedEntry(std::string_view fullKeyPath);
  // Appends icon `index` of the file to both lists; its position in the big list, or -1.
  int AddIconFromFile(IconList& smallIcons, IconList& bigIcons, int index, std::string_view file);
  [[nodiscard]] std::string FindInstallerIconFile(std::string_view folder);
  [[nodiscard]] std::string FormatInstallDate(std::string_view raw);
  [[nodiscard]] std::string ReadShellFolder(std::string_view valueName);
  [[nodiscard]] std::string GetWindowsDir();
  int ListHotfixKeys(StringList& hotfixes);
  // The full key path of the entry with this display name (letter case counts), or empty.
  [[nodiscard]] std::string FindUninstallKey(std::string_view displayName);
  [[nodiscard]] TUNINSTALL_DES ReadUninstallEntry(std::string_view displayName, std::int32_t tag);
  // The entry at this full key path (KeyName its last part, DisplayName as stored, trimmed).
  [[nodiscard]] TUNINSTALL_DES ReadUninstallEntryAt(std::string_view fullKeyPath);

  // --- Windows Installer registration ---

  // The products whose name begins with the software's name at a word's end, for a leftover
  // of removed software: an installed product is some installed program's and never matches.
  void FindInstallerProducts(std::string_view softwareName, StringList& keys,
                             std::string& productCode);
  // The product keys of the product with this packed code, in every location that has one.
  void FindInstallerProductsByCode(std::string_view packedCode, StringList& keys);
  // The product names of every location in one walk, for a run that looks up many names.
  [[nodiscard]] InstallerProductList ReadInstallerProducts();
  // FindInstallerProducts answered from that list (the registry is asked only about the
  // counterparts of a product found).
  void FindInstallerProducts(const InstallerProductList& products, std::string_view softwareName,
                             StringList& keys, std::string& productCode);
  int FindInstallerFeatures(std::string_view productCode, StringList& keys);
  int FindInstallerUpgradeCodes(std::string_view productCode, StringList& keys);
  int FindInstallerComponents(std::string_view productCode, StringList& keys);

  // --- COM registration ---

  // Classes whose in-process or local server lies in one of the folders (at a path boundary).
  int FindComClasses(const StringList& folders, StringList& typeLibraries, StringList& keys);
  int FindTypeLibraries(const StringList& typeLibraries, StringList& keys);
  int FindInterfaces(const StringList& typeLibraries, StringList& keys);

  // --- Other registry residue ---

  // Kind 2 deletes the key with its whole sub-tree, kind 3 the value named by the last part.
  bool DeleteRegistryItem(std::string_view fullPath, int kind);
  // Deletes exactly the value `valueName` of the key; true when it was deleted.
  bool DeleteRegistryValue(std::string_view fullKeyPath, std::string_view valueName);
  // "2" or "3" followed by a full key path, for each trace of the installed program.
  int FindProgramTraces(std::string_view displayName, StringList& traces);
  // The same for the Uninstall entry at this full key path.
  int FindProgramTracesOfEntry(std::string_view entryKey, StringList& traces);
  bool DeleteUninstallEntry(std::string_view displayName);
  bool DeleteServiceKeys(std::string_view serviceName);
  // The service's keys in the three control sets that exist, as full key paths.
  int FindServiceKeys(std::string_view serviceName, StringList& keys);
  int CollectFoldersFromValues(const StringList& keys, const StringList& valueNames,
                               StringList& folders);
  // The values of system list `listNumber` (1 to 7) whose names are one of the folders or
  // lie below one.
  int FindFolderListEntries(const StringList& folders, std::vector<RegistryValueRef>& entries,
                            int listNumber);
  // Writes the start-up value; raises sv::Error "Failed to set data for '<name>'".
  void SetRunValue(std::string_view valueName, std::string_view text);
  void DeleteRunValue(std::string_view valueName);

 private:
  struct UninstallPass {
    platform::Hive hive;
    std::string_view keyPath;
  };
  [[nodiscard]] std::vector<UninstallPass> UninstallPasses();
  bool DeleteKeyTree(platform::Hive hive, const std::string& keyPath);
  [[nodiscard]] bool KeyExists(platform::Hive hive, std::string_view keyPath);
  // ReadValueTextIfText of the value `name` of the key at `keyPath`; a missing key reads as
  // the empty text, like a missing value. Indexed asks it in one request.
  [[nodiscard]] std::optional<std::string> ReadKeyText(platform::Hive hive,
                                                       std::string_view keyPath,
                                                       std::string_view name);
  // Whether the key at `keyPath` has a value named `name` (ASCII case ignored).
  [[nodiscard]] bool HasValueNamed(platform::Hive hive, std::string_view keyPath,
                                   std::string_view name);
  [[nodiscard]] bool FileExists(std::string_view path);
  [[nodiscard]] bool FolderExists(std::string_view path);
  // The folders of the list that are a program's own: full paths, lower-cased, without trailing
  // backslashes; drive roots and the folders every program shares are left out.
  [[nodiscard]] std::vector<std::string> OwnFolders(const StringList& folders);
  [[nodiscard]] policy::RemovalPolicy& Policy();
  // Whether an Uninstall entry is named by this packed product code.
  [[nodiscard]] bool IsInstalledProduct(std::string_view packedCode);
  [[nodiscard]] bool ProductNameMatches(std::string_view foldedProductName, std::string_view wanted,
                                        std::string_view packedCode);

  platform::Platform platform_;
  SearchMode mode_ = SearchMode::Indexed;
  bool readOnlyRun_ = false;
  // The program's own icons by number, extracted once: they stand in for every entry without
  // an icon of its own.
  std::map<int, platform::ExtractedIcons> ownIcons_;
  // Entry keys by full path, open until their summary is read.
  std::unordered_map<std::string, std::unique_ptr<platform::RegistryKey>> entryKeys_;
  policy::RemovalPolicy* policy_ = nullptr;
  std::unique_ptr<policy::RemovalPolicy> ownPolicy_;
  std::optional<std::set<std::string>> installedProducts_;
};

}  // namespace sv::registry
