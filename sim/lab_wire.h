#pragma once
// The lab's own wire between conmon-server and the virtual devices (sim/README.md).
// Every datagram is one ConMon message: the 24-byte head, then the body. Messages
// with the vendor id "TavrLab" manage the link; everything else is ConMon traffic
// proper (control messages to a device, status messages from it).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dante/conmon/conmon_wire.h"

namespace tavrin::sim {

using lab_bytes = std::vector<uint8_t>;

// "TavrLab" and a zero byte.
const conmon_vendor_id_t& lab_vendor_id();

enum lab_wire_class : uint16_t {
    // server -> device: send me your status messages from now on (empty body).
    lab_class_subscribe = 0x0001,
    // server -> device: stop sending them (empty body).
    lab_class_unsubscribe = 0x0002,
    // device -> server: the control message with this sequence number arrived.
    // Body: u16 acknowledged sequence number, u16 result (0), network order.
    lab_class_ack = 0x0003,
};

// A ConMon message that passed conmon_message_check; pointers borrow the datagram.
struct lab_message {
    const conmon_message_head_t* head = nullptr;
    const uint8_t* body = nullptr;
    size_t body_size = 0;
    uint16_t message_class = 0;
    uint16_t seqnum = 0;
    conmon_instance_id_t source{};
    bool lab = false;  // vendor id is lab_vendor_id()
};

// False for anything that is not a whole ConMon message.
bool parse_lab_message(const uint8_t* data, size_t size, lab_message& out);

lab_bytes build_lab_message(uint16_t message_class, uint16_t seqnum,
                            const conmon_instance_id_t& source, const conmon_vendor_id_t& vendor,
                            const uint8_t* body, size_t body_size);

lab_bytes build_lab_ack(uint16_t seqnum, const conmon_instance_id_t& source, uint16_t acked);
// The sequence number an ack acknowledges; false for a malformed ack body.
bool parse_lab_ack(const lab_message& message, uint16_t& acked);

}  // namespace tavrin::sim
