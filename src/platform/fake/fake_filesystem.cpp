#include "platform/fake/fake_filesystem.h"

#include <algorithm>
#include <cstring>

#include "common/paths.h"
#include "platform/fake/fake_paths.h"
#include "platform/fake/version_resource.h"

namespace sv::fake {

using platform::Disposition;
using platform::FileAccess;
using platform::FileAttributes;
using platform::FindData;
using platform::WinError;

namespace {

struct OpenState {
  bool read = false;
  bool write = false;
  unsigned share = 0;
};

}  // namespace

struct FakeFileSystem::Node {
  std::string name;
  bool directory = false;
  FileAttributes attributes = 0;  // the directory bit is implied by `directory`
  platform::FileTimes times;
  std::string data;
  std::optional<std::vector<std::uint8_t>> version;
  int iconCount = 0;
  std::map<std::string, std::shared_ptr<Node>, LessFoldUpper> children;
  std::vector<const OpenState*> opens;
  std::string linkTarget;  // a link's target path (`directory` tells its kind); empty otherwise
};

struct FakeFileSystem::Located {
  std::shared_ptr<Node> parent;  // null for a drive root
  std::string leaf;
  std::shared_ptr<Node> node;  // null when nothing exists there
  WinError error = platform::kSuccess;
  std::string path;                // the final path, when asked for
  bool followed = false;           // a link named last was followed to its target
  bool trailingSeparator = false;  // the path asked for ended in a backslash
  bool fileAsFolder = false;       // a file was named with a trailing backslash
};

namespace {

using Node = FakeFileSystem::Node;

// Windows gives up after a few dozen reparse points; a handful is plenty here.
constexpr int kMaxLinks = 8;
// What Windows and Wine answer when links go round in circles.
constexpr WinError kErrorCantResolveFilename = 1921;

bool IsLink(const Node& node) {
  return !node.linkTarget.empty();
}

// "C:" + "dir" or "C:\dir" + "file".
std::string JoinPath(const std::string& folder, const std::string& name) {
  return folder.ends_with('\\') ? folder + name : folder + '\\' + name;
}

// The text by which protected files are remembered: drive and parts as the path parser
// reads them, compared without case.
std::string ProtectionKey(const ParsedPath& parsed) {
  std::string key(1, parsed.drive);
  key += ':';
  for (const std::string& segment : parsed.segments)
    key += '\\' + segment;
  return key;
}

FileAttributes Reported(const Node& node) {
  if (node.directory) return node.attributes | platform::kAttrDirectory;
  return node.attributes == 0 ? platform::kAttrNormal : node.attributes;
}

FindData EntryOf(const Node& node, std::string name) {
  FindData entry;
  entry.name = std::move(name);
  entry.attributes = Reported(node);
  entry.times = node.times;
  entry.size = node.directory ? 0 : node.data.size();
  return entry;
}

// Whether a new opening with these rights and sharing can join the ones already open.
bool SharingAllows(const Node& node, bool read, bool write, bool remove, unsigned share) {
  for (const OpenState* open : node.opens) {
    if ((read && !(open->share & platform::kShareRead)) ||
        (write && !(open->share & platform::kShareWrite)) ||
        (remove && !(open->share & platform::kShareDelete)) ||
        (open->read && !(share & platform::kShareRead)) ||
        (open->write && !(share & platform::kShareWrite))) {
      return false;
    }
  }
  return true;
}

// Whether a name could be an 8.3 short name: GetLongPathName looks up only such names and
// gives them their stored spelling; longer names keep the spelling they were given. ASCII
// rules; a name with other characters counts as long.
bool CouldBeShortName(std::string_view name) {
  if (name.empty() || name.size() > 12 || name.front() == '.') return false;
  std::size_t dot = std::string_view::npos;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (static_cast<unsigned char>(c) >= 0x80 || static_cast<unsigned char>(c) < 0x20) {
      return false;
    }
    if (c == ' ') {
      if (i == 0 || i + 1 == name.size() || name[i + 1] == '.') return false;
    } else if (c == '.') {
      if (dot != std::string_view::npos) return false;
      dot = i;
    } else if (std::strchr("*?<>|\"+=,;[]:/\\", c) != nullptr) {
      return false;
    }
  }
  if (dot == std::string_view::npos) return name.size() <= 8;
  return dot <= 8 && name.size() - dot <= 4 && dot + 1 != name.size();
}

// A path the way GetFullPathName writes it: the root as given ("c:\"), then the parts with
// "." and ".." resolved. A part followed by a backslash loses one trailing dot; the last one
// loses all its trailing dots and blanks. A trailing backslash stays.
struct FullPath {
  std::string root;
  std::vector<std::string> parts;
  bool trailingSeparator = false;
};

FullPath ToFullPath(std::string_view text) {
  FullPath full;
  full.root = std::string(text.substr(0, 3));
  std::string_view rest = text.substr(3);
  while (!rest.empty()) {
    const std::size_t end = std::min(rest.find('\\'), rest.size());
    std::string part(rest.substr(0, end));
    const bool followed = end < rest.size();
    rest.remove_prefix(std::min(end + 1, rest.size()));
    if (part.empty()) continue;
    full.trailingSeparator = followed;
    if (part == ".") continue;
    if (part == "..") {
      if (!full.parts.empty()) full.parts.pop_back();
      continue;
    }
    if (followed && part.back() == '.') part.pop_back();
    full.parts.push_back(std::move(part));
  }
  if (!full.trailingSeparator && !full.parts.empty()) {
    std::string& last = full.parts.back();
    while (!last.empty() && (last.back() == '.' || last.back() == ' '))
      last.pop_back();
    if (last.empty()) {
      full.parts.pop_back();
      full.trailingSeparator = true;
    }
  }
  return full;
}

class FakeSearch final : public platform::FileSearch {
 public:
  explicit FakeSearch(std::vector<FindData> entries) : entries_(std::move(entries)) {}
  const FindData& Current() const override { return entries_[index_]; }
  bool Next() override {
    if (index_ + 1 >= entries_.size()) return false;
    ++index_;
    return true;
  }

 private:
  std::vector<FindData> entries_;
  std::size_t index_ = 0;
};

class FakeFile final : public platform::File {
 public:
  FakeFile(std::shared_ptr<Node> node, OpenState state, Faults& faults, const FakeClock& clock,
           std::string path)
      : node_(std::move(node)),
        state_(state),
        faults_(faults),
        clock_(clock),
        path_(std::move(path)) {
    node_->opens.push_back(&state_);
  }
  ~FakeFile() override { std::erase(node_->opens, &state_); }
  FakeFile(const FakeFile&) = delete;
  FakeFile& operator=(const FakeFile&) = delete;

  std::optional<std::uint64_t> Size() const override { return node_->data.size(); }

  std::optional<std::string> ReadToEnd() override {
    if (!state_.read || faults_.Find(Op::ReadFile, path_)) return std::nullopt;
    std::string content = node_->data.substr(std::min(position_, node_->data.size()));
    position_ = node_->data.size();
    return content;
  }

  WinError Write(std::string_view bytes) override {
    if (!state_.write) return platform::kErrorAccessDenied;
    if (const auto fault = faults_.Find(Op::WriteFile, path_)) return *fault;
    std::string& data = node_->data;
    if (data.size() < position_ + bytes.size()) data.resize(position_ + bytes.size());
    std::copy(bytes.begin(), bytes.end(), data.begin() + static_cast<std::ptrdiff_t>(position_));
    position_ += bytes.size();
    node_->times.lastWrite = node_->times.lastAccess = clock_.UtcNow();
    return platform::kSuccess;
  }

  std::optional<platform::FileTimes> GetTimes() const override { return node_->times; }

  WinError SetTimes(const platform::FileTimes& times) override {
    if (!state_.write) return platform::kErrorAccessDenied;
    node_->times = times;
    return platform::kSuccess;
  }

 private:
  std::shared_ptr<Node> node_;
  OpenState state_;
  Faults& faults_;
  const FakeClock& clock_;
  std::string path_;
  std::size_t position_ = 0;
};

}  // namespace

FakeFileSystem::FakeFileSystem(Faults& faults, const FakeClock& clock)
    : faults_(faults), clock_(clock) {
  AddDrive('C');
}

FakeFileSystem::~FakeFileSystem() = default;

std::shared_ptr<Node> FakeFileSystem::NewNode(std::string name, bool directory) const {
  auto node = std::make_shared<Node>();
  node->name = std::move(name);
  node->directory = directory;
  node->attributes = directory ? 0 : platform::kAttrArchive;
  const FileTime now = clock_.UtcNow();
  node->times = {now, now, now};
  return node;
}

void FakeFileSystem::AddDrive(char letter) {
  const char drive = ToUpperAscii(letter);
  if (!drives_.contains(drive)) drives_[drive] = NewNode(std::string(1, drive) + ":", true);
}

FakeFileSystem::Located FakeFileSystem::Locate(std::string_view path, WinError* error,
                                               std::optional<Op> op, Last last,
                                               bool wantPath) const {
  Located located;
  auto finish = [&](WinError result) {
    located.error = result;
    if (error != nullptr) *error = result;
    return located;
  };
  if (op) {
    if (const auto fault = faults_.Find(*op, path)) return finish(*fault);
  }
  WinError code = platform::kSuccess;
  const auto parsed = ParsePath(path, &code);
  if (!parsed) return finish(code);
  if (parsed->hasWildcards) return finish(platform::kErrorInvalidName);
  located = Reach(*parsed, last, 0, wantPath);
  return finish(located.error);
}

bool FakeFileSystem::FollowsLast(const Node& link, Last last, bool trailingSeparator) const {
  // Wine sees a Unix symbolic link, which the Unix calls follow.
  const bool wine = linkBehaviour_ == LinkBehaviour::Wine;
  switch (last) {
    case Last::Never:
      return false;
    case Last::Target:
      return true;
    case Last::Opened:
      return wine || trailingSeparator || !link.directory;
    case Last::Link:
      return wine || trailingSeparator;
  }
  return false;
}

FakeFileSystem::Located FakeFileSystem::Reach(const ParsedPath& parsed, Last last, int depth,
                                              bool wantPath) const {
  Located located;
  located.trailingSeparator = parsed.trailingSeparator;
  auto fail = [&located](WinError code) {
    located.error = code;
    return located;
  };
  const auto drive = drives_.find(parsed.drive);
  if (drive == drives_.end()) return fail(platform::kErrorPathNotFound);
  std::shared_ptr<Node> folder = drive->second;
  std::string folderPath;
  if (wantPath) folderPath = folder->name + "\\";
  if (parsed.segments.empty()) {
    located.node = folder;
    located.path = std::move(folderPath);
    return located;
  }
  for (std::size_t i = 0; i + 1 < parsed.segments.size(); ++i) {
    const auto it = folder->children.find(parsed.segments[i]);
    if (it == folder->children.end()) return fail(platform::kErrorPathNotFound);
    folder = Enter(it->second, depth, wantPath ? &folderPath : nullptr);
    if (!folder) return fail(platform::kErrorPathNotFound);
  }
  located.parent = folder;
  located.leaf = parsed.segments.back();
  const auto it = folder->children.find(located.leaf);
  if (it == folder->children.end()) return fail(platform::kErrorFileNotFound);
  const std::shared_ptr<Node>& node = it->second;
  if (IsLink(*node) && FollowsLast(*node, last, parsed.trailingSeparator)) {
    if (depth >= kMaxLinks) return fail(kErrorCantResolveFilename);
    const auto target = ParsePath(node->linkTarget, nullptr);
    if (!target || target->hasWildcards) return fail(platform::kErrorFileNotFound);
    Located reached = Reach(*target, Last::Target, depth + 1, wantPath);
    reached.followed = true;
    reached.trailingSeparator = parsed.trailingSeparator;
    // The name asked for exists; what it leads to does not.
    if (!reached.node && reached.error == platform::kErrorPathNotFound) {
      reached.error = platform::kErrorFileNotFound;
    }
    if (reached.node && parsed.trailingSeparator && !reached.node->directory) {
      reached.node = nullptr;
      reached.error = platform::kErrorPathNotFound;
      reached.fileAsFolder = true;
    }
    return reached;
  }
  // "C:\dir\file\" names a folder that cannot exist.
  if (parsed.trailingSeparator && !node->directory) {
    located.fileAsFolder = true;
    return fail(platform::kErrorPathNotFound);
  }
  located.node = node;
  if (wantPath) located.path = JoinPath(folderPath, node->name);
  return located;
}

std::shared_ptr<Node> FakeFileSystem::PutFolders(const ParsedPath& parsed, std::size_t count) {
  AddDrive(parsed.drive);
  std::shared_ptr<Node> node = drives_[parsed.drive];
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& segment = parsed.segments[i];
    auto it = node->children.find(segment);
    if (it == node->children.end()) {
      it = node->children.emplace(segment, NewNode(segment, true)).first;
    }
    if (!it->second->directory) return nullptr;  // a file stands in the way
    node = Enter(it->second);
    if (!node) return nullptr;
  }
  return node;
}

std::shared_ptr<Node> FakeFileSystem::Enter(std::shared_ptr<Node> node, int depth,
                                            std::string* path) const {
  if (!IsLink(*node)) {
    if (!node->directory) return nullptr;
    if (path != nullptr) *path = JoinPath(*path, node->name);
    return node;
  }
  if (depth >= kMaxLinks) return nullptr;
  const auto target = ParsePath(node->linkTarget, nullptr);
  if (!target || target->hasWildcards) return nullptr;
  Located reached = Reach(*target, Last::Target, depth + 1, path != nullptr);
  if (!reached.node || !reached.node->directory) return nullptr;
  if (path != nullptr) *path = std::move(reached.path);
  return reached.node;
}

std::shared_ptr<Node> FakeFileSystem::WalkFolders(const ParsedPath& parsed, std::size_t count,
                                                  int depth) const {
  const auto drive = drives_.find(parsed.drive);
  if (drive == drives_.end()) return nullptr;
  std::shared_ptr<Node> node = drive->second;
  for (std::size_t i = 0; i < count && node; ++i) {
    const auto it = node->children.find(parsed.segments[i]);
    if (it == node->children.end()) return nullptr;
    node = Enter(it->second, depth);
  }
  return node;
}

std::optional<FindData> FakeFileSystem::Listed(const Node& node, const std::string& name) const {
  if (!IsLink(node) || linkBehaviour_ == LinkBehaviour::Windows) return EntryOf(node, name);
  // Wine lists what a Unix link leads to, and leaves out one that leads nowhere.
  const auto target = ParsePath(node.linkTarget, nullptr);
  if (!target || target->hasWildcards) return std::nullopt;
  const Located reached = Reach(*target, Last::Target, 1, false);
  if (!reached.node) return std::nullopt;
  FindData entry = EntryOf(*reached.node, name);
  if (reached.node->directory) entry.attributes |= platform::kAttrReparsePoint;
  return entry;
}

FileAttributes FakeFileSystem::Shown(const Located& located) const {
  FileAttributes attributes = Reported(*located.node);
  // Wine marks a link to a folder as a reparse point, unless the path asked for the folder
  // behind it with a trailing backslash.
  if (linkBehaviour_ == LinkBehaviour::Wine && located.followed && !located.trailingSeparator &&
      located.node->directory) {
    attributes |= platform::kAttrReparsePoint;
  }
  return attributes;
}

void FakeFileSystem::PutDirectoryLink(std::string_view linkPath, std::string_view targetPath) {
  PutSymbolicLink(linkPath, targetPath, true);
}

void FakeFileSystem::PutSymbolicLink(std::string_view linkPath, std::string_view targetPath,
                                     bool directory) {
  const auto parsed = ParsePath(linkPath, nullptr);
  if (!parsed || parsed->segments.empty() || parsed->hasWildcards || targetPath.empty()) return;
  const auto folder = PutFolders(*parsed, parsed->segments.size() - 1);
  if (!folder) return;
  const std::string& leaf = parsed->segments.back();
  if (folder->children.contains(leaf)) return;
  auto link = NewNode(leaf, directory);
  link->attributes = directory ? platform::kAttrReparsePoint
                               : platform::kAttrReparsePoint | platform::kAttrArchive;
  link->linkTarget = std::string(targetPath);
  folder->children.emplace(leaf, std::move(link));
}

void FakeFileSystem::PutProtectedFile(std::string_view path) {
  const auto parsed = ParsePath(path, nullptr);
  if (!parsed || parsed->hasWildcards) return;
  const Located located = Reach(*parsed, Last::Never, 0, false);
  if (located.node && !located.node->directory) protectedFiles_.insert(ProtectionKey(*parsed));
}

void FakeFileSystem::PutDirectory(std::string_view path) {
  if (const auto parsed = ParsePath(path, nullptr)) {
    (void)PutFolders(*parsed, parsed->segments.size());
  }
}

void FakeFileSystem::PutFile(std::string_view path, std::string_view content) {
  const auto parsed = ParsePath(path, nullptr);
  if (!parsed || parsed->segments.empty()) return;
  const auto folder = PutFolders(*parsed, parsed->segments.size() - 1);
  if (!folder) return;
  const std::string& leaf = parsed->segments.back();
  auto it = folder->children.find(leaf);
  if (it == folder->children.end()) {
    it = folder->children.emplace(leaf, NewNode(leaf, false)).first;
  }
  std::shared_ptr<Node> node = it->second;
  // Seeding through a file link writes the file it leads to.
  if (IsLink(*node)) node = Reach(*parsed, Last::Target, 0, false).node;
  if (!node || node->directory) return;
  node->data = std::string(content);
  node->times.lastWrite = clock_.UtcNow();
}

void FakeFileSystem::PutVersionResource(std::string_view path, std::vector<std::uint8_t> block) {
  const Located located = Locate(path, nullptr, std::nullopt, Last::Opened);
  if (located.node && !located.node->directory) located.node->version = std::move(block);
}

void FakeFileSystem::PutIcons(std::string_view path, int count) {
  const Located located = Locate(path, nullptr, std::nullopt, Last::Opened);
  if (located.node && !located.node->directory) located.node->iconCount = count;
}

FakeIcon::FakeIcon(std::string fileName, int number, int pixels, std::shared_ptr<int> liveCount)
    : file(std::move(fileName)), index(number), size(pixels), liveCount_(std::move(liveCount)) {
  ++*liveCount_;
}

FakeIcon::~FakeIcon() {
  --*liveCount_;
}

std::unique_ptr<platform::FileSearch> FakeFileSystem::FindFirst(std::string_view pattern,
                                                                WinError* error) {
  auto fail = [error](WinError code) -> std::unique_ptr<platform::FileSearch> {
    if (error != nullptr) *error = code;
    return nullptr;
  };
  if (const auto fault = faults_.Find(Op::FindFirst, pattern)) return fail(*fault);
  WinError code = platform::kSuccess;
  const auto parsed = ParsePath(pattern, &code);
  if (!parsed) return fail(code);
  // A search needs a name to look for: "C:\" and "C:\dir\" find nothing.
  if (parsed->segments.empty() || parsed->trailingSeparator) {
    return fail(platform::kErrorFileNotFound);
  }
  const std::shared_ptr<Node> folder = WalkFolders(*parsed, parsed->segments.size() - 1);
  if (!folder) return fail(platform::kErrorPathNotFound);
  const std::string& wanted = parsed->segments.back();
  std::vector<FindData> entries;
  if (!parsed->hasWildcards) {
    const auto it = folder->children.find(wanted);
    if (it != folder->children.end()) {
      if (auto entry = Listed(*it->second, it->second->name)) entries.push_back(std::move(*entry));
    }
  } else {
    if (parsed->segments.size() > 1) {
      for (const char* dots : {".", ".."}) {
        if (MatchesWildcard(wanted, dots)) entries.push_back(EntryOf(*folder, dots));
      }
    }
    for (const auto& [name, child] : folder->children) {
      if (!MatchesWildcard(wanted, name)) continue;
      if (auto entry = Listed(*child, name)) entries.push_back(std::move(*entry));
    }
  }
  if (entries.empty()) return fail(platform::kErrorFileNotFound);
  if (error != nullptr) *error = platform::kSuccess;
  return std::make_unique<FakeSearch>(std::move(entries));
}

std::optional<std::string> FakeFileSystem::ResolvePath(std::string_view path, WinError* error) {
  auto fail = [error](WinError code) -> std::optional<std::string> {
    if (error != nullptr) *error = code;
    return std::nullopt;
  };
  if (const auto fault = faults_.Find(Op::ResolvePath, path)) return fail(*fault);
  if (path.find('\0') != std::string_view::npos) return fail(platform::kErrorInvalidName);
  std::string text(path);
  std::replace(text.begin(), text.end(), '/', '\\');
  if (text.starts_with("\\\\?\\") && text.size() > 6 && text[5] == ':' &&
      IsFullyQualifiedPath(std::string_view(text).substr(4))) {
    text.erase(0, 4);
  }
  if (!IsFullyQualifiedPath(text)) return fail(platform::kErrorBadPathName);
  if (text.starts_with("\\\\")) return fail(platform::kErrorBadNetPath);  // no network here
  FullPath full = ToFullPath(text);
  // The long-name lookup of the longest head that exists: each part is looked up as the last
  // segment of its head, so its trailing dots and blanks do not count.
  const auto drive = drives_.find(ToUpperAscii(full.root[0]));
  std::shared_ptr<Node> folder = drive == drives_.end() ? nullptr : drive->second;
  for (std::string& part : full.parts) {
    if (!folder) break;
    std::string_view name = part;
    while (!name.empty() && (name.back() == '.' || name.back() == ' '))
      name.remove_suffix(1);
    if (name.empty()) break;
    const auto it = folder->children.find(name);
    if (it == folder->children.end()) break;
    if (CouldBeShortName(part)) part = it->second->name;
    folder = it->second->directory ? Enter(it->second) : nullptr;
  }
  std::string result = full.root;
  for (std::size_t i = 0; i < full.parts.size(); ++i) {
    if (i > 0) result += '\\';
    result += full.parts[i];
  }
  if (full.trailingSeparator && !full.parts.empty()) result += '\\';
  if (error != nullptr) *error = platform::kSuccess;
  return result;
}

std::optional<platform::PathIdentity> FakeFileSystem::Identify(std::string_view path,
                                                               WinError* error) {
  const Located located = Locate(path, error, Op::Identify, Last::Link, true);
  if (!located.node) {
    // CreateFile refuses a file named as a folder as a bad name, where the attribute query
    // says the path is not there.
    if (located.fileAsFolder && error != nullptr) *error = platform::kErrorInvalidName;
    return std::nullopt;
  }
  // What the handle reaches: the link itself where the system opens one, else the target.
  return platform::PathIdentity{located.path, Reported(*located.node)};
}

bool FakeFileSystem::IsSystemProtectedFile(std::string_view path) {
  const auto parsed = ParsePath(path, nullptr);
  return parsed && !parsed->hasWildcards && protectedFiles_.contains(ProtectionKey(*parsed));
}

FileAttributes FakeFileSystem::GetAttributes(std::string_view path, WinError* error) {
  const Located located = Locate(path, error, Op::GetAttributes, Last::Link);
  return located.node ? Shown(located) : platform::kInvalidAttributes;
}

WinError FakeFileSystem::SetAttributes(std::string_view path, FileAttributes attributes) {
  WinError code = platform::kSuccess;
  const Located located = Locate(path, &code, Op::SetAttributes, Last::Link);
  if (!located.node) return code;
  constexpr FileAttributes kSettable = platform::kAttrReadOnly | platform::kAttrHidden |
                                       platform::kAttrSystem | platform::kAttrArchive;
  // A link stays a link.
  located.node->attributes =
      (attributes & kSettable) | (located.node->attributes & platform::kAttrReparsePoint);
  return platform::kSuccess;
}

WinError FakeFileSystem::RemoveFile(std::string_view path) {
  WinError code = platform::kSuccess;
  const Located located = Locate(path, &code, Op::RemoveFile, Last::Link);
  if (!located.node) return code;
  const Node& node = *located.node;
  if (node.directory || (node.attributes & platform::kAttrReadOnly)) {
    return platform::kErrorAccessDenied;
  }
  if (!SharingAllows(node, false, false, true,
                     platform::kShareRead | platform::kShareWrite | platform::kShareDelete)) {
    return platform::kErrorSharingViolation;
  }
  located.parent->children.erase(located.leaf);
  return platform::kSuccess;
}

WinError FakeFileSystem::RemoveDir(std::string_view path) {
  WinError code = platform::kSuccess;
  const Located located = Locate(path, &code, Op::RemoveDir, Last::Link);
  if (!located.node) return code;
  const Node& node = *located.node;
  if (!node.directory) return platform::kErrorDirectory;
  if (!node.children.empty() || !located.parent) return platform::kErrorDirNotEmpty;
  if (node.attributes & platform::kAttrReadOnly) return platform::kErrorAccessDenied;
  located.parent->children.erase(located.leaf);
  return platform::kSuccess;
}

WinError FakeFileSystem::MakeDir(std::string_view path) {
  WinError code = platform::kSuccess;
  const Located located = Locate(path, &code, Op::MakeDir, Last::Never);
  if (located.node) return platform::kErrorAlreadyExists;
  if (!located.parent) return code;
  located.parent->children.emplace(located.leaf, NewNode(located.leaf, true));
  return platform::kSuccess;
}

std::unique_ptr<platform::File> FakeFileSystem::OpenFile(std::string_view path, FileAccess access,
                                                         unsigned share, Disposition disposition,
                                                         WinError* error) {
  auto fail = [error](WinError code) -> std::unique_ptr<platform::File> {
    if (error != nullptr) *error = code;
    return nullptr;
  };
  WinError code = platform::kSuccess;
  const Located located = Locate(path, &code, Op::OpenFile, Last::Opened);
  if (!located.node && !located.parent) return fail(code);
  const bool read = access != FileAccess::Write;
  const bool write = access != FileAccess::Read;
  std::shared_ptr<Node> node = located.node;
  if (node) {
    if (node->directory) return fail(platform::kErrorAccessDenied);
    if (disposition == Disposition::CreateNew) return fail(platform::kErrorFileExists);
    const bool truncate = disposition == Disposition::CreateAlways;
    if ((write || truncate) && (node->attributes & platform::kAttrReadOnly)) {
      return fail(platform::kErrorAccessDenied);
    }
    if (!SharingAllows(*node, read, write || truncate, false, share)) {
      return fail(platform::kErrorSharingViolation);
    }
    if (truncate) {
      node->data.clear();
      node->times.lastWrite = clock_.UtcNow();
    }
  } else {
    if (code != platform::kErrorFileNotFound) return fail(code);
    if (disposition == Disposition::OpenExisting) return fail(platform::kErrorFileNotFound);
    node = NewNode(located.leaf, false);
    located.parent->children.emplace(located.leaf, node);
  }
  if (error != nullptr) *error = platform::kSuccess;
  return std::make_unique<FakeFile>(node, OpenState{read, write, share}, faults_, clock_,
                                    std::string(path));
}

std::optional<std::vector<std::uint8_t>> FakeFileSystem::ReadVersionResource(
    std::string_view path) {
  const Located located = Locate(path, nullptr, Op::ReadVersionResource, Last::Opened);
  if (!located.node || located.node->directory) return std::nullopt;
  return located.node->version;
}

std::vector<std::uint32_t> FakeFileSystem::QueryVersionTranslations(
    const std::vector<std::uint8_t>& block) {
  return ReadVersionTranslations(block);
}

std::optional<std::string> FakeFileSystem::QueryVersionString(
    const std::vector<std::uint8_t>& block, std::string_view subBlock) {
  return ReadVersionString(block, subBlock);
}

platform::ExtractedIcons FakeFileSystem::ExtractIcons(std::string_view path, int index) {
  const Located located = Locate(path, nullptr, Op::ExtractIcons, Last::Opened);
  if (!located.node || located.node->directory) return {};
  const int count = located.node->iconCount;
  // A negative number names the icon's resource id (the fake's icons have the ids 1, 2, ...),
  // except -1, which asks for the number of icons and extracts none.
  if (index < 0) {
    if (index == -1 || index < -count) return {};
    index = -index - 1;
  }
  if (index >= count) return {};
  const std::string file(path);
  return {std::make_unique<FakeIcon>(file, index, 32, liveIcons_),
          std::make_unique<FakeIcon>(file, index, 16, liveIcons_)};
}

}  // namespace sv::fake
