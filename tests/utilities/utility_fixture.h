#pragma once
// The state a Utility page or window works with, connected to nothing: flags that say
// "connected", a ring whose frames tests read back, a recording events port.
#include <string>
#include <vector>

#include "app/core/command_ring.h"
#include "app/core/page_context.h"
#include "platform/time_source.h"
#include "protocol/amp_params.h"
#include "protocol/link_state.h"
#include "tests/support/recording_events.h"

namespace tavrin::testing {

struct utility_fixture {
    link_flags flags;
    selected_device device;
    command_ring ring{flags};
    amp_params params;
    recording_events events;
    fake_time time;
    page_shared shared;
    page_context ctx{flags, device, ring, params, events, time, shared, "."};

    utility_fixture() {
        flags.connect_flag.store(true);
        device.set_name("Amp-2");
        device.renew_copy();
    }

    // Every queued frame, oldest first, as lowercase hex ("55 10 aa ...").
    std::vector<std::string> sent() {
        std::vector<std::string> out;
        uint8_t frame[command_ring::slot_size];
        while (size_t n = ring.ring_pop_into(frame, sizeof frame)) {
            std::string line;
            for (size_t i = 0; i < n; ++i) {
                static const char* digits = "0123456789abcdef";
                if (i > 0)
                    line += ' ';
                line += digits[frame[i] >> 4];
                line += digits[frame[i] & 15];
            }
            out.push_back(line);
        }
        return out;
    }
};

}  // namespace tavrin::testing
