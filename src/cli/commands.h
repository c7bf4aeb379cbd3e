// The subcommands of sorvane-cli, each in its own file.
#pragma once

#include <span>
#include <string>

#include "cli/cli.h"

namespace sv::cli {

int RunInspect(Context& context, std::span<const std::string> args);

}  // namespace sv::cli
