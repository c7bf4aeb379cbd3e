// svdb: the maintainers' tool for the signature database. A readable JSON source (documented in
// docs/database-source.md) becomes SV.dat and soft.dat; the files go back to the same source;
// a source is checked for entries that would be dangerous on a machine.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sv::svdb {

// Bad input: the message names the record and the field.
class SourceError : public std::runtime_error {
 public:
  explicit SourceError(const std::string& message) : std::runtime_error(message) {}
};

struct Item {
  std::int32_t kind = 0;  // 1 file, 2 registry key, 3 registry value, 4 directory
  std::string path;       // macro form
  friend bool operator==(const Item&, const Item&) = default;
};

struct Location {
  std::string key;
  std::string value;
  friend bool operator==(const Location&, const Location&) = default;
};

// Texts are UTF-8 here and code page 1252 in the files.
struct Program {
  std::string id;
  std::string name;
  std::int32_t category = 0;
  std::string services, processes, spare, installFolder;
  std::string desktop, programs, startup, startMenu;
  std::vector<Location> locations;
  std::vector<Item> items;  // in source order; the files hold file-system items first
  friend bool operator==(const Program&, const Program&) = default;
};

struct Source {
  std::optional<std::int32_t> stamp;      // of SV.dat (and of soft.dat unless softStamp)
  std::optional<std::int32_t> softStamp;  // of soft.dat, when it differs
  std::vector<Program> software;
  friend bool operator==(const Source&, const Source&) = default;
};

struct DatabaseFiles {
  std::string data;  // SV.dat
  std::string soft;  // soft.dat
};

[[nodiscard]] std::string_view KindName(std::int32_t kind);

// JSON text to a checked source; throws SourceError.
[[nodiscard]] Source ParseSource(std::string_view json);
[[nodiscard]] std::string SourceToJson(const Source& source);
// Throws SourceError for what the files cannot hold (see docs).
void CheckSource(const Source& source);

// The source with every software's file-system items (kinds 1, 4) ahead of its registry items,
// each group in source order: the order the files hold and `ReadDatabase` gives back.
[[nodiscard]] Source InFileOrder(Source source);

// The two files; `nowStamp` is used when the source gives no stamp.
[[nodiscard]] DatabaseFiles BuildDatabase(const Source& source, std::int32_t nowStamp);
// The files back to a source; throws SourceError for files svdb could not have written in a
// way that a source can describe (an index entry without a software record, and the like).
[[nodiscard]] Source ReadDatabase(std::string_view data, std::string_view soft);

// One line per dangerous entry: "software[3] (ID) items[2]: expands to the Windows folder".
[[nodiscard]] std::vector<std::string> LintSource(const Source& source);
// One line per entry that the removal policy keeps on a standard machine whatever the machine
// shows, because of where it points (a folder in the Windows folder, a key of Windows, the
// user's documents, a service of Windows): the entry can never work as written.
[[nodiscard]] std::vector<std::string> PolicyNotes(const Source& source);

// The current local time as a build stamp.
[[nodiscard]] std::int32_t NowStamp();

// The command line (without the program name): build, dump, lint. 0 success, 1 error or lint
// findings, 2 usage.
int Run(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace sv::svdb
