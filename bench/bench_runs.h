// The three runs the benchmarks measure (a scan, the detail view of one program, a dry-run
// removal of one program), the figures written about them, and what a seeded machine's
// description looks like on disk. Shared by the benchmark on the in-memory machine and the
// one on a real registry and drive.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/search_mode.h"
#include "platform/counting/counting.h"
#include "platform/platform.h"
#include "synthetic_machine.h"

namespace sv::bench {

enum class RunKind { Scan, Detail, Removal };

[[nodiscard]] std::string_view RunKindName(RunKind kind) noexcept;
[[nodiscard]] std::optional<RunKind> RunKindNamed(std::string_view name) noexcept;
[[nodiscard]] std::string_view SearchModeName(SearchMode mode) noexcept;
[[nodiscard]] std::optional<SearchMode> SearchModeNamed(std::string_view name) noexcept;

// What one run produced.
struct RunResult {
  std::string outcome;  // one line for people: rows, files, decisions
  // Scan: the names in the supported rows and in the residue list, in the window's order.
  std::vector<std::string> supported;
  std::vector<std::string> residues;
};

struct RunSetup {
  platform::Platform platform;
  SearchMode mode = SearchMode::Indexed;
  std::string target;  // the program of the detail view and the removal
  // The database files; empty means beside the executable.
  std::string dataPath;
  std::string softPath;
};

// One run through the engine, with a window in memory and, for the removal, a gate that
// records instead of deleting.
RunResult Run(RunKind kind, const RunSetup& setup);

// The differences between a scan and the plan that seeded the machine: every supported name is
// installed and shown as supported (under its installed name, which begins with it), every
// residual name is listed as a residue, and nothing else of the database appears. Empty when
// they agree. Programs that the database does not know may be there too.
[[nodiscard]] std::vector<std::string> CompareScanWithPlan(const RunResult& scan,
                                                           const SyntheticMachine& plan);

// The machine's description as the seeding writes it beside the database, and back.
[[nodiscard]] nlohmann::json MachineJson(const MachineSize& size, const SyntheticMachine& machine);
// Throws std::runtime_error when a field is missing or of the wrong kind.
[[nodiscard]] SyntheticMachine MachineFromJson(const nlohmann::json& json);

// Calls by kind; with the decorators' times, also the seconds spent in each kind.
[[nodiscard]] nlohmann::json CountsJson(const platform::CountingRegistry& registry,
                                        const platform::CountingFileSystem& files,
                                        const platform::CountingSystem& system,
                                        bool withTimes = false);

[[nodiscard]] double Median(std::vector<double> values);

}  // namespace sv::bench
