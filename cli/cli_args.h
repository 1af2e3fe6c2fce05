#pragma once
// The command line of tavrin-cli: the options before the command, the command, and
// the rules every command's own words share.
//   tavrin-cli [--iface P[,S]] [--verbose] COMMAND [ARGS...]
//   tavrin-cli --help | --version, and COMMAND --help
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
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
// A command's own option at words[i]: nullopt when it is not one of its options,
// "" when taken (it may take the next word too, moving `i` on), else what is wrong.
using option_reader =
    std::function<std::optional<std::string>(const std::vector<std::string>& words, size_t& i)>;
// Options that are plain switches: each of the words sets its flag.
option_reader switches(std::vector<std::pair<std::string, bool*>> flags);
// The option rule of every command: a word that starts with '-' is an option, and
// one that `option` does not know is refused; "--" ends the options (it is dropped,
// and every word after it is an argument, "-x" too); every other word is an argument,
// in order, into `args`. Empty when the words are sound, otherwise the message for
// bad_arguments.
std::string read_words(const std::string& command, const std::vector<std::string>& words,
                       std::vector<std::string>& args, const option_reader& option = {});
// The words of a command that acts on one device: its NAME, which must be able to
// name a device, and the options `option` knows. Empty when they are sound,
// otherwise the message for bad_arguments.
std::string read_name_and_options(const std::string& command, const std::vector<std::string>& words,
                                  std::string& name, const option_reader& option = {});
// True when the words ask for the command's help (-h or --help before any "--").
bool wants_help(const std::vector<std::string>& words);

std::string usage_text();
std::string version_text();

}  // namespace tavrin::cli
