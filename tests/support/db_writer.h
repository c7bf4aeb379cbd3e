// A small database writer for tests, independent of the program's own serializer and of svdb:
// it lays the bytes down one by one, so a layout mistake in either shows up as a difference.
// Layout: header, index entries (or software records), then each entry's items (or each
// record's locations) in order; every record's unused bytes are zero.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace sv::testing {

struct DbItem {
  std::int32_t kind = 0;
  std::string text;
};

struct DbEntry {
  std::string id;
  std::vector<DbItem> files;     // kinds 1 and 4
  std::vector<DbItem> registry;  // kinds 2 and 3
};

struct DbSoft {
  std::string id;
  std::string name;
  std::int32_t category = 0;
  std::string services, processes, spare, installFolder, desktop, programs, startup, startMenu;
  std::vector<std::pair<std::string, std::string>> locations;  // key, value name
};

inline void PutLe32(std::string& out, std::int64_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<char>((bits >> shift) & 0xFF));
}

// An IEEE double, little-endian, from its bit pattern.
inline void PutDouble(std::string& out, double value) {
  static_assert(sizeof(double) == 8);
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, 8);
  for (int shift = 0; shift < 64; shift += 8)
    out.push_back(static_cast<char>((bits >> shift) & 0xFF));
}

inline void PutShortString(std::string& out, const std::string& text, std::size_t capacity) {
  out.push_back(static_cast<char>(text.size()));
  for (std::size_t i = 0; i < capacity; ++i)
    out.push_back(i < text.size() ? text[i] : '\0');
}

inline double StampDate(std::int32_t stamp) {
  return static_cast<double>(stamp) / 86400.0 + 25569.0;
}

inline std::string WriteDataFile(std::int32_t stamp, const std::vector<DbEntry>& entries) {
  std::string out;
  PutLe32(out, stamp);
  PutDouble(out, StampDate(stamp));
  PutLe32(out, static_cast<std::int64_t>(entries.size()));
  PutLe32(out, 0);
  PutLe32(out, 0);
  PutLe32(out, 28);
  std::int64_t next = 28 + 27 * static_cast<std::int64_t>(entries.size());
  for (const DbEntry& entry : entries) {
    PutLe32(out, 0);
    PutShortString(out, entry.id, 10);
    PutLe32(out, next);
    PutLe32(out, static_cast<std::int64_t>(entry.files.size()));
    PutLe32(out, static_cast<std::int64_t>(entry.registry.size()));
    next += 105 * static_cast<std::int64_t>(entry.files.size() + entry.registry.size());
  }
  for (const DbEntry& entry : entries) {
    for (const auto* run : {&entry.files, &entry.registry}) {
      for (const DbItem& item : *run) {
        PutLe32(out, item.kind);
        PutShortString(out, item.text, 100);
      }
    }
  }
  return out;
}

inline std::string WriteSoftFile(std::int32_t stamp, const std::vector<DbSoft>& softs) {
  std::string out;
  PutLe32(out, stamp);
  PutDouble(out, StampDate(stamp));
  PutLe32(out, static_cast<std::int64_t>(softs.size()));
  std::int64_t next = 16 + 1114 * static_cast<std::int64_t>(softs.size());
  for (const DbSoft& soft : softs) {
    PutShortString(out, soft.id, 10);
    PutShortString(out, soft.name, 40);
    PutLe32(out, soft.category);
    PutShortString(out, soft.services, 255);
    PutShortString(out, soft.processes, 255);
    PutShortString(out, soft.spare, 32);
    for (const std::string* text :
         {&soft.installFolder, &soft.desktop, &soft.programs, &soft.startup, &soft.startMenu}) {
      PutShortString(out, *text, 100);
    }
    PutLe32(out, next);
    PutLe32(out, static_cast<std::int64_t>(soft.locations.size()));
    next += 132 * static_cast<std::int64_t>(soft.locations.size());
  }
  for (const DbSoft& soft : softs) {
    for (const auto& [key, value] : soft.locations) {
      PutShortString(out, key, 100);
      PutShortString(out, value, 30);
    }
  }
  return out;
}

}  // namespace sv::testing
