#include "cli/cli.h"

#include <array>
#include <charconv>
#include <exception>

#include "cli/commands.h"
#include "common/error.h"
#include "common/text.h"

namespace sv::cli {

namespace {

constexpr std::array kCommands{
    Command{"help", "help                     this text", nullptr},
    Command{"db",
            "db QUERY [--json] [--db DIR]  signature database queries; QUERY is one of\n"
            "      version | names [--category N] | count [--category N] | id NAME | info NAME\n"
            "      | items NAME [--kind K] [--all] | category NAME",
            RunDbCommand},
    Command{"inspect",
            "inspect WHAT [--json]    registry searches, never deleting; WHAT is one of\n"
            "      installed [--hotfixes] | uninstall NAME | installer NAME | com FOLDER...\n"
            "      | traces NAME | folders KEY VALUE [KEY VALUE...] | lists FOLDER...",
            RunInspect},
    Command{"scan",
            "scan [--json] [--db DIR] [--hide-unsupported]\n"
            "      the installed programs (supported or unsupported) and the residues",
            RunScan},
    Command{"detail",
            "detail NAME [--all] [--json] [--db DIR]\n"
            "      the files and registry items a removal of NAME would touch; --all adds the\n"
            "      whole removal plan: every item with what found it and the policy's decision",
            RunDetail},
    Command{
        "remove",
        "remove NAME... [--residual] [--dry-run] [--json] [--db DIR]\n"
        "      removes the programs as the Clean command does; NAME as scan lists it (an\n"
        "      installed program's own name, or with --residual a residue's);\n"
        "      --dry-run lists the whole plan (every deletion, every file a folder takes, every\n"
        "      refusal with its reason) and deletes nothing; exit code 1 when anything failed",
        RunRemove},
};

void PrintUsage(std::ostream& stream) {
  stream << "usage: sorvane-cli COMMAND [ARGUMENTS]\n\ncommands:\n";
  for (const Command& command : kCommands) {
    stream << "  " << command.usage << "\n";
  }
}

bool IsKnown(std::initializer_list<std::string_view> names, std::string_view name) {
  for (std::string_view known : names) {
    if (known == name) {
      return true;
    }
  }
  return false;
}

}  // namespace

Arguments::Arguments(std::span<const std::string> args,
                     std::initializer_list<std::string_view> switches,
                     std::initializer_list<std::string_view> valueOptions) {
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      positionals_.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string name =
        arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    if (IsKnown(switches, name) && equals == std::string::npos) {
      switches_.insert(name);
    } else if (IsKnown(valueOptions, name)) {
      if (equals != std::string::npos) {
        values_.emplace_back(name, arg.substr(equals + 1));
      } else if (i + 1 < args.size()) {
        values_.emplace_back(name, args[++i]);
      } else {
        throw UsageError("option --" + name + " needs a value");
      }
    } else {
      throw UsageError("unknown option " + arg);
    }
  }
}

DatabasePaths DatabaseOption(const Arguments& arguments) {
  const std::optional<std::string> folder = arguments.Value("db");
  if (!folder) return {};
  if (TrimView(*folder).empty()) throw UsageError("option --db needs a folder");
  std::string prefix = *folder;
  if (prefix.back() != '\\' && prefix.back() != '/') prefix += '\\';
  return {prefix + "SV.dat", prefix + "soft.dat"};
}

bool Arguments::Has(std::string_view name) const {
  return switches_.contains(name);
}

std::optional<std::string> Arguments::Value(std::string_view name) const {
  // The last occurrence wins, as with most command-line tools.
  for (auto it = values_.rbegin(); it != values_.rend(); ++it) {
    if (it->first == name) {
      return it->second;
    }
  }
  return std::nullopt;
}

std::optional<long long> Arguments::Number(std::string_view name) const {
  const std::optional<std::string> text = Value(name);
  if (!text) {
    return std::nullopt;
  }
  long long number = 0;
  const char* end = text->data() + text->size();
  const auto [last, error] = std::from_chars(text->data(), end, number);
  if (text->empty() || error != std::errc() || last != end) {
    throw UsageError("option --" + std::string(name) + " needs a whole number, not '" + *text +
                     "'");
  }
  return number;
}

void Arguments::ExpectPositionals(std::size_t count) const {
  if (positionals_.size() < count) {
    throw UsageError("missing argument");
  }
  if (positionals_.size() > count) {
    throw UsageError("unexpected argument '" + positionals_[count] + "'");
  }
}

void PrintJson(const Context& context, const nlohmann::json& value) {
  // Texts that are not valid UTF-8 (a broken registry value, say) are replaced, not fatal.
  context.out << value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

std::span<const Command> Commands() {
  return kCommands;
}

int Run(Context& context, std::span<const std::string> args) {
  if (args.empty() || args.front() == "help" || args.front() == "--help") {
    PrintUsage(args.empty() ? context.err : context.out);
    return args.empty() ? kExitUsage : kExitOk;
  }
  const Command* command = nullptr;
  for (const Command& candidate : kCommands) {
    if (candidate.name == args.front() && candidate.run != nullptr) {
      command = &candidate;
    }
  }
  if (command == nullptr) {
    context.err << "sorvane-cli: unknown command '" << args.front() << "'\n";
    PrintUsage(context.err);
    return kExitUsage;
  }
  try {
    return command->run(context, args.subspan(1));
  } catch (const UsageError& error) {
    context.err << "sorvane-cli " << command->name << ": " << error.what() << "\n"
                << "usage: sorvane-cli " << command->usage << "\n";
    return kExitUsage;
  } catch (const std::exception& error) {
    context.err << "sorvane-cli " << command->name << ": " << error.what() << "\n";
    return kExitError;
  }
}

}  // namespace sv::cli
