// The file system as the program sees it. Paths are full Windows paths ("C:\dir\file") in
// UTF-8; names compare without regard to letter case.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/datetime.h"
#include "platform/errors.h"

namespace sv::platform {

using FileAttributes = std::uint32_t;
inline constexpr FileAttributes kAttrReadOnly = 0x01;
inline constexpr FileAttributes kAttrHidden = 0x02;
inline constexpr FileAttributes kAttrSystem = 0x04;
inline constexpr FileAttributes kAttrDirectory = 0x10;
inline constexpr FileAttributes kAttrArchive = 0x20;
inline constexpr FileAttributes kAttrNormal = 0x80;
inline constexpr FileAttributes kAttrReparsePoint = 0x400;
inline constexpr FileAttributes kInvalidAttributes = 0xFFFFFFFF;

struct FileTimes {
  FileTime creation;
  FileTime lastAccess;
  FileTime lastWrite;
};

// One entry of a directory search.
struct FindData {
  std::string name;  // the entry's own name, without its folder
  FileAttributes attributes = 0;
  FileTimes times;
  std::uint64_t size = 0;

  [[nodiscard]] bool IsDirectory() const noexcept { return (attributes & kAttrDirectory) != 0; }
};

// A running directory search, positioned on a matching entry. Closed when destroyed.
class FileSearch {
 public:
  virtual ~FileSearch() = default;
  [[nodiscard]] virtual const FindData& Current() const = 0;
  // Moves to the next match; false when there is none.
  [[nodiscard]] virtual bool Next() = 0;
};

enum class FileAccess { Read, Write, ReadWrite };

// What other openers may do while this handle is open (combine with |).
enum FileShare : unsigned {
  kShareNone = 0,
  kShareRead = 1,
  kShareWrite = 2,
  kShareDelete = 4,
};

enum class Disposition { CreateNew, CreateAlways, OpenExisting, OpenAlways };

// An open file. Reads and writes start at the beginning and move on. Closed when destroyed.
class File {
 public:
  virtual ~File() = default;
  [[nodiscard]] virtual std::optional<std::uint64_t> Size() const = 0;
  // Everything from the current position to the end.
  [[nodiscard]] virtual std::optional<std::string> ReadToEnd() = 0;
  virtual WinError Write(std::string_view bytes) = 0;
  [[nodiscard]] virtual std::optional<FileTimes> GetTimes() const = 0;
  virtual WinError SetTimes(const FileTimes& times) = 0;
};

// An icon the system handed out, released when its owner is destroyed. Only the image lists
// that show it (and the tests) know its concrete kind.
class Icon {
 public:
  virtual ~Icon() = default;
};

// One large (32 by 32) and one small (16 by 16) icon of a file; either may be missing.
struct ExtractedIcons {
  std::unique_ptr<Icon> large;
  std::unique_ptr<Icon> small;
};

// What a handle opened on a path says about it: the path the system really reached, and the
// attributes of what it opened. A path that runs through a link ends up at the link's target,
// so comparing `finalPath` with the path asked about reveals every link on the way. Windows
// opens a link named last as itself (its own path, with the reparse-point attribute); Wine
// follows it like every other part, and names a place outside its drives "\\?\unix\...".
struct PathIdentity {
  std::string finalPath;  // "C:\..." or "\\server\share\...", or as the system gave it
  FileAttributes attributes = 0;
  friend bool operator==(const PathIdentity&, const PathIdentity&) = default;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Starts a search for `pattern`: a path whose last segment may hold the wildcards * and ?.
  // Null when nothing matches (kErrorFileNotFound) or the folder is missing
  // (kErrorPathNotFound). Hidden and system entries are found like any other.
  [[nodiscard]] virtual std::unique_ptr<FileSearch> FindFirst(std::string_view pattern,
                                                              WinError* error = nullptr) = 0;

  // The path as the system reads it: GetFullPathName (slashes, "." and "..", trailing dots
  // and blanks) followed by GetLongPathName for the longest part that exists, so 8.3 short
  // names are expanded and existing parts carry their stored spelling. Empty for a path that
  // is not fully qualified or that the system refuses.
  // As the system does it: only parts shaped like 8.3 names take the stored spelling (a longer
  // name keeps the letter case it was given); a part followed by a backslash loses one
  // trailing dot, the last part all its dots and blanks; a trailing backslash stays; the drive
  // letter keeps its case. "\\?\X:\..." is read as "X:\...". A relative path is refused with
  // kErrorBadPathName, a NUL with kErrorInvalidName.
  [[nodiscard]] virtual std::optional<std::string> ResolvePath(std::string_view path,
                                                               WinError* error = nullptr) = 0;

  // Opens `path` without following a link named last where the system allows it, reads the
  // final path and attributes through the handle and closes it. Empty when nothing is there.
  [[nodiscard]] virtual std::optional<PathIdentity> Identify(std::string_view path,
                                                             WinError* error = nullptr) = 0;
  // Whether the system protects the file from deletion (Windows Resource Protection); false
  // where the system cannot tell.
  [[nodiscard]] virtual bool IsSystemProtectedFile(std::string_view path) = 0;

  // kInvalidAttributes when nothing exists at `path`.
  [[nodiscard]] virtual FileAttributes GetAttributes(std::string_view path,
                                                     WinError* error = nullptr) = 0;
  virtual WinError SetAttributes(std::string_view path, FileAttributes attributes) = 0;

  virtual WinError RemoveFile(std::string_view path) = 0;
  // Only an empty directory can be removed.
  virtual WinError RemoveDir(std::string_view path) = 0;
  virtual WinError MakeDir(std::string_view path) = 0;

  [[nodiscard]] virtual std::unique_ptr<File> OpenFile(std::string_view path, FileAccess access,
                                                       unsigned share, Disposition disposition,
                                                       WinError* error = nullptr) = 0;

  // The version resource of an executable file: empty when the file has none or cannot be
  // read. The block is opaque; ask it with the two queries below.
  [[nodiscard]] virtual std::optional<std::vector<std::uint8_t>> ReadVersionResource(
      std::string_view path) = 0;
  // The language and code page pairs of "\VarFileInfo\Translation" (language in the low 16
  // bits); empty when the block has no translation table.
  [[nodiscard]] virtual std::vector<std::uint32_t> QueryVersionTranslations(
      const std::vector<std::uint8_t>& block) = 0;
  // A text value of the block, for example "\StringFileInfo\040904B0\FileVersion".
  [[nodiscard]] virtual std::optional<std::string> QueryVersionString(
      const std::vector<std::uint8_t>& block, std::string_view subBlock) = 0;

  // ExtractIconEx for one icon: icon number `index` of the file (a negative index below -1
  // names the icon's resource id; -1 only counts and extracts nothing), large and small.
  // Both are null when the file has no such icon or cannot be read.
  [[nodiscard]] virtual ExtractedIcons ExtractIcons(std::string_view path, int index) = 0;
};

// Whether anything (file or folder) exists at `path`.
[[nodiscard]] bool PathExists(FileSystem& files, std::string_view path);
// Whether a folder exists at `path` (a file of that name does not count).
[[nodiscard]] bool DirectoryExists(FileSystem& files, std::string_view path);

// The whole content of a file. Others may read the file meanwhile but not write it.
[[nodiscard]] std::optional<std::string> ReadWholeFile(FileSystem& files, std::string_view path,
                                                       WinError* error = nullptr);
// Writes `bytes` as the file's whole content, creating the file or replacing what it held.
WinError WriteWholeFile(FileSystem& files, std::string_view path, std::string_view bytes,
                        Disposition disposition = Disposition::CreateAlways);

}  // namespace sv::platform
