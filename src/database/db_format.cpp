#include "database/db_format.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace sv::database {

namespace {

static_assert(std::endian::native == std::endian::little,
              "the database files are little-endian and read by copying their bytes");

// A bounds-checked view of one record: every field read goes through here.
class RecordReader {
 public:
  RecordReader(Image image, std::int64_t offset, std::int64_t size) {
    if (offset >= 0 && size >= 0 && offset <= static_cast<std::int64_t>(image.size()) &&
        size <= static_cast<std::int64_t>(image.size()) - offset) {
      bytes_ = image.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(size));
      valid_ = true;
    }
  }

  [[nodiscard]] bool Valid() const noexcept { return valid_; }

  std::int32_t Int32() {
    std::int32_t value = 0;
    std::memcpy(&value, Take(sizeof value).data(), sizeof value);
    return value;
  }

  double Double() {
    double value = 0;
    std::memcpy(&value, Take(sizeof value).data(), sizeof value);
    return value;
  }

  std::string ShortString(std::size_t capacity) {
    const std::span<const std::uint8_t> field = Take(capacity + 1);
    const std::size_t length = std::min<std::size_t>(field[0], capacity);
    return std::string(reinterpret_cast<const char*>(field.data() + 1), length);
  }

 private:
  // The constructor proved the whole record fits; fields never overrun it because the
  // parsers below take exactly the record's size.
  std::span<const std::uint8_t> Take(std::size_t count) {
    const std::span<const std::uint8_t> field = bytes_.subspan(position_, count);
    position_ += count;
    return field;
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
  bool valid_ = false;
};

class RecordWriter {
 public:
  void Int32(std::int32_t value) {
    char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    out_.append(bytes, sizeof value);
  }

  void Double(double value) {
    char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    out_.append(bytes, sizeof value);
  }

  // Unused character bytes are zero, so equal records give equal files.
  void ShortString(std::string_view text, std::size_t capacity) {
    const std::size_t length = std::min(text.size(), capacity);
    out_.push_back(static_cast<char>(length));
    out_.append(text.substr(0, length));
    out_.append(capacity - length, '\0');
  }

  [[nodiscard]] std::string Take() { return std::move(out_); }

 private:
  std::string out_;
};

}  // namespace

std::optional<DataHeader> ParseDataHeader(Image image) {
  RecordReader reader(image, 0, kDataHeaderSize);
  if (!reader.Valid()) return std::nullopt;
  DataHeader header;
  header.stamp = reader.Int32();
  header.dateTime = reader.Double();
  header.count = reader.Int32();
  header.reserved1 = reader.Int32();
  header.reserved2 = reader.Int32();
  header.headerLength = reader.Int32();
  return header;
}

std::optional<IndexEntry> ParseIndexEntry(Image image, std::int64_t offset) {
  RecordReader reader(image, offset, kIndexEntrySize);
  if (!reader.Valid()) return std::nullopt;
  IndexEntry entry;
  entry.unused = reader.Int32();
  entry.id = reader.ShortString(kIdCapacity);
  entry.offset = reader.Int32();
  entry.fileCount = reader.Int32();
  entry.registryCount = reader.Int32();
  return entry;
}

std::optional<ItemRecord> ParseItemRecord(Image image, std::int64_t offset) {
  RecordReader reader(image, offset, kItemRecordSize);
  if (!reader.Valid()) return std::nullopt;
  ItemRecord record;
  record.kind = reader.Int32();
  record.item = reader.ShortString(kItemCapacity);
  return record;
}

std::optional<SoftHeader> ParseSoftHeader(Image image) {
  RecordReader reader(image, 0, kSoftHeaderSize);
  if (!reader.Valid()) return std::nullopt;
  SoftHeader header;
  header.stamp = reader.Int32();
  header.dateTime = reader.Double();
  header.count = reader.Int32();
  return header;
}

std::optional<SoftRecord> ParseSoftRecord(Image image, std::int64_t offset) {
  RecordReader reader(image, offset, kSoftRecordSize);
  if (!reader.Valid()) return std::nullopt;
  SoftRecord record;
  record.id = reader.ShortString(kIdCapacity);
  record.name = reader.ShortString(kNameCapacity);
  record.category = reader.Int32();
  record.services = reader.ShortString(kListCapacity);
  record.processes = reader.ShortString(kListCapacity);
  record.spare = reader.ShortString(kSpareCapacity);
  record.installFolder = reader.ShortString(kPathCapacity);
  record.desktop = reader.ShortString(kPathCapacity);
  record.programs = reader.ShortString(kPathCapacity);
  record.startup = reader.ShortString(kPathCapacity);
  record.startMenu = reader.ShortString(kPathCapacity);
  record.locationOffset = reader.Int32();
  record.locationCount = reader.Int32();
  return record;
}

std::optional<SoftRecordHead> ParseSoftRecordHead(Image image, std::int64_t offset) {
  RecordReader reader(image, offset, kSoftRecordSize);
  if (!reader.Valid()) return std::nullopt;
  SoftRecordHead head;
  head.id = reader.ShortString(kIdCapacity);
  head.name = reader.ShortString(kNameCapacity);
  return head;
}

std::optional<LocationRecord> ParseLocationRecord(Image image, std::int64_t offset) {
  RecordReader reader(image, offset, kLocationRecordSize);
  if (!reader.Valid()) return std::nullopt;
  LocationRecord record;
  record.key = reader.ShortString(kPathCapacity);
  record.valueName = reader.ShortString(kValueNameCapacity);
  return record;
}

std::string SerializeDataHeader(const DataHeader& header) {
  RecordWriter writer;
  writer.Int32(header.stamp);
  writer.Double(header.dateTime);
  writer.Int32(header.count);
  writer.Int32(header.reserved1);
  writer.Int32(header.reserved2);
  writer.Int32(header.headerLength);
  return writer.Take();
}

std::string SerializeIndexEntry(const IndexEntry& entry) {
  RecordWriter writer;
  writer.Int32(entry.unused);
  writer.ShortString(entry.id, kIdCapacity);
  writer.Int32(entry.offset);
  writer.Int32(entry.fileCount);
  writer.Int32(entry.registryCount);
  return writer.Take();
}

std::string SerializeItemRecord(const ItemRecord& record) {
  RecordWriter writer;
  writer.Int32(record.kind);
  writer.ShortString(record.item, kItemCapacity);
  return writer.Take();
}

std::string SerializeSoftHeader(const SoftHeader& header) {
  RecordWriter writer;
  writer.Int32(header.stamp);
  writer.Double(header.dateTime);
  writer.Int32(header.count);
  return writer.Take();
}

std::string SerializeSoftRecord(const SoftRecord& record) {
  RecordWriter writer;
  writer.ShortString(record.id, kIdCapacity);
  writer.ShortString(record.name, kNameCapacity);
  writer.Int32(record.category);
  writer.ShortString(record.services, kListCapacity);
  writer.ShortString(record.processes, kListCapacity);
  writer.ShortString(record.spare, kSpareCapacity);
  writer.ShortString(record.installFolder, kPathCapacity);
  writer.ShortString(record.desktop, kPathCapacity);
  writer.ShortString(record.programs, kPathCapacity);
  writer.ShortString(record.startup, kPathCapacity);
  writer.ShortString(record.startMenu, kPathCapacity);
  writer.Int32(record.locationOffset);
  writer.Int32(record.locationCount);
  return writer.Take();
}

std::string SerializeLocationRecord(const LocationRecord& record) {
  RecordWriter writer;
  writer.ShortString(record.key, kPathCapacity);
  writer.ShortString(record.valueName, kValueNameCapacity);
  return writer.Take();
}

std::string_view CategoryName(std::int64_t category) noexcept {
  static constexpr std::array<std::string_view, 10> kNames{
      "Networking Software",  "System Tools",         "Audio and video",
      "Graphic Tools",        "Application Software", "Profession",
      "Educational Software", "Security Tools",       "Games",
      "Other Tools"};
  if (category < 1 || category > 10) return {};
  return kNames[static_cast<std::size_t>(category - 1)];
}

}  // namespace sv::database
