#pragma once
// The Audinate status messages the wrapper reads, as pure functions from a message
// body to what it says about its sender. No library state, no log, no lock: the ConMon
// link calls them on received bodies, logs audinate_lines() of the result and hands
// the facts to the node list. Fields a short body does not carry read as zero, as the
// library's readers leave them; a port list ends at the first port the body lacks.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavrin {

using audinate_id = std::array<uint8_t, 8>;

// One port of an INTERFACE_STATUS, as the node keeps it.
struct port_record {
    uint16_t index = 0;
    bool link_up = false;
    uint16_t flags = 0;
    std::array<uint8_t, 6> mac{};
    uint32_t speed = 0;
    uint32_t ip = 0;  // network order
    uint32_t netmask = 0;
    uint32_t dns_server = 0;
    uint32_t gateway = 0;
};

// The configuration a port takes at the next reboot.
struct reboot_config {
    uint16_t flags = 0;
    uint32_t ip = 0;  // network order
    uint32_t netmask = 0;
    uint32_t dns_server = 0;
    uint32_t gateway = 0;
    std::optional<std::string> domain_name;
};

struct port_facts {
    port_record record;
    std::optional<std::string> domain_name;
    std::optional<reboot_config> reboot;  // present with a reboot record that has one
};

struct interface_facts {
    uint16_t mode = 0;  // 0 DIRECT, otherwise SWITCHED
    uint16_t redundancy = 0;
    uint16_t port_count = 0;        // as the body states it
    std::vector<port_facts> ports;  // the ports the body holds
};

// SRATE_STATUS and ENC_STATUS share a layout.
struct srate_facts {
    uint16_t type = 0;  // AUDINATE_TYPE_SRATE_STATUS or AUDINATE_TYPE_ENC_STATUS
    uint16_t mode = 0;  // 0 Fixed, 1 Reboot, 2 Immediate
    uint32_t current = 0;
    uint32_t reboot = 0;
    uint16_t available_count = 0;     // as the body states it
    std::vector<uint32_t> available;  // the values the body holds
};

struct manf_facts {
    audinate_id manufacturer_id{};
    audinate_id model_id{};
    audinate_id serial_id{};
    std::string manufacturer_name;
    std::string model_name;
    std::string model_version_string;
    uint32_t model_version = 0;
    uint32_t software_version = 0;
    uint32_t software_build = 0;
    uint32_t firmware_version = 0;
    uint32_t firmware_build = 0;
    uint32_t capabilities = 0;
};

// The type of an Audinate body and its logged name; empty for a body too short to
// have a type or a type without a name.
struct audinate_head {
    uint16_t type = 0;
    const char* name = nullptr;  // static text
};
std::optional<audinate_head> read_audinate_head(const uint8_t* body, size_t size);

// Each is empty unless the body carries that message type.
std::optional<interface_facts> decode_interface_status(const uint8_t* body, size_t size);
std::optional<srate_facts> decode_srate_status(const uint8_t* body, size_t size);
std::optional<manf_facts> decode_manf_versions(const uint8_t* body, size_t size);

}  // namespace tavrin
