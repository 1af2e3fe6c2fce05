#pragma once
// Every command of tavrin-cli, one file each (cmd_<name>.cpp).
#include "cli/cli_command.h"

namespace tavrin::cli {

extern const cli_command discover_command;
extern const cli_command set_command;
extern const cli_command show_command;
extern const cli_command watch_command;
extern const cli_command response_command;

}  // namespace tavrin::cli
