#include "cli/cli_output.h"

#include <cstdio>

#include "pages/settings.h"

namespace tavrin::cli {
namespace {

std::string json_string(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
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

std::string show_json(const std::string& info, const param_block& block,
                      const std::vector<field_value>& fields) {
    std::string out = "{\"info\": " + json_string(info) + ", \"settings\": {";
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
