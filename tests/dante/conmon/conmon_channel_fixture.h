#pragma once
// Shared pieces of the channel tests: a channel set whose deliveries are recorded,
// a fake clock for the duplicate window, and a builder of ConMon datagrams.
#include <arpa/inet.h>

#include <cstring>
#include <vector>

#include "dante/conmon/internal/conmon_channel.h"

namespace channel_test {

struct delivery {
    conmon_channel_type_t channel;
    conmon_channel_direction_t direction;
    uint16_t seqnum;
    std::vector<uint8_t> body;
};

struct recorder {
    std::vector<delivery> seen;
    static void deliver(conmon_channels_t*, conmon_channel_type_t channel,
                        conmon_channel_direction_t direction, const conmon_message_head_t* head,
                        const uint8_t* body, uint16_t body_size, void* user) {
        auto* self = static_cast<recorder*>(user);
        self->seen.push_back({channel, direction, conmon_message_head_get_seqnum(head),
                              std::vector<uint8_t>(body, body + body_size)});
    }
};

struct fake_clock {
    aud_utime_t now = aud_utime_make(1000, 0);
    static void read(aud_utime_t* out, void* user) { *out = static_cast<fake_clock*>(user)->now; }
    void advance_us(int64_t us) {
        now = aud_utime_add(now, aud_utime_make(us / 1000000, static_cast<int32_t>(us % 1000000)));
    }
};

inline conmon_instance_id_t instance(uint8_t device, uint16_t process) {
    conmon_instance_id_t id{};
    id.device_id[7] = device;
    id.process_id = process;
    return id;
}

inline std::vector<uint8_t> datagram(const conmon_instance_id_t& sender, uint16_t seqnum,
                                     std::vector<uint8_t> body = {0xAB, 0xCD}) {
    std::vector<uint8_t> out(CONMON_MESSAGE_HEAD_SIZE + body.size());
    conmon_vendor_id_t vendor;
    conmon_vendor_id_from_string(&vendor, "Varnoll");
    conmon_message_head_init(reinterpret_cast<conmon_message_head_t*>(out.data()), 0xFFFF, seqnum,
                             &sender, &vendor, static_cast<uint16_t>(body.size()));
    if (!body.empty()) {
        memcpy(out.data() + CONMON_MESSAGE_HEAD_SIZE, body.data(), body.size());
    }
    return out;
}

inline uint32_t ip(const char* text) {
    return inet_addr(text);
}

}  // namespace channel_test
