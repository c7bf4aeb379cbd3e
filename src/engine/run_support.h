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
