#include "platform/utf8.h"

namespace tavrin {
namespace {

// Bytes of the character that starts with `lead`; a stray continuation byte counts
// as one.
size_t sequence_length(unsigned char lead) {
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

// The end of the prefix with at most `max_chars` characters and `max_bytes` bytes.
size_t prefix_end(std::string_view text, size_t max_chars, size_t max_bytes) {
    size_t chars = 0;
    size_t i = 0;
    while (i < text.size() && chars < max_chars) {
        const size_t len = sequence_length(static_cast<unsigned char>(text[i]));
        if (i + len > text.size() || i + len > max_bytes)
            break;
        i += len;
        ++chars;
    }
    return i;
}

}  // namespace

std::string first_chars(std::string_view text, size_t max) {
    return std::string(text.substr(0, prefix_end(text, max, text.size())));
}

std::string first_bytes(std::string_view text, size_t max) {
    return std::string(text.substr(0, prefix_end(text, text.size(), max)));
}

size_t char_count(std::string_view text) {
    size_t n = 0;
    for (const char c : text)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return n;
}

}  // namespace tavrin
