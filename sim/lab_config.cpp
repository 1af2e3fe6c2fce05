#include "sim/lab_config.h"

#include <fstream>
#include <sstream>

namespace tavrin::sim {
namespace {

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) {
        return {};
    }
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(s);
    while (std::getline(in, part, sep)) {
        parts.push_back(trim(part));
    }
    if (!s.empty() && s.back() == sep) {
        parts.emplace_back();
    }
    return parts;
}

bool parse_byte(const std::string& s, int& out) {
    if (s.empty() || s.size() > 3) {
        return false;
    }
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') {
            return false;
        }
        v = v * 10 + (c - '0');
    }
    out = v;
    return v <= 255;
}

}  // namespace

bool parse_lab_firmware(const std::vector<std::string>& parts, lab_firmware& out) {
    std::vector<std::string> p = parts;
    if (p.size() == 1) {
        p = split(p[0], '.');
    }
    if (p.size() != 4) {
        return false;
    }
    int v[4];
    for (int i = 0; i < 4; ++i) {
        if (!parse_byte(p[i], v[i])) {
            return false;
        }
    }
    if (v[1] < 1 || v[1] > 12 || v[2] < 1 || v[2] > 31 || v[3] > 23) {
        return false;
    }
    out = lab_firmware{static_cast<uint8_t>(v[0]), static_cast<uint8_t>(v[1]),
                       static_cast<uint8_t>(v[2]), static_cast<uint8_t>(v[3])};
    return true;
}

lab_config_result parse_lab_config(const std::string& text) {
    lab_config_result result;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    auto fail = [&](const std::string& why) {
        result.devices.clear();
        result.error = "line " + std::to_string(number) + ": " + why;
        return result;
    };
    while (std::getline(in, line)) {
        ++number;
        line = trim(line.substr(0, line.find('#')));
        if (line.empty()) {
            continue;
        }
        std::vector<std::string> f = split(line, '|');
        if (f.size() < 4 || f.size() > 5) {
            return fail("expected name | kind | manufacturer | model | firmware");
        }
        lab_device_config d;
        d.name = f[0];
        // Dante names: 1 to 31 characters, no '.' (it would split the DNS-SD name).
        if (d.name.empty() || d.name.size() > 31 || d.name.find('.') != std::string::npos) {
            return fail("bad device name '" + d.name + "'");
        }
        for (const auto& other : result.devices) {
            if (other.name == d.name) {
                return fail("device '" + d.name + "' listed twice");
            }
        }
        if (f[1] == "amp") {
            d.amplifier = true;
        } else if (f[1] != "device") {
            return fail("kind must be 'amp' or 'device', not '" + f[1] + "'");
        }
        d.manufacturer = f[2];
        d.model = f[3];
        if (d.manufacturer.size() > 127 || d.model.size() > 127) {
            return fail("manufacturer or model longer than 127 characters");
        }
        if (f.size() == 5 && !f[4].empty() && !parse_lab_firmware({f[4]}, d.firmware)) {
            return fail("firmware must be yy.mm.dd.hh, not '" + f[4] + "'");
        }
        result.devices.push_back(d);
    }
    if (result.devices.empty()) {
        result.error = "no devices";
    }
    return result;
}

lab_config_result load_lab_config(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        lab_config_result r;
        r.error = "cannot read " + path;
        return r;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return parse_lab_config(text.str());
}

}  // namespace tavrin::sim
