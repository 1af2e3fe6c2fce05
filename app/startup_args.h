#pragma once
// The command line of tavrin-config: up to three positional arguments (device name,
// primary and secondary interface index) and the tool's own options.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/utf8.h"

namespace tavrin {

struct startup_args {
    std::string device_name;  // at most 31 characters
    uint32_t primary = 0;     // 0 keeps the automatic choice
    uint32_t secondary = 0;
};

struct command_line {
    startup_args args;
    bool show_version = false;
    bool show_help = false;
    std::optional<std::string> tour_dir;   // --tour DIR
    std::optional<std::string> play_file;  // --play FILE
    std::optional<std::string> shots_dir;  // --shots DIR, with --play
    std::string error;                     // a usage error; empty when fine
    // What was taken other than as written (a name cut to 31 characters, an index
    // that is no number); the tool goes on and says so on standard error.
    std::vector<std::string> warnings;
};

constexpr size_t max_name_chars = 31;
constexpr size_t max_index_chars = 5;

// Qt's own options (-style, -platform ...) must be gone from argv: parse after the
// QApplication has taken them.
command_line parse_command_line(int argc, const char* const* argv);

// "usage: tavrin-config ..." and what the arguments and options do.
std::string usage_text();

// The first 5 characters read as a decimal integer the way a plain integer conversion
// does (leading blanks, a sign, digits up to the first other character); anything
// that is not a number, and any negative number, gives 0.
uint32_t read_index(std::string_view text);
// True when the text is a plain decimal index that read_index takes whole.
bool is_plain_index(std::string_view text);

// The current directory, recorded once at start-up.
std::string current_work_dir();

// "tavrin-config 3.0.0.1 (V3.0R1)" and the version record's line under it.
std::string version_text();

}  // namespace tavrin
