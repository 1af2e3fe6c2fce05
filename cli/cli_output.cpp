#include "cli/cli_output.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "pages/settings.h"

namespace tavrin::cli {
namespace {

using json = nlohmann::ordered_json;

// The text fields of the block keep one character a byte (Latin-1), as the tool
// writes them when it sends a location.
std::string latin1_to_utf8(const std::string& bytes) {
    std::string out;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.push_back(ch);
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

// One line, with a blank after every ':' and ','. The library writes an object or an
// array over lines when asked to indent; a string never holds a raw line end (it is
// written as \n), so every line end is structure: after a comma it becomes a blank,
// elsewhere nothing.
std::string one_line(const json& value) {
    const std::string lines = value.dump(0, ' ', false, json::error_handler_t::replace);
    std::string out;
    out.reserve(lines.size());
    for (const char c : lines) {
        if (c != '\n')
            out.push_back(c);
        else if (!out.empty() && out.back() == ',')
            out.push_back(' ');
    }
    return out + "\n";
}

// A setting's text as JSON: numbers as numbers (as `show` prints them), words as
// strings, except the numbers among them (a slope, an impedance).
json setting_json(const setting_def& def, const std::optional<std::string>& text) {
    if (!text)
        return nullptr;
    const bool digits =
        !text->empty() && text->find_first_not_of("0123456789") == std::string::npos;
    if (!def.words.empty() && !digits)
        return *text;
    if (text->find('.') == std::string::npos)
        return std::stoll(*text);
    return number_value(*text).value_or(0);
}

// A text, or null when it is not known.
json known(const std::string& text) {
    return text.empty() ? json(nullptr) : json(text);
}

json fields_json(const std::vector<field_value>& fields) {
    json out = json::object();
    for (const field_value& f : fields) {
        if (f.is_text)
            out[f.name] = latin1_to_utf8(f.text);
        else if (f.values.size() == 1)
            out[f.name] = f.values[0];
        else
            out[f.name] = f.values;
    }
    return out;
}

json settings_object(const param_block& block) {
    json settings = json::object();
    for (const setting_reading& r : read_settings(block))
        settings[r.def->name] = setting_json(*r.def, r.value);
    return settings;
}

}  // namespace

std::string settings_lines(const std::vector<field_value>& fields) {
    std::string out;
    for (const field_value& f : fields) {
        out += f.name + ": ";
        if (f.is_text) {
            out += latin1_to_utf8(f.text);
        } else {
            for (size_t i = 0; i < f.values.size(); ++i)
                out += (i ? ", " : "") + std::to_string(f.values[i]);
        }
        out += '\n';
    }
    return out;
}

std::string settings_json(const std::vector<field_value>& fields) {
    return one_line(fields_json(fields));
}

std::string setting_lines(const param_block& block) {
    std::string out;
    for (const setting_reading& r : read_settings(block)) {
        if (r.value)
            out += r.def->name + "=" + *r.value + "\n";
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
    json out = {
        {"device", device.name}, {"model", known(device.model)}, {"error", error}, {"exit", code}};
    if (!info.empty())
        out["info"] = info;
    if (!device.firmware.empty())
        out["firmware"] = device.firmware;
    return one_line(out);
}

bool output_failed() {
    return std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
}

std::string show_json(const std::string& info, const device_json& device, const param_block& block,
                      const std::vector<field_value>& fields) {
    const json out = {{"info", info},
                      {"device", device.name},
                      {"model", known(device.model)},
                      {"firmware", known(device.firmware)},
                      {"settings", settings_object(block)},
                      {"fields", fields_json(fields)}};
    return one_line(out);
}

std::string preset_json(const std::string& file, const param_block& block,
                        const std::vector<field_value>& fields) {
    const json out = {{"file", file},
                      {"firmware", firmware_date_text(block)},
                      {"settings", settings_object(block)},
                      {"fields", fields_json(fields)}};
    return one_line(out);
}

std::string stamped_line(const std::tm& local, const std::string& text) {
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    return std::string(stamp) + "   " + text;
}

}  // namespace tavrin::cli
