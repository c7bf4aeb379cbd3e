// What the runs of threadUninstall share: their database object, the guard that turns a
// failure into the text the window shows, and the indexes of the software information list.
#pragma once

#include <cstddef>
#include <exception>
#include <optional>
#include <string>

#include "database/opUninstallFile.h"
#include "engine/folder_memo.h"
#include "engine/threadUninstall.h"
#include "platform/listings.h"
#include "registry/opUninstallRegistry.h"

namespace sv::engine::detail {

// Indexes of the software information list.
inline constexpr std::size_t kInfoServices = 3;
inline constexpr std::size_t kInfoProcesses = 4;
inline constexpr std::size_t kInfoInstallFolder = 6;
inline constexpr std::size_t kInfoDesktop = 7;
inline constexpr std::size_t kInfoSize = 11;

// The folder an install folder code names when it exists, before the deletion gate is asked.
[[nodiscard]] std::string InstallFolderOf(platform::Platform& platform, std::string_view code);
// The folder the code names, whether it exists or not; empty for a code that names none.
[[nodiscard]] std::string InstallFolderText(platform::Platform& platform, std::string_view code);

// The pieces of a comma list, as they stand; empty pieces name nothing.
[[nodiscard]] StringList NamesOf(std::string_view list);
// Whether a process's executable name, or its file-name part, is `name` (ASCII case ignored).
[[nodiscard]] bool MatchesProcess(const platform::ProcessEntry& process, std::string_view name);

// The scan's matching of installed programs to database names: the first database name in
// list order that an installed name begins with (ASCII case ignored), and each name once.
class SupportMatcher {
 public:
  SupportMatcher(StringList names, StringList ids, bool indexed);
  // The software ID of the name matched, which is then used up; empty when none matches.
  [[nodiscard]] std::optional<std::string> Match(std::string_view installedName);
  // The names (and their IDs) no installed program matched, in list order.
  [[nodiscard]] const StringList& Names() const noexcept { return names_; }
  [[nodiscard]] const StringList& Ids() const noexcept { return ids_; }

 private:
  StringList names_;
  StringList ids_;
  StringList folded_;  // Indexed: the names in lower case, kept beside them
  bool indexed_;
};

// The scan's test of a database name no installed program matched: an Installer product, a
// shortcut, or a file, key or folder of the record is still there.
[[nodiscard]] bool IsResidue(platform::Platform& platform, database::TUFileOp& db,
                             registry::TURegistryOp& reg, const DeletionGate& gate,
                             std::string_view name, std::string_view softwareId,
                             const registry::InstallerProductList* products,
                             platform::FolderListings* listings);

// IsDirEmpty, but a folder holding only `except` (one name, ASCII case ignored) counts as
// empty too: what a folder would hold once that entry had gone.
[[nodiscard]] bool HoldsNothingBut(platform::Platform& platform, std::string_view folder,
                                   std::string_view except);

// FindShortcuts answering the existence of plain names from `listings` when given.
int FindShortcutsIn(platform::Platform& platform, const DeletionGate& gate, std::string_view names,
                    int kind, StringList& list, platform::FolderListings* listings);

// The environment a run works in: the caller's, but when the run reads each thing once
// (Indexed) the system's folders and the user's name are asked once for the whole run.
class RunScope {
 public:
  explicit RunScope(const RunEnvironment& caller)
      : memo_(caller.platform.system),
        env_{platform::Platform{
                 caller.platform.registry, caller.platform.files,
                 caller.searches == SearchMode::Indexed ? static_cast<platform::System&>(memo_)
                                                        : caller.platform.system,
                 caller.platform.messages, caller.platform.services, caller.platform.processes},
             caller.window,
             caller.smallIcons,
             caller.bigIcons,
             caller.dataPath,
             caller.softPath,
             caller.searches} {}
  RunScope(const RunScope&) = delete;
  RunScope& operator=(const RunScope&) = delete;

  [[nodiscard]] const RunEnvironment& Env() const noexcept { return env_; }

 private:
  FolderMemo memo_;
  RunEnvironment env_;
};

// The database objects of one run, made from the run's paths.
inline database::TUFileOp OpenDatabase(const RunEnvironment& env) {
  platform::Platform platform = env.platform;
  database::TUFileOp db(platform, env.dataPath, env.softPath);
  db.SetSearchMode(env.searches);
  return db;
}

// The registry operations of one run, asking the way the run was told to.
inline registry::TURegistryOp OpenRegistry(const RunEnvironment& env) {
  registry::TURegistryOp reg(env.platform);
  reg.SetSearchMode(env.searches);
  return reg;
}

// Runs `body`; the text of what it raised, if anything. A run reports its own failure and must
// never let one escape into the thread.
template <typename Body>
std::optional<std::string> Guarded(Body body) {
  try {
    body();
    return std::nullopt;
  } catch (const std::exception& failure) {
    return std::string(failure.what());
  } catch (...) {
    return std::string("Unknown error");
  }
}

inline void ReportFailure(WindowControls& window, const std::optional<std::string>& failure) {
  if (failure) {
    window.ShowMessageBox(*failure, kErrorCaption, platform::kMbOk | platform::kMbIconError);
  }
}

}  // namespace sv::engine::detail
