#pragma once
// One Dante device found by the browse, with the routing-device connection opened
// for it and what its Audinate status messages told about it.
#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "dante/browse/db_browse.h"
#include "dante/routing/dr_devices.h"
#include "qxapi/audinate_facts.h"
#include "qxapi/dante_calls.h"

namespace tavrin {

// 32 characters and a terminator, as the device list compares them.
constexpr size_t node_text_size = 33;

struct dt_node {
    std::atomic<uint8_t> active{0};
    // A copy: the browse frees its own node (and name) when the device goes.
    std::string name;
    dr_device_t* device = nullptr;
    db_node_t* browse_node = nullptr;
    // Set once a rename closed `device`; such a node is skipped until the browse
    // replaces it.
    bool device_closed = false;
    uint16_t tx_count = 0;
    uint16_t rx_count = 0;
    std::vector<channel_entry> tx_channels;  // text = label
    std::vector<channel_entry> rx_channels;  // text = name

    // From the Audinate status messages; written under the node-list lock.
    std::array<char, node_text_size> manufacturer_name{};
    std::array<char, node_text_size> model_name{};
    uint32_t model_version = 0;
    uint32_t software_version = 0;
    uint32_t firmware_version = 0;
    uint32_t sample_rate = 0;
    uint32_t encoding = 0;
    std::vector<port_record> ports;
};

// A copy of one node's public facts, for readers outside the lock.
struct node_summary {
    std::string name;
    bool active = false;
    std::string manufacturer_name;
    std::string model_name;
    uint32_t model_version = 0;
    uint32_t software_version = 0;
    uint32_t firmware_version = 0;
    uint32_t sample_rate = 0;
    uint32_t encoding = 0;
    size_t port_count = 0;
    size_t tx_channel_count = 0;
    size_t rx_channel_count = 0;
};

}  // namespace tavrin
