// TUFileOp: the signature database. Construction fixes the paths of SV.dat and soft.dat (beside
// the executable unless given), creates a missing file with an empty header, and reads both
// files whole; every query then works on those images only. Texts are ANSI in the files and
// UTF-8 here. One object serves one caller at a time; each thread builds its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/search_mode.h"
#include "database/db_format.h"
#include "platform/listings.h"
#include "platform/platform.h"

namespace sv::database {

using StringList = std::vector<std::string>;

// GetSoftItems answers.
inline constexpr std::int32_t kNoSoftwareId = -1;
inline constexpr std::int32_t kBadKindFilter = -3;

class TUFileOp {
 public:
  // Throws sv::Error "Cannot create file %s" or "Cannot open file %s".
  TUFileOp(platform::Platform& platform, std::string_view dataPath = {},
           std::string_view softPath = {});

  [[nodiscard]] const std::string& DataPath() const noexcept { return dataPath_; }
  [[nodiscard]] const std::string& SoftPath() const noexcept { return softPath_; }

  // Indexed (the default) answers the lookups by ID and by name from indexes made on first
  // use; Literal walks the records for each lookup. The answers are the same.
  void SetSearchMode(SearchMode mode) noexcept { mode_ = mode; }

  // Existence tests first ask `listings` (the caller's, kept for a run that changes nothing)
  // whether an item is ruled out; without them every test asks the system.
  void UseListings(platform::RunListings* listings) noexcept { listings_ = listings; }

  // Selector 1: the build stamp in decimal; any other: "yyyy.MMdd.hhnnss". Empty when the
  // file is too short to hold a header.
  [[nodiscard]] std::string GetDataVersion(std::uint16_t selector);
  [[nodiscard]] std::string GetSoftDataVersion(std::uint16_t selector);

  // The record readers over the images; empty when the record does not lie wholly inside.
  // Texts come back converted to UTF-8.
  [[nodiscard]] std::optional<DataHeader> ReadDataHeader() const;
  [[nodiscard]] std::optional<IndexEntry> ReadIndexEntry(std::int64_t offset) const;
  [[nodiscard]] std::optional<ItemRecord> ReadItemRecord(std::int64_t offset) const;
  [[nodiscard]] std::optional<SoftHeader> ReadSoftHeader() const;
  [[nodiscard]] std::optional<SoftRecord> ReadSoftRecord(std::int64_t offset) const;
  [[nodiscard]] std::optional<LocationRecord> ReadLocationRecord(std::int64_t offset) const;

  // Fill a header with the current build stamp and date-time and write it at the file's start.
  platform::WinError WriteDataHeader(platform::File& file, std::int32_t count,
                                     std::int32_t reserved1, std::int32_t reserved2,
                                     std::int32_t headerLength);
  platform::WinError WriteSoftHeader(platform::File& file, std::uint16_t count);

  // Queries.
  std::int32_t GetSoftNameList(StringList& list, std::uint16_t category);
  // The software IDs (trimmed) in the order of the name list: ID i belongs to name i.
  std::int32_t GetSoftIdList(StringList& ids, std::uint16_t category);
  [[nodiscard]] std::uint16_t GetSoftCount(std::uint16_t category);
  [[nodiscard]] std::int32_t GetSoftCategory(std::string_view id);
  [[nodiscard]] std::string GetCategoryText(std::string_view displayName);
  [[nodiscard]] std::string FindSoftId(std::string_view name);
  [[nodiscard]] std::string GetSoftName(std::string_view id);
  std::int32_t GetSoftItems(std::string_view displayName, std::uint16_t kindFilter,
                            std::int32_t existingOnly, StringList& list);
  std::int32_t GetSoftInfo(std::string_view displayName, StringList& info, StringList& keys,
                           StringList& valueNames);
  // The same for the record of one software ID, the identity a scan gives each row: a name
  // may begin with another record's name, an ID names one record.
  std::int32_t GetSoftItemsById(std::string_view softwareId, std::uint16_t kindFilter,
                                std::int32_t existingOnly, StringList& list);
  std::int32_t GetSoftInfoById(std::string_view softwareId, StringList& info, StringList& keys,
                               StringList& valueNames);

  // Path macros and existence.
  [[nodiscard]] std::string ExpandPath(std::string_view stored, std::uint16_t kind);
  [[nodiscard]] bool ItemExists(std::string_view expanded, std::uint16_t kind);
  [[nodiscard]] std::string ExpandProfileDir(std::string_view text);

 private:
  // Index entries and software records in file order; the count is bounded by the image.
  template <typename Visit>
  void ForEachIndexEntry(std::int64_t count, Visit visit) const;
  template <typename Visit>
  void ForEachSoftRecord(Visit visit) const;
  [[nodiscard]] std::optional<SoftRecord> FindRecordById(std::string_view id) const;

  // The images never change after construction, so the indexes are made once. Each map gives
  // the first record or entry in file order with that key, which is what the walks answer.
  struct Indexes {
    std::vector<std::string> recordIds;  // as stored (decoded, not trimmed)
    std::vector<std::int64_t> recordOffsets;
    std::unordered_map<std::string, std::size_t> byFoldedId;    // trimmed, ASCII lower case
    std::unordered_map<std::string, std::size_t> byExactId;     // trimmed
    std::unordered_map<std::string, std::size_t> byFoldedName;  // trimmed, ASCII lower case
    std::unordered_map<std::string, IndexEntry> entryByFoldedId;
    std::size_t longestName;  // bytes of the longest trimmed name
  };
  [[nodiscard]] const Indexes& GetIndexes() const;
  [[nodiscard]] std::optional<std::size_t> FirstRecordNamedAtStartOf(std::string_view name) const;

  [[nodiscard]] std::string Text(std::string_view bytes) const;
  [[nodiscard]] std::string VersionText(std::optional<std::int32_t> stamp,
                                        std::uint16_t selector) const;
  void EnsureFile(const std::string& path, bool data);

  platform::Platform platform_;
  std::string dataPath_;
  std::string softPath_;
  std::vector<std::uint8_t> dataImage_;
  std::vector<std::uint8_t> softImage_;
  SearchMode mode_ = SearchMode::Indexed;
  mutable std::optional<Indexes> indexes_;
  platform::RunListings* listings_ = nullptr;
};

}  // namespace sv::database
