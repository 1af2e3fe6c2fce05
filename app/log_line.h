#pragma once
// The lines of the main window's message list: "hh:mm:ss", three blanks, the text.
#include <string>
#include <string_view>

namespace tavrin {

// The list keeps this many lines, newest on top.
constexpr int message_list_lines = 100;
// A line is at most this many characters (the rest is cut off).
constexpr size_t log_line_max_chars = 1023;

std::string format_log_line(int hour, int minute, int second, std::string_view text);
// With the local time of now.
std::string log_line_now(std::string_view text);

}  // namespace tavrin
