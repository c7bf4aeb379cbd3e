#include "database/opUninstallFile.h"

#include <algorithm>

#include <array>
#include <utility>

#include "common/datetime.h"
#include "common/error.h"
#include "common/paths.h"
#include "common/text.h"

namespace sv::database {

namespace {

using platform::Hive;

constexpr std::string_view kDataFileName = "SV.dat";
constexpr std::string_view kSoftFileName = "soft.dat";

// Applied in this order; every replacement starts with a backslash so macros chain.
constexpr std::array<std::pair<std::string_view, std::string_view>, 24> kMacros{{
    {"{das}", "\\Documents and Settings"},
    {"{ls}", "\\Local Settings"},
    {"{md}", "\\My Documents"},
    {"{ad}", "\\Application Data"},
    {"{is}", "\\Internet Settings"},
    {"{usf}", "\\User Shell Folders"},
    {"{sf}", "\\Shell Folder"},
    {"{sf2}", "\\ShellFolder"},
    {"{pf}", "\\Program Files"},
    {"{cf}", "\\Common Files"},
    {"{cm}", "\\Config.Msi"},
    {"{s32}", "\\system32"},
    {"{s}", "\\system"},
    {"{c}", "\\config"},
    {"{i}", "\\Installer"},
    {"{as}", "\\All Users"},
    {"{a}", "\\Administrator"},
    {"{df}", "\\Default User"},
    {"{lse}", "\\LocalService"},
    {"{nse}", "\\NetworkService"},
    {"{sw}", "\\Software"},
    {"{ms}", "\\Microsoft"},
    {"{win}", "\\Windows"},
    {"{cv}", "\\CurrentVersion"},
}};

constexpr std::string_view kUserMarker = "{cur}";
constexpr std::string_view kWindowsMarker = "{w}";
constexpr std::string_view kProfileMarker = "{x}";

bool IsFileSystemKind(std::uint16_t kind) {
  return kind == kKindFile || kind == kKindDirectory;
}

// The short forms of the stored registry items ("HKLM"), in any letter case.
std::string_view HiveNameForShortForm(std::string_view segment) {
  const std::string upper = UpperAscii(segment);
  if (upper == "HKLM") return "HKEY_LOCAL_MACHINE";
  if (upper == "HKCU") return "HKEY_CURRENT_USER";
  if (upper == "HKCR") return "HKEY_CLASSES_ROOT";
  if (upper == "HKU") return "HKEY_USERS";
  return "HKEY_CURRENT_CONFIG";
}

// The hive of an expanded key path: full names only, letter case significant.
Hive HiveForFullName(std::string_view segment) {
  if (segment == "HKEY_LOCAL_MACHINE") return Hive::LocalMachine;
  if (segment == "HKEY_CURRENT_USER") return Hive::CurrentUser;
  if (segment == "HKEY_CLASSES_ROOT") return Hive::ClassesRoot;
  if (segment == "HKEY_USERS") return Hive::Users;
  return Hive::CurrentConfig;
}

std::optional<std::int32_t> NowStamp(platform::System& system, DateTime* dateTime) {
  const std::optional<DateTime> now = SystemTimeToDateTime(system.LocalTimeNow());
  if (!now) return std::nullopt;
  *dateTime = *now;
  return BuildStampFromDateTime(*now);
}

}  // namespace

TUFileOp::TUFileOp(platform::Platform& platform, std::string_view dataPath,
                   std::string_view softPath)
    : platform_(platform) {
  std::string folder;
  if (TrimView(dataPath).empty() || TrimView(softPath).empty()) {
    const std::string executable = platform_.system.ExecutablePath();
    const std::size_t slash = executable.rfind('\\');
    folder = slash == std::string::npos ? std::string() : executable.substr(0, slash + 1);
  }
  dataPath_ = TrimView(dataPath).empty() ? folder + std::string(kDataFileName) : Trim(dataPath);
  EnsureFile(dataPath_, true);
  softPath_ = TrimView(softPath).empty() ? folder + std::string(kSoftFileName) : Trim(softPath);
  EnsureFile(softPath_, false);

  for (auto [path, image] : {std::pair{&dataPath_, &dataImage_}, {&softPath_, &softImage_}}) {
    const std::optional<std::string> bytes = platform::ReadWholeFile(platform_.files, *path);
    if (!bytes) throw Error(FillPlaceholder("Cannot open file %s", *path));
    image->assign(bytes->begin(), bytes->end());
  }
}

void TUFileOp::EnsureFile(const std::string& path, bool data) {
  if (platform_.files.GetAttributes(path) != platform::kInvalidAttributes) return;
  // CreateNew: a file that appeared meanwhile is never overwritten.
  const auto file = platform_.files.OpenFile(
      path, platform::FileAccess::Write, platform::kShareNone, platform::Disposition::CreateNew);
  const platform::WinError written =
      !file ? platform::kErrorAccessDenied
            : (data ? WriteDataHeader(*file, 0, 0, 0, static_cast<std::int32_t>(kDataHeaderSize))
                    : WriteSoftHeader(*file, 0));
  if (written != platform::kSuccess) throw Error(FillPlaceholder("Cannot create file %s", path));
}

platform::WinError TUFileOp::WriteDataHeader(platform::File& file, std::int32_t count,
                                             std::int32_t reserved1, std::int32_t reserved2,
                                             std::int32_t headerLength) {
  DataHeader header;
  header.stamp = NowStamp(platform_.system, &header.dateTime).value_or(0);
  header.count = count;
  header.reserved1 = reserved1;
  header.reserved2 = reserved2;
  header.headerLength = headerLength;
  return file.Write(SerializeDataHeader(header));
}

platform::WinError TUFileOp::WriteSoftHeader(platform::File& file, std::uint16_t count) {
  SoftHeader header;
  header.stamp = NowStamp(platform_.system, &header.dateTime).value_or(0);
  header.count = count;
  return file.Write(SerializeSoftHeader(header));
}

std::string TUFileOp::Text(std::string_view bytes) const {
  return platform_.system.AnsiToUtf8(bytes);
}

std::optional<DataHeader> TUFileOp::ReadDataHeader() const {
  return ParseDataHeader(dataImage_);
}

std::optional<IndexEntry> TUFileOp::ReadIndexEntry(std::int64_t offset) const {
  auto entry = ParseIndexEntry(dataImage_, offset);
  if (entry) entry->id = Text(entry->id);
  return entry;
}

std::optional<ItemRecord> TUFileOp::ReadItemRecord(std::int64_t offset) const {
  auto record = ParseItemRecord(dataImage_, offset);
  if (record) record->item = Text(record->item);
  return record;
}

std::optional<SoftHeader> TUFileOp::ReadSoftHeader() const {
  return ParseSoftHeader(softImage_);
}

std::optional<SoftRecord> TUFileOp::ReadSoftRecord(std::int64_t offset) const {
  auto record = ParseSoftRecord(softImage_, offset);
  if (!record) return record;
  for (std::string* text : {&record->id, &record->name, &record->services, &record->processes,
                            &record->spare, &record->installFolder, &record->desktop,
                            &record->programs, &record->startup, &record->startMenu}) {
    *text = Text(*text);
  }
  return record;
}

std::optional<LocationRecord> TUFileOp::ReadLocationRecord(std::int64_t offset) const {
  auto record = ParseLocationRecord(softImage_, offset);
  if (record) {
    record->key = Text(record->key);
    record->valueName = Text(record->valueName);
  }
  return record;
}

std::string TUFileOp::VersionText(std::optional<std::int32_t> stamp, std::uint16_t selector) const {
  if (!stamp) return {};
  if (selector == 1) return std::to_string(*stamp);
  return FormatDateTime("yyyy.MMdd.hhnnss", DateTimeFromBuildStamp(*stamp));
}

std::string TUFileOp::GetDataVersion(std::uint16_t selector) {
  const auto header = ReadDataHeader();
  return VersionText(header ? std::optional(header->stamp) : std::nullopt, selector);
}

std::string TUFileOp::GetSoftDataVersion(std::uint16_t selector) {
  const auto header = ReadSoftHeader();
  return VersionText(header ? std::optional(header->stamp) : std::nullopt, selector);
}

template <typename Visit>
void TUFileOp::ForEachIndexEntry(std::int64_t count, Visit visit) const {
  // A count beyond what the image holds stops at the first entry that does not fit.
  for (std::int64_t i = 0; i < count; ++i) {
    const auto entry = ReadIndexEntry(RecordOffset(kDataHeaderSize, i, kIndexEntrySize));
    if (!entry || !visit(*entry)) return;
  }
}

template <typename Visit>
void TUFileOp::ForEachSoftRecord(Visit visit) const {
  // A count M beyond what the image holds stops at the first record that does not fit. Only
  // the ID and name are decoded on the way; the caller reads the whole record on a hit.
  const auto header = ReadSoftHeader();
  if (!header) return;
  for (std::int64_t i = 0; i < header->count; ++i) {
    const std::int64_t offset = RecordOffset(kSoftHeaderSize, i, kSoftRecordSize);
    const auto head = ParseSoftRecordHead(softImage_, offset);
    if (!head || !visit(Text(head->id), Text(head->name), offset)) return;
  }
}

const TUFileOp::Indexes& TUFileOp::GetIndexes() const {
  if (indexes_) return *indexes_;
  Indexes& made = indexes_.emplace();
  made.longestName = 0;
  ForEachSoftRecord([&](std::string_view recordId, std::string_view name, std::int64_t offset) {
    const std::size_t position = made.recordIds.size();
    made.recordIds.emplace_back(recordId);
    made.recordOffsets.push_back(offset);
    // emplace keeps the first record of a key: the one a walk in file order stops at.
    made.byFoldedId.emplace(LowerAscii(TrimView(recordId)), position);
    made.byExactId.emplace(TrimView(recordId), position);
    const std::string_view trimmedName = TrimView(name);
    made.byFoldedName.emplace(LowerAscii(trimmedName), position);
    made.longestName = std::max(made.longestName, trimmedName.size());
    return true;
  });
  if (const auto header = ReadDataHeader()) {
    ForEachIndexEntry(header->count, [&](const IndexEntry& entry) {
      made.entryByFoldedId.emplace(LowerAscii(TrimView(entry.id)), entry);
      return true;
    });
  }
  return made;
}

std::optional<std::size_t> TUFileOp::FirstRecordNamedAtStartOf(std::string_view name) const {
  // The records whose non-blank trimmed name begins `name`: one lookup per length of prefix,
  // and the earliest record in file order wins, as in a walk.
  const Indexes& indexes = GetIndexes();
  std::optional<std::size_t> first;
  const std::string folded = LowerAscii(name);
  const std::size_t longest = std::min(folded.size(), indexes.longestName);
  for (std::size_t length = 1; length <= longest; ++length) {
    const auto hit = indexes.byFoldedName.find(folded.substr(0, length));
    if (hit != indexes.byFoldedName.end() && (!first || hit->second < *first)) first = hit->second;
  }
  return first;
}

std::optional<SoftRecord> TUFileOp::FindRecordById(std::string_view id) const {
  if (mode_ == SearchMode::Indexed) {
    const Indexes& indexes = GetIndexes();
    const auto hit = indexes.byFoldedId.find(LowerAscii(id));
    if (hit == indexes.byFoldedId.end()) return std::nullopt;
    return ReadSoftRecord(indexes.recordOffsets[hit->second]);
  }
  std::optional<SoftRecord> found;
  ForEachSoftRecord([&](std::string_view recordId, std::string_view, std::int64_t offset) {
    if (!SameTextAscii(TrimView(recordId), id)) return true;
    found = ReadSoftRecord(offset);
    return false;
  });
  return found;
}

std::int32_t TUFileOp::GetSoftNameList(StringList& list, std::uint16_t category) {
  list.clear();
  const auto header = ReadDataHeader();
  if (!header) return 0;
  ForEachIndexEntry(header->count, [&](const IndexEntry& entry) {
    const std::string id = Trim(entry.id);
    if (category == 0 || GetSoftCategory(id) == category) list.push_back(GetSoftName(id));
    return true;
  });
  return static_cast<std::int32_t>(list.size());
}

std::int32_t TUFileOp::GetSoftIdList(StringList& ids, std::uint16_t category) {
  ids.clear();
  const auto header = ReadDataHeader();
  if (!header) return 0;
  ForEachIndexEntry(header->count, [&](const IndexEntry& entry) {
    std::string id = Trim(entry.id);
    if (category == 0 || GetSoftCategory(id) == category) ids.push_back(std::move(id));
    return true;
  });
  return static_cast<std::int32_t>(ids.size());
}

std::uint16_t TUFileOp::GetSoftCount(std::uint16_t category) {
  const auto header = ReadDataHeader();
  if (!header) return 0;
  // A damaged count says no more than the entries the image really holds (and never less
  // than none), so the total agrees with the name list.
  const std::int64_t fitting = std::max<std::int64_t>(
      0, (static_cast<std::int64_t>(dataImage_.size()) - kDataHeaderSize) / kIndexEntrySize);
  const std::int64_t count = std::clamp<std::int64_t>(header->count, 0, fitting);
  const auto n = static_cast<std::uint16_t>(count);
  if (category == 0) return n;
  std::uint16_t counter = 0;
  ForEachIndexEntry(n, [&](const IndexEntry& entry) {
    if (static_cast<std::uint16_t>(GetSoftCategory(Trim(entry.id))) == category) ++counter;
    return true;
  });
  return counter;
}

std::int32_t TUFileOp::GetSoftCategory(std::string_view id) {
  const auto record = FindRecordById(id);
  return record ? record->category : 0;
}

std::string TUFileOp::GetCategoryText(std::string_view displayName) {
  if (mode_ == SearchMode::Indexed) {
    const Indexes& indexes = GetIndexes();
    const auto hit = indexes.byFoldedName.find(LowerAscii(displayName));
    if (hit == indexes.byFoldedName.end()) return {};
    const auto record = ReadSoftRecord(indexes.recordOffsets[hit->second]);
    return record ? std::string(CategoryName(record->category)) : std::string();
  }
  std::string text;
  ForEachSoftRecord([&](std::string_view, std::string_view name, std::int64_t offset) {
    if (!SameTextAscii(TrimView(name), displayName)) return true;
    if (const auto record = ReadSoftRecord(offset)) text = CategoryName(record->category);
    return false;
  });
  return text;
}

std::string TUFileOp::FindSoftId(std::string_view name) {
  if (mode_ == SearchMode::Indexed) {
    const auto first = FirstRecordNamedAtStartOf(name);
    return first ? GetIndexes().recordIds[*first] : std::string();
  }
  std::string id;
  ForEachSoftRecord([&](std::string_view recordId, std::string_view recordName, std::int64_t) {
    const std::string_view trimmed = TrimView(recordName);
    if (trimmed.empty() || !StartsWithTextAscii(name, trimmed)) return true;
    id = recordId;
    return false;
  });
  return id;
}

std::string TUFileOp::GetSoftName(std::string_view id) {
  const auto record = FindRecordById(id);
  return record ? Trim(record->name) : std::string();
}

std::int32_t TUFileOp::GetSoftItems(std::string_view displayName, std::uint16_t kindFilter,
                                    std::int32_t existingOnly, StringList& list) {
  return GetSoftItemsById(FindSoftId(Trim(displayName)), kindFilter, existingOnly, list);
}

std::int32_t TUFileOp::GetSoftItemsById(std::string_view softwareId, std::uint16_t kindFilter,
                                        std::int32_t existingOnly, StringList& list) {
  list.clear();
  const std::string id = Trim(softwareId);
  if (id.empty()) return kNoSoftwareId;
  if (kindFilter >= 5) return kBadKindFilter;
  const auto header = ReadDataHeader();
  if (!header) return 0;

  std::optional<IndexEntry> found;
  if (mode_ == SearchMode::Indexed) {
    const Indexes& indexes = GetIndexes();
    const auto hit = indexes.entryByFoldedId.find(LowerAscii(id));
    if (hit != indexes.entryByFoldedId.end()) found = hit->second;
  } else {
    ForEachIndexEntry(header->count, [&](const IndexEntry& entry) {
      if (!SameTextAscii(TrimView(entry.id), id)) return true;
      found = entry;
      return false;
    });
  }
  if (!found) return 0;

  const std::int64_t files = std::max<std::int32_t>(found->fileCount, 0);
  const std::int64_t registry = std::max<std::int32_t>(found->registryCount, 0);
  std::int64_t first = found->offset;
  std::int64_t count = files + registry;
  if (kindFilter == kKindFile || kindFilter == kKindDirectory) {
    count = files;
  } else if (kindFilter == kKindKey || kindFilter == kKindValue) {
    first = RecordOffset(first, files, kItemRecordSize);
    count = registry;
  }
  for (std::int64_t k = 0; k < count; ++k) {
    const auto record = ReadItemRecord(RecordOffset(first, k, kItemRecordSize));
    if (!record) break;  // the rest of the run lies past the end of the file
    // A kind outside 1..4 is damage: its line could not be told apart from a real kind.
    if (record->kind < kKindFile || record->kind > kKindDirectory) continue;
    if (kindFilter != 0 && kindFilter != record->kind) continue;
    const auto kind = static_cast<std::uint16_t>(record->kind);
    const std::string expanded = ExpandPath(Trim(record->item), kind);
    if (existingOnly == 1 && !ItemExists(expanded, kind)) continue;
    list.push_back(std::to_string(kind) + expanded);
  }
  return static_cast<std::int32_t>(list.size());
}

std::int32_t TUFileOp::GetSoftInfo(std::string_view displayName, StringList& info, StringList& keys,
                                   StringList& valueNames) {
  return GetSoftInfoById(FindSoftId(Trim(displayName)), info, keys, valueNames);
}

std::int32_t TUFileOp::GetSoftInfoById(std::string_view softwareId, StringList& info,
                                       StringList& keys, StringList& valueNames) {
  info.clear();
  keys.clear();
  valueNames.clear();
  const std::string id = Trim(softwareId);
  if (id.empty()) return kNoSoftwareId;

  std::optional<SoftRecord> found;
  if (mode_ == SearchMode::Indexed) {
    const Indexes& indexes = GetIndexes();
    if (const auto hit = indexes.byExactId.find(id); hit != indexes.byExactId.end())
      found = ReadSoftRecord(indexes.recordOffsets[hit->second]);
  } else {
    ForEachSoftRecord([&](std::string_view recordId, std::string_view, std::int64_t offset) {
      if (TrimView(recordId) != id) return true;
      found = ReadSoftRecord(offset);
      return false;
    });
  }
  if (!found) return 0;

  const SoftRecord& record = *found;
  info = {Trim(record.id),
          Trim(record.name),
          std::to_string(record.category),
          Trim(record.services),
          Trim(record.processes),
          Trim(record.spare),
          Trim(record.installFolder),
          Trim(record.desktop),
          Trim(record.programs),
          Trim(record.startup),
          Trim(record.startMenu)};
  for (std::int64_t k = 0; k < found->locationCount; ++k) {
    const auto location =
        ReadLocationRecord(RecordOffset(found->locationOffset, k, kLocationRecordSize));
    if (!location) break;
    keys.push_back(ExpandPath(location->key, kKindKey));
    valueNames.push_back(location->valueName);
  }
  return static_cast<std::int32_t>(info.size());
}

std::string TUFileOp::ExpandPath(std::string_view stored, std::uint16_t kind) {
  if (TrimView(stored).empty()) return {};

  const bool fileSystem = IsFileSystemKind(kind);
  const bool hasDrive = stored.size() >= 3 && stored[1] == ':' && stored[2] == '\\';
  std::string windows;
  std::string drive;
  bool windowsKnown = true;
  if (fileSystem && !hasDrive) {
    windows = platform_.system.WindowsDirectory();
    // Without the Windows folder there is no drive to put in front: the text stays relative,
    // "{w}" stays, and ItemExists refuses relative paths, so nothing is found or deleted.
    windowsKnown = windows.size() >= 2;
    if (windowsKnown) drive = windows.substr(0, 2);
  }
  const std::string user = platform_.system.UserName();

  std::string text = Trim(stored);
  for (const auto& [macro, replacement] : kMacros) {
    text = ReplaceAll(text, macro, replacement);
  }
  if (!TrimView(user).empty()) {
    text = ReplaceAll(text, kUserMarker, "\\" + user);
  }

  if (fileSystem) {
    text = drive + text;
    if (windowsKnown) text = ReplaceAll(text, drive + std::string(kWindowsMarker), windows);
    if (text.find(kProfileMarker) != std::string::npos) text = ExpandProfileDir(text);
    return text;
  }

  const std::size_t slash = text.find('\\');
  if (slash == std::string::npos) return "HKEY_CURRENT_CONFIG" + text;
  return std::string(HiveNameForShortForm(std::string_view(text).substr(0, slash))) +
         text.substr(slash);
}

std::string TUFileOp::ExpandProfileDir(std::string_view text) {
  const std::size_t marker = text.find(kProfileMarker);
  if (marker == std::string_view::npos) return std::string(text);
  const std::string_view before = text.substr(0, marker);
  const std::string_view after = text.substr(marker + kProfileMarker.size());

  auto search = platform_.files.FindFirst(std::string(before) + "*.default");
  for (bool more = search != nullptr; more; more = search->Next()) {
    const platform::FindData& entry = search->Current();
    if ((entry.attributes & (platform::kAttrHidden | platform::kAttrSystem)) != 0) continue;
    return std::string(before) + entry.name + std::string(after);
  }
  // No profile folder: keep the marker, so the item names nothing rather than the parent.
  return std::string(text);
}

bool TUFileOp::ItemExists(std::string_view expanded, std::uint16_t kind) {
  if (kind == kKindKey || kind == kKindValue) {
    const std::size_t slash = expanded.find('\\');
    // Without a backslash there is no key path at all; never let it stand for a hive root.
    if (slash == std::string_view::npos) return false;
    const Hive hive = HiveForFullName(expanded.substr(0, slash));
    const std::string_view path = expanded.substr(slash);
    if (kind == kKindKey) {
      if (listings_ != nullptr && listings_->keys.RulesOut(hive, path)) return false;
      return platform_.registry.OpenKey(hive, path, platform::KeyAccess::Read) != nullptr;
    }
    const std::size_t last = path.rfind('\\');
    const std::string_view keyPath = path.substr(0, last);
    const std::string_view valueName = path.substr(last + 1);
    if (listings_ != nullptr && listings_->keys.RulesOut(hive, keyPath)) return false;
    const auto key = platform_.registry.OpenKey(hive, keyPath, platform::KeyAccess::AllAccess);
    return key != nullptr && key->QueryValue(valueName).has_value();
  }
  if (kind == kKindFile) {
    if (!IsFullyQualifiedPath(expanded)) return false;
    if (listings_ != nullptr && listings_->folders.RulesOut(expanded)) return false;
    const auto search = platform_.files.FindFirst(expanded);
    if (!search || search->Current().IsDirectory()) return false;
    const auto local = platform_.system.FileTimeToLocal(search->Current().times.lastWrite);
    return local && FileTimeToDosDateTime(*local).has_value();
  }
  if (kind == kKindDirectory) {
    if (!IsFullyQualifiedPath(expanded)) return false;
    if (listings_ != nullptr && listings_->folders.RulesOut(expanded)) return false;
    return platform::DirectoryExists(platform_.files, expanded);
  }
  return false;
}

}  // namespace sv::database
