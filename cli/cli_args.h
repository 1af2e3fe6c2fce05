#pragma once
// The command line of tavrin-cli: the options before the command, the command, and
// the rules every command's own words share.
//   tavrin-cli [--iface P[,S]] [--verbose] COMMAND [ARGS...]
//   tavrin-cli --help | --version, and COMMAND --help
#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_command.h"

namespace tavrin::cli {

struct command_line {
    global_options options;
    bool help = false;
    bool version = false;
    bool bash_completion = false;
    std::string command;             // empty when none was given
    std::vector<std::string> words;  // the command's own words
    std::string error;               // non-empty: the message; exit 64
};

constexpr size_t max_name_length = 31;

// `exists` tells whether a network interface index exists (if_indextoname by default).
command_line parse_command_line(const std::vector<std::string>& words,
                                bool (*exists)(uint32_t index) = nullptr);

// A whole decimal number of at most nine digits.
bool parse_number(const std::string& text, uint32_t& out);
// Empty when NAME can name a device; otherwise why not.
std::string check_device_name(const std::string& name);
// True when the words ask for the command's help.
bool wants_help(const std::vector<std::string>& words);

std::string usage_text();
std::string version_text();

}  // namespace tavrin::cli
