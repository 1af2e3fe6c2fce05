#include "sim/lab_wire.h"

#include <cstring>

#include "dante/runtime/byte_view.h"

namespace tavrin::sim {

const conmon_vendor_id_t& lab_vendor_id() {
    static const conmon_vendor_id_t id = {{'T', 'a', 'v', 'r', 'L', 'a', 'b', 0}};
    return id;
}

bool parse_lab_message(const uint8_t* data, size_t size, lab_message& out) {
    if (data == nullptr || conmon_message_check(data, size) != AUD_SUCCESS) {
        return false;
    }
    const auto* head = reinterpret_cast<const conmon_message_head_t*>(data);
    out.head = head;
    out.body = data + CONMON_MESSAGE_HEAD_SIZE;
    out.body_size = conmon_message_head_get_body_size(head);
    out.message_class = conmon_message_head_get_message_class(head);
    out.seqnum = conmon_message_head_get_seqnum(head);
    conmon_message_head_get_instance_id(head, &out.source);
    out.lab =
        conmon_vendor_id_equal(conmon_message_head_get_vendor_id(head), &lab_vendor_id()) != 0;
    return true;
}

lab_bytes build_lab_message(uint16_t message_class, uint16_t seqnum,
                            const conmon_instance_id_t& source, const conmon_vendor_id_t& vendor,
                            const uint8_t* body, size_t body_size) {
    if (body_size > 0xFFFF - CONMON_MESSAGE_HEAD_SIZE) {
        return {};
    }
    lab_bytes out(CONMON_MESSAGE_HEAD_SIZE + body_size);
    conmon_message_head_init(reinterpret_cast<conmon_message_head_t*>(out.data()), message_class,
                             seqnum, &source, &vendor, static_cast<uint16_t>(body_size));
    if (body_size > 0) {
        std::memcpy(out.data() + CONMON_MESSAGE_HEAD_SIZE, body, body_size);
    }
    return out;
}

lab_bytes build_lab_ack(uint16_t seqnum, const conmon_instance_id_t& source, uint16_t acked) {
    const uint8_t body[4] = {static_cast<uint8_t>(acked >> 8), static_cast<uint8_t>(acked), 0, 0};
    return build_lab_message(lab_class_ack, seqnum, source, lab_vendor_id(), body, sizeof body);
}

bool parse_lab_ack(const lab_message& message, uint16_t& acked) {
    if (!message.lab || message.message_class != lab_class_ack) {
        return false;
    }
    aud_byte_reader r = aud_reader_make(message.body, message.body_size);
    uint16_t result = 0;
    return aud_read_be16(&r, &acked) && aud_read_be16(&r, &result);
}

}  // namespace tavrin::sim
