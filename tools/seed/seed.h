// sv-seed: makes a machine look like the demo machine described in data/demo-machine.json.
// The description is read into a plan (placeholders resolved for this machine), and the plan
// is applied: folders, files and registry values through the platform interfaces, shortcuts,
// services and program copies through `Shell`, which only the Windows program implements.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/platform.h"

namespace sv::seed {

// Placeholder name (without braces) -> path on this machine.
using Folders = std::map<std::string, std::string>;

// The folders the description may name: {windows}, {system}, {programfiles}, {programdata},
// {profile}, {appdata}, {localappdata}, {desktop}, {commondesktop}, {programs},
// {commonprograms}, {startup}, {commonstartup}, {startmenu}, {commonstartmenu}. A folder the
// system cannot give is left out, so a description that names it fails to resolve.
[[nodiscard]] Folders MachineFolders(platform::System& system);

// Replaces every "{name}" whose name is lower-case letters by its folder. Such a name that is
// not a known folder is an error (sv::Error), so a typing mistake never seeds a literal
// "{programfile}" folder. Braces around anything else (GUIDs such as "{6B1F...}") stay.
[[nodiscard]] std::string Resolve(std::string_view text, const Folders& folders);

struct RegistryWrite {
  platform::Hive hive = platform::Hive::LocalMachine;
  std::string path;  // below the hive, no leading backslash
  std::vector<std::pair<std::string, platform::RegValue>> values;
};

struct FileWrite {
  std::string path;
  std::string content;
};

struct Shortcut {
  std::string path;  // the .lnk file
  std::string target;
  std::string arguments;
  std::string workingDirectory;
  std::string description;
  std::string iconPath;
  int iconIndex = 0;
};

struct Service {
  std::string name;
  std::string displayName;
  std::string binary;  // the program the service runs
};

struct Plan {
  std::vector<std::string> directories;
  std::vector<std::string> programs;  // copies of the demo program
  std::vector<FileWrite> files;
  std::vector<RegistryWrite> registry;
  std::vector<Shortcut> shortcuts;
  std::vector<Service> services;
};

// Reads the "machine" part of the description. Every text is resolved. A malformed entry is an
// sv::Error that names it ("machine[2].registry[0]: unknown hive 'HKXX'").
[[nodiscard]] Plan ReadPlan(const nlohmann::json& description, const Folders& folders);

// "HKLM\Software\X" -> {LocalMachine, "Software\X"}. Accepts HKLM, HKCU, HKCR, HKU and the full
// hive names; anything else is an sv::Error.
[[nodiscard]] std::pair<platform::Hive, std::string> SplitHive(std::string_view key);

// What only the real system can make. Each returns the empty text on success, else what failed.
class Shell {
 public:
  virtual ~Shell() = default;
  virtual std::string CopyProgram(const std::string& destination) = 0;
  virtual std::string MakeShortcut(const Shortcut& shortcut) = 0;
  virtual std::string MakeService(const Service& service) = 0;
};

// Applies the plan; everything that already exists as described is left as it is, so seeding
// twice gives the same machine. Returns one line per failure (empty: all made).
[[nodiscard]] std::vector<std::string> Apply(const Plan& plan, platform::Platform& platform,
                                             Shell& shell);

// The "expected" part with every text resolved, and each {"listing": FOLDER} element of an
// array replaced by the folder's own files (no sub-folders), in the order the system lists
// them, as rows {"path": FOLDER\name lower-cased, "type": "File"}, the way the detail view
// shows an install folder.
[[nodiscard]] nlohmann::json ResolveExpected(const nlohmann::json& expected, const Folders& folders,
                                             platform::FileSystem& files);

}  // namespace sv::seed
