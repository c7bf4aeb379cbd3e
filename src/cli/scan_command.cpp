// sorvane-cli scan and detail: the scan and detail runs of the window, on a window kept in
// memory, printed in the order the window shows them.
#include <string>
#include <vector>

#include "cli/commands.h"
#include "common/text.h"
#include "database/opUninstallFile.h"
#include "engine/memory_window.h"
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

int RunDetail(Context& context, std::span<const std::string> args) {
  const Arguments arguments(args, {"json"}, {"db"});
  arguments.ExpectPositionals(1);
  const std::string name = arguments.Positionals()[0];
  if (!AllNamesKnown(context, DatabaseOption(arguments), "detail", arguments.Positionals()))
    return kExitError;
  MemoryWindow window;
  window.SetText(engine::Label::labUS1Soft, name);
  const int code = RunOnWorker(context, arguments, window, engine::kModeDetails, "detail");

  const auto registryRows = window.Rows(ListView::lstvUS2Registry);
  const auto fileRows = window.Rows(ListView::lstvUS2File);
  if (arguments.Has("json")) {
    const auto rows = [](const std::vector<ListRow>& list) {
      json array = json::array();
      for (const ListRow& row : list)
        array.push_back({{"no", row.caption}, {"path", Sub(row, 0)}, {"type", Sub(row, 1)}});
      return array;
    };
    PrintJson(context, {{"name", name},
                        {"registry", rows(registryRows)},
                        {"files", rows(fileRows)},
                        {"page", PageJson(window)}});
  } else {
    context.out << "Registry information (No, Registry Key, Type):\n";
    for (const ListRow& row : registryRows)
      context.out << row.caption << "\t" << Sub(row, 0) << "\t" << Sub(row, 1) << "\n";
    context.out << "File information (No, File Name, Type):\n";
    for (const ListRow& row : fileRows)
      context.out << row.caption << "\t" << Sub(row, 0) << "\t" << Sub(row, 1) << "\n";
  }
  return code;
}

}  // namespace sv::cli
