#include "protocol/hex_text.h"

namespace tavrin {
namespace {

constexpr char hex_digits[] = "0123456789abcdef";

int hex_value(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Low 8 bits of the token's leading hex number; an optional sign and 0x prefix
// are accepted as a base-16 conversion would.
uint8_t token_value(std::string_view token) {
    size_t i = 0;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) {
        negative = token[i] == '-';
        ++i;
    }
    if (token.size() - i >= 3 && token[i] == '0' && (token[i + 1] == 'x' || token[i + 1] == 'X') &&
        hex_value(token[i + 2]) >= 0) {
        i += 2;
    }
    unsigned value = 0;
    for (; i < token.size(); ++i) {
        const int d = hex_value(token[i]);
        if (d < 0)
            break;
        value = (value << 4) | static_cast<unsigned>(d);
    }
    if (negative)
        value = 0u - value;
    return static_cast<uint8_t>(value);
}

}  // namespace

void append_hex_text(std::string& out, const uint8_t* bytes, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        out.push_back(hex_digits[bytes[i] >> 4]);
        out.push_back(hex_digits[bytes[i] & 0x0F]);
        out.push_back(' ');
    }
}

std::string format_hex_text(const uint8_t* bytes, size_t size) {
    std::string text;
    text.reserve(3 * size + 1);
    append_hex_text(text, bytes, size);
    return text;
}

hex_status parse_hex_text(std::string_view text, hex_binary_buffer& out, size_t& size) {
    size = 0;
    size_t count = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] == ' ') {
            ++pos;
            continue;
        }
        size_t end = text.find(' ', pos);
        if (end == std::string_view::npos)
            end = text.size();
        if (count == out.size())
            return hex_status::too_many_tokens;
        out[count++] = token_value(text.substr(pos, end - pos));
        pos = end;
    }
    if (count == 0)
        return hex_status::empty;
    size = count;
    return hex_status::ok;
}

}  // namespace tavrin

namespace tavrin {
namespace {

bool equals_none_ignoring_case(std::string_view name) {
    if (name.size() != 4)
        return false;
    constexpr std::string_view none = "none";
    for (size_t i = 0; i < 4; ++i) {
        char c = name[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != none[i])
            return false;
    }
    return true;
}

}  // namespace

hex_send_check prepare_hex_send(std::string_view device_name, std::string_view text,
                                hex_binary_buffer& body, size_t& size) {
    size = 0;
    if (text.empty())
        return hex_send_check::no_message_data;
    if (!device_name.empty() && equals_none_ignoring_case(device_name))
        return hex_send_check::gateway_name;
    switch (parse_hex_text(text, body, size)) {
        case hex_status::ok:
            return hex_send_check::ok;
        case hex_status::too_many_tokens:
            return hex_send_check::too_many_tokens;
        case hex_status::empty:
            break;
    }
    return hex_send_check::unreadable;
}

}  // namespace tavrin
