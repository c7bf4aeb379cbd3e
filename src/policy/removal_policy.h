// The one policy that decides what a removal may delete. A removal runs elevated on inputs that
// others write (a signature database from outside, registry values any program can set), so
// the policy fails closed: an item goes only when the policy can place it inside what belongs
// to the program, and everything it cannot place is kept, with the reason.
//
// Places come from one table (kPlaces in removal_policy.cpp), expanded for this machine: the
// Windows folder, the roots where programs keep their own folders (Program Files, ProgramData,
// the application-data folders of every profile) with Windows' own folders inside them, the
// user's own folders, the desktop and start-menu folders, and the registry's software roots,
// classes, registrations, lists and services. Paths are compared as the system resolves them
// (short names, dots, shares of the local drives), never as written; keys part by part.
//
// What makes an item the program's (the evidence) comes from ProgramFacts: its own folders
// (install folder code, location values, the Uninstall entry's InstallLocation), its names,
// publisher, product code and Uninstall entry. Other installed programs' folders and names are
// read from the Uninstall lists: nothing inside another program's folder, or holding it, goes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/search_mode.h"
#include "platform/platform.h"

namespace sv::policy {

// What a removal is about to do with a file-system path.
enum class PathUse {
  File,         // delete one file
  Tree,         // delete a folder with everything in it
  EmptyFolder,  // remove a folder that holds nothing (a parent left empty)
  Shortcut,     // a shortcut, or a program group, in a desktop or start-menu folder
};

// Where the text of an item came from.
enum class Source {
  Database,  // written in the signature database
  Machine,   // read from the machine (a registry value, a search, a listing)
};

struct Decision {
  bool allowed = false;
  // Refused for where it is, whatever the machine shows: the database entry itself is wrong
  // (what `svdb lint` reports). A refusal for want of evidence may go another time.
  bool byPlace = false;
  std::string reason;
  friend bool operator==(const Decision&, const Decision&) = default;
};

// What the removal knows of the program it removes.
struct ProgramFacts {
  std::string softwareId;
  std::string databaseName;
  std::string displayName;   // as installed; empty for a residue
  std::string uninstallKey;  // full key path of its own Uninstall entry; empty for a residue
  std::string publisher;
  // Its Windows Installer product code in the Installer's packed form (PackedProductCode),
  // when the Uninstall entry gives one or, for a residue, the product was found by its name.
  std::string packedProductCode;
  // The folders it says it lives in, existing or not (install folder code, location values,
  // InstallLocation). Only those the policy can place count (OwnFolders).
  std::vector<std::string> installFolders;
  // Type libraries that classes served from its folders name (found by the COM search).
  std::vector<std::string> typeLibraries;
};

// An installed program other than the one removed: its folders and names claim what lies in
// them.
struct InstalledProgram {
  std::string displayName;
  std::string keyName;               // the Uninstall sub-key's name
  std::string keyPath;               // its full key path
  std::vector<std::string> folders;  // canonical
};

// "{5C2E8A41-7D39-4B6F-A0E2-18F4C9D3B765}" -> "14A8E2C593D7F6B40A2E814F9C3D7B56", the form the
// Installer's own keys are named by; empty for a text that is not a GUID in braces.
[[nodiscard]] std::string PackedProductCode(std::string_view guid);
// The product code in an Uninstall entry: its key name when that is a GUID in braces, else a
// GUID in braces right after "/X" or "/I" in an msiexec command; empty otherwise.
[[nodiscard]] std::string ProductCodeOfEntry(std::string_view keyName,
                                             std::string_view uninstallString);
// The program a command line or a registry path text starts: quotes and arguments dropped,
// "\??\", "\SystemRoot\", "%SystemRoot%" and a path relative to the system folder resolved
// against `windows`. Empty when no full path can be made of it.
[[nodiscard]] std::string ProgramPathOfCommand(std::string_view command, std::string_view windows);
// A path text with "." and ".." parts applied, trailing dots and blanks of each part dropped,
// slashes made backslashes and ASCII letters lowered, as the system would read it; no system
// call. Used where many texts are compared (COM servers, system lists).
[[nodiscard]] std::string FoldedPathText(std::string_view text);
// `path` is `folder` or lies below it (both folded).
[[nodiscard]] bool IsSameOrBelow(std::string_view path, std::string_view folder) noexcept;

class RemovalPolicy {
 public:
  explicit RemovalPolicy(platform::Platform platform);
  RemovalPolicy(const RemovalPolicy&) = delete;
  RemovalPolicy& operator=(const RemovalPolicy&) = delete;
  ~RemovalPolicy();

  // Literal resolves every path with the system; Indexed (the default) resolves plain paths
  // part by part, each part once. The answers are the same.
  void SetSearchMode(SearchMode searches) noexcept { searches_ = searches; }
  // The program the decisions are about; everything learnt of the previous one is dropped.
  void SetProgram(ProgramFacts facts);
  [[nodiscard]] const ProgramFacts& Program() const noexcept { return program_; }
  // Type libraries the program's own classes name: evidence for those and their interfaces.
  void AddTypeLibraries(const std::vector<std::string>& libraries);
  // The machine changed (a deletion): stored names and what was read of keys are asked again.
  void Forget() const;

  // --- Paths ---

  // The path as it is compared: resolved (short names expanded, dots and ".." applied, a share
  // of a local drive made a drive path), ASCII lower case, no trailing backslash. Empty for a
  // path that cannot be placed: relative, a device, a stream, another machine's share.
  [[nodiscard]] std::optional<std::string> CanonicalPath(std::string_view path) const;
  [[nodiscard]] Decision DecidePath(std::string_view path, PathUse use, Source source) const;
  // The folders of the list that the program may own, canonical, in order, without repeats:
  // what its COM classes and system-list entries may lie in.
  [[nodiscard]] std::vector<std::string> OwnFolders(const std::vector<std::string>& folders) const;
  // The program's own folders from its facts (OwnFolders of its install folders).
  [[nodiscard]] const std::vector<std::string>& ProgramFolders() const;
  // Whether a path text (a server path, a list entry, a command's program) lies in one of the
  // program's own folders.
  [[nodiscard]] bool PointsIntoProgram(std::string_view pathText) const;

  // --- Registry ---

  [[nodiscard]] Decision DecideKey(std::string_view fullKeyPath, Source source) const;
  [[nodiscard]] Decision DecideValue(std::string_view fullKeyPath, std::string_view valueName,
                                     Source source) const;

  // --- Services and processes ---

  [[nodiscard]] Decision DecideService(std::string_view name) const;
  [[nodiscard]] Decision DecideProcess(const platform::ProcessEntry& process) const;

  // The folders of the table as this machine has them, canonical and sorted.
  [[nodiscard]] std::vector<std::string> PlaceFolders() const;
  // The other installed programs (read once; the program's own entry left out).
  [[nodiscard]] const std::vector<InstalledProgram>& OtherPrograms() const;

  struct Machine;
  struct KeyName;

 private:
  [[nodiscard]] const Machine& Places() const;
  [[nodiscard]] std::optional<std::string> ResolvedByParts(std::string_view path) const;
  [[nodiscard]] Decision DecideWindowsFile(const std::string& canonical, std::string_view path,
                                           Source source) const;
  [[nodiscard]] Decision DecideKeyName(const KeyName& key, Source source) const;
  [[nodiscard]] bool IsOwnPlace(const std::string& canonical) const;
  [[nodiscard]] const std::vector<std::string>& Marks() const;
  [[nodiscard]] bool CarriesMark(std::string_view text) const;
  [[nodiscard]] bool KeyTreePointsIntoProgram(platform::Hive hive, const std::string& path) const;
  [[nodiscard]] bool ClassServedFromProgram(platform::Hive hive,
                                            const std::string& classPath) const;
  [[nodiscard]] bool TypeLibraryServedFromProgram(platform::Hive hive,
                                                  const std::string& libraryPath) const;
  [[nodiscard]] bool OwnTypeLibrary(std::string_view library) const;
  [[nodiscard]] bool ListsOnlyThisProduct(platform::Hive hive, const std::string& path) const;
  [[nodiscard]] std::string ServiceImage(std::string_view name) const;

  platform::Platform platform_;
  SearchMode searches_ = SearchMode::Indexed;
  ProgramFacts program_;
  mutable std::unique_ptr<Machine> machine_;
  mutable std::optional<std::vector<InstalledProgram>> others_;
  mutable std::optional<std::vector<std::string>> programFolders_;
  mutable std::optional<std::vector<std::string>> marks_;
  // "c:\windows\system32" (resolved folder and name, lower case) -> the stored name, or none
  // when nothing is there.
  mutable std::unordered_map<std::string, std::optional<std::string>> storedNames_;
};

}  // namespace sv::policy
