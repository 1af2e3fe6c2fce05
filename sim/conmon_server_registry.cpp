#include "sim/conmon_server_registry.h"

#include <strings.h>

#include <cstring>

#include "dante/dnssd/dt_txt_record.h"

namespace tavrin::sim {

bool same_name(const std::string& a, const std::string& b) {
    return a.size() == b.size() && ::strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

bool same_endpoint(const sockaddr_in& a, const sockaddr_in& b) {
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

conmon_server_registry::change conmon_server_registry::put(const server_device& device) {
    for (server_device& d : devices_) {
        if (same_name(d.name, device.name)) {
            bool same =
                same_endpoint(d.address, device.address) &&
                d.instance_valid == device.instance_valid &&
                (!d.instance_valid || conmon_instance_id_equal(&d.instance, &device.instance));
            d = device;
            return same ? change::unchanged : change::updated;
        }
    }
    devices_.push_back(device);
    return change::added;
}

bool conmon_server_registry::remove(const std::string& name) {
    return std::erase_if(devices_,
                         [&](const server_device& d) { return same_name(d.name, name); }) > 0;
}

const server_device* conmon_server_registry::find(const std::string& name) const {
    for (const server_device& d : devices_) {
        if (same_name(d.name, name)) {
            return &d;
        }
    }
    return nullptr;
}

const server_device* conmon_server_registry::find_by_address(const sockaddr_in& address) const {
    for (const server_device& d : devices_) {
        if (same_endpoint(d.address, address)) {
            return &d;
        }
    }
    return nullptr;
}

const server_device* conmon_server_registry::find_by_instance(
    const conmon_instance_id_t& instance) const {
    for (const server_device& d : devices_) {
        if (d.instance_valid && conmon_instance_id_equal(&d.instance, &instance)) {
            return &d;
        }
    }
    return nullptr;
}

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool txt_value(const uint8_t* txt, size_t size, const char* key, std::string& out) {
    uint8_t len = 0;
    const void* value = dt_txt_record_get_value_ptr(
        static_cast<uint16_t>(size > 0xFFFF ? 0xFFFF : size), txt, key, &len);
    if (value == nullptr) {
        return false;
    }
    out.assign(static_cast<const char*>(value), len);
    return true;
}

}  // namespace

bool parse_instance_txt(const uint8_t* txt, size_t size, conmon_instance_id_t& out) {
    std::string id, process;
    if (txt == nullptr || !txt_value(txt, size, "id", id) ||
        !txt_value(txt, size, "process", process) || id.size() != 16 || process.empty() ||
        process.size() > 5) {
        return false;
    }
    conmon_instance_id_t result{};
    for (size_t i = 0; i < 8; ++i) {
        int hi = hex_value(id[2 * i]), lo = hex_value(id[2 * i + 1]);
        if (hi < 0 || lo < 0) {
            return false;
        }
        result.device_id[i] = static_cast<uint8_t>(hi << 4 | lo);
    }
    unsigned value = 0;
    for (char c : process) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    if (value > 0xFFFF) {
        return false;
    }
    result.process_id = static_cast<uint16_t>(value);
    out = result;
    return true;
}

}  // namespace tavrin::sim
