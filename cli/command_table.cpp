#include <cstdio>

#include "cli/cli_command.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"

namespace tavrin::cli {

std::span<const cli_command> cli_commands() {
    static const cli_command all[] = {
        discover_command, set_command,        show_command,   status_command,   watch_command,
        response_command, preset_command,     diff_command,   apply_command,    capture_command,
        summary_command,  firmware_command,   rename_command, location_command, reset_command,
        identify_command, interfaces_command,
    };
    return all;
}

const cli_command* find_command(std::string_view name) {
    for (const cli_command& c : cli_commands()) {
        if (c.name == name)
            return &c;
    }
    return nullptr;
}

std::string command_usage(const cli_command& command) {
    return "usage: tavrin-cli [--iface P[,S]] " + std::string(command.name) + " " +
           std::string(command.synopsis) + "\n" + std::string(command.details);
}

int bad_arguments(const cli_command& command, const std::string& message) {
    std::fprintf(stderr, "tavrin-cli: %s\n%s", message.c_str(), command_usage(command).c_str());
    return exit_bad_arguments;
}

}  // namespace tavrin::cli
