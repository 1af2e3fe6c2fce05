#include "cli/cli_output.h"

#include <cstdio>

#include "pages/settings.h"

namespace tavrin::cli {
namespace {

void json_escape(std::string& out, unsigned c) {
    char esc[8];
    std::snprintf(esc, sizeof esc, "\\u%04x", c);
    out += esc;
}

// The byte count of a whole, well-formed UTF-8 character at text[i] (0: none there).
size_t utf8_length(const std::string& text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    size_t n = 0;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        low = c == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        high = c == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        low = c == 0xF0 ? 0x90 : 0x80;
        high = c == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
    }
    if (n == 0 || i + n > text.size() || byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (size_t k = 2; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
    }
    return n;
}

// Text fields of the parameter block: bytes above 0x7F are Latin-1.
std::string json_string(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            json_escape(out, c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// The tool's own texts (device names, the information text) are UTF-8: whole
// characters pass, a byte that starts none is replaced.
std::string json_utf8(const std::string& text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c == '"' || c == '\\') {
                out += '\\';
                out += static_cast<char>(c);
            } else if (c < 0x20 || c == 0x7F) {
                json_escape(out, c);
            } else {
                out += static_cast<char>(c);
            }
            ++i;
        } else if (const size_t n = utf8_length(text, i); n != 0) {
            out.append(text, i, n);
            i += n;
        } else {
            json_escape(out, 0xFFFD);
            ++i;
        }
    }
    return out + "\"";
}

// A text, or null when it is not known.
std::string json_known(const std::string& text) {
    return text.empty() ? "null" : json_utf8(text);
}

// Digits with an optional minus and fraction: "-3.5", "10.00", "0".
bool json_number(const std::string& text) {
    size_t i = text.size() > 1 && text[0] == '-' ? 1 : 0;
    const size_t digits_from = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i;
    if (i == digits_from || (i - digits_from > 1 && text[digits_from] == '0'))
        return false;
    if (i == text.size())
        return true;
    if (text[i] != '.' || i + 1 == text.size())
        return false;
    for (++i; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    return true;
}

}  // namespace

std::string settings_lines(const std::vector<field_value>& fields) {
    std::string out;
    for (const field_value& f : fields) {
        out += f.name + ": ";
        if (f.is_text) {
            out += f.text;
        } else {
            for (size_t i = 0; i < f.values.size(); ++i)
                out += (i ? ", " : "") + std::to_string(f.values[i]);
        }
        out += '\n';
    }
    return out;
}

std::string settings_json(const std::vector<field_value>& fields) {
    std::string out = "{";
    for (size_t k = 0; k < fields.size(); ++k) {
        const field_value& f = fields[k];
        out += (k ? ", " : "") + json_string(f.name) + ": ";
        if (f.is_text) {
            out += json_string(f.text);
        } else if (f.values.size() == 1) {
            out += std::to_string(f.values[0]);
        } else {
            out += '[';
            for (size_t i = 0; i < f.values.size(); ++i)
                out += (i ? ", " : "") + std::to_string(f.values[i]);
            out += ']';
        }
    }
    return out + "}\n";
}

std::string setting_lines(const param_block& block) {
    std::string out;
    for (const setting_def& def : all_settings()) {
        const std::string value = def.show(block);
        if (!value.empty())
            out += def.name + "=" + value + "\n";
    }
    return out;
}

std::string firmware_date_text(const param_block& block) {
    char text[16];
    std::snprintf(text, sizeof text, "%02u.%02u.%02u.%02u",
                  static_cast<unsigned>(field_value_in(block, param_field::fw_year)),
                  static_cast<unsigned>(field_value_in(block, param_field::fw_month)),
                  static_cast<unsigned>(field_value_in(block, param_field::fw_day)),
                  static_cast<unsigned>(field_value_in(block, param_field::fw_hour)));
    return text;
}

std::string show_error_json(const device_json& device, const std::string& error, int code,
                            const std::string& info) {
    std::string out = "{\"device\": " + json_utf8(device.name) +
                      ", \"model\": " + json_known(device.model) +
                      ", \"error\": " + json_utf8(error) + ", \"exit\": " + std::to_string(code);
    if (!info.empty())
        out += ", \"info\": " + json_utf8(info);
    if (!device.firmware.empty())
        out += ", \"firmware\": " + json_utf8(device.firmware);
    return out + "}\n";
}

bool output_failed() {
    return std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
}

std::string show_json(const std::string& info, const device_json& device, const param_block& block,
                      const std::vector<field_value>& fields) {
    std::string out = "{\"info\": " + json_utf8(info) + ", \"device\": " + json_utf8(device.name) +
                      ", \"model\": " + json_known(device.model) +
                      ", \"firmware\": " + json_known(device.firmware) + ", \"settings\": {";
    bool first = true;
    for (const setting_def& def : all_settings()) {
        const std::string value = def.show(block);
        out += (first ? "" : ", ") + json_string(def.name) + ": ";
        first = false;
        if (value.empty())
            out += "null";
        else if (json_number(value))
            out += value;
        else
            out += json_string(value);
    }
    std::string raw = settings_json(fields);
    // The field object without its line end.
    while (!raw.empty() && raw.back() == '\n')
        raw.pop_back();
    return out + "}, \"fields\": " + raw + "}\n";
}

std::string stamped_line(const std::tm& local, const std::string& text) {
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    return std::string(stamp) + "   " + text;
}

}  // namespace tavrin::cli
