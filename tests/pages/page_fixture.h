#pragma once
// A page context whose amplifier counts as connected, so that pages queue their
// commands, and a reader of what they queued.
#include <vector>

#include "app/core/page_context.h"

namespace tavrin::testing {

struct connected_context {
    link_flags flags;
    selected_device device;
    command_ring ring{flags};
    amp_params params;
    null_app_events events;
    fake_time time;
    page_shared shared;
    page_context ctx{flags, device, ring, params, events, time, shared, "."};

    connected_context() { flags.connect_flag = true; }

    // The commands queued since the last call, in order, each as its code followed
    // by its data bytes.
    std::vector<std::vector<uint8_t>> sent() {
        std::vector<std::vector<uint8_t>> out;
        uint8_t frame[command_ring::max_frame];
        while (const size_t n = ring.ring_pop_into(frame, sizeof frame)) {
            // 55 unit AA D5 code len-hi len-lo data... checksum
            std::vector<uint8_t> body{frame[4]};
            body.insert(body.end(), frame + 7, frame + n - 1);
            out.push_back(std::move(body));
        }
        return out;
    }
};

}  // namespace tavrin::testing
