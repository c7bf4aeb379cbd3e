#include "svdb/svdb.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include "common/codepage.h"
#include "common/datetime.h"
#include "common/paths.h"
#include "common/text.h"
#include "database/db_format.h"
#include "database/opUninstallFile.h"
#include "platform/fake/fake_machine.h"
#include "policy/removal_policy.h"

namespace sv::svdb {

namespace {

using nlohmann::json;
using namespace sv::database;

constexpr std::size_t kMaxPrograms = 65535;  // the window counts them in 16 bits

struct TextField {
  const char* name;
  std::string Program::*member;
  std::size_t capacity;
};

constexpr TextField kTextFields[] = {
    {"id", &Program::id, kIdCapacity},
    {"name", &Program::name, kNameCapacity},
    {"services", &Program::services, kListCapacity},
    {"processes", &Program::processes, kListCapacity},
    {"spare", &Program::spare, kSpareCapacity},
    {"installFolder", &Program::installFolder, kPathCapacity},
    {"desktop", &Program::desktop, kPathCapacity},
    {"programs", &Program::programs, kPathCapacity},
    {"startup", &Program::startup, kPathCapacity},
    {"startMenu", &Program::startMenu, kPathCapacity},
};

constexpr const char* kKindNames[] = {"file", "key", "value", "directory"};

bool IsFileSystemKind(std::int32_t kind) {
  return kind == kKindFile || kind == kKindDirectory;
}

// The first byte below 0x20 (NUL, tab, line break, ...), or npos.
std::size_t FindControlCharacter(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) < 0x20) return i;
  }
  return std::string_view::npos;
}

std::string Where(std::size_t index, const Program& program) {
  std::string where = "software[" + std::to_string(index) + "]";
  // An ID with control characters is refused; the message must not carry them.
  if (!program.id.empty() && FindControlCharacter(program.id) == std::string::npos) {
    where += " (" + program.id + ")";
  }
  return where;
}

// The field's bytes as the file holds them; refuses what code page 1252 cannot hold or what
// does not fit.
std::string Encode(const std::string& text, std::size_t capacity, const std::string& where) {
  // Windows ends a name at a NUL: C:\Acme\<NUL>x would stand for the folder C:\Acme. Other
  // control characters have no place in names or lists either.
  if (const std::size_t at = FindControlCharacter(text); at != std::string::npos) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const auto byte = static_cast<unsigned char>(text[at]);
    throw SourceError(where + ": holds the control character 0x" + kHex[byte >> 4] +
                      kHex[byte & 0xF] + " at position " + std::to_string(at));
  }
  bool lossless = true;
  std::string bytes = Utf8ToCp1252(text, &lossless);
  if (!lossless) {
    throw SourceError(where + ": '" + text + "' holds characters that code page 1252 lacks");
  }
  if (bytes.size() > capacity) {
    throw SourceError(where + ": '" + text + "' is " + std::to_string(bytes.size()) +
                      " characters long, at most " + std::to_string(capacity) + " fit");
  }
  return bytes;
}

std::string Decode(std::string_view bytes) {
  return Cp1252ToUtf8(bytes);
}

const json& Member(const json& object, const char* name, const std::string& where) {
  const auto it = object.find(name);
  if (it == object.end()) throw SourceError(where + ": field '" + name + "' is missing");
  return *it;
}

std::string StringMember(const json& object, const char* name, const std::string& where,
                         bool required) {
  const auto it = object.find(name);
  if (it == object.end()) {
    if (required) throw SourceError(where + ": field '" + name + "' is missing");
    return {};
  }
  if (!it->is_string()) throw SourceError(where + ": field '" + name + "' must be a text");
  return it->get<std::string>();
}

std::int32_t IntMember(const json& value, const std::string& where) {
  if (!value.is_number_integer()) throw SourceError(where + " must be a whole number");
  const auto number = value.get<std::int64_t>();
  if (number < INT32_MIN || number > INT32_MAX) {
    throw SourceError(where + " does not fit in 32 bits");
  }
  return static_cast<std::int32_t>(number);
}

void RefuseUnknownMembers(const json& object, std::initializer_list<std::string_view> known,
                          const std::string& where) {
  for (const auto& [key, value] : object.items()) {
    if (std::find(known.begin(), known.end(), key) == known.end()) {
      throw SourceError(where + ": unknown field '" + key + "'");
    }
  }
}

std::int32_t ParseKind(const json& value, const std::string& where) {
  if (value.is_string()) {
    const std::string name = value.get<std::string>();
    for (std::int32_t kind = 1; kind <= 4; ++kind) {
      if (name == kKindNames[kind - 1]) return kind;
    }
    throw SourceError(where + ": unknown item kind '" + name + "' (file, key, value or directory)");
  }
  if (value.is_number_integer()) {
    const auto kind = value.get<std::int64_t>();
    if (kind >= 1 && kind <= 4) return static_cast<std::int32_t>(kind);
    throw SourceError(where + ": unknown item kind " + std::to_string(kind) + " (1 to 4)");
  }
  throw SourceError(where + ": the item kind must be a name or a number");
}

Program ParseProgram(const json& object, std::size_t index) {
  std::string where = "software[" + std::to_string(index) + "]";
  if (!object.is_object()) throw SourceError(where + " must be an object");
  Program program;
  program.id = StringMember(object, "id", where, true);
  where = Where(index, program);
  RefuseUnknownMembers(object,
                       {"id", "name", "category", "services", "processes", "spare", "installFolder",
                        "desktop", "programs", "startup", "startMenu", "locations", "items"},
                       where);
  for (const TextField& field : kTextFields) {
    if (std::string_view(field.name) == "id") continue;
    program.*field.member =
        StringMember(object, field.name, where, std::string_view(field.name) == "name");
  }
  program.category = IntMember(Member(object, "category", where), where + ": field 'category'");

  if (const auto it = object.find("locations"); it != object.end()) {
    if (!it->is_array()) throw SourceError(where + ": field 'locations' must be a list");
    for (std::size_t k = 0; k < it->size(); ++k) {
      const json& location = (*it)[k];
      const std::string at = where + " locations[" + std::to_string(k) + "]";
      if (!location.is_object()) throw SourceError(at + " must be an object");
      RefuseUnknownMembers(location, {"key", "value"}, at);
      program.locations.push_back(
          {StringMember(location, "key", at, true), StringMember(location, "value", at, true)});
    }
  }
  if (const auto it = object.find("items"); it != object.end()) {
    if (!it->is_array()) throw SourceError(where + ": field 'items' must be a list");
    for (std::size_t k = 0; k < it->size(); ++k) {
      const json& item = (*it)[k];
      const std::string at = where + " items[" + std::to_string(k) + "]";
      if (!item.is_object()) throw SourceError(at + " must be an object");
      RefuseUnknownMembers(item, {"kind", "path"}, at);
      program.items.push_back(
          {ParseKind(Member(item, "kind", at), at), StringMember(item, "path", at, true)});
    }
  }
  return program;
}

// ---- Lint ---------------------------------------------------------------------------------

std::vector<std::string> Segments(std::string_view path) {
  std::vector<std::string> segments;
  for (const std::string& segment : SplitSkippingEmpty(path, '\\')) {
    segments.push_back(LowerAscii(segment));
  }
  return segments;
}

// The segments of a file-system path (after its drive) as Windows resolves them: "." falls
// away, ".." goes up (never above the root), trailing dots and blanks fall away, "/" separates too.
// A segment of dots and blanks only goes up as well: better to warn once too often.
std::vector<std::string> ResolvedSegments(std::string_view path) {
  std::vector<std::string> segments;
  for (const std::string& raw : SplitSkippingEmpty(ReplaceAll(path, "/", "\\"), '\\')) {
    std::string segment = LowerAscii(raw);
    const std::size_t dots =
        static_cast<std::size_t>(std::count(segment.begin(), segment.end(), '.'));
    if (segment.find_first_not_of(". ") == std::string::npos) {
      if (dots >= 2 && !segments.empty()) segments.pop_back();
      continue;
    }
    while (segment.back() == '.' || segment.back() == ' ')
      segment.pop_back();
    segments.push_back(std::move(segment));
  }
  return segments;
}

std::string JoinSegments(const std::vector<std::string>& segments, std::size_t from) {
  std::string joined;
  for (std::size_t i = from; i < segments.size(); ++i) {
    joined += (i > from ? "\\" : "") + segments[i];
  }
  return joined;
}

bool IsAsciiLetterOrDigit(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// A macro the table does not know, or a marker that stayed: "{" and 1 to 10 letters or digits
// and "}". Braces around anything else (a GUID such as {0000031A-0000-...}) are a name.
bool HasUnknownMacro(std::string_view text) {
  for (std::size_t open = text.find('{'); open != std::string_view::npos;
       open = text.find('{', open + 1)) {
    std::size_t end = open + 1;
    while (end < text.size() && IsAsciiLetterOrDigit(text[end]))
      ++end;
    const std::size_t length = end - open - 1;
    if (end < text.size() && text[end] == '}' && length >= 1 && length <= 10) return true;
  }
  return false;
}

bool IsOneOf(const std::string& text, std::initializer_list<std::string_view> names) {
  return std::find(names.begin(), names.end(), text) != names.end();
}

// Why deleting this folder or file would harm the machine, or empty.
std::string FileSystemDanger(const std::string& expanded, platform::System& system) {
  if (HasUnknownMacro(expanded)) return "keeps an unknown or unexpanded macro";
  // A file item is looked up with a search: a pattern stands for whatever it finds first.
  if (expanded.find_first_of("*?") != std::string::npos) return "holds a wildcard (* or ?)";
  if (expanded.size() < 3 || expanded[1] != ':' || (expanded[2] != '\\' && expanded[2] != '/')) {
    return "is not a full path";
  }
  const std::vector<std::string> segments = ResolvedSegments(expanded.substr(3));
  if (segments.empty()) return "expands to a drive root";
  const std::string resolved = LowerAscii(expanded.substr(0, 3)) + JoinSegments(segments, 0);
  const std::string& top = segments[0];
  if (top == "windows" || top == "winnt") {
    if (segments.size() == 1) return "expands to the Windows folder";
    if (segments.size() == 2 && IsOneOf(segments[1], {"system32", "system", "syswow64"})) {
      return "expands to the system folder";
    }
    if (segments.size() == 2 &&
        IsOneOf(segments[1], {"fonts", "temp", "installer", "inf", "help", "resources"})) {
      return "expands to a Windows folder itself";
    }
  }
  if (IsOneOf(top, {"program files", "program files (x86)"})) {
    if (segments.size() == 1) return "expands to a Program Files root";
    if (segments.size() == 2 && segments[1] == "common files") {
      return "expands to a Program Files root";
    }
  }
  if (top == "programdata" && segments.size() == 1) return "expands to a shell folder itself";
  if (IsOneOf(top, {"documents and settings", "users"})) {
    if (segments.size() <= 2) return "expands to a profile root";
    // The folders every profile has, in the old and the new layout.
    const std::string rest = JoinSegments(segments, 2);
    if (IsOneOf(rest, {"application data",
                       "local settings",
                       "local settings\\application data",
                       "local settings\\temp",
                       "local settings\\history",
                       "local settings\\temporary internet files",
                       "my documents",
                       "my documents\\my music",
                       "my documents\\my pictures",
                       "desktop",
                       "start menu",
                       "start menu\\programs",
                       "start menu\\programs\\startup",
                       "favorites",
                       "cookies",
                       "templates",
                       "sendto",
                       "recent",
                       "nethood",
                       "printhood",
                       "documents",
                       "downloads",
                       "music",
                       "pictures",
                       "videos",
                       "appdata",
                       "appdata\\roaming",
                       "appdata\\local",
                       "appdata\\locallow",
                       "appdata\\roaming\\microsoft",
                       "appdata\\local\\microsoft",
                       "application data\\microsoft",
                       "local settings\\application data\\microsoft",
                       "temp"})) {
      return "expands to a shell folder itself";
    }
  }
  for (int csidl = 0; csidl <= 0x3B; ++csidl) {
    const std::string folder = LowerAscii(system.SpecialFolder(csidl));
    const std::string_view trimmed = WithoutTrailingBackslashes(folder);
    if (!trimmed.empty() && trimmed == resolved) return "expands to a shell folder itself";
  }
  return {};
}

// Keys of the classes that hold every program's registrations.
bool IsClassesTopLevel(const std::string& name) {
  return IsOneOf(name, {"clsid", "typelib", "interface", "appid", "installer", "*", "directory",
                        "folder", "drive", "allfilesystemobjects", "applications", "wow6432node"});
}

// Keys below SOFTWARE that every program shares (autostart, uninstall entries, shell folders,
// policies, ...): one program's own entry lives below them, never as them.
bool IsSharedSoftwareKey(const std::string& path) {
  static const std::set<std::string, std::less<>> kShared = [] {
    std::set<std::string, std::less<>> keys{
        "microsoft\\windows",           "microsoft\\windows\\currentversion",
        "microsoft\\windows nt",        "microsoft\\windows nt\\currentversion",
        "microsoft\\active setup",      "microsoft\\active setup\\installed components",
        "microsoft\\internet explorer", "microsoft\\command processor",
        "microsoft\\shared tools",      "microsoft\\cryptography",
        "policies\\microsoft\\windows",
    };
    for (const char* child : {"run",
                              "runonce",
                              "runonceex",
                              "runservices",
                              "runservicesonce",
                              "uninstall",
                              "app paths",
                              "explorer",
                              "shell extensions",
                              "shell extensions\\approved",
                              "shell extensions\\blocked",
                              "shareddlls",
                              "policies",
                              "policies\\explorer",
                              "policies\\system",
                              "installer",
                              "installer\\userdata",
                              "internet settings",
                              "internet settings\\zones",
                              "internet settings\\zonemap",
                              "setup",
                              "group policy",
                              "windowsupdate",
                              "shellserviceobjectdelayload",
                              "controls folder",
                              "applets",
                              "authentication",
                              "explorer\\shell folders",
                              "explorer\\user shell folders",
                              "explorer\\shellexecutehooks",
                              "explorer\\browser helper objects",
                              "explorer\\fileexts",
                              "explorer\\desktop",
                              "explorer\\desktop\\namespace",
                              "explorer\\mycomputer",
                              "explorer\\mycomputer\\namespace",
                              "explorer\\advanced",
                              "explorer\\run",
                              "explorer\\shelliconoverlayidentifiers",
                              "explorer\\autoplayhandlers",
                              "explorer\\autoplayhandlers\\handlers",
                              "explorer\\startupapproved",
                              "explorer\\startupapproved\\run",
                              "explorer\\startmenu"}) {
      keys.insert(std::string("microsoft\\windows\\currentversion\\") + child);
    }
    for (const char* child :
         {"winlogon", "image file execution options", "fonts", "fontsubstitutes", "windows",
          "profilelist", "svchost", "appcompatflags", "drivers32", "aedebug", "silentprocessexit",
          "winlogon\\notify"}) {
      keys.insert(std::string("microsoft\\windows nt\\currentversion\\") + child);
    }
    for (const char* child : {"main", "extensions", "toolbar", "explorer bars", "searchscopes"}) {
      keys.insert(std::string("microsoft\\internet explorer\\") + child);
    }
    return keys;
  }();
  return kShared.contains(path);
}

bool IsControlSet(const std::string& name) {
  return name == "currentcontrolset" ||
         (name.size() == 13 && name.starts_with("controlset") &&
          std::all_of(name.begin() + 10, name.end(), [](char c) { return c >= '0' && c <= '9'; }));
}

// Why deleting this key below SYSTEM would harm the machine, or empty. `segments` start after
// "SYSTEM".
std::string SystemKeyDanger(const std::vector<std::string>& segments) {
  if (segments.size() == 1) return "expands to a top-level key under SYSTEM";
  if (!IsControlSet(segments[0])) return {};
  // A service's or a driver's own key below Services is fine; Services itself is not.
  const std::string rest = JoinSegments(segments, 1);
  if (IsOneOf(rest, {"services", "control", "enum", "hardware profiles", "control\\session manager",
                     "control\\session manager\\environment", "control\\class", "control\\safeboot",
                     "control\\safeboot\\minimal", "control\\safeboot\\network",
                     "services\\eventlog", "services\\eventlog\\application",
                     "services\\eventlog\\system", "services\\eventlog\\security"})) {
    return "expands to a shared system key (" + rest + ")";
  }
  return {};
}

// Why deleting this key (or a value at this place) would harm the machine, or empty.
std::string RegistryDanger(const std::string& expanded, std::int32_t kind) {
  if (HasUnknownMacro(expanded)) return "keeps an unknown or unexpanded macro";
  const std::size_t slash = expanded.find('\\');
  if (slash == std::string::npos) return "has no key path";
  const std::string hive = expanded.substr(0, slash);
  if (hive == "HKEY_CURRENT_CONFIG") return "does not begin with HKLM, HKCU, HKCR or HKU";
  std::vector<std::string> segments = Segments(expanded.substr(slash));
  // The registry takes them as names; a maintainer who wrote them meant a folder's parent.
  for (const std::string& segment : segments) {
    if (segment == "." || segment == "..") return "has a '.' or '..' segment";
  }
  if (kind == kKindValue) {
    if (expanded.back() == '\\') return {};  // the key's default value
    if (segments.empty()) return "has no value name";
    return {};
  }
  if (segments.empty()) return "expands to a hive root";
  if (hive == "HKEY_CLASSES_ROOT") {
    if (segments.size() == 1 && IsClassesTopLevel(segments[0])) {
      return "expands to a top-level key of HKEY_CLASSES_ROOT";
    }
    return {};
  }
  std::size_t software = 0;
  if (hive == "HKEY_USERS") {
    if (segments.size() == 1) return "expands to a user's hive root";
    software = 1;
  }
  if (segments.size() > software && segments[software] == "software") {
    // The 32-bit view of SOFTWARE holds the same shared keys.
    if (segments.size() > software + 2 && segments[software + 1] == "wow6432node") {
      segments.erase(segments.begin() + static_cast<std::ptrdiff_t>(software) + 1);
    }
    if (segments.size() <= software + 2) return "expands to SOFTWARE or a top-level key under it";
    if (segments.size() == software + 3 && segments[software + 1] == "classes" &&
        IsClassesTopLevel(segments[software + 2])) {
      return "expands to a top-level key of the classes";
    }
    if (IsSharedSoftwareKey(JoinSegments(segments, software + 1))) {
      return "expands to a key every program shares (" + JoinSegments(segments, software + 1) + ")";
    }
  }
  if (hive != "HKEY_USERS" && segments.size() == 1) return "expands to a top-level key of the hive";
  if (hive == "HKEY_LOCAL_MACHINE" && segments[0] == "system") {
    return SystemKeyDanger(std::vector<std::string>(segments.begin() + 1, segments.end()));
  }
  return {};
}

void LintCommaList(const std::string& list, const std::string& where,
                   std::vector<std::string>& findings) {
  if (TrimView(list).empty()) return;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = list.find(',', start);
    const std::string_view piece =
        std::string_view(list).substr(start, comma == std::string::npos ? comma : comma - start);
    if (TrimView(piece).empty()) {
      findings.push_back(where + ": empty piece in the comma list '" + list + "'");
      return;
    }
    if (comma == std::string::npos) return;
    start = comma + 1;
  }
}

}  // namespace

std::string_view KindName(std::int32_t kind) {
  return kind >= 1 && kind <= 4 ? kKindNames[kind - 1] : "unknown";
}

void CheckSource(const Source& source) {
  if (source.software.size() > kMaxPrograms) {
    throw SourceError("more than " + std::to_string(kMaxPrograms) + " software records");
  }
  std::map<std::string, std::size_t, std::less<>> ids;
  for (std::size_t i = 0; i < source.software.size(); ++i) {
    const Program& program = source.software[i];
    const std::string where = Where(i, program);
    if (TrimView(program.id).empty()) throw SourceError(where + ": field 'id' is empty");
    if (program.id != Trim(program.id)) {
      throw SourceError(where + ": field 'id' has leading or trailing blanks");
    }
    if (TrimView(program.name).empty()) throw SourceError(where + ": field 'name' is empty");
    for (const TextField& field : kTextFields) {
      (void)Encode(program.*field.member, field.capacity,
                   where + ": field '" + std::string(field.name) + "'");
    }
    if (program.category < 1 || program.category > 10) {
      throw SourceError(where + ": field 'category' is " + std::to_string(program.category) +
                        ", not 1 to 10");
    }
    // The files join records by ID without regard to letter case.
    const auto [it, added] = ids.emplace(UpperAscii(program.id), i);
    if (!added) {
      throw SourceError(where + ": duplicate id '" + program.id + "' (also software[" +
                        std::to_string(it->second) + "])");
    }
    for (std::size_t k = 0; k < program.locations.size(); ++k) {
      const std::string at = where + " locations[" + std::to_string(k) + "]";
      if (TrimView(program.locations[k].key).empty()) throw SourceError(at + ": key is empty");
      (void)Encode(program.locations[k].key, kPathCapacity, at + ": key");
      (void)Encode(program.locations[k].value, kValueNameCapacity, at + ": value");
    }
    for (std::size_t k = 0; k < program.items.size(); ++k) {
      const Item& item = program.items[k];
      const std::string at = where + " items[" + std::to_string(k) + "]";
      if (item.kind < 1 || item.kind > 4) {
        throw SourceError(at + ": unknown item kind " + std::to_string(item.kind));
      }
      if (TrimView(item.path).empty()) throw SourceError(at + ": path is empty");
      (void)Encode(item.path, kItemCapacity, at + ": path");
    }
  }
}

Source ParseSource(std::string_view text) {
  json root;
  try {
    root = json::parse(text.begin(), text.end());
  } catch (const json::parse_error& error) {
    throw SourceError(std::string("not valid JSON: ") + error.what());
  }
  if (!root.is_object()) throw SourceError("the source must be a JSON object");
  RefuseUnknownMembers(root, {"stamp", "softStamp", "software"}, "the source");
  Source source;
  if (const auto it = root.find("stamp"); it != root.end() && !it->is_null()) {
    source.stamp = IntMember(*it, "field 'stamp'");
  }
  if (const auto it = root.find("softStamp"); it != root.end() && !it->is_null()) {
    source.softStamp = IntMember(*it, "field 'softStamp'");
  }
  const json& software = Member(root, "software", "the source");
  if (!software.is_array()) throw SourceError("field 'software' must be a list");
  for (std::size_t i = 0; i < software.size(); ++i) {
    source.software.push_back(ParseProgram(software[i], i));
  }
  CheckSource(source);
  return source;
}

std::string SourceToJson(const Source& source) {
  json root = json::object();
  if (source.stamp) root["stamp"] = *source.stamp;
  if (source.softStamp) root["softStamp"] = *source.softStamp;
  json software = json::array();
  for (const Program& program : source.software) {
    json object = json::object();
    object["id"] = program.id;
    object["name"] = program.name;
    object["category"] = program.category;
    for (const TextField& field : kTextFields) {
      const std::string_view name = field.name;
      if (name == "id" || name == "name") continue;
      object[field.name] = program.*field.member;
    }
    json locations = json::array();
    for (const Location& location : program.locations) {
      locations.push_back({{"key", location.key}, {"value", location.value}});
    }
    object["locations"] = locations;
    json items = json::array();
    for (const Item& item : program.items) {
      items.push_back({{"kind", KindName(item.kind)}, {"path", item.path}});
    }
    object["items"] = items;
    software.push_back(object);
  }
  root["software"] = software;
  return root.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

Source InFileOrder(Source source) {
  for (Program& program : source.software) {
    std::stable_partition(program.items.begin(), program.items.end(),
                          [](const Item& item) { return IsFileSystemKind(item.kind); });
  }
  return source;
}

DatabaseFiles BuildDatabase(const Source& original, std::int32_t nowStamp) {
  CheckSource(original);
  // The files keep file-system items and registry items in two runs.
  const Source source = InFileOrder(original);
  const std::int32_t dataStamp = source.stamp.value_or(nowStamp);
  const std::int32_t softStamp = source.softStamp.value_or(dataStamp);
  const auto count = static_cast<std::int64_t>(source.software.size());

  DatabaseFiles files;
  files.data = SerializeDataHeader({dataStamp, DateTimeFromBuildStamp(dataStamp),
                                    static_cast<std::int32_t>(count), 0, 0,
                                    static_cast<std::int32_t>(kDataHeaderSize)});
  std::string items;
  std::int64_t nextItem = kDataHeaderSize + count * kIndexEntrySize;
  for (const Program& program : source.software) {
    IndexEntry entry;
    entry.id = Utf8ToCp1252(program.id);
    entry.offset = static_cast<std::int32_t>(nextItem);
    for (const Item& item : program.items) {
      ++(IsFileSystemKind(item.kind) ? entry.fileCount : entry.registryCount);
      items += SerializeItemRecord({item.kind, Utf8ToCp1252(item.path)});
    }
    nextItem += kItemRecordSize * static_cast<std::int64_t>(program.items.size());
    files.data += SerializeIndexEntry(entry);
  }
  files.data += items;

  files.soft = SerializeSoftHeader(
      {softStamp, DateTimeFromBuildStamp(softStamp), static_cast<std::int32_t>(count)});
  std::string locations;
  std::int64_t nextLocation = kSoftHeaderSize + count * kSoftRecordSize;
  for (const Program& program : source.software) {
    SoftRecord record;
    record.id = Utf8ToCp1252(program.id);
    record.name = Utf8ToCp1252(program.name);
    record.category = program.category;
    record.services = Utf8ToCp1252(program.services);
    record.processes = Utf8ToCp1252(program.processes);
    record.spare = Utf8ToCp1252(program.spare);
    record.installFolder = Utf8ToCp1252(program.installFolder);
    record.desktop = Utf8ToCp1252(program.desktop);
    record.programs = Utf8ToCp1252(program.programs);
    record.startup = Utf8ToCp1252(program.startup);
    record.startMenu = Utf8ToCp1252(program.startMenu);
    record.locationOffset = static_cast<std::int32_t>(nextLocation);
    record.locationCount = static_cast<std::int32_t>(program.locations.size());
    for (const Location& location : program.locations) {
      locations +=
          SerializeLocationRecord({Utf8ToCp1252(location.key), Utf8ToCp1252(location.value)});
    }
    nextLocation += kLocationRecordSize * static_cast<std::int64_t>(program.locations.size());
    files.soft += SerializeSoftRecord(record);
  }
  files.soft += locations;
  return files;
}

Source ReadDatabase(std::string_view data, std::string_view soft) {
  const auto dataImage = std::as_bytes(std::span(data.data(), data.size()));
  const auto softImage = std::as_bytes(std::span(soft.data(), soft.size()));
  const Image dataBytes(reinterpret_cast<const std::uint8_t*>(dataImage.data()), dataImage.size());
  const Image softBytes(reinterpret_cast<const std::uint8_t*>(softImage.data()), softImage.size());

  const auto dataHeader = ParseDataHeader(dataBytes);
  if (!dataHeader) throw SourceError("SV.dat is shorter than its header");
  const auto softHeader = ParseSoftHeader(softBytes);
  if (!softHeader) throw SourceError("soft.dat is shorter than its header");

  Source source;
  source.stamp = dataHeader->stamp;
  if (softHeader->stamp != dataHeader->stamp) source.softStamp = softHeader->stamp;

  std::map<std::string, IndexEntry, std::less<>> entries;
  std::vector<std::string> entryOrder;
  for (std::int64_t i = 0; i < dataHeader->count; ++i) {
    const auto entry =
        ParseIndexEntry(dataBytes, RecordOffset(kDataHeaderSize, i, kIndexEntrySize));
    if (!entry) throw SourceError("SV.dat: index entry " + std::to_string(i) + " is cut off");
    const std::string key = UpperAscii(Trim(Decode(entry->id)));
    if (!entries.emplace(key, *entry).second) {
      throw SourceError("SV.dat: duplicate index id '" + Decode(entry->id) + "'");
    }
    entryOrder.push_back(key);
  }

  std::vector<std::string> recordOrder;
  for (std::int64_t i = 0; i < softHeader->count; ++i) {
    const auto record =
        ParseSoftRecord(softBytes, RecordOffset(kSoftHeaderSize, i, kSoftRecordSize));
    if (!record)
      throw SourceError("soft.dat: software record " + std::to_string(i) + " is cut off");
    Program program;
    program.id = Decode(record->id);
    program.name = Decode(record->name);
    program.category = record->category;
    program.services = Decode(record->services);
    program.processes = Decode(record->processes);
    program.spare = Decode(record->spare);
    program.installFolder = Decode(record->installFolder);
    program.desktop = Decode(record->desktop);
    program.programs = Decode(record->programs);
    program.startup = Decode(record->startup);
    program.startMenu = Decode(record->startMenu);
    const std::string where = Where(static_cast<std::size_t>(i), program);
    for (std::int64_t k = 0; k < record->locationCount; ++k) {
      const auto location = ParseLocationRecord(
          softBytes, RecordOffset(record->locationOffset, k, kLocationRecordSize));
      if (!location) throw SourceError("soft.dat " + where + ": location record cut off");
      program.locations.push_back({Decode(location->key), Decode(location->valueName)});
    }
    const std::string key = UpperAscii(Trim(program.id));
    const auto entry = entries.find(key);
    if (entry == entries.end()) throw SourceError("soft.dat " + where + ": no index entry");
    const std::int64_t total = std::int64_t{std::max(entry->second.fileCount, 0)} +
                               std::max(entry->second.registryCount, 0);
    for (std::int64_t k = 0; k < total; ++k) {
      const auto item =
          ParseItemRecord(dataBytes, RecordOffset(entry->second.offset, k, kItemRecordSize));
      if (!item) throw SourceError("SV.dat " + where + ": item record cut off");
      program.items.push_back({item->kind, Decode(item->item)});
    }
    recordOrder.push_back(key);
    source.software.push_back(std::move(program));
  }
  if (recordOrder != entryOrder) {
    throw SourceError("the index and the software records differ in their IDs or their order");
  }
  return source;
}

std::vector<std::string> LintSource(const Source& source) {
  std::vector<std::string> findings;
  // Expand the items as they would expand on a standard machine, with the program's own rules.
  fake::FakeMachine machine(fake::FakeMachine::Layout::Standard);
  machine.files.PutDirectory("C:\\Program Files\\Sorvane");
  platform::Platform platform = machine.Get();
  TUFileOp database(platform);

  for (std::size_t i = 0; i < source.software.size(); ++i) {
    const Program& program = source.software[i];
    const std::string where = Where(i, program);
    for (const TextField& field : kTextFields) {
      const std::string_view name = field.name;
      if (name == "services" || name == "processes" || name == "desktop" || name == "programs" ||
          name == "startup" || name == "startMenu") {
        LintCommaList(program.*field.member, where + " " + field.name, findings);
      }
    }
    // The lookup by name takes the first record whose name begins the program's name; a later
    // name that begins with an earlier one never gets its own answer.
    const std::string_view name = TrimView(program.name);
    for (std::size_t j = 0; j < i; ++j) {
      const std::string_view earlier = TrimView(source.software[j].name);
      if (!earlier.empty() && StartsWithTextAscii(name, earlier)) {
        findings.push_back(where + " name: '" + std::string(name) + "' begins with the name '" +
                           std::string(earlier) + "' of " + Where(j, source.software[j]) +
                           ", which is found first: the software is unreachable");
        break;
      }
    }
    const std::string folder = Trim(program.installFolder);
    if (!folder.empty()) {
      if (folder[0] < '0' || folder[0] > '3') {
        findings.push_back(where + " installFolder: '" + folder +
                           "' does not begin with a digit 0 to 3");
      } else if (TrimView(std::string_view(folder).substr(1)).empty()) {
        findings.push_back(where + " installFolder: nothing after the digit in '" + folder + "'");
      }
    }
    for (std::size_t k = 0; k < program.items.size(); ++k) {
      const Item& item = program.items[k];
      const auto kind = static_cast<std::uint16_t>(item.kind);
      // "{x}" is a profile folder found on the machine; stand in a typical one.
      const std::string expanded =
          ReplaceAll(database.ExpandPath(item.path, kind), "{x}", "lint.default");
      const std::string danger = IsFileSystemKind(item.kind)
                                     ? FileSystemDanger(expanded, machine.system)
                                     : RegistryDanger(expanded, item.kind);
      if (!danger.empty()) {
        findings.push_back(where + " items[" + std::to_string(k) +
                           "]: " + std::string(KindName(item.kind)) + " '" + item.path + "' " +
                           danger + " (" + expanded + ")");
      }
    }
    for (std::size_t k = 0; k < program.locations.size(); ++k) {
      const std::string expanded = database.ExpandPath(program.locations[k].key, kKindKey);
      if (HasUnknownMacro(expanded) || expanded.starts_with("HKEY_CURRENT_CONFIG")) {
        findings.push_back(where + " locations[" + std::to_string(k) + "]: key '" +
                           program.locations[k].key + "' does not expand (" + expanded + ")");
      }
    }
  }
  return findings;
}

std::vector<std::string> PolicyNotes(const Source& source) {
  std::vector<std::string> notes;
  // The same standard machine as the lint, with the removal's own policy: what it keeps
  // whatever a machine shows, because of where the entry points.
  fake::FakeMachine machine(fake::FakeMachine::Layout::Standard);
  machine.files.PutDirectory("C:\\Program Files\\Sorvane");
  platform::Platform platform = machine.Get();
  TUFileOp database(platform);
  policy::RemovalPolicy removalPolicy(platform);
  for (std::size_t i = 0; i < source.software.size(); ++i) {
    const Program& program = source.software[i];
    const std::string where = Where(i, program);
    policy::ProgramFacts facts;
    facts.softwareId = Trim(program.id);
    facts.databaseName = Trim(program.name);
    const std::string code = Trim(program.installFolder);
    if (code.size() >= 2 && code[0] >= '0' && code[0] <= '3') {
      static constexpr const char* kRoots[] = {"C:\\", "C:\\Program Files\\", "C:\\windows\\",
                                               "C:\\windows\\system32\\"};
      facts.installFolders.push_back(kRoots[code[0] - '0'] + code.substr(1));
    }
    std::vector<std::string> expanded;
    for (const Item& item : program.items) {
      const auto kind = static_cast<std::uint16_t>(item.kind);
      expanded.push_back(ReplaceAll(database.ExpandPath(item.path, kind), "{x}", "lint.default"));
      if (item.kind == kKindDirectory) facts.installFolders.push_back(expanded.back());
    }
    removalPolicy.SetProgram(facts);
    for (std::size_t k = 0; k < program.items.size(); ++k) {
      const Item& item = program.items[k];
      const std::string& path = expanded[k];
      policy::Decision decision;
      if (item.kind == kKindFile) {
        decision = removalPolicy.DecidePath(path, policy::PathUse::File, policy::Source::Database);
      } else if (item.kind == kKindDirectory) {
        decision = removalPolicy.DecidePath(path, policy::PathUse::Tree, policy::Source::Database);
      } else if (item.kind == kKindKey) {
        decision = removalPolicy.DecideKey(path, policy::Source::Database);
      } else {
        const std::size_t slash = path.rfind('\\');
        decision = slash == std::string::npos
                       ? policy::Decision{false, true, "names no value of a key"}
                       : removalPolicy.DecideValue(path.substr(0, slash), path.substr(slash + 1),
                                                   policy::Source::Database);
      }
      if (!decision.allowed && decision.byPlace) {
        notes.push_back(where + " items[" + std::to_string(k) +
                        "]: " + std::string(KindName(item.kind)) + " '" + item.path + "' " +
                        decision.reason + " (" + path + ")");
      }
    }
    for (const std::string& service : SplitCommaList(program.services)) {
      if (service.empty()) continue;
      const policy::Decision decision = removalPolicy.DecideService(service);
      if (!decision.allowed && decision.byPlace)
        notes.push_back(where + " services: '" + service + "' " + decision.reason);
    }
  }
  return notes;
}

std::int32_t NowStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  DateTimeParts parts;
  parts.year = local.tm_year + 1900;
  parts.month = local.tm_mon + 1;
  parts.day = local.tm_mday;
  parts.hour = local.tm_hour;
  parts.minute = local.tm_min;
  parts.second = std::min(local.tm_sec, 59);
  return BuildStampFromDateTime(EncodeDateTime(parts).value_or(kUnixEpochDate));
}

namespace {

std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string ReadFile(const std::string& path) {
  std::ifstream stream(PathOf(path), std::ios::binary);
  if (!stream) throw SourceError("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream stream(PathOf(path), std::ios::binary | std::ios::trunc);
  stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  stream.close();
  if (!stream) throw SourceError("cannot write " + path);
}

std::string Join(const std::string& folder, const char* name) {
  const std::u8string joined = (PathOf(folder) / name).u8string();
  return std::string(joined.begin(), joined.end());
}

constexpr const char* kUsage =
    "usage: svdb build SOURCE.json OUTDIR   make SV.dat and soft.dat\n"
    "       svdb dump DIR                   print the database in DIR as a source\n"
    "       svdb lint SOURCE.json [--strict] report entries that are dangerous on a machine, and\n"
    "                                       (\"kept:\") what a removal keeps wherever it runs;\n"
    "                                       --strict counts those too\n";

}  // namespace

int Run(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  const std::string command = args.empty() ? std::string() : args[0];
  const bool strict = command == "lint" && args.size() == 3 && args[2] == "--strict";
  const std::size_t expected = command == "build"                         ? 3
                               : (command == "dump" || command == "lint") ? 2
                                                                          : 0;
  if (expected == 0 || (args.size() != expected && !strict)) {
    if (command == "help" || command == "--help") {
      out << kUsage;
      return 0;
    }
    err << (command.empty() || expected != 0 ? "svdb: wrong number of arguments\n"
                                             : "svdb: unknown command '" + command + "'\n")
        << kUsage;
    return 2;
  }
  try {
    if (command == "build") {
      const Source source = ParseSource(ReadFile(args[1]));
      const DatabaseFiles files = BuildDatabase(source, NowStamp());
      std::error_code ignored;
      std::filesystem::create_directories(PathOf(args[2]), ignored);
      WriteFile(Join(args[2], "SV.dat"), files.data);
      WriteFile(Join(args[2], "soft.dat"), files.soft);
      out << "svdb: " << source.software.size() << " software records written to " << args[2]
          << "\n";
      return 0;
    }
    if (command == "dump") {
      out << SourceToJson(
          ReadDatabase(ReadFile(Join(args[1], "SV.dat")), ReadFile(Join(args[1], "soft.dat"))));
      return 0;
    }
    const Source source = ParseSource(ReadFile(args[1]));
    const std::vector<std::string> findings = LintSource(source);
    for (const std::string& finding : findings)
      out << args[1] << ": " << finding << "\n";
    const std::vector<std::string> notes = PolicyNotes(source);
    for (const std::string& note : notes)
      out << args[1] << ": kept: " << note << "\n";
    if (!findings.empty()) {
      err << "svdb: " << findings.size() << " dangerous entries\n";
      return 1;
    }
    if (strict && !notes.empty()) {
      err << "svdb: " << notes.size() << " entries that a removal keeps\n";
      return 1;
    }
    return 0;
  } catch (const std::exception& error) {
    err << "svdb " << command << ": " << error.what() << "\n";
    return 1;
  }
}

}  // namespace sv::svdb
