// The subcommands of sorvane-cli, each in its own file.
#pragma once

#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli.h"
#include "engine/removal_plan.h"

namespace sv::cli {

// db: the signature database queries (version, names, count, id, info, items, category).
int RunDbCommand(Context& context, std::span<const std::string> args);
// inspect: the registry searches (installed, uninstall, installer, com, traces, folders, lists).
int RunInspect(Context& context, std::span<const std::string> args);

// scan: the installed programs sorted into supported and unsupported, and the residues.
int RunScan(Context& context, std::span<const std::string> args);
// detail: what the detail page lists for one program.
int RunDetail(Context& context, std::span<const std::string> args);

// Whether the database holds every name (a blank name matches nothing); each that it does not
// hold is named on stderr as an error of `command`. A typing mistake must never be taken for a
// program that has nothing on the machine.
[[nodiscard]] bool AllNamesKnown(Context& context, const DatabasePaths& paths,
                                 std::string_view command, std::span<const std::string> names);

// What a folder deletion of a plan takes, as JSON and as indented lines.
[[nodiscard]] nlohmann::json TreeContentsJson(const std::vector<engine::TreeEntry>& contents);
void PrintTreeContents(std::ostream& out, const std::vector<engine::TreeEntry>& contents);

// remove: the removal of named programs, or with --dry-run what it would delete and refuse.
int RunRemove(Context& context, std::span<const std::string> args);

}  // namespace sv::cli
