#include "seed/seed.h"

#include <array>
#include <cstdint>
#include <tuple>

#include "common/error.h"
#include "common/text.h"

namespace sv::seed {

namespace csidl = platform::csidl;
using nlohmann::json;
using platform::Hive;
using platform::RegValue;

namespace {

struct FolderSource {
  const char* name;
  int csidl;
};

constexpr std::array<FolderSource, 13> kShellFolders{{
    {"programfiles", csidl::kProgramFiles},
    {"programdata", csidl::kCommonAppData},
    {"profile", csidl::kProfile},
    {"appdata", csidl::kAppData},
    {"localappdata", csidl::kLocalAppData},
    {"desktop", csidl::kDesktop},
    {"commondesktop", csidl::kCommonDesktopDirectory},
    {"programs", csidl::kPrograms},
    {"commonprograms", csidl::kCommonPrograms},
    {"startup", csidl::kStartup},
    {"commonstartup", csidl::kCommonStartup},
    {"startmenu", csidl::kStartMenu},
    {"commonstartmenu", csidl::kCommonStartMenu},
}};

bool IsPlaceholderName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    if (c < 'a' || c > 'z') return false;
  }
  return true;
}

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw Error(where + ": " + what);
}

std::string TextField(const json& object, const char* field, const std::string& where,
                      const Folders& folders, bool required = true) {
  const auto it = object.find(field);
  if (it == object.end()) {
    if (required) Fail(where, std::string("field '") + field + "' is missing");
    return {};
  }
  if (!it->is_string()) Fail(where, std::string("field '") + field + "' is not a text");
  try {
    return Resolve(it->get<std::string>(), folders);
  } catch (const Error& error) {
    Fail(where, error.what());
  }
}

const json& ArrayField(const json& object, const char* field, const std::string& where) {
  static const json kEmpty = json::array();
  const auto it = object.find(field);
  if (it == object.end()) return kEmpty;
  if (!it->is_array()) Fail(where, std::string("field '") + field + "' is not a list");
  return *it;
}

std::string BytesFromHex(std::string_view hex, const std::string& where) {
  auto digit = [&](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    Fail(where, "binary data holds '" + std::string(1, c) + "', not a hex digit");
  };
  if (hex.size() % 2 != 0) Fail(where, "binary data has an odd number of hex digits");
  std::string bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    bytes.push_back(static_cast<char>(digit(hex[i]) * 16 + digit(hex[i + 1])));
  }
  return bytes;
}

RegValue ReadValue(const json& data, const std::string& where, const Folders& folders) {
  if (data.is_string()) {
    try {
      return platform::StringValue(Resolve(data.get<std::string>(), folders));
    } catch (const Error& error) {
      Fail(where, error.what());
    }
  }
  if (!data.is_object() || data.size() != 1) {
    Fail(where,
         "a value is a text or one of {\"expand\": ...}, {\"dword\": ...}, {\"binary\": ...}");
  }
  const std::string type = data.begin().key();
  const json& content = data.begin().value();
  if (type == "expand") {
    if (!content.is_string()) Fail(where, "'expand' data is not a text");
    try {
      return {platform::kRegExpandSz, Resolve(content.get<std::string>(), folders)};
    } catch (const Error& error) {
      Fail(where, error.what());
    }
  }
  if (type == "dword") {
    if (!content.is_number_unsigned() || content.get<std::uint64_t>() > 0xFFFFFFFFu) {
      Fail(where, "'dword' data is not a number from 0 to 4294967295");
    }
    return platform::DwordValue(content.get<std::uint32_t>());
  }
  if (type == "binary") {
    if (!content.is_string()) Fail(where, "'binary' data is not a text of hex digits");
    return {platform::kRegBinary, BytesFromHex(content.get<std::string>(), where)};
  }
  Fail(where, "unknown value type '" + type + "'");
}

// Every folder from the drive down, so that "C:\a\b" makes C:\a first.
std::vector<std::string> FolderChain(std::string_view path) {
  std::vector<std::string> chain;
  std::size_t at = path.find('\\');
  // A drive's root exists already; start below it.
  if (at == 2 && path.size() > 1 && path[1] == ':') at = path.find('\\', at + 1);
  while (at != std::string_view::npos) {
    chain.emplace_back(path.substr(0, at));
    at = path.find('\\', at + 1);
  }
  if (!path.empty() && path.back() != '\\') chain.emplace_back(path);
  return chain;
}

std::string ParentOf(std::string_view path) {
  const auto at = path.find_last_of('\\');
  return at == std::string_view::npos ? std::string() : std::string(path.substr(0, at));
}

std::string ErrorText(platform::WinError error) {
  return "error " + std::to_string(error);
}

// Makes `folder` and every missing parent; the empty text when it exists afterwards.
std::string MakeFolders(platform::FileSystem& files, std::string_view folder) {
  for (const std::string& step : FolderChain(folder)) {
    const auto attributes = files.GetAttributes(step);
    if (attributes != platform::kInvalidAttributes) {
      if ((attributes & platform::kAttrDirectory) == 0) return step + " exists and is a file";
      continue;
    }
    if (const auto error = files.MakeDir(step); error != platform::kSuccess) {
      return "cannot make folder " + step + " (" + ErrorText(error) + ")";
    }
  }
  return {};
}

}  // namespace

Folders MachineFolders(platform::System& system) {
  Folders folders;
  auto put = [&](const char* name, std::string path) {
    // Some shell folders come back with a trailing backslash; the paths the program forms
    // from them never hold two.
    while (path.size() > 3 && path.back() == '\\')
      path.pop_back();
    if (!path.empty()) folders.emplace(name, std::move(path));
  };
  put("windows", system.WindowsDirectory());
  put("system", system.SystemDirectory());
  for (const FolderSource& source : kShellFolders)
    put(source.name, system.SpecialFolder(source.csidl));
  return folders;
}

std::string Resolve(std::string_view text, const Folders& folders) {
  std::string result;
  std::size_t at = 0;
  while (at < text.size()) {
    const auto open = text.find('{', at);
    if (open == std::string_view::npos) break;
    const auto close = text.find('}', open + 1);
    if (close == std::string_view::npos) break;
    const std::string_view name = text.substr(open + 1, close - open - 1);
    result.append(text.substr(at, open - at));
    if (!IsPlaceholderName(name)) {
      // Not ours: keep the brace and look again right after it ("{{windows}" keeps one).
      result.push_back('{');
      at = open + 1;
      continue;
    }
    const auto folder = folders.find(std::string(name));
    if (folder == folders.end()) {
      throw Error("unknown folder placeholder {" + std::string(name) + "} in '" +
                  std::string(text) + "'");
    }
    result.append(folder->second);
    at = close + 1;
  }
  result.append(text.substr(at));
  return result;
}

std::pair<Hive, std::string> SplitHive(std::string_view key) {
  const auto slash = key.find('\\');
  const std::string head = UpperAscii(key.substr(0, slash));
  std::string rest =
      slash == std::string_view::npos ? std::string() : std::string(key.substr(slash + 1));
  struct Name {
    const char* shortName;
    const char* longName;
    Hive hive;
  };
  static constexpr std::array<Name, 4> kNames{{
      {"HKLM", "HKEY_LOCAL_MACHINE", Hive::LocalMachine},
      {"HKCU", "HKEY_CURRENT_USER", Hive::CurrentUser},
      {"HKCR", "HKEY_CLASSES_ROOT", Hive::ClassesRoot},
      {"HKU", "HKEY_USERS", Hive::Users},
  }};
  for (const Name& name : kNames) {
    if (head == name.shortName || head == name.longName) {
      // A key directly on the hive's root would be the root itself: nothing to seed there.
      if (Trim(rest).empty()) throw Error("'" + std::string(key) + "' names no key below the hive");
      return {name.hive, std::move(rest)};
    }
  }
  throw Error("unknown hive '" + std::string(key.substr(0, slash)) + "'");
}

Plan ReadPlan(const json& description, const Folders& folders) {
  Plan plan;
  if (!description.is_object()) Fail("description", "not a JSON object");
  const json& groups = ArrayField(description, "machine", "description");
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const std::string group = "machine[" + std::to_string(g) + "]";
    const json& entry = groups[g];
    if (!entry.is_object()) Fail(group, "not an object");

    const json& directories = ArrayField(entry, "directories", group);
    for (std::size_t i = 0; i < directories.size(); ++i) {
      const std::string where = group + ".directories[" + std::to_string(i) + "]";
      if (!directories[i].is_string()) Fail(where, "not a text");
      try {
        plan.directories.push_back(Resolve(directories[i].get<std::string>(), folders));
      } catch (const Error& error) {
        Fail(where, error.what());
      }
    }

    const json& programs = ArrayField(entry, "programs", group);
    for (std::size_t i = 0; i < programs.size(); ++i) {
      const std::string where = group + ".programs[" + std::to_string(i) + "]";
      if (!programs[i].is_string()) Fail(where, "not a text");
      try {
        plan.programs.push_back(Resolve(programs[i].get<std::string>(), folders));
      } catch (const Error& error) {
        Fail(where, error.what());
      }
    }

    const json& files = ArrayField(entry, "files", group);
    for (std::size_t i = 0; i < files.size(); ++i) {
      const std::string where = group + ".files[" + std::to_string(i) + "]";
      if (!files[i].is_object()) Fail(where, "not an object");
      plan.files.push_back({TextField(files[i], "path", where, folders),
                            TextField(files[i], "text", where, folders, false)});
    }

    const json& registry = ArrayField(entry, "registry", group);
    for (std::size_t i = 0; i < registry.size(); ++i) {
      const std::string where = group + ".registry[" + std::to_string(i) + "]";
      if (!registry[i].is_object()) Fail(where, "not an object");
      RegistryWrite write;
      try {
        std::tie(write.hive, write.path) = SplitHive(TextField(registry[i], "key", where, folders));
      } catch (const Error& error) {
        Fail(where, error.what());
      }
      if (const auto values = registry[i].find("values"); values != registry[i].end()) {
        if (!values->is_object()) Fail(where, "'values' is not an object");
        for (const auto& [name, data] : values->items()) {
          write.values.emplace_back(name, ReadValue(data, where + ".values." + name, folders));
        }
      }
      plan.registry.push_back(std::move(write));
    }

    const json& shortcuts = ArrayField(entry, "shortcuts", group);
    for (std::size_t i = 0; i < shortcuts.size(); ++i) {
      const std::string where = group + ".shortcuts[" + std::to_string(i) + "]";
      const json& item = shortcuts[i];
      if (!item.is_object()) Fail(where, "not an object");
      Shortcut shortcut;
      shortcut.path = TextField(item, "path", where, folders);
      if (!LowerAscii(shortcut.path).ends_with(".lnk"))
        Fail(where, "a shortcut's path ends in .lnk");
      shortcut.target = TextField(item, "target", where, folders);
      shortcut.arguments = TextField(item, "arguments", where, folders, false);
      shortcut.workingDirectory = TextField(item, "workingDirectory", where, folders, false);
      shortcut.description = TextField(item, "description", where, folders, false);
      shortcut.iconPath = TextField(item, "icon", where, folders, false);
      plan.shortcuts.push_back(std::move(shortcut));
    }

    const json& services = ArrayField(entry, "services", group);
    for (std::size_t i = 0; i < services.size(); ++i) {
      const std::string where = group + ".services[" + std::to_string(i) + "]";
      if (!services[i].is_object()) Fail(where, "not an object");
      Service service{TextField(services[i], "name", where, folders),
                      TextField(services[i], "displayName", where, folders, false),
                      TextField(services[i], "binary", where, folders)};
      if (Trim(service.name).empty() || service.name.find('\\') != std::string::npos) {
        Fail(where, "a service name is not blank and holds no backslash");
      }
      plan.services.push_back(std::move(service));
    }
  }
  return plan;
}

std::vector<std::string> Apply(const Plan& plan, platform::Platform& platform, Shell& shell) {
  std::vector<std::string> failures;
  auto note = [&](std::string failure) {
    if (!failure.empty()) failures.push_back(std::move(failure));
  };

  for (const std::string& folder : plan.directories)
    note(MakeFolders(platform.files, folder));

  for (const std::string& program : plan.programs) {
    std::string failure = MakeFolders(platform.files, ParentOf(program));
    if (failure.empty()) failure = shell.CopyProgram(program);
    note(std::move(failure));
  }

  for (const FileWrite& file : plan.files) {
    if (std::string failure = MakeFolders(platform.files, ParentOf(file.path)); !failure.empty()) {
      note(std::move(failure));
      continue;
    }
    if (platform::ReadWholeFile(platform.files, file.path) == file.content) continue;
    if (const auto error = platform::WriteWholeFile(platform.files, file.path, file.content);
        error != platform::kSuccess) {
      note("cannot write " + file.path + " (" + ErrorText(error) + ")");
    }
  }

  for (const RegistryWrite& write : plan.registry) {
    const std::string name = std::string(platform::HiveName(write.hive)) + "\\" + write.path;
    platform::WinError error = platform::kSuccess;
    auto key = platform.registry.CreateKey(write.hive, write.path, &error);
    if (!key) {
      note("cannot create key " + name + " (" + ErrorText(error) + ")");
      continue;
    }
    for (const auto& [valueName, value] : write.values) {
      if (const auto failed = key->SetValue(valueName, value); failed != platform::kSuccess) {
        note("cannot set value '" + valueName + "' of " + name + " (" + ErrorText(failed) + ")");
      }
    }
  }

  for (const Shortcut& shortcut : plan.shortcuts) {
    std::string failure = MakeFolders(platform.files, ParentOf(shortcut.path));
    if (failure.empty()) failure = shell.MakeShortcut(shortcut);
    note(std::move(failure));
  }

  for (const Service& service : plan.services)
    note(shell.MakeService(service));
  return failures;
}

json ResolveExpected(const json& expected, const Folders& folders, platform::FileSystem& files) {
  if (expected.is_string()) return Resolve(expected.get<std::string>(), folders);
  if (expected.is_object()) {
    json result = json::object();
    for (const auto& [name, item] : expected.items()) {
      result[name] = ResolveExpected(item, folders, files);
    }
    return result;
  }
  if (!expected.is_array()) return expected;
  json result = json::array();
  for (const json& item : expected) {
    const bool listing = item.is_object() && item.size() == 1 && item.contains("listing");
    if (!listing) {
      result.push_back(ResolveExpected(item, folders, files));
      continue;
    }
    if (!item["listing"].is_string()) throw Error("a listing names a folder");
    std::string folder = Resolve(item["listing"].get<std::string>(), folders);
    if (folder.empty() || folder.back() != '\\') folder.push_back('\\');
    auto search = files.FindFirst(folder + "*.*");
    if (!search) throw Error("cannot list " + folder);
    do {
      const platform::FindData& entry = search->Current();
      if (entry.IsDirectory()) continue;
      result.push_back({{"path", LowerAscii(folder + entry.name)}, {"type", "File"}});
    } while (search->Next());
  }
  return result;
}

}  // namespace sv::seed
