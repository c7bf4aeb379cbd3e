// sorvane-cli: the console front end. Every command is a function over the platform and two
// output streams, so the host tests run commands on the fake machine exactly as the Windows
// program runs them on the real one.
#pragma once

#include <nlohmann/json.hpp>

#include <initializer_list>
#include <optional>
#include <ostream>
#include <set>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace sv::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitUsage = 2;

struct Context {
  platform::Platform& platform;
  std::ostream& out;
  std::ostream& err;
};

// A command line the command cannot accept; the dispatcher prints the message and the
// command's usage text and exits with kExitUsage.
class UsageError : public std::runtime_error {
 public:
  explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

// A command's arguments split into positionals, switches (--json) and options with a value
// (--db DIR or --db=DIR). Anything starting with "--" that the command does not know is a
// usage error; "--" ends the options, so a positional may itself start with dashes.
class Arguments {
 public:
  Arguments(std::span<const std::string> args, std::initializer_list<std::string_view> switches,
            std::initializer_list<std::string_view> valueOptions);

  [[nodiscard]] const std::vector<std::string>& Positionals() const { return positionals_; }
  [[nodiscard]] bool Has(std::string_view name) const;
  [[nodiscard]] std::optional<std::string> Value(std::string_view name) const;
  // The option's value as a whole decimal number; a usage error when it is not one.
  [[nodiscard]] std::optional<long long> Number(std::string_view name) const;
  // Exactly `count` positionals, or a usage error naming what is missing or extra.
  void ExpectPositionals(std::size_t count) const;

 private:
  std::vector<std::string> positionals_;
  std::set<std::string, std::less<>> switches_;
  std::vector<std::pair<std::string, std::string>> values_;
};

// The database files named by --db DIR (SV.dat and soft.dat in DIR); both empty without the
// option, meaning the files beside the executable.
struct DatabasePaths {
  std::string data;
  std::string soft;
};
[[nodiscard]] DatabasePaths DatabaseOption(const Arguments& arguments);

// Pretty-printed JSON followed by a line end.
void PrintJson(const Context& context, const nlohmann::json& value);

// One subcommand: "db", "inspect", ... The runner receives the arguments after the name.
struct Command {
  std::string_view name;
  std::string_view usage;
  int (*run)(Context& context, std::span<const std::string> args);
};

// Every command of the program, in the order the usage text lists them.
[[nodiscard]] std::span<const Command> Commands();

// Runs the command line (without the program name). Usage errors give kExitUsage with the usage
// text on err; sv::Error and other failures give kExitError with the message on err.
int Run(Context& context, std::span<const std::string> args);

}  // namespace sv::cli
