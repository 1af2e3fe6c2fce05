#include "pages/peq_typed_text.h"

#include <charconv>
#include <cmath>
#include <string>

namespace tavrin {
namespace {

std::string_view head(std::string_view text) {
    text = text.substr(0, typed_text_limit);
    // Like the C conversions: leading blanks and one "+" are passed over.
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    if (!text.empty() && text.front() == '+' && (text.size() == 1 || text[1] != '-'))
        text.remove_prefix(1);
    return text;
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

int typed_int(std::string_view text) {
    text = head(text);
    int value = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    return r.ec == std::errc() ? value : 0;
}

double typed_decimal(std::string_view text) {
    text = head(text);
    // Only the characters of a plain decimal number: no exponent, "inf" or "nan".
    size_t n = 0;
    if (n < text.size() && text[n] == '-')
        ++n;
    bool point = false;
    while (n < text.size() && (is_digit(text[n]) || (text[n] == '.' && !point))) {
        point = point || text[n] == '.';
        ++n;
    }
    double value = 0;
    const auto r = std::from_chars(text.data(), text.data() + n, value, std::chars_format::fixed);
    return r.ec == std::errc() && std::isfinite(value) ? value : 0;
}

std::optional<double> strict_number(std::string_view word, bool whole) {
    size_t n = 0;
    if (n < word.size() && word[n] == '-')
        ++n;
    bool digit = false;
    bool point = false;
    for (; n < word.size(); ++n) {
        if (is_digit(word[n])) {
            digit = true;
        } else if (word[n] == '.' && !point && !whole) {
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (!digit)
        return std::nullopt;
    double value = 0;
    const auto r =
        std::from_chars(word.data(), word.data() + word.size(), value, std::chars_format::fixed);
    // Beyond a double's range: hundreds of digits before the point read as that far
    // out, hundreds of zeros after it as 0; the limits still apply.
    if (r.ec == std::errc::result_out_of_range) {
        const std::string_view whole_part = word.substr(0, word.find('.'));
        if (whole_part.find_first_of("123456789") == std::string_view::npos)
            return 0.0;
        return word.front() == '-' ? -HUGE_VAL : HUGE_VAL;
    }
    if (r.ec != std::errc() || r.ptr != word.data() + word.size())
        return std::nullopt;
    return value;
}

}  // namespace tavrin
