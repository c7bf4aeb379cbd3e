// Folders and registry keys listed once, for runs that test the existence of many names while
// the machine does not change (a scan). A name is looked up in the listing of the folder or key
// above it; whatever the listing could answer differently from the system is left to the
// system: names with letters outside printable ASCII, short-name tildes, trailing dots or
// blanks, wildcards, device names, and every name of a folder or key that could not be listed
// whole or holds such names itself.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "platform/filesystem.h"
#include "platform/registry.h"

namespace sv::platform {

// A name the system reads as a device whatever folder it stands in ("C:\x\nul.txt" is NUL).
[[nodiscard]] bool IsDeviceName(std::string_view name);
// A single file name that means the same to a listing and to the system.
[[nodiscard]] bool IsPlainFileName(std::string_view name) noexcept;
// "X:\name\name...", every name plain and none a device: a path the system takes part by part
// exactly as written.
[[nodiscard]] bool IsPlainDrivePath(std::string_view path);

// The names one folder or key holds, folded to lower case; `usable` when the listing is whole
// and every name in it is plain.
struct NameListing {
  bool usable = false;
  std::unordered_set<std::string> foldedNames;
};

class FolderListings {
 public:
  explicit FolderListings(FileSystem& files) : files_(files) {}
  FolderListings(const FolderListings&) = delete;
  FolderListings& operator=(const FolderListings&) = delete;

  // Whether something exists at folder\name, as FileSystem::GetAttributes would say.
  [[nodiscard]] bool Exists(const std::string& folder, const std::string& name);

  // True when the listings show that nothing can exist at `path` ("X:\..."): one of its
  // folders, or its last name, is missing from the listing of the folder above it. False when
  // something is there or the listings cannot tell. A last name with wildcards is not looked
  // up itself; its folders still are.
  [[nodiscard]] bool RulesOut(std::string_view path);

 private:
  const NameListing& ListingOf(const std::string& folder);

  FileSystem& files_;
  std::unordered_map<std::string, NameListing> listings_;
};

class KeyListings {
 public:
  // Without `sameView` (a process whose registry view the system may redirect, such as a
  // 32-bit program on 64-bit Windows) nothing is ruled out: a listing could come from another
  // view than the key itself.
  KeyListings(Registry& registry, bool sameView) : registry_(registry), sameView_(sameView) {}
  KeyListings(const KeyListings&) = delete;
  KeyListings& operator=(const KeyListings&) = delete;

  // True when the listings show that the key at `path` (below the hive's root, one leading
  // backslash allowed) cannot exist: one of its names is missing from the sub-keys of the key
  // above it. False when it exists or the listings cannot tell. Only the local machine's and
  // the users' hives are listed; the merged and linked views are left to the system.
  [[nodiscard]] bool RulesOut(Hive hive, std::string_view path);

 private:
  const NameListing& ListingOf(Hive hive, const std::string& path);

  Registry& registry_;
  bool sameView_;
  std::unordered_map<std::string, NameListing> listings_;
};

// The listings of one run.
struct RunListings {
  RunListings(FileSystem& files, Registry& registry, bool sameRegistryView)
      : folders(files), keys(registry, sameRegistryView) {}
  FolderListings folders;
  KeyListings keys;
};

}  // namespace sv::platform
