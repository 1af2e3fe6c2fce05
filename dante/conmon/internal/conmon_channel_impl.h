#pragma once
// Internal layout of the channel set and its channel objects.
#include "dante/conmon/internal/conmon_channel.h"

struct conmon_channel {
    conmon_channels_t* set;
    conmon_channel_type_t type;
    conmon_channel_mode_t mode;
    uint16_t unicast_port;
    uint16_t multicast_port;
    uint32_t group;  // network order
    conmon_channel_address_list_t addresses;
    int sock;
    uint32_t joined[CONMON_CHANNEL_MAX_NETWORKS];  // network order, 0 = not joined
    uint32_t batch;
    conmon_channel_dedup_t dedup;
};

struct conmon_channels {
    aud_log_t* log;
    aud_event_loop_t* loop;
    conmon_channel_deliver_fn* deliver;
    void* user;
    conmon_channel_network_t networks[CONMON_CHANNEL_MAX_NETWORKS];
    unsigned network_count;
    uint32_t loopback_index;  // 0 = unknown
    conmon_instance_id_t self;
    bool adhoc;
    aud_clock_fn* clock;
    void* clock_user;
    conmon_channel_t* channels[CONMON_NUM_CHANNELS];
    int tx[CONMON_CHANNEL_MAX_NETWORKS];
    bool tx_if_set[CONMON_CHANNEL_MAX_NETWORKS];
};

namespace conmon_channel_detail {

const char* mode_name(conmon_channel_mode_t mode);
const char* channel_name(const conmon_channel_t* channel);
aud_utime_t now(const conmon_channels_t* set);
// "a.b.c.d" of a network-order address into buf[16].
const char* ip_text(uint32_t address, char buf[16]);
// Rebuilds the unicast address list from the set's networks and logs it under fn,
// the operation that asked.
void rebuild_address_list(conmon_channel_t* channel, const char* fn);

}  // namespace conmon_channel_detail
