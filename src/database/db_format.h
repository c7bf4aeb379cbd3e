// The two database files as bytes: fixed-size little-endian records, read from a span with a
// bounds check before every field and written field by field. Texts here are the raw bytes of
// the file (ANSI); TUFileOp converts them. Nothing in this file trusts the image: a record that
// does not fit wholly inside it is absent, and a length byte above its field's capacity is
// clamped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace sv::database {

using Image = std::span<const std::uint8_t>;

inline constexpr std::int64_t kDataHeaderSize = 28;
inline constexpr std::int64_t kIndexEntrySize = 27;
inline constexpr std::int64_t kItemRecordSize = 105;
inline constexpr std::int64_t kSoftHeaderSize = 16;
inline constexpr std::int64_t kSoftRecordSize = 1114;
inline constexpr std::int64_t kLocationRecordSize = 132;

// Capacities of the short string fields (characters, not counting the length byte).
inline constexpr std::size_t kIdCapacity = 10;
inline constexpr std::size_t kItemCapacity = 100;
inline constexpr std::size_t kNameCapacity = 40;
inline constexpr std::size_t kListCapacity = 255;  // services, processes
inline constexpr std::size_t kSpareCapacity = 32;
inline constexpr std::size_t kPathCapacity = 100;  // install folder, shortcut lists, location key
inline constexpr std::size_t kValueNameCapacity = 30;

// Item kinds as stored.
inline constexpr std::int32_t kKindFile = 1;
inline constexpr std::int32_t kKindKey = 2;
inline constexpr std::int32_t kKindValue = 3;
inline constexpr std::int32_t kKindDirectory = 4;

struct DataHeader {
  std::int32_t stamp = 0;
  double dateTime = 0;
  std::int32_t count = 0;
  std::int32_t reserved1 = 0;
  std::int32_t reserved2 = 0;
  std::int32_t headerLength = 0;
};

struct IndexEntry {
  std::int32_t unused = 0;
  std::string id;
  std::int32_t offset = 0;
  std::int32_t fileCount = 0;
  std::int32_t registryCount = 0;
};

struct ItemRecord {
  std::int32_t kind = 0;
  std::string item;
};

struct SoftHeader {
  std::int32_t stamp = 0;
  double dateTime = 0;
  std::int32_t count = 0;
};

struct SoftRecord {
  std::string id;
  std::string name;
  std::int32_t category = 0;
  std::string services;
  std::string processes;
  std::string spare;
  std::string installFolder;
  std::string desktop;
  std::string programs;
  std::string startup;
  std::string startMenu;
  std::int32_t locationOffset = 0;
  std::int32_t locationCount = 0;
};

struct LocationRecord {
  std::string key;
  std::string valueName;
};

// Readers: the record at an absolute offset, or empty when any byte of it lies outside the
// image (negative offsets included).
[[nodiscard]] std::optional<DataHeader> ParseDataHeader(Image image);
[[nodiscard]] std::optional<IndexEntry> ParseIndexEntry(Image image, std::int64_t offset);
[[nodiscard]] std::optional<ItemRecord> ParseItemRecord(Image image, std::int64_t offset);
[[nodiscard]] std::optional<SoftHeader> ParseSoftHeader(Image image);
[[nodiscard]] std::optional<SoftRecord> ParseSoftRecord(Image image, std::int64_t offset);
[[nodiscard]] std::optional<LocationRecord> ParseLocationRecord(Image image, std::int64_t offset);

// The ID and display name of the software record at `offset` (the whole record must fit):
// what the lookups compare, without copying the rest of the record.
struct SoftRecordHead {
  std::string id;
  std::string name;
};
[[nodiscard]] std::optional<SoftRecordHead> ParseSoftRecordHead(Image image, std::int64_t offset);

// Offset of record `index` of a run that starts at `first`, in 64 bits so that no stored
// offset or count can overflow it.
[[nodiscard]] constexpr std::int64_t RecordOffset(std::int64_t first, std::int64_t index,
                                                  std::int64_t size) noexcept {
  return first + index * size;
}

// Writers: the record's exact bytes. Texts longer than their field are cut to its capacity
// (svdb refuses them before they get here).
[[nodiscard]] std::string SerializeDataHeader(const DataHeader& header);
[[nodiscard]] std::string SerializeIndexEntry(const IndexEntry& entry);
[[nodiscard]] std::string SerializeItemRecord(const ItemRecord& record);
[[nodiscard]] std::string SerializeSoftHeader(const SoftHeader& header);
[[nodiscard]] std::string SerializeSoftRecord(const SoftRecord& record);
[[nodiscard]] std::string SerializeLocationRecord(const LocationRecord& record);

// The category names the window shows; empty outside 1..10.
[[nodiscard]] std::string_view CategoryName(std::int64_t category) noexcept;

}  // namespace sv::database
