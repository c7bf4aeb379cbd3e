// sorvane-cli inspect: the registry searches of a scan, a detail view and a removal, as
// commands, for signature authors and for end-to-end tests. Nothing here deletes.
#include <string>
#include <vector>

#include "cli/commands.h"
#include "registry/opUninstallRegistry.h"

namespace sv::cli {

namespace {

using nlohmann::json;
using registry::StringList;
using registry::TURegistryOp;

void PrintSection(const Context& context, std::string_view title, const StringList& items) {
  context.out << title << ":\n";
  for (const std::string& item : items)
    context.out << "  " << item << "\n";
}

int Installed(Context& context, TURegistryOp& op, const Arguments& parsed) {
  parsed.ExpectPositionals(1);
  StringList names, keys;
  op.ListInstalledPrograms(names, keys, parsed.Has("hotfixes"));
  // As the scan does: the program's own icon first, then one per entry.
  registry::CountingIconList small, big;
  op.AddIconFromFile(small, big, 0, context.platform.system.ExecutablePath());
  json all = json::array();
  for (std::size_t i = 0; i < keys.size(); ++i) {
    StringList summary;
    op.ReadProgramSummary(keys[i], small, summary, big);
    if (parsed.Has("json")) {
      json entry{{"name", names[i]}, {"key", keys[i]}, {"summary", nullptr}};
      if (summary.size() == 4) {
        entry["summary"] = {{"displayName", summary[0]},
                            {"installDate", summary[1]},
                            {"publisher", summary[2]},
                            {"icon", std::stoi(summary[3])}};
      }
      all.push_back(std::move(entry));
    } else {
      summary.resize(4);
      context.out << names[i] << "\t" << keys[i] << "\t" << summary[1] << "\t" << summary[2] << "\t"
                  << summary[3] << "\n";
    }
  }
  if (parsed.Has("json")) PrintJson(context, all);
  return kExitOk;
}

int Uninstall(Context& context, TURegistryOp& op, const Arguments& parsed) {
  parsed.ExpectPositionals(2);
  const registry::TUNINSTALL_DES entry = op.ReadUninstallEntry(parsed.Positionals()[1], 0);
  const std::vector<std::pair<const char*, const std::string*>> fields{
      {"KeyName", &entry.KeyName},
      {"DisplayName", &entry.DisplayName},
      {"DisplayVersion", &entry.DisplayVersion},
      {"InstallDate", &entry.InstallDate},
      {"InstallLocation", &entry.InstallLocation},
      {"HelpLink", &entry.HelpLink},
      {"Publisher", &entry.Publisher},
      {"URLInfoAbout", &entry.URLInfoAbout},
      {"URLUpdateInfo", &entry.URLUpdateInfo},
      {"UninstallString", &entry.UninstallString},
  };
  const bool found = !entry.KeyName.empty();
  if (parsed.Has("json")) {
    json record{{"found", found}};
    for (const auto& [name, value] : fields)
      record[name] = *value;
    record["Tag"] = entry.Tag;
    PrintJson(context, record);
  } else if (!found) {
    context.out << "no Uninstall entry is named '" << parsed.Positionals()[1] << "'\n";
  } else {
    for (const auto& [name, value] : fields)
      context.out << name << ": " << *value << "\n";
  }
  return kExitOk;
}

int Installer(Context& context, TURegistryOp& op, const Arguments& parsed) {
  parsed.ExpectPositionals(2);
  StringList products, features, upgradeCodes, components;
  std::string productCode;
  op.FindInstallerProducts(parsed.Positionals()[1], products, productCode);
  // The later searches only follow a product, as in a removal.
  if (!products.empty()) {
    op.FindInstallerFeatures(productCode, features);
    op.FindInstallerUpgradeCodes(productCode, upgradeCodes);
    op.FindInstallerComponents(productCode, components);
  }
  if (parsed.Has("json")) {
    PrintJson(context, json{{"products", products},
                            {"productCode", productCode},
                            {"features", features},
                            {"upgradeCodes", upgradeCodes},
                            {"components", components}});
    return kExitOk;
  }
  PrintSection(context, "products", products);
  context.out << "product code: " << productCode << "\n";
  PrintSection(context, "features", features);
  PrintSection(context, "upgrade codes", upgradeCodes);
  PrintSection(context, "components", components);
  return kExitOk;
}

StringList Rest(const Arguments& parsed) {
  return StringList(parsed.Positionals().begin() + 1, parsed.Positionals().end());
}

int Com(Context& context, TURegistryOp& op, const Arguments& parsed) {
  const StringList folders = Rest(parsed);
  if (folders.empty()) throw UsageError("com needs at least one folder");
  StringList libraries, classes, libraryKeys, interfaces;
  op.FindComClasses(folders, libraries, classes);
  if (!classes.empty() && !libraries.empty()) {
    op.FindTypeLibraries(libraries, libraryKeys);
    op.FindInterfaces(libraries, interfaces);
  }
  if (parsed.Has("json")) {
    PrintJson(context, json{{"classes", classes},
                            {"typeLibraries", libraries},
                            {"typeLibraryKeys", libraryKeys},
                            {"interfaces", interfaces}});
    return kExitOk;
  }
  PrintSection(context, "classes", classes);
  PrintSection(context, "type libraries", libraries);
  PrintSection(context, "type library keys", libraryKeys);
  PrintSection(context, "interfaces", interfaces);
  return kExitOk;
}

int Traces(Context& context, TURegistryOp& op, const Arguments& parsed) {
  parsed.ExpectPositionals(2);
  StringList traces;
  op.FindProgramTraces(parsed.Positionals()[1], traces);
  if (parsed.Has("json")) {
    json all = json::array();
    for (const std::string& trace : traces)
      all.push_back({{"kind", trace.front() - '0'}, {"path", trace.substr(1)}});
    PrintJson(context, all);
    return kExitOk;
  }
  for (const std::string& trace : traces)
    context.out << trace << "\n";
  return kExitOk;
}

int Folders(Context& context, TURegistryOp& op, const Arguments& parsed) {
  const StringList pairs = Rest(parsed);
  if (pairs.empty() || pairs.size() % 2 != 0) {
    throw UsageError("folders needs pairs of a full key path and a value name");
  }
  StringList keys, values, folders;
  for (std::size_t i = 0; i < pairs.size(); i += 2) {
    keys.push_back(pairs[i]);
    values.push_back(pairs[i + 1]);
  }
  op.CollectFoldersFromValues(keys, values, folders);
  if (parsed.Has("json")) {
    PrintJson(context, json(folders));
    return kExitOk;
  }
  for (const std::string& folder : folders)
    context.out << folder << "\n";
  return kExitOk;
}

int Lists(Context& context, TURegistryOp& op, const Arguments& parsed) {
  const StringList folders = Rest(parsed);
  if (folders.empty()) throw UsageError("lists needs at least one folder");
  json all = json::array();
  for (int list = 1; list <= 7; ++list) {
    std::vector<registry::RegistryValueRef> entries;
    op.FindFolderListEntries(folders, entries, list);
    for (const auto& entry : entries) {
      if (parsed.Has("json")) {
        all.push_back({{"list", list}, {"key", entry.keyPath}, {"value", entry.valueName}});
      } else {
        context.out << list << "\t" << entry.keyPath << "\t" << entry.valueName << "\n";
      }
    }
  }
  if (parsed.Has("json")) PrintJson(context, all);
  return kExitOk;
}

}  // namespace

int RunInspect(Context& context, std::span<const std::string> args) {
  const Arguments parsed(args, {"json", "hotfixes"}, {});
  if (parsed.Positionals().empty()) throw UsageError("inspect needs to know what to inspect");
  const std::string& what = parsed.Positionals().front();
  if (parsed.Has("hotfixes") && what != "installed") {
    throw UsageError("--hotfixes belongs to 'inspect installed'");
  }
  TURegistryOp op(context.platform);
  if (what == "installed") return Installed(context, op, parsed);
  if (what == "uninstall") return Uninstall(context, op, parsed);
  if (what == "installer") return Installer(context, op, parsed);
  if (what == "com") return Com(context, op, parsed);
  if (what == "traces") return Traces(context, op, parsed);
  if (what == "folders") return Folders(context, op, parsed);
  if (what == "lists") return Lists(context, op, parsed);
  throw UsageError("nothing to inspect called '" + what + "'");
}

}  // namespace sv::cli
