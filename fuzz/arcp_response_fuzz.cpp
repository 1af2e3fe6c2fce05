// ARCP responses through the routing layer's whole response path. Input: records of
//   op (what to ask first: 0 capabilities, 1 ping, 2 rename, 3-8 component 0-5),
//   flags (bit 0: answer from a foreign port; bit 1: keep the datagram's own opcode,
//   so that the device's notifications 0x1601, 0x1602 and 0x1F11 are reached),
//   16-bit big-endian size, datagram.
// The datagram gets the pending request's sequence number (and opcode) patched in, so
// that every record reaches a handler instead of being dropped as unknown. A
// capabilities answer claims at most 255 channels and flows of each kind: the tables
// made for 65535 of them cost a hundred times more than the rest of an input and
// reach no other code. Requests "leave" through the stubs of offline_net.h.
#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "dante/routing/internal/dr_impl.h"
#include "fuzz/support/offline_net.h"

namespace {

const uint16_t k_port = 9;  // discard: nothing answers the requests sent there

struct harness {
    dapi_t* api = nullptr;
    dr_devices_t* devices = nullptr;
    harness() {
        dapi_new(&api);
        dr_devices_new(api, &devices);
    }
};

dr_request* pending_of(dr_devices* factory, dr_device* d) {
    for (dr_request& r : factory->requests) {
        if (r.in_use && r.device == d) {
            return &r;
        }
    }
    return nullptr;
}

void ask(dr_device* d, uint8_t op) {
    if (op == 0) {
        dr_device_query_capabilities(d, nullptr, nullptr);
    } else if (op == 1) {
        dr_device_ping(d, nullptr, nullptr);
    } else if (op == 2) {
        dr_request_id_t id = nullptr;
        dr_device_set_name(d, nullptr, &id, "Amp-2");
    } else {
        dr_device_update_component(d, nullptr, nullptr,
                                   static_cast<dr_device_component_t>((op - 3) % 6));
    }
}

// Offsets of the TX and RX channel and flow counts in a capabilities answer.
const size_t k_count_offsets[] = {12, 14, 18, 20};

void cap_counts(std::vector<uint8_t>& packet) {
    for (size_t at : k_count_offsets) {
        if (at < packet.size()) {
            packet[at] = 0;  // the high byte of a big-endian u16
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static harness h;
    if (!h.devices) {
        return 0;
    }
    dr_device_config_t* config = nullptr;
    dr_device_config_new("Amp-1", &config);
    dr_device_config_add_address(config, htonl(INADDR_LOOPBACK), k_port);
    dr_device_t* d = nullptr;
    dr_device_open_with_config(h.devices, config, &d);
    dr_device_config_delete(config);
    if (!d) {
        return 0;
    }
    size_t pos = 0;
    while (pos + 4 <= size) {
        const uint8_t op = data[pos] % 9;
        const uint8_t flags = data[pos + 1];
        size_t n = (size_t{data[pos + 2]} << 8) | data[pos + 3];
        pos += 4;
        if (n > size - pos) {
            n = size - pos;
        }
        std::vector<uint8_t> packet(data + pos, data + pos + n);
        pos += n;
        if (!pending_of(h.devices, d)) {
            ask(d, op);
        }
        dr_request* r = pending_of(h.devices, d);
        if (r && packet.size() >= ARCP_HEAD_SIZE) {
            packet[4] = static_cast<uint8_t>(r->seqnum >> 8);
            packet[5] = static_cast<uint8_t>(r->seqnum);
            if (!(flags & 2)) {
                packet[6] = static_cast<uint8_t>(r->opcode >> 8);
                packet[7] = static_cast<uint8_t>(r->opcode);
            }
            if (r->step == DR_STEP_CAPABILITIES) {
                cap_counts(packet);
            }
        }
        dr_devices_process_socket_message(h.devices, packet.data(), packet.size(),
                                          htonl(INADDR_LOOPBACK),
                                          (flags & 1) ? k_port + 1 : k_port);
    }
    dr_device_close(d);
    return 0;
}
