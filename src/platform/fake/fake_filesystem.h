// An in-memory file system that behaves like the one Windows and Wine give the program:
// drives with folders and files, names compared without regard to case, directory listings
// with "." and ".." first (except at a drive root) and then the names folded to upper case,
// attributes and file times, sharing rules for open files, and version resources.
#pragma once

#include <map>
#include <memory>
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
  // refuses it as a directory. The target is looked up at each use and need not exist.
  void PutDirectoryLink(std::string_view linkPath, std::string_view targetPath);
  // Gives a file `count` icons, numbered from 0, with the resource ids 1 to `count`.
  void PutIcons(std::string_view path, int count);
  // Icons handed out and not yet released.
  [[nodiscard]] int LiveIconCount() const { return *liveIcons_; }

  [[nodiscard]] std::unique_ptr<platform::FileSearch> FindFirst(
      std::string_view pattern, platform::WinError* error = nullptr) override;
  [[nodiscard]] std::optional<std::string> ResolvePath(
      std::string_view path, platform::WinError* error = nullptr) override;
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
  // Finds what `path` names. With `op`, a failure injected for that operation comes first.
  [[nodiscard]] Located Locate(std::string_view path, platform::WinError* error,
                               std::optional<Op> op = std::nullopt) const;
  [[nodiscard]] std::shared_ptr<Node> NewNode(std::string name, bool directory) const;
  // The folder that a path reaches through `node`: the node itself, or the target of a
  // directory link (null when the target is missing or links go round in circles).
  [[nodiscard]] std::shared_ptr<Node> Enter(std::shared_ptr<Node> node, int depth = 0) const;
  // The folder that the first `count` segments name, through links; null when missing.
  [[nodiscard]] std::shared_ptr<Node> WalkFolders(const ParsedPath& parsed, std::size_t count,
                                                  int depth = 0) const;
  // The folder that the first `count` segments name, made where missing; null when a file
  // stands in the way.
  std::shared_ptr<Node> PutFolders(const ParsedPath& parsed, std::size_t count);

  Faults& faults_;
  const FakeClock& clock_;
  std::map<char, std::shared_ptr<Node>> drives_;
  std::shared_ptr<int> liveIcons_ = std::make_shared<int>(0);
};

}  // namespace sv::fake
