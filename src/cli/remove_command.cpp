// sorvane-cli remove: the removal of the window's Clean command for named programs, with the
// status lines the window shows and every decision of the deletion gate. --dry-run lets the
// gate record instead of deleting, so it shows exactly what a removal would do.
#include <string>
#include <vector>

#include "cli/commands.h"
#include "engine/deletion_gate.h"
#include "engine/memory_window.h"
#include "engine/threadUninstall.h"
#include "registry/icon_list.h"

namespace sv::cli {

namespace {

using nlohmann::json;

// One line of a removal's story: a status line, or a decision of the gate.
struct Step {
  std::string status;  // set for a status line
  engine::GateEvent event{engine::GateAction::DeleteFile, {}, false};
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
    } else {
      array.push_back({{"action", std::string(engine::GateActionName(step.event.action))},
                       {"target", step.event.target},
                       {"refused", step.event.refused}});
    }
  }
  return array;
}

}  // namespace

int RunRemove(Context& context, std::span<const std::string> args) {
  const Arguments arguments(args, {"json", "residual", "dry-run"}, {"db"});
  if (arguments.Positionals().empty()) throw UsageError("remove needs at least one NAME");
  const DatabasePaths paths = DatabaseOption(arguments);
  const bool dryRun = arguments.Has("dry-run");
  const std::uint16_t residual =
      arguments.Has("residual") ? engine::kResidue : engine::kInstalledProgram;

  // A typing mistake must not turn into a partial removal of the other names.
  if (!AllNamesKnown(context, paths, "remove", arguments.Positionals())) return kExitError;

  std::vector<Step> steps;
  StatusWindow window(steps);
  registry::CountingIconList smallIcons, bigIcons;
  const engine::RunEnvironment env{context.platform, window,     smallIcons,
                                   bigIcons,         paths.data, paths.soft};
  engine::DeletionGate gate(context.platform, dryRun ? engine::DeletionGate::Mode::Record
                                                     : engine::DeletionGate::Mode::Delete);
  gate.SetObserver([&steps](const engine::GateEvent& event) { steps.push_back(Step{{}, event}); });

  json programs = json::array();
  int code = kExitOk;
  for (const std::string& name : arguments.Positionals()) {
    steps.clear();
    std::string failure;
    try {
      engine::RemoveSoftware(env, gate, name, residual, true);
    } catch (const std::exception& error) {
      failure = error.what();
      code = kExitError;
    }
    int done = 0;
    int refused = 0;
    for (const Step& step : steps) {
      if (step.status.empty()) ++(step.event.refused ? refused : done);
    }
    if (arguments.Has("json")) {
      json program = {
          {"name", name}, {"steps", StepsJson(steps)}, {"allowed", done}, {"refused", refused}};
      if (!failure.empty()) program["error"] = failure;
      programs.push_back(std::move(program));
    } else {
      context.out << (dryRun ? "Would remove " : "Removing ") << name
                  << (residual == engine::kResidue ? " (residue)" : " (installed program)")
                  << ":\n";
      for (const Step& step : steps) {
        if (!step.status.empty()) {
          context.out << step.status << "\n";
        } else {
          context.out << "    " << (step.event.refused ? "refused " : "")
                      << engine::GateActionName(step.event.action) << "\t" << step.event.target
                      << "\n";
        }
      }
      context.out << name << ": " << done << (dryRun ? " allowed" : " done") << ", " << refused
                  << " refused\n";
    }
    if (!failure.empty()) {
      context.err << "sorvane-cli remove: " << failure << "\n";
      break;
    }
  }
  if (arguments.Has("json"))
    PrintJson(
        context,
        {{"dryRun", dryRun}, {"residual", residual == engine::kResidue}, {"programs", programs}});
  return code;
}

}  // namespace sv::cli
