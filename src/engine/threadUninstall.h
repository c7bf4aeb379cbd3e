// TUninstallThread and its runs. A run is an ordinary function over the platform and the
// window's controls: the worker thread only calls it, and the tests and the console front end
// may call it directly. A run builds its own database and registry objects and lists and frees
// them when it ends, on every path; nothing passes from one run to the next except what it
// wrote into the window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "common/search_mode.h"
#include "engine/window_controls.h"
#include "platform/platform.h"
#include "registry/icon_list.h"

namespace sv::engine {

using StringList = std::vector<std::string>;

// Run modes, as the window starts them.
inline constexpr std::uint16_t kModeScan = 0;
inline constexpr std::uint16_t kModeDetails = 1;
inline constexpr std::uint16_t kModeCleanChecked = 2;
inline constexpr std::uint16_t kModeCleanShown = 3;

// Everything a run works on. The references must outlive the run (the window and the data
// module's image lists live as long as the program).
struct RunEnvironment {
  platform::Platform platform;
  WindowControls& window;
  registry::IconList& smallIcons;  // the data module's imglstSmallICO
  registry::IconList& bigIcons;    // the data module's imglstBigICO
  // The database files; empty means SV.dat and soft.dat beside the executable.
  std::string dataPath;
  std::string softPath;
  SearchMode searches = SearchMode::Indexed;
};

// "Scan Result:" count texts.
inline constexpr std::string_view kScanCountSuffix = "  Software";
inline constexpr std::string_view kErrorCaption = "Error";
inline constexpr std::string_view kKindInstallation = "Installation";
inline constexpr std::string_view kKindResidual = "Residual";

// Mode 0: sorts the installed programs into supported and unsupported and finds the residues
// of the database's other programs.
void ScanSoftware(const RunEnvironment& env);
// Mode 1: lists the files and registry items of the program named in labUS1Soft.
void GatherDetails(const RunEnvironment& env);
// The run of a mode: 1 details, 2 and 3 the removals, anything else the scan. Never throws.
void RunMode(const RunEnvironment& env, std::uint16_t mode);

class DeletionGate;

// The shortcuts (files or program-group folders) named in the comma list `names` that exist in
// the user's and all users' folder of one kind: 1 desktop, 2 programs menu, 3 startup folder,
// 4 start menu. The count of paths put into `list`. Only paths the gate would let a removal
// delete are given.
int FindShortcuts(platform::Platform& platform, const DeletionGate& gate, std::string_view names,
                  int kind, StringList& list);
// The folder an install folder code names ("1Acme\Writer": Program Files\Acme\Writer; 0 the
// C: root, 2 the Windows folder, 3 the system folder) when it exists and the gate allows it;
// else empty.
[[nodiscard]] std::string ResolveInstallFolder(platform::Platform& platform,
                                               const DeletionGate& gate, std::string_view code);
// The same with a gate of their own, for callers that make one lookup.
int FindShortcuts(platform::Platform& platform, std::string_view names, int kind, StringList& list);
[[nodiscard]] std::string ResolveInstallFolder(platform::Platform& platform, std::string_view code);

// Mode 2: removes the ticked supported rows of lstvNList and the ticked rows of lstvRList.
void CleanChecked(const RunEnvironment& env);
// Mode 3: removes the program shown on the detail page (labUS1Soft, labUS1Type).
void CleanShownSoftware(const RunEnvironment& env);

// Residual flags of RemoveSoftware.
inline constexpr std::uint16_t kInstalledProgram = 0;  // its Uninstall entry and traces go too
inline constexpr std::uint16_t kResidue = 1;

// Stops and deletes a service: 1 done, -1 the service manager could not be opened, -2 the
// service could not be opened. Waits a few seconds at most for the service to stop.
int RemoveService(platform::Platform& platform, std::string_view name);
// Whether a running process's executable name, or its file-name part, is `name` (ASCII case
// ignored).
[[nodiscard]] bool IsProcessRunning(platform::Platform& platform, std::string_view name);
// Ends every process matching `name` (as IsProcessRunning), pausing one second after each
// attempt so it lets go of its files. `mayEnd`, when given, decides for each match.
void EndProcessByName(platform::Platform& platform, std::string_view name,
                      const std::function<bool(const platform::ProcessEntry&)>& mayEnd = {});
// Deletes the folder with everything in it, depth first, clearing attributes; a junction or
// symbolic link is removed as a link and never followed. True when the folder is gone.
bool DeleteDirTree(platform::Platform& platform, std::string_view folder);
// True when the folder holds nothing (also when it cannot be listed).
[[nodiscard]] bool IsDirEmpty(platform::Platform& platform, std::string_view folder);

// The worker: starts its run on construction and lets it run on when destroyed, so the window
// keeps no reference and never waits; the console front end and the tests call WaitFor.
class TUninstallThread {
 public:
  TUninstallThread(RunEnvironment env, std::uint16_t mode);
  ~TUninstallThread();
  TUninstallThread(const TUninstallThread&) = delete;
  TUninstallThread& operator=(const TUninstallThread&) = delete;

  void WaitFor();
  void Detach();

  const std::uint16_t Mode;

 private:
  std::thread thread_;
};

}  // namespace sv::engine
