#pragma once
// The duplicate ring of a ConMon channel. With two networks the same message can
// arrive twice, once per network; the ring remembers the last 32 messages for two
// seconds so that only the first copy is delivered.
#include <stdint.h>

#include "dante/conmon/conmon_wire.h"
#include "dante/runtime/aud_time.h"

#define CONMON_CHANNEL_DEDUP_ENTRIES 32
#define CONMON_CHANNEL_DEDUP_WINDOW_SEC 2
#define CONMON_CHANNEL_MAX_NETWORKS 2

typedef struct conmon_channel_source {
    uint32_t address;  // network order
    uint16_t port;     // host order
} conmon_channel_source_t;

typedef struct conmon_channel_dedup_entry {
    uint16_t seqnum;
    conmon_instance_id_t sender;
    uint8_t networks;  // bit per network the message arrived on; 0 = unused entry
    conmon_channel_source_t source[CONMON_CHANNEL_MAX_NETWORKS];
    aud_utime_t first_arrival;
} conmon_channel_dedup_entry_t;

typedef struct conmon_channel_dedup {
    conmon_channel_dedup_entry_t entries[CONMON_CHANNEL_DEDUP_ENTRIES];
    unsigned write_pos;
} conmon_channel_dedup_t;

void conmon_channel_dedup_init(conmon_channel_dedup_t* ring);

// Records one arrival. Returns true when the message is new (deliver it), false when
// the same sender and sequence number arrived less than two seconds ago (the entry
// then gains this network's bit and source). network is 0 or 1.
bool conmon_channel_dedup_check(conmon_channel_dedup_t* ring, uint16_t seqnum,
                                const conmon_instance_id_t* sender, unsigned network,
                                const conmon_channel_source_t* source, aud_utime_t now);

// The entry holding this message, or null.
const conmon_channel_dedup_entry_t* conmon_channel_dedup_find(const conmon_channel_dedup_t* ring,
                                                              uint16_t seqnum,
                                                              const conmon_instance_id_t* sender);
