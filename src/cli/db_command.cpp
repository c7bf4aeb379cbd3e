// sorvane-cli db: the signature database queries, on the database beside the executable or in
// the folder given with --db.
#include <optional>
#include <string>
#include <string_view>

#include "cli/commands.h"
#include "common/text.h"
#include "database/db_format.h"
#include "database/opUninstallFile.h"

namespace sv::cli {

namespace {

using database::StringList;
using database::TUFileOp;
using nlohmann::json;

constexpr std::string_view kInfoLabels[] = {"id",        "name",    "category",       "services",
                                            "processes", "spare",   "install folder", "desktop",
                                            "programs",  "startup", "start menu"};
constexpr std::string_view kInfoKeys[] = {"id",        "name",    "category",      "services",
                                          "processes", "spare",   "installFolder", "desktop",
                                          "programs",  "startup", "startMenu"};

TUFileOp OpenDatabase(Context& context, const Arguments& arguments) {
  const DatabasePaths paths = DatabaseOption(arguments);
  return TUFileOp(context.platform, paths.data, paths.soft);
}

std::uint16_t CategoryOption(const Arguments& arguments) {
  const std::optional<long long> category = arguments.Number("category");
  if (!category) return 0;
  if (*category < 0 || *category > 10) throw UsageError("option --category needs 0 to 10");
  return static_cast<std::uint16_t>(*category);
}

int NotFound(Context& context, std::string_view name) {
  context.err << "sorvane-cli db: no software in the database matches '" << name << "'\n";
  return kExitError;
}

json StampJson(const std::string& number, const std::string& display) {
  json value = json::object();
  value["version"] = display;
  value["stamp"] = number.empty() ? json(nullptr) : json(std::stoll(number));
  return value;
}

int Version(Context& context, const Arguments& arguments, TUFileOp& db) {
  arguments.ExpectPositionals(0);
  const std::string dataNumber = db.GetDataVersion(1);
  const std::string dataText = db.GetDataVersion(0);
  const std::string softNumber = db.GetSoftDataVersion(1);
  const std::string softText = db.GetSoftDataVersion(0);
  if (arguments.Has("json")) {
    PrintJson(context, {{"SV.dat", StampJson(dataNumber, dataText)},
                        {"soft.dat", StampJson(softNumber, softText)}});
  } else {
    context.out << "SV.dat    " << dataText << " (" << dataNumber << ")\n"
                << "soft.dat  " << softText << " (" << softNumber << ")\n";
  }
  return kExitOk;
}

int Names(Context& context, const Arguments& arguments, TUFileOp& db) {
  arguments.ExpectPositionals(0);
  StringList names;
  db.GetSoftNameList(names, CategoryOption(arguments));
  if (arguments.Has("json")) {
    PrintJson(context, names);
  } else {
    for (const std::string& name : names)
      context.out << name << "\n";
  }
  return kExitOk;
}

int Count(Context& context, const Arguments& arguments, TUFileOp& db) {
  arguments.ExpectPositionals(0);
  const std::uint16_t category = CategoryOption(arguments);
  const std::uint16_t count = db.GetSoftCount(category);
  if (arguments.Has("json")) {
    PrintJson(context, {{"category", category}, {"count", count}});
  } else {
    context.out << count << "\n";
  }
  return kExitOk;
}

int Id(Context& context, const Arguments& arguments, TUFileOp& db) {
  arguments.ExpectPositionals(1);
  const std::string& name = arguments.Positionals()[0];
  const std::string id = db.FindSoftId(Trim(name));
  if (id.empty()) return NotFound(context, name);
  if (arguments.Has("json")) {
    PrintJson(context, {{"name", name}, {"id", id}});
  } else {
    context.out << id << "\n";
  }
  return kExitOk;
}

int Info(Context& context, const Arguments& arguments, TUFileOp& db) {
  arguments.ExpectPositionals(1);
  const std::string& name = arguments.Positionals()[0];
  StringList info, keys, values;
  if (db.GetSoftInfo(name, info, keys, values) != 11) return NotFound(context, name);
  const std::string categoryName =
      std::string(database::CategoryName(std::stoll(info[2].empty() ? "0" : info[2])));
  if (arguments.Has("json")) {
    json object = json::object();
    for (std::size_t i = 0; i < info.size(); ++i) {
      object[std::string(kInfoKeys[i])] = i == 2 ? json(std::stoll(info[i])) : json(info[i]);
    }
    object["categoryName"] = categoryName;
    json locations = json::array();
    for (std::size_t k = 0; k < keys.size(); ++k) {
      locations.push_back({{"key", keys[k]}, {"value", values[k]}});
    }
    object["locations"] = locations;
    PrintJson(context, object);
    return kExitOk;
  }
  for (std::size_t i = 0; i < info.size(); ++i) {
    context.out << kInfoLabels[i] << ": " << info[i];
    if (i == 2 && !categoryName.empty()) context.out << " (" << categoryName << ")";
    context.out << "\n";
  }
  for (std::size_t k = 0; k < keys.size(); ++k) {
    context.out << "location: " << keys[k] << " value: " << values[k] << "\n";
  }
  return kExitOk;
}

std::string_view KindName(char kind) {
  switch (kind) {
    case '1':
      return "file";
    case '2':
      return "key";
    case '3':
      return "value";
    case '4':
      return "directory";
    default:
      return "unknown";
  }
}

int Items(Context& context, const Arguments& arguments, TUFileOp& db) {
  arguments.ExpectPositionals(1);
  const std::string& name = arguments.Positionals()[0];
  const long long kind = arguments.Number("kind").value_or(0);
  if (kind < 0 || kind > 4) throw UsageError("option --kind needs 0 to 4");
  StringList items;
  const std::int32_t result =
      db.GetSoftItems(name, static_cast<std::uint16_t>(kind), arguments.Has("all") ? 0 : 1, items);
  if (result < 0) return NotFound(context, name);
  if (arguments.Has("json")) {
    json list = json::array();
    for (const std::string& line : items) {
      list.push_back(
          {{"kind", line[0] - '0'}, {"kindName", KindName(line[0])}, {"path", line.substr(1)}});
    }
    PrintJson(context, list);
  } else {
    for (const std::string& line : items) {
      std::string label(KindName(line[0]));
      label.resize(10, ' ');
      context.out << label << line.substr(1) << "\n";
    }
  }
  return kExitOk;
}

int Category(Context& context, const Arguments& arguments, TUFileOp& db) {
  arguments.ExpectPositionals(1);
  const std::string& name = arguments.Positionals()[0];
  const std::string category = db.GetCategoryText(Trim(name));
  if (category.empty()) return NotFound(context, name);
  if (arguments.Has("json")) {
    PrintJson(context, {{"name", name}, {"category", category}});
  } else {
    context.out << category << "\n";
  }
  return kExitOk;
}

struct Query {
  std::string_view name;
  bool category;  // takes --category
  bool items;     // takes --kind and --all
  int (*run)(Context&, const Arguments&, TUFileOp&);
};

constexpr Query kQueries[] = {
    {"version", false, false, Version},   {"names", true, false, Names},
    {"count", true, false, Count},        {"id", false, false, Id},
    {"info", false, false, Info},         {"items", false, true, Items},
    {"category", false, false, Category},
};

}  // namespace

int RunDbCommand(Context& context, std::span<const std::string> args) {
  if (args.empty()) throw UsageError("missing query");
  const Query* query = nullptr;
  for (const Query& candidate : kQueries) {
    if (candidate.name == args.front()) query = &candidate;
  }
  if (query == nullptr) throw UsageError("unknown query '" + args.front() + "'");
  const Arguments arguments =
      query->items      ? Arguments(args.subspan(1), {"json", "all"}, {"db", "kind"})
      : query->category ? Arguments(args.subspan(1), {"json"}, {"db", "category"})
                        : Arguments(args.subspan(1), {"json"}, {"db"});
  TUFileOp db = OpenDatabase(context, arguments);
  return query->run(context, arguments, db);
}

}  // namespace sv::cli
