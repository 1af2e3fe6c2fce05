#include "dante/conmon/internal/conmon_channel_dedup.h"

#include <string.h>

void conmon_channel_dedup_init(conmon_channel_dedup_t* ring) {
    memset(ring, 0, sizeof *ring);
}

const conmon_channel_dedup_entry_t* conmon_channel_dedup_find(const conmon_channel_dedup_t* ring,
                                                              uint16_t seqnum,
                                                              const conmon_instance_id_t* sender) {
    // Newest first: a message seen again after its window has a newer entry too.
    for (unsigned k = 1; k <= CONMON_CHANNEL_DEDUP_ENTRIES; ++k) {
        const unsigned i =
            (ring->write_pos + CONMON_CHANNEL_DEDUP_ENTRIES - k) % CONMON_CHANNEL_DEDUP_ENTRIES;
        const conmon_channel_dedup_entry_t* e = &ring->entries[i];
        if (e->networks != 0 && e->seqnum == seqnum &&
            conmon_instance_id_equal(&e->sender, sender)) {
            return e;
        }
    }
    return nullptr;
}

bool conmon_channel_dedup_check(conmon_channel_dedup_t* ring, uint16_t seqnum,
                                const conmon_instance_id_t* sender, unsigned network,
                                const conmon_channel_source_t* source, aud_utime_t now) {
    network %= CONMON_CHANNEL_MAX_NETWORKS;
    auto* found =
        const_cast<conmon_channel_dedup_entry_t*>(conmon_channel_dedup_find(ring, seqnum, sender));
    if (found) {
        const aud_utime_t window = aud_utime_make(CONMON_CHANNEL_DEDUP_WINDOW_SEC, 0);
        if (aud_utime_compare(now, aud_utime_add(found->first_arrival, window)) < 0) {
            found->networks |= static_cast<uint8_t>(1u << network);
            found->source[network] = *source;
            return false;
        }
    }
    conmon_channel_dedup_entry_t* e = &ring->entries[ring->write_pos];
    memset(e, 0, sizeof *e);
    e->seqnum = seqnum;
    e->sender = *sender;
    e->networks = static_cast<uint8_t>(1u << network);
    e->source[network] = *source;
    e->first_arrival = now;
    ring->write_pos = (ring->write_pos + 1) % CONMON_CHANNEL_DEDUP_ENTRIES;
    return true;
}
