#pragma once
// The device list of a lab: one device per line,
//   name | kind | manufacturer | model | firmware
// kind is "amp" (a virtual amplifier) or "device" (answers the Audinate queries
// only); firmware is the amplifier's build date "yy.mm.dd.hh". Blank lines and
// text after '#' are ignored.
#include <cstdint>
#include <string>
#include <vector>

namespace tavrin::sim {

struct lab_firmware {
    uint8_t year = 21;  // year - 2000
    uint8_t month = 11;
    uint8_t day = 17;
    uint8_t hour = 1;
};

struct lab_device_config {
    std::string name;
    bool amplifier = false;
    std::string manufacturer;
    std::string model;
    lab_firmware firmware;
};

struct lab_config_result {
    std::vector<lab_device_config> devices;
    std::string error;  // empty on success; names the offending line otherwise
};

lab_config_result parse_lab_config(const std::string& text);
lab_config_result load_lab_config(const std::string& path);

// "yy.mm.dd.hh" or four separate numbers; false when a part is not 0-255 or the
// date is impossible (month 1-12, day 1-31, hour 0-23).
bool parse_lab_firmware(const std::vector<std::string>& parts, lab_firmware& out);

}  // namespace tavrin::sim
