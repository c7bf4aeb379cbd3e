// The one place through which a removal deletes anything: files, folder trees, registry keys
// and values, services, and the processes it ends. A database entry or a registry value may
// name anything, so every target is resolved the way the system will read it and refused when
// it is a place no program owns: a drive or share root, the Windows folder and its system
// folders, the Program Files and profile roots, the shell folders, this program's own folder,
// a hive root, a namespace or container key, and every parent of these. The detail view asks
// the same gate, so it shows exactly what a removal would touch.
//
// In Record mode the gate decides as always but deletes nothing; the console front end's
// dry run lists what it recorded.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "common/search_mode.h"
#include "platform/platform.h"
#include "registry/opUninstallRegistry.h"

namespace sv::engine {

// What the gate was asked to do.
enum class GateAction {
  DeleteFile,
  DeleteTree,      // a folder with everything in it
  RemoveEmptyDir,  // a parent folder left empty
  DeleteKey,       // a key with its sub-tree
  DeleteValue,
  RemoveService,  // stop, then delete
  EndProcess,
  SkipFolder,  // a folder dropped from a program's folder list before anything used it
};

[[nodiscard]] std::string_view GateActionName(GateAction action) noexcept;

struct GateEvent {
  GateAction action;
  std::string target;  // as the caller named it (a value as key path, backslash, name)
  bool refused = false;
  friend bool operator==(const GateEvent&, const GateEvent&) = default;
};

class DeletionGate {
 public:
  enum class Mode { Delete, Record };

  // Collects the protected places of this machine once, when a path is first asked about (the
  // shell folders cost a system call each); a run makes one gate and keeps it.
  explicit DeletionGate(platform::Platform platform, Mode mode = Mode::Delete);

  [[nodiscard]] Mode GetMode() const noexcept { return mode_; }
  // Literal resolves every spelling of the protected folders; Indexed (the default) resolves
  // each text once, ignoring ASCII case. The list is the same.
  void SetSearchMode(SearchMode searches) noexcept { searches_ = searches; }
  // Called for every decision, allowed or refused, in order.
  void SetObserver(std::function<void(const GateEvent&)> observer) {
    observer_ = std::move(observer);
  }

  // --- Decisions ---

  // A file or folder path, fully qualified, that is not protected.
  [[nodiscard]] bool AllowsPath(std::string_view path) const;
  // A full key path ("HKEY_LOCAL_MACHINE\SOFTWARE\Acme") that names no protected key.
  [[nodiscard]] bool AllowsKey(std::string_view fullKeyPath) const;
  // A value of a key that is not protected, or of a list key whose values are programs'
  // entries (Run, SharedDlls, the firewall lists, ...).
  [[nodiscard]] bool AllowsValue(std::string_view fullKeyPath, std::string_view valueName) const;
  // A kind 3 item: the value named by the last part of the path.
  [[nodiscard]] bool AllowsValueItem(std::string_view fullPath) const;
  [[nodiscard]] bool AllowsService(std::string_view name) const;
  [[nodiscard]] bool AllowsProcess(const platform::ProcessEntry& process) const;

  // The folders of `folders` the gate allows, in order; the others are reported as skipped.
  void KeepAllowedFolders(std::vector<std::string>& folders);

  // --- Deletions: decided, then done (Delete) or only reported (Record) ---

  // Clears the attributes first when asked (a read-only file cannot be deleted).
  bool DeleteFile(std::string_view path, bool clearAttributes);
  // Clears the folder's attributes and deletes its tree; true when it is gone (Record: when
  // the gate allows it).
  bool DeleteTree(std::string_view folder);
  // Removes the folder when it holds nothing (Record: when it holds nothing but `leaving`,
  // the folder the removal would have deleted from it).
  void RemoveDirIfEmpty(std::string_view folder, std::string_view leaving);
  // Kind 2: the key with its sub-tree; kind 3: the value named by the last part.
  bool DeleteRegistryItem(std::string_view fullPath, int kind);
  bool DeleteRegistryValue(std::string_view fullKeyPath, std::string_view valueName);
  // The service stopped and deleted through the service manager; its result as RemoveService.
  int RemoveService(std::string_view name);
  // Ends every running process matching `name`, pausing after each attempt.
  void EndProcessByName(std::string_view name);

  // Exposed for tests and the console front end: the text a path is compared as (lower case,
  // resolved, no trailing separators), or empty when it cannot be resolved.
  [[nodiscard]] std::optional<std::string> CanonicalPath(std::string_view path) const;
  [[nodiscard]] const std::vector<std::string>& ProtectedFolders() const {
    CollectProtectedFolders();
    return protectedFolders_;
  }

 private:
  void Report(GateAction action, std::string_view target, bool refused) const;
  void AddProtectedFolder(std::string_view path) const;
  void AddProtectedTree(std::string_view path) const;
  void CollectProtectedFolders() const;

  platform::Platform platform_;
  registry::TURegistryOp registry_;
  Mode mode_;
  std::function<void(const GateEvent&)> observer_;
  // Canonical folders that may not go, nor any folder above them.
  mutable std::vector<std::string> protectedFolders_;
  // Canonical folders nothing in which may go (this program's own).
  mutable std::vector<std::string> protectedTrees_;
  mutable bool collected_ = false;
  SearchMode searches_ = SearchMode::Indexed;
  // While the list is made: the texts resolved so far, in lower case.
  mutable std::unordered_set<std::string> resolvedTexts_;

  // Indexed: a plain path resolved one part at a time, each folder and name asked once (the
  // protected folders share most of their parts); empty for any other path. Forgotten
  // whenever the gate changes the file system.
  [[nodiscard]] std::optional<std::string> ResolvedByParts(std::string_view path) const;
  void ForgetStoredNames() const { storedNames_.clear(); }
  // "c:\windows\system32" (resolved folder and name, lower case) -> the stored name, or none
  // when nothing is there.
  mutable std::unordered_map<std::string, std::optional<std::string>> storedNames_;
};

}  // namespace sv::engine
