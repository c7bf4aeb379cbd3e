// sorvane-cli remove: the removal of the window's Clean command for programs the scan lists,
// with the status lines the window shows and what became of every item of the plan. --dry-run
// lets the gate record instead of deleting, so it prints exactly the plan a removal executes.
#include <string>
#include <vector>

#include "cli/commands.h"
#include "engine/deletion_gate.h"
#include "engine/memory_window.h"
#include "engine/removal_plan.h"
#include "engine/threadUninstall.h"
#include "registry/icon_list.h"

namespace sv::cli {

namespace {

using nlohmann::json;

// One line of a removal's story: a status line, or what became of an item of the plan.
struct Step {
  std::string status;  // set for a status line
  engine::GateEvent event{engine::GateAction::DeleteFile, {}, false, {}, {}, nullptr};
  std::vector<engine::TreeEntry> contents = {};
  std::string evidence = {};
};

// The window's status strip, kept in the order the removal wrote it among the gate's decisions.
class StatusWindow final : public engine::MemoryWindow {
 public:
  explicit StatusWindow(std::vector<Step>& steps) : steps_(steps) {}
  void SetText(engine::Label label, std::string_view text) override {
    MemoryWindow::SetText(label, text);
    if (label == engine::Label::panCleanHint) steps_.push_back(Step{std::string(text)});
  }

 private:
  std::vector<Step>& steps_;
};

json StepsJson(const std::vector<Step>& steps) {
  json array = json::array();
  for (const Step& step : steps) {
    if (!step.status.empty()) {
      array.push_back({{"status", step.status}});
      continue;
    }
    json item = {{"action", std::string(engine::GateActionName(step.event.action))},
                 {"target", step.event.target},
                 {"refused", step.event.refused},
                 {"outcome", std::string(engine::OutcomeName(step.event.outcome))},
                 {"reason", step.event.reason},
                 {"evidence", step.evidence}};
    if (step.event.action == engine::GateAction::DeleteTree)
      item["contents"] = TreeContentsJson(step.contents);
    array.push_back(std::move(item));
  }
  return array;
}

void PrintSteps(std::ostream& out, const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    if (!step.status.empty()) {
      out << step.status << "\n";
      continue;
    }
    const engine::Outcome outcome = step.event.outcome;
    const bool quiet = outcome == engine::Outcome::Planned || outcome == engine::Outcome::Done;
    out << "    " << (step.event.refused ? "refused " : "")
        << (outcome == engine::Outcome::Failed || outcome == engine::Outcome::Kept
                ? std::string(engine::OutcomeName(outcome)) + " "
                : std::string())
        << engine::GateActionName(step.event.action) << "\t" << step.event.target;
    if (!quiet && !step.event.reason.empty()) out << "\t(" << step.event.reason << ")";
    out << "\n";
    PrintTreeContents(out, step.contents);
  }
}

}  // namespace

int RunRemove(Context& context, std::span<const std::string> args) {
  const Arguments arguments(args, {"json", "residual", "dry-run"}, {"db"});
  if (arguments.Positionals().empty()) throw UsageError("remove needs at least one NAME");
  const DatabasePaths paths = DatabaseOption(arguments);
  const bool dryRun = arguments.Has("dry-run");
  const bool residual = arguments.Has("residual");

  std::vector<Step> steps;
  StatusWindow window(steps);
  registry::CountingIconList smallIcons, bigIcons;
  const engine::RunEnvironment env{context.platform, window,     smallIcons,
                                   bigIcons,         paths.data, paths.soft};

  // Only what the scan lists, as it lists it: a typing mistake, a program removed before or
  // the database's name in place of the installed one must not turn into a removal.
  std::vector<engine::ProgramRef> programs;
  bool known = true;
  for (const std::string& name : arguments.Positionals()) {
    if (residual) {
      if (auto residue = engine::FindResidue(env, name)) {
        programs.push_back(*residue);
        continue;
      }
      context.err << "sorvane-cli remove: '" << name << "' is not a residue the scan lists\n";
    } else if (auto listed = engine::FindInstalledProgram(env, name)) {
      if (!listed->program.softwareId.empty()) {
        programs.push_back(listed->program);
        continue;
      }
      context.err << "sorvane-cli remove: '" << name
                  << "' is unsupported: the database does not know it\n";
    } else {
      context.err << "sorvane-cli remove: '" << name
                  << "' is not installed (as the scan lists it)\n";
    }
    known = false;
  }
  if (!known) return kExitError;

  engine::DeletionGate gate(context.platform, dryRun ? engine::DeletionGate::Mode::Record
                                                     : engine::DeletionGate::Mode::Delete);
  gate.SetObserver([&steps](const engine::GateEvent& event) {
    Step step{{}, event, {}, {}};
    if (event.item != nullptr) {
      step.contents = event.item->contents;
      step.evidence = event.item->evidence;
    }
    step.event.item = nullptr;
    steps.push_back(std::move(step));
  });

  json results = json::array();
  int code = kExitOk;
  for (std::size_t n = 0; n < programs.size(); ++n) {
    const std::string& name = arguments.Positionals()[n];
    steps.clear();
    std::string failure;
    engine::RemovalResult result;
    try {
      result =
          engine::RemoveSoftware(env, gate, programs[n], name,
                                 residual ? engine::kResidue : engine::kInstalledProgram, true);
    } catch (const std::exception& error) {
      failure = error.what();
      code = kExitError;
    }
    const int done = result.Count(engine::Outcome::Done) + result.Count(engine::Outcome::Gone) +
                     result.Count(engine::Outcome::Planned);
    const int refused = result.Count(engine::Outcome::Refused);
    const int failed = result.Count(engine::Outcome::Failed);
    const int kept = result.Count(engine::Outcome::Kept);
    if (failed > 0) code = kExitError;
    if (arguments.Has("json")) {
      json program = {{"name", name},
                      {"steps", StepsJson(steps)},
                      {"allowed", done},
                      {"refused", refused},
                      {"failed", failed},
                      {"kept", kept},
                      {"complete", failure.empty() && result.Complete()}};
      if (!failure.empty()) program["error"] = failure;
      results.push_back(std::move(program));
    } else {
      context.out << (dryRun ? "Would remove " : "Removing ") << name
                  << (residual ? " (residue)" : " (installed program)") << ":\n";
      PrintSteps(context.out, steps);
      context.out << name << ": " << done << (dryRun ? " allowed" : " done") << ", " << refused
                  << " refused";
      if (failed > 0) context.out << ", " << failed << " failed";
      if (kept > 0) context.out << ", " << kept << " kept";
      context.out << "\n";
    }
    if (failed > 0 && !arguments.Has("json")) {
      for (const auto& [item, outcome] : result.items) {
        if (outcome.outcome == engine::Outcome::Failed)
          context.err << "sorvane-cli remove: " << name << ": " << item.target
                      << " could not be removed (" << outcome.reason << ")\n";
      }
    }
    if (!failure.empty()) {
      context.err << "sorvane-cli remove: " << failure << "\n";
      break;
    }
  }
  if (arguments.Has("json"))
    PrintJson(context, {{"dryRun", dryRun}, {"residual", residual}, {"programs", results}});
  return code;
}

}  // namespace sv::cli
