#include "bench_runs.h"

#include <algorithm>
#include <set>
#include <stdexcept>

#include "engine/deletion_gate.h"
#include "engine/memory_window.h"
#include "engine/threadUninstall.h"

namespace sv::bench {

namespace {

using engine::Label;
using engine::ListView;
using nlohmann::json;

engine::RunEnvironment Environment(const RunSetup& setup, engine::WindowControls& window,
                                   registry::IconList& small, registry::IconList& big) {
  return {setup.platform, window, small, big, setup.dataPath, setup.softPath, setup.mode};
}

std::vector<std::string> Names(const json& list, std::string_view field) {
  if (!list.is_array()) throw std::runtime_error("machine description: " + std::string(field));
  std::vector<std::string> names;
  for (const json& name : list) {
    if (!name.is_string()) throw std::runtime_error("machine description: " + std::string(field));
    names.push_back(name.get<std::string>());
  }
  return names;
}

int Number(const json& description, const char* field) {
  const auto found = description.find(field);
  if (found == description.end() || !found->is_number_integer())
    throw std::runtime_error("machine description: " + std::string(field));
  return found->get<int>();
}

}  // namespace

std::string_view RunKindName(RunKind kind) noexcept {
  switch (kind) {
    case RunKind::Scan:
      return "scan";
    case RunKind::Detail:
      return "detail";
    case RunKind::Removal:
      return "removal";
  }
  return "?";
}

std::optional<RunKind> RunKindNamed(std::string_view name) noexcept {
  for (const RunKind kind : {RunKind::Scan, RunKind::Detail, RunKind::Removal}) {
    if (RunKindName(kind) == name) return kind;
  }
  return std::nullopt;
}

std::string_view SearchModeName(SearchMode mode) noexcept {
  return mode == SearchMode::Literal ? "literal" : "indexed";
}

std::optional<SearchMode> SearchModeNamed(std::string_view name) noexcept {
  if (name == "indexed") return SearchMode::Indexed;
  if (name == "literal") return SearchMode::Literal;
  return std::nullopt;
}

RunResult Run(RunKind kind, const RunSetup& setup) {
  engine::MemoryWindow window;
  registry::CountingIconList small, big;
  const engine::RunEnvironment env = Environment(setup, window, small, big);
  RunResult result;
  switch (kind) {
    case RunKind::Scan: {
      engine::ScanSoftware(env);
      int unsupported = 0;
      for (const engine::ListRow& row : window.Rows(ListView::lstvNList)) {
        if (row.subItems.size() < 2) continue;
        if (row.subItems[1] == engine::kStateSupported) {
          result.supported.push_back(row.subItems[0]);
        } else {
          ++unsupported;
        }
      }
      for (const engine::ListRow& row : window.Rows(ListView::lstvRList)) {
        if (!row.subItems.empty()) result.residues.push_back(row.subItems[0]);
      }
      result.outcome = std::to_string(result.supported.size()) + " supported, " +
                       std::to_string(unsupported) + " unsupported, " +
                       std::to_string(result.residues.size()) + " residues";
      break;
    }
    case RunKind::Detail:
      window.SetText(Label::labUS1Soft, setup.target);
      engine::GatherDetails(env);
      result.outcome = std::to_string(window.RowCount(ListView::lstvUS2File)) + " files, " +
                       std::to_string(window.RowCount(ListView::lstvUS2Registry)) +
                       " registry items";
      break;
    case RunKind::Removal: {
      engine::DeletionGate gate(setup.platform, engine::DeletionGate::Mode::Record);
      gate.SetSearchMode(setup.mode);
      int decisions = 0;
      gate.SetObserver([&](const engine::GateEvent&) { ++decisions; });
      engine::RemoveSoftware(env, gate, setup.target, engine::kInstalledProgram, false);
      result.outcome = std::to_string(decisions) + " decisions";
      break;
    }
  }
  return result;
}

std::vector<std::string> CompareScanWithPlan(const RunResult& scan, const SyntheticMachine& plan) {
  std::vector<std::string> problems;
  std::set<std::string> wanted(plan.supportedNames.begin(), plan.supportedNames.end());
  for (const std::string& shown : scan.supported) {
    // The longest plan name the row begins with; names are of one length, so at most one.
    const auto match = std::find_if(wanted.begin(), wanted.end(), [&](const std::string& name) {
      return shown.starts_with(name);
    });
    if (match == wanted.end()) {
      problems.push_back("supported row not in the plan (or twice): " + shown);
    } else {
      wanted.erase(match);
    }
  }
  for (const std::string& missing : wanted)
    problems.push_back("supported program not shown: " + missing);
  if (scan.residues != plan.residualNames) {
    problems.push_back("residues differ: " + std::to_string(scan.residues.size()) + " listed, " +
                       std::to_string(plan.residualNames.size()) + " planned");
    std::set<std::string> planned(plan.residualNames.begin(), plan.residualNames.end());
    std::set<std::string> listed(scan.residues.begin(), scan.residues.end());
    for (const std::string& name : listed) {
      if (!planned.contains(name)) problems.push_back("residue not in the plan: " + name);
    }
    for (const std::string& name : planned) {
      if (!listed.contains(name)) problems.push_back("planned residue not listed: " + name);
    }
  }
  return problems;
}

json MachineJson(const MachineSize& size, const SyntheticMachine& machine) {
  return {{"size", size.name},
          {"uninstallEntries", machine.uninstallEntries},
          {"signatures", machine.database.software.size()},
          {"installerProducts", machine.installerProducts},
          {"comClasses", machine.comClasses},
          {"components", machine.components},
          {"supportedNames", machine.supportedNames},
          {"residualNames", machine.residualNames}};
}

SyntheticMachine MachineFromJson(const json& description) {
  if (!description.is_object()) throw std::runtime_error("machine description: not an object");
  SyntheticMachine machine;
  machine.uninstallEntries = Number(description, "uninstallEntries");
  machine.installerProducts = Number(description, "installerProducts");
  machine.comClasses = Number(description, "comClasses");
  machine.components = Number(description, "components");
  machine.supportedNames = Names(description.value("supportedNames", json()), "supportedNames");
  machine.residualNames = Names(description.value("residualNames", json()), "residualNames");
  return machine;
}

json CountsJson(const platform::CountingRegistry& registry,
                const platform::CountingFileSystem& files, const platform::CountingSystem& system,
                bool withTimes) {
  json out{{"registryTotal", registry.Counts().Total()}, {"fileTotal", files.Counts().Total()}};
  for (std::size_t k = 0; k < registry.Counts().byKind.size(); ++k) {
    const auto kind = static_cast<platform::RegistryCall>(k);
    const std::string name(platform::RegistryCallName(kind));
    out["registry"][name] = registry.Counts()[kind];
    if (withTimes) out["registrySeconds"][name] = registry.Nanoseconds()[kind] * 1e-9;
  }
  for (std::size_t k = 0; k < files.Counts().byKind.size(); ++k) {
    const auto kind = static_cast<platform::FileCall>(k);
    const std::string name(platform::FileCallName(kind));
    out["files"][name] = files.Counts()[kind];
    if (withTimes) out["fileSeconds"][name] = files.Nanoseconds()[kind] * 1e-9;
  }
  for (std::size_t k = 0; k < system.Counts().byKind.size(); ++k) {
    const auto kind = static_cast<platform::SystemCall>(k);
    const std::string name(platform::SystemCallName(kind));
    out["system"][name] = system.Counts()[kind];
    if (withTimes) out["systemSeconds"][name] = system.Nanoseconds()[kind] * 1e-9;
  }
  return out;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

}  // namespace sv::bench
