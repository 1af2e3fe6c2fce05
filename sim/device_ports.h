#pragma once
// The ports each virtual device was given, kept in the lab folder so that a
// restarted device-sim binds the same ones again, as a rebooted amplifier does. A
// peer that missed the restart (its DNS-SD browse may see no removal when the new
// announcement comes within the old record's lifetime) still reaches the device.
#include <cstdint>
#include <map>
#include <string>

namespace tavrin::sim {

struct device_ports {
    uint16_t conmon = 0;
    uint16_t arcp = 0;
};

// One line per device: "CONMON ARCP NAME". A missing or unreadable file, and lines
// that do not parse, give nothing: the devices then take new ports.
std::map<std::string, device_ports> read_device_ports(const std::string& path);
// Written whole to a temporary file and renamed over PATH. Returns false on failure.
bool write_device_ports(const std::string& path, const std::map<std::string, device_ports>& ports);

}  // namespace tavrin::sim
