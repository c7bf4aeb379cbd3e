// An in-memory file system that behaves like the one Windows and Wine give the program:
// drives with folders and files, names compared without regard to case, directory listings
// with "." and ".." first (except at a drive root) and then the names folded to upper case,
// attributes and file times, sharing rules for open files, and version resources.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/text.h"
#include "platform/fake/fake_clock.h"
#include "platform/fake/fake_faults.h"
#include "platform/filesystem.h"

namespace sv::fake {

struct ParsedPath;

// An icon of the fake machine: which file, which number, which size. Every icon alive is
// counted, so tests can see that none is leaked.
class FakeIcon final : public platform::Icon {
 public:
  FakeIcon(std::string file, int index, int size, std::shared_ptr<int> liveCount);
  ~FakeIcon() override;
  FakeIcon(const FakeIcon&) = delete;
  FakeIcon& operator=(const FakeIcon&) = delete;

  const std::string file;  // the path as the caller gave it
  const int index;
  const int size;  // 32 or 16 pixels

 private:
  std::shared_ptr<int> liveCount_;
};

class FakeFileSystem final : public platform::FileSystem {
 public:
  FakeFileSystem(Faults& faults, const FakeClock& clock);
  ~FakeFileSystem() override;

  // Adds an empty drive ("D"); drive C exists from the start.
  void AddDrive(char letter);

  // Conveniences for seeding a machine: create a file (and its missing folders) with the
  // given content, a folder with its parents, or give a file a version resource.
  void PutFile(std::string_view path, std::string_view content = {});
  void PutDirectory(std::string_view path);
  void PutVersionResource(std::string_view path, std::vector<std::uint8_t> block);
  // A directory link (a junction) at `linkPath` to the folder `targetPath`, made with its
  // missing parents; nothing happens when something already exists there. Like a junction it
  // reports directory + reparse point, paths and listings through it reach the target's
  // entries, RemoveDir removes the link alone (however full the target), and RemoveFile
  // refuses it as a directory. The target is looked up at each use and need not exist. Under
  // LinkBehaviour::Wine it behaves as a folder symbolic link does there.
  void PutDirectoryLink(std::string_view linkPath, std::string_view targetPath);
  // How links behave. Windows: a link named last is the link itself (Identify gives its own
  // path with the reparse-point attribute; RemoveDir removes a folder link alone, RemoveFile a
  // file link alone). Wine (a Unix symbolic link, which Wine follows almost everywhere):
  // listings and attributes show a folder link as directory + reparse point and a file link as
  // a plain file; Identify gives the target's path and attributes; RemoveFile on a file link
  // deletes the target (the link stays, dangling); RemoveDir on a folder link removes the
  // target when it is empty (the link stays) and fails with ERROR_DIR_NOT_EMPTY otherwise; what
  // a link is comes from its target, and a link that leads nowhere is missing from listings
  // and lookups (its name is still taken). In both, a path that ends in a backslash or runs on
  // through a link reaches the target; links in a circle fail after a few rounds.
  enum class LinkBehaviour { Windows, Wine };
  void SetLinkBehaviour(LinkBehaviour behaviour) noexcept { linkBehaviour_ = behaviour; }
  [[nodiscard]] LinkBehaviour GetLinkBehaviour() const noexcept { return linkBehaviour_; }
  // A symbolic link at `linkPath` to `targetPath`, a folder link or a file link, made with its
  // missing parents; nothing happens when something already exists there. The target is
  // looked up at each use and need not exist.
  void PutSymbolicLink(std::string_view linkPath, std::string_view targetPath, bool directory);
  // Marks an existing file as one the system protects (IsSystemProtectedFile).
  void PutProtectedFile(std::string_view path);
  // Gives a file `count` icons, numbered from 0, with the resource ids 1 to `count`.
  void PutIcons(std::string_view path, int count);
  // Icons handed out and not yet released.
  [[nodiscard]] int LiveIconCount() const { return *liveIcons_; }

  [[nodiscard]] std::unique_ptr<platform::FileSearch> FindFirst(
      std::string_view pattern, platform::WinError* error = nullptr) override;
  [[nodiscard]] std::optional<std::string> ResolvePath(
      std::string_view path, platform::WinError* error = nullptr) override;
  [[nodiscard]] std::optional<platform::PathIdentity> Identify(
      std::string_view path, platform::WinError* error = nullptr) override;
  [[nodiscard]] bool IsSystemProtectedFile(std::string_view path) override;
  [[nodiscard]] platform::FileAttributes GetAttributes(
      std::string_view path, platform::WinError* error = nullptr) override;
  platform::WinError SetAttributes(std::string_view path,
                                   platform::FileAttributes attributes) override;
  platform::WinError RemoveFile(std::string_view path) override;
  platform::WinError RemoveDir(std::string_view path) override;
  platform::WinError MakeDir(std::string_view path) override;
  [[nodiscard]] std::unique_ptr<platform::File> OpenFile(
      std::string_view path, platform::FileAccess access, unsigned share,
      platform::Disposition disposition, platform::WinError* error = nullptr) override;
  [[nodiscard]] std::optional<std::vector<std::uint8_t>> ReadVersionResource(
      std::string_view path) override;
  [[nodiscard]] std::vector<std::uint32_t> QueryVersionTranslations(
      const std::vector<std::uint8_t>& block) override;
  [[nodiscard]] std::optional<std::string> QueryVersionString(
      const std::vector<std::uint8_t>& block, std::string_view subBlock) override;
  [[nodiscard]] platform::ExtractedIcons ExtractIcons(std::string_view path, int index) override;

  struct Node;

 private:
  struct Located;
  // What a link named last stands for in an operation.
  enum class Last {
    Link,    // the link itself where the system lets the operation act on it, else its target
    Opened,  // as a file is opened: the target of a file link; a folder link is a folder
    Target,  // always the target
    Never,   // always the link itself (the name is taken, whatever it leads to)
  };
  // Finds what `path` names. With `op`, a failure injected for that operation comes first.
  // With `wantPath`, the result carries the path the system would give for it.
  [[nodiscard]] Located Locate(std::string_view path, platform::WinError* error,
                               std::optional<Op> op, Last last, bool wantPath = false) const;
  [[nodiscard]] Located Reach(const ParsedPath& parsed, Last last, int depth, bool wantPath) const;
  [[nodiscard]] bool FollowsLast(const Node& link, Last last, bool trailingSeparator) const;
  [[nodiscard]] std::shared_ptr<Node> NewNode(std::string name, bool directory) const;
  // The folder that a path reaches through `node`: the node itself, or the folder a link
  // leads to (null for a file, or when the target is missing or links go round in circles).
  // With `path`, the folder's own path is written there.
  [[nodiscard]] std::shared_ptr<Node> Enter(std::shared_ptr<Node> node, int depth = 0,
                                            std::string* path = nullptr) const;
  // The folder that the first `count` segments name, through links; null when missing.
  [[nodiscard]] std::shared_ptr<Node> WalkFolders(const ParsedPath& parsed, std::size_t count,
                                                  int depth = 0) const;
  // The folder that the first `count` segments name, made where missing; null when a file
  // stands in the way.
  std::shared_ptr<Node> PutFolders(const ParsedPath& parsed, std::size_t count);
  // How an entry shows in a listing; empty when the system leaves it out.
  [[nodiscard]] std::optional<platform::FindData> Listed(const Node& node,
                                                         const std::string& name) const;
  [[nodiscard]] platform::FileAttributes Shown(const Located& located) const;

  Faults& faults_;
  const FakeClock& clock_;
  LinkBehaviour linkBehaviour_ = LinkBehaviour::Windows;
  std::map<char, std::shared_ptr<Node>> drives_;
  std::set<std::string, LessFoldUpper> protectedFiles_;  // "C:\dir\file", as parsed
  std::shared_ptr<int> liveIcons_ = std::make_shared<int>(0);
};

}  // namespace sv::fake
