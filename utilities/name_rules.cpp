#include "utilities/name_rules.h"

namespace tavrin {
namespace {

bool alnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Decodes one UTF-8 character at `at`; false for a malformed or overlong sequence.
bool next_code_point(const std::string& s, size_t& at, uint32_t& cp) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(s[i]); };
    const uint8_t b0 = byte(at);
    size_t extra = 0;
    if (b0 < 0x80) {
        cp = b0;
    } else if ((b0 & 0xE0) == 0xC0) {
        cp = b0 & 0x1F;
        extra = 1;
    } else if ((b0 & 0xF0) == 0xE0) {
        cp = b0 & 0x0F;
        extra = 2;
    } else if ((b0 & 0xF8) == 0xF0) {
        cp = b0 & 0x07;
        extra = 3;
    } else {
        return false;
    }
    if (at + extra >= s.size())
        return false;
    for (size_t i = 1; i <= extra; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return false;
        cp = (cp << 6) | (byte(at + i) & 0x3F);
    }
    constexpr uint32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (cp < least[extra])
        return false;
    at += extra + 1;
    return true;
}

bool printable_latin1(uint32_t cp) {
    return (cp >= 0x20 && cp < 0x7F) || (cp >= 0xA0 && cp <= 0xFF);
}

}  // namespace

std::string device_name_problem(const std::string& name) {
    if (name.empty())
        return "a device name cannot be empty";
    // Characters, not bytes, as the rename field counts them.
    size_t chars = 0;
    for (char c : name)
        chars += (static_cast<uint8_t>(c) & 0xC0) != 0x80;
    if (chars > max_rename_chars)
        return "a device name has at most " + std::to_string(max_rename_chars) + " characters";
    for (char c : name) {
        if (!alnum(c) && c != '-')
            return "a device name holds only the letters A to Z and a to z, digits and hyphens";
    }
    if (name.front() == '-' || name.back() == '-')
        return "a device name cannot start or end with a hyphen";
    return {};
}

bool same_device_name(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::string name_conflict(const std::string& new_name, const std::string& own,
                          const std::vector<std::string>& names) {
    for (const std::string& n : names) {
        if (same_device_name(n, new_name) && !same_device_name(n, own))
            return n;
    }
    return {};
}

std::string name_taken_text(const std::string& other) {
    return "a device named " + other + " is already on the network";
}

std::optional<std::string> location_bytes_of(const std::string& text) {
    std::string bytes;
    size_t at = 0;
    while (at < text.size()) {
        uint32_t cp = 0;
        if (!next_code_point(text, at, cp) || !printable_latin1(cp))
            return std::nullopt;
        if (bytes.size() == location_size)
            return std::nullopt;
        bytes.push_back(static_cast<char>(cp));
    }
    return bytes;
}

std::string location_problem(const std::string& text) {
    if (location_bytes_of(text))
        return {};
    size_t at = 0;
    size_t count = 0;
    uint32_t cp = 0;
    while (at < text.size()) {
        if (!next_code_point(text, at, cp) || !printable_latin1(cp))
            return "a location holds only printable Latin-1 characters";
        ++count;
    }
    return "a location has at most 16 characters (this one has " + std::to_string(count) + ")";
}

std::string location_text_of(const location_field& bytes) {
    std::string text;
    for (uint8_t b : bytes) {
        if (b == 0)
            break;
        if (b < 0x80) {
            text.push_back(static_cast<char>(b));
        } else {
            text.push_back(static_cast<char>(0xC0 | (b >> 6)));
            text.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        }
    }
    return text;
}

}  // namespace tavrin
