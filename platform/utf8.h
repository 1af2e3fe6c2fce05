#pragma once
// Cutting UTF-8 text without leaving half a character behind.
#include <cstddef>
#include <string>
#include <string_view>

namespace tavrin {

// The first `max` characters of a UTF-8 text (a truncated sequence at the end counts
// as cut off).
std::string first_chars(std::string_view text, size_t max);

// The longest start of the text that fits `max` bytes and ends on a character boundary.
std::string first_bytes(std::string_view text, size_t max);

// How many characters a UTF-8 text holds (its bytes that start a character).
size_t char_count(std::string_view text);

}  // namespace tavrin
