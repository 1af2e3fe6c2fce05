// Channel datagram processing over arbitrary bytes. The input is a sequence of
// records: a 4-byte prefix (channel, which arrival details exist, destination kind,
// domain, interface, clock step, length) and then the datagram itself, so the checks,
// the network mapping and the duplicate ring all see fuzzed traffic.
#include <arpa/inet.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "dante/conmon/internal/conmon_channel.h"

namespace {

aud_utime_t g_now = {1000, 0};
volatile size_t g_delivered;

void read_clock(aud_utime_t* out, void*) {
    *out = g_now;
}

void deliver(conmon_channels_t*, conmon_channel_type_t, conmon_channel_direction_t,
             const conmon_message_head_t* head, const uint8_t* body, uint16_t body_size, void*) {
    // Touch every byte handed out so that a wrong size shows up under ASan.
    size_t sum = conmon_message_head_get_seqnum(head);
    for (uint16_t i = 0; i < body_size; ++i) {
        sum += body[i];
    }
    g_delivered = g_delivered + sum;
}

conmon_channels_t* make_set() {
    conmon_channels_config_t config{};
    config.channel_mask = (1u << CONMON_CHANNEL_TYPE_METERING) | (1u << CONMON_CHANNEL_TYPE_SERIAL);
    conmon_channels_t* set = nullptr;
    if (conmon_channels_new(nullptr, nullptr, &config, deliver, nullptr, &set) != AUD_SUCCESS) {
        return nullptr;
    }
    conmon_channels_set_clock(set, read_clock, nullptr);
    conmon_channel_network_t nets[2] = {};
    nets[0] = {40, inet_addr("10.77.0.1"), true, 40, true};
    nets[1] = {41, inet_addr("10.77.1.1"), true, 1041, true};
    conmon_channels_set_networks(set, nets, 2);
    conmon_instance_id_t self{};
    self.device_id[7] = 1;
    conmon_channels_set_instance_id(set, &self);
    return set;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static conmon_channels_t* set = make_set();
    if (!set) {
        return 0;
    }
    static const uint32_t indexes[] = {40, 41, 1, 1041, 7};
    while (size >= 4) {
        const uint8_t flags = data[0];
        const uint8_t iface = data[1];
        const uint8_t step = data[2];
        size_t len = data[3];
        data += 4;
        size -= 4;
        if (flags & 0x80) {
            len = size;  // the rest of the input is one datagram
        }
        if (len > size) {
            len = size;
        }
        // An exact-size copy so that any read past the datagram is caught.
        std::vector<uint8_t> datagram(data, data + len);
        data += len;
        size -= len;
        if ((flags & 0x40) && len >= 4) {
            datagram[2] = static_cast<uint8_t>(len >> 8);
            datagram[3] = static_cast<uint8_t>(len);
        }
        conmon_channel_t* ch = conmon_channels_get_channel(
            set, (flags & 1) ? CONMON_CHANNEL_TYPE_SERIAL : CONMON_CHANNEL_TYPE_METERING);
        conmon_channel_rx_info_t info{};
        info.has_from = flags & 0x02;
        info.has_to = flags & 0x04;
        info.has_index = flags & 0x08;
        info.from.address = inet_addr("10.77.0.9");
        info.from.port = 8705;
        info.to_address = (flags & 0x10) ? inet_addr("224.0.0.232") : inet_addr("10.77.0.1");
        info.if_index = indexes[iface % 5];
        conmon_channels_set_adhoc(set, !(flags & 0x20));
        g_now = aud_utime_add(g_now, aud_utime_make(step / 10, (step % 10) * 100000));
        conmon_channel_rx_result_t result;
        conmon_channel_process_datagram(ch, datagram.data(), datagram.size(), &info, &result);
    }
    return 0;
}
