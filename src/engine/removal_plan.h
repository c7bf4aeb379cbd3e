// One removal plan per program. Discovery runs once and yields every item a removal would
// touch, with its kind, what found it (the evidence that makes it the program's) and the
// policy's decision with its reason. The detail view shows the plan, the console front end's
// dry run prints it whole (refusals and every file a folder deletion takes included), and a
// removal executes exactly it, asking the policy again just before each deletion: what the
// dry run lists and what the removal deletes are the same by construction.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/threadUninstall.h"
#include "engine/window_controls.h"
#include "policy/removal_policy.h"

namespace sv::engine {

class DeletionGate;

// What an item of a plan does.
enum class GateAction {
  DeleteFile,
  DeleteTree,      // a folder with everything in it
  RemoveEmptyDir,  // a parent folder, once nothing is left in it
  DeleteKey,       // a key with its sub-tree
  DeleteValue,
  RemoveService,  // stop, then delete
  EndProcess,
  SkipFolder,  // a folder of the program's list that nothing may use (shown, never executed)
};

[[nodiscard]] std::string_view GateActionName(GateAction action) noexcept;

// The steps of a removal, in the order it takes them.
enum class PlanStep {
  Services,
  Processes,
  Items,          // the database's own items
  Folders,        // the program's folders
  Registrations,  // COM classes, type libraries and interfaces served from them
  SystemLists,    // entries of the system lists that point into them
  Installer,      // the Windows Installer registration
  Shortcuts,
  Traces,          // an installed program's traces outside its Uninstall entry
  UninstallEntry,  // an installed program's Uninstall entry, last
};

// One thing a folder deletion takes, listed before the folder is deleted.
struct TreeEntry {
  std::string path;
  bool folder = false;
  // A link (a junction, a symbolic or a file link): never followed; removed as a link where
  // the system can do that without touching what it points at, else kept.
  bool link = false;
  std::string linkTarget;  // where the system says it leads
};

struct PlanItem {
  PlanStep step = PlanStep::Items;
  GateAction action = GateAction::DeleteFile;
  std::string target;     // as shown: the path, key, "key\value", service name or process
  std::string keyPath;    // DeleteValue: the key
  std::string valueName;  // DeleteValue: the value's name
  std::uint32_t processId = 0;
  policy::PathUse use = policy::PathUse::File;
  policy::Source source = policy::Source::Machine;
  std::string evidence;  // what found it
  policy::Decision decision;
  // DeleteTree: what it takes, every entry after what lies inside it. RemoveEmptyDir: the
  // folder's entry that the removal takes first (a dry run counts the folder empty without it).
  std::vector<TreeEntry> contents;
  std::string leaving;
  // The status line a removal writes before it (empty: none).
  std::string status;
  // The type the detail view lists it with ("File", "Directory", "Shortcut", "Key", "Value"),
  // empty for what it does not list.
  std::string detailType;
};

struct RemovalPlan {
  std::string name;  // as the row shows it
  ProgramRef program;
  std::uint16_t residual = kInstalledProgram;
  bool known = false;  // the database holds the record
  policy::ProgramFacts facts;
  std::vector<PlanItem> items;
  // The folders whose own files the detail view lists (located by the location values, or
  // the install folder when those name none), with the COM keys served from them.
  std::vector<std::string> detailFolders;
  std::vector<PlanItem> detailRegistrations;
};

// How one item of a plan ended.
enum class Outcome {
  Planned,  // a dry run: it would go
  Done,     // deleted, and seen to be gone
  Gone,     // was not there any more
  Refused,  // the policy keeps it
  Kept,     // kept although allowed: a link the system cannot remove safely, an Uninstall
            // entry kept because the program's files could not all be removed
  Failed,   // the system refused the deletion, or it is still there afterwards
};

[[nodiscard]] std::string_view OutcomeName(Outcome outcome) noexcept;

struct ItemResult {
  Outcome outcome = Outcome::Planned;
  std::string reason;
};

// What a removal of one program did.
struct RemovalResult {
  std::string name;
  bool known = false;
  std::vector<std::pair<PlanItem, ItemResult>> items;
  [[nodiscard]] int Count(Outcome outcome) const;
  // Nothing failed: the program is gone but for what the policy keeps.
  [[nodiscard]] bool Complete() const { return Count(Outcome::Failed) == 0; }
};

// Everything inside a folder that its deletion takes, each entry after what lies in it; links
// are listed as links and never entered.
[[nodiscard]] std::vector<TreeEntry> ListTreeForRemoval(platform::FileSystem& files,
                                                        const std::string& folder);

// Builds the plan for one program. `program` names its database record and, for an installed
// program, its Uninstall entry.
[[nodiscard]] RemovalPlan PlanRemoval(const RunEnvironment& env, DeletionGate& gate,
                                      const ProgramRef& program, std::string_view name,
                                      std::uint16_t residual);

// Executes the plan through the gate, in its order, writing each step to the status strip
// when `showProgress`. An installed program's traces and Uninstall entry go only when none of
// its files, folders or registrations failed: it then stays listed and can be tried again.
RemovalResult ExecutePlan(const RunEnvironment& env, DeletionGate& gate, const RemovalPlan& plan,
                          bool showProgress);

// Removes one program completely: plans it and executes the plan. Every deletion passes
// `gate`. With `showProgress` each step is written to panCleanHint.
RemovalResult RemoveSoftware(const RunEnvironment& env, DeletionGate& gate,
                             const ProgramRef& program, std::string_view name,
                             std::uint16_t residual, bool showProgress);
// The same for a caller that knows only the name: the installed program the scan lists under
// it, else the database record of exactly that name.
RemovalResult RemoveSoftware(const RunEnvironment& env, DeletionGate& gate, std::string_view name,
                             std::uint16_t residual, bool showProgress);
[[nodiscard]] ProgramRef ResolveProgramByName(const RunEnvironment& env, std::string_view name);

// --- Identity ---

// An installed program as the scan lists it: the first entry of that display name whose
// summary qualifies, with the record the scan matched it to (none: unsupported).
struct ListedProgram {
  std::string displayName;
  ProgramRef program;
};

// The scan's own matching of installed programs to database names, without the window: every
// listed entry in the scan's order with its record.
[[nodiscard]] std::vector<ListedProgram> MatchInstalledPrograms(const RunEnvironment& env);
// The installed program the scan lists under this name.
[[nodiscard]] std::optional<ListedProgram> FindInstalledProgram(const RunEnvironment& env,
                                                                std::string_view name);
// The residue the scan lists under this (database) name.
[[nodiscard]] std::optional<ProgramRef> FindResidue(const RunEnvironment& env,
                                                    std::string_view name);

}  // namespace sv::engine
