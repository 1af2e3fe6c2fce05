#include "platform/text_order.h"

#include <locale.h>
#include <wctype.h>

#include <cstdint>

namespace tavrin {
namespace {

// The next character of UTF-8 text; a byte that starts no well-formed sequence stands
// for itself, so that any file name has a place in the order.
char32_t next_char(std::string_view s, size_t& at) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(s[i]); };
    const uint8_t lead = byte(at++);
    size_t extra = 0;
    char32_t c = lead;
    if (lead >= 0xC0 && lead < 0xF8) {
        extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
        c = lead & (0x3F >> extra);
    }
    if (at + extra > s.size())
        return lead;
    for (size_t i = 0; i < extra; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return lead;
        c = (c << 6) | (byte(at + i) & 0x3F);
    }
    at += extra;
    return c;
}

// Lower case by the Unicode tables of the C.UTF-8 locale, whatever the program's own.
char32_t folded(char32_t c) {
    static const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    if (utf8 != locale_t(0))
        return static_cast<char32_t>(::towlower_l(static_cast<wint_t>(c), utf8));
    return c >= U'A' && c <= U'Z' ? c + (U'a' - U'A') : c;
}

}  // namespace

bool sorts_before(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const char32_t x = folded(next_char(a, i));
        const char32_t y = folded(next_char(b, j));
        if (x != y)
            return x < y;
    }
    if (i < a.size() || j < b.size())
        return j < b.size();
    // Equal but for case: by code point, which is the UTF-8 byte order.
    return a < b;
}

}  // namespace tavrin
