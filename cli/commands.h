#pragma once
// Every command of tavrin-cli, one file each (cmd_<name>.cpp).
#include "cli/cli_command.h"

namespace tavrin::cli {

extern const cli_command discover_command;
extern const cli_command set_command;
extern const cli_command status_command;
extern const cli_command show_command;
extern const cli_command watch_command;
extern const cli_command response_command;
extern const cli_command preset_command;
extern const cli_command diff_command;
extern const cli_command apply_command;
extern const cli_command capture_command;
extern const cli_command summary_command;
extern const cli_command firmware_command;
extern const cli_command rename_command;
extern const cli_command location_command;
extern const cli_command reset_command;
extern const cli_command identify_command;
extern const cli_command interfaces_command;

}  // namespace tavrin::cli
