#include "cli/cli_output.h"

#include <cstdio>

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

std::string stamped_line(const std::tm& local, const std::string& text) {
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    return std::string(stamp) + "   " + text;
}

}  // namespace tavrin::cli
