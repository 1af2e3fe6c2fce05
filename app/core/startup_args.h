#pragma once
// The command line of tavrin-config: up to three positional arguments (device name,
// primary and secondary interface index) and the tool's own options.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavrin {

struct startup_args {
    std::string device_name;  // at most 31 characters
    uint32_t primary = 0;     // 0 keeps the automatic choice
    uint32_t secondary = 0;
};

struct command_line {
    startup_args args;
    bool show_version = false;
    std::optional<std::string> tour_dir;   // --tour DIR
    std::optional<std::string> play_file;  // --play FILE
    std::optional<std::string> shots_dir;  // --shots DIR, with --play
    std::string error;                     // a usage error; empty when fine
};

constexpr size_t max_name_chars = 31;
constexpr size_t max_index_chars = 5;

command_line parse_command_line(int argc, const char* const* argv);

// The first 5 characters read as a decimal integer the way a plain integer conversion
// does (leading blanks, a sign, digits up to the first other character); anything
// that is not a number, and any negative number, gives 0.
uint32_t read_index(std::string_view text);

// The first `max` characters of a UTF-8 text (never cutting a character in two).
std::string first_chars(std::string_view text, size_t max);

// The current directory, recorded once at start-up.
std::string current_work_dir();

// "tavrin-config 3.0.1 (TAVRIN-PA22 Config Tool V3.0R1)"
std::string version_text();

}  // namespace tavrin
