// sorvane-cli scan and detail: the scan and detail runs of the window, on a window kept in
// memory, printed in the order the window shows them.
#include <string>
#include <vector>

#include "cli/commands.h"
#include "common/text.h"
#include "database/opUninstallFile.h"
#include "engine/deletion_gate.h"
#include "engine/memory_window.h"
#include "engine/removal_plan.h"
#include "engine/threadUninstall.h"
#include "registry/icon_list.h"

namespace sv::cli {

namespace {

using engine::ListRow;
using engine::ListView;
using engine::MemoryWindow;
using nlohmann::json;

std::string Sub(const ListRow& row, std::size_t index) {
  return index < row.subItems.size() ? row.subItems[index] : std::string();
}

json PageJson(MemoryWindow& window) {
  const auto page = window.CurrentPage();
  return page ? json(std::string(engine::PageName(*page))) : json(nullptr);
}

// Runs one mode on its worker thread and waits for it, as the window would without waiting.
// The run's own error message (a database that cannot be opened, ...) becomes the command's.
int RunOnWorker(Context& context, const Arguments& arguments, MemoryWindow& window,
                std::uint16_t mode, std::string_view command) {
  const DatabasePaths paths = DatabaseOption(arguments);
  registry::CountingIconList smallIcons, bigIcons;
  engine::RunEnvironment env{context.platform, window,     smallIcons,
                             bigIcons,         paths.data, paths.soft};
  engine::TUninstallThread(env, mode).WaitFor();
  const auto messages = window.Messages();
  if (messages.empty()) return kExitOk;
  for (const auto& message : messages)
    context.err << "sorvane-cli " << command << ": " << message.text << "\n";
  return kExitError;
}

}  // namespace

int RunScan(Context& context, std::span<const std::string> args) {
  const Arguments arguments(args, {"json", "hide-unsupported"}, {"db"});
  arguments.ExpectPositionals(0);
  MemoryWindow window;
  window.SetChecked(engine::CheckBox::chkHideUnsupport, arguments.Has("hide-unsupported"));
  const int code = RunOnWorker(context, arguments, window, engine::kModeScan, "scan");

  const auto installed = window.Rows(ListView::lstvNList);
  const auto residues = window.Rows(ListView::lstvRList);
  int supported = 0;
  for (const ListRow& row : installed)
    supported += Sub(row, 1) == engine::kStateSupported ? 1 : 0;
  const std::string label = window.Text(engine::Label::labSoftNum);

  if (arguments.Has("json")) {
    json result = json::object();
    result["installed"] = json::array();
    for (const ListRow& row : installed) {
      result["installed"].push_back({{"no", row.caption},
                                     {"name", Sub(row, 0)},
                                     {"state", Sub(row, 1)},
                                     {"installDate", Sub(row, 2)},
                                     {"publisher", Sub(row, 3)},
                                     {"icon", row.imageIndex}});
    }
    result["residues"] = json::array();
    for (const ListRow& row : residues) {
      result["residues"].push_back({{"no", row.caption},
                                    {"name", Sub(row, 0)},
                                    {"description", Sub(row, 1)},
                                    {"icon", row.imageIndex}});
    }
    result["supported"] = supported;
    result["residueCount"] = residues.size();
    result["label"] = label;
    result["page"] = PageJson(window);
    PrintJson(context, result);
  } else {
    context.out << "Installed software (No, Software Name, State, Install Date, Publisher):\n";
    for (const ListRow& row : installed) {
      context.out << row.caption << "\t" << Sub(row, 0) << "\t" << Sub(row, 1) << "\t"
                  << Sub(row, 2) << "\t" << Sub(row, 3) << "\n";
    }
    context.out << "Residues (No, Software Name, description):\n";
    for (const ListRow& row : residues)
      context.out << row.caption << "\t" << Sub(row, 0) << "\t" << Sub(row, 1) << "\n";
    context.out << "Scan Result: " << label << "\n";
  }
  return code;
}

bool AllNamesKnown(Context& context, const DatabasePaths& paths, std::string_view command,
                   std::span<const std::string> names) {
  database::TUFileOp db(context.platform, paths.data, paths.soft);
  bool known = true;
  for (const std::string& name : names) {
    if (!TrimView(name).empty() && !db.FindSoftId(name).empty()) continue;
    context.err << "sorvane-cli " << command << ": no software in the database matches '" << name
                << "'\n";
    known = false;
  }
  return known;
}

nlohmann::json TreeContentsJson(const std::vector<engine::TreeEntry>& contents) {
  json array = json::array();
  for (const engine::TreeEntry& entry : contents) {
    json item = {{"path", entry.path}, {"folder", entry.folder}};
    if (entry.link) {
      item["link"] = true;
      item["linkTarget"] = entry.linkTarget;
    }
    array.push_back(std::move(item));
  }
  return array;
}

void PrintTreeContents(std::ostream& out, const std::vector<engine::TreeEntry>& contents) {
  for (const engine::TreeEntry& entry : contents) {
    out << "        "
        << (entry.link     ? "link\t"
            : entry.folder ? "folder\t"
                           : "file\t")
        << entry.path;
    if (entry.link) out << "\t-> " << entry.linkTarget;
    out << "\n";
  }
}

namespace {

json PlanJson(const engine::RemovalPlan& plan) {
  json items = json::array();
  for (const engine::PlanItem& item : plan.items) {
    json entry = {{"action", std::string(engine::GateActionName(item.action))},
                  {"target", item.target},
                  {"evidence", item.evidence},
                  {"allowed", item.decision.allowed},
                  {"reason", item.decision.reason}};
    if (item.action == engine::GateAction::DeleteTree)
      entry["contents"] = TreeContentsJson(item.contents);
    items.push_back(std::move(entry));
  }
  return items;
}

void PrintPlan(std::ostream& out, const engine::RemovalPlan& plan) {
  out << "Removal plan (action, target, decision):\n";
  for (const engine::PlanItem& item : plan.items) {
    out << (item.decision.allowed ? "    " : "    refused ") << engine::GateActionName(item.action)
        << "\t" << item.target << "\t(" << item.evidence << "; " << item.decision.reason << ")\n";
    PrintTreeContents(out, item.contents);
  }
}

}  // namespace

int RunDetail(Context& context, std::span<const std::string> args) {
  const Arguments arguments(args, {"json", "all"}, {"db"});
  arguments.ExpectPositionals(1);
  const std::string name = arguments.Positionals()[0];
  const DatabasePaths paths = DatabaseOption(arguments);
  MemoryWindow window;
  registry::CountingIconList smallIcons, bigIcons;
  const engine::RunEnvironment env{context.platform, window,     smallIcons,
                                   bigIcons,         paths.data, paths.soft};
  // The row the scan lists under this name, as the window would pass it; a database name
  // that is neither installed nor left behind still shows what its record names.
  engine::ProgramRef program;
  std::uint16_t residual = engine::kInstalledProgram;
  if (auto listed = engine::FindInstalledProgram(env, name)) {
    if (listed->program.softwareId.empty()) {
      context.err << "sorvane-cli detail: '" << name
                  << "' is unsupported: the database does not know it\n";
      return kExitError;
    }
    program = listed->program;
  } else if (auto residue = engine::FindResidue(env, name)) {
    program = *residue;
    residual = engine::kResidue;
  } else {
    if (!AllNamesKnown(context, paths, "detail", arguments.Positionals())) return kExitError;
    program = engine::ResolveProgramByName(env, name);
    if (program.softwareId.empty()) {
      database::TUFileOp db(context.platform, paths.data, paths.soft);
      program.softwareId = db.FindSoftId(name);
    }
  }
  window.SetText(engine::Label::labUS1Soft, name);
  window.SetText(engine::Label::labUS1Type,
                 residual == engine::kResidue ? engine::kKindResidual : engine::kKindInstallation);
  window.SetDetailProgram(program);
  const int code = RunOnWorker(context, arguments, window, engine::kModeDetails, "detail");

  std::optional<engine::RemovalPlan> plan;
  if (arguments.Has("all")) {
    engine::DeletionGate gate(context.platform, engine::DeletionGate::Mode::Record);
    plan = engine::PlanRemoval(env, gate, program, name, residual);
  }
  const auto registryRows = window.Rows(ListView::lstvUS2Registry);
  const auto fileRows = window.Rows(ListView::lstvUS2File);
  if (arguments.Has("json")) {
    const auto rows = [](const std::vector<ListRow>& list) {
      json array = json::array();
      for (const ListRow& row : list)
        array.push_back({{"no", row.caption}, {"path", Sub(row, 0)}, {"type", Sub(row, 1)}});
      return array;
    };
    json result = {{"name", name},
                   {"registry", rows(registryRows)},
                   {"files", rows(fileRows)},
                   {"page", PageJson(window)}};
    if (plan) result["plan"] = PlanJson(*plan);
    PrintJson(context, result);
  } else {
    context.out << "Registry information (No, Registry Key, Type):\n";
    for (const ListRow& row : registryRows)
      context.out << row.caption << "\t" << Sub(row, 0) << "\t" << Sub(row, 1) << "\n";
    context.out << "File information (No, File Name, Type):\n";
    for (const ListRow& row : fileRows)
      context.out << row.caption << "\t" << Sub(row, 0) << "\t" << Sub(row, 1) << "\n";
    if (plan) PrintPlan(context.out, *plan);
  }
  return code;
}

}  // namespace sv::cli
