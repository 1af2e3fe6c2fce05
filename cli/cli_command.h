#pragma once
// The commands of tavrin-cli. Each lives in a file of its own (cmd_<name>.cpp),
// parses its own words and returns the exit status; command_table.cpp lists them.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavrin::cli {

// The options given before the command.
struct global_options {
    uint32_t primary = 0;
    uint32_t secondary = 0;
    bool verbose = false;
};

struct cli_command {
    std::string_view name;
    // "show NAME [--json]": the command's words after its name.
    std::string_view synopsis;
    // One line for the overall usage.
    std::string_view summary;
    // The rest of the command's --help text: what it does, exit statuses.
    std::string_view details;
    // Runs the command with its own words (the command name not included). Bad
    // arguments print their error and return exit_bad_arguments before anything is sent.
    int (*run)(const global_options& options, const std::vector<std::string>& words);
};

std::span<const cli_command> cli_commands();
const cli_command* find_command(std::string_view name);

// "usage: tavrin-cli [--iface P[,S]] <synopsis>\n<details>".
std::string command_usage(const cli_command& command);

// Prints "tavrin-cli: <message>" and the command's usage on standard error; returns
// exit_bad_arguments.
int bad_arguments(const cli_command& command, const std::string& message);

}  // namespace tavrin::cli
