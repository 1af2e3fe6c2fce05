#pragma once
// The state a Utility page or window works with: a session connected to "Amp-2" over a
// send that records, its outbox whose frames tests read back, a recording events port.
#include <string>
#include <vector>

#include "app/page_context.h"
#include "platform/time_source.h"
#include "protocol/amp_params.h"
#include "protocol/selected_device.h"
#include "tests/support/recording_events.h"
#include "tests/support/session_fakes.h"

namespace tavrin::testing {

struct utility_fixture {
    utility_fixture() {
        bench.session.set_events(&events);
        open_session(bench.session, bench.time, "Amp-2");
        bench.control.clear();
        events.clear();
    }

    recording_events events;
    session_bench bench{false};
    amp_session& session = bench.session;
    command_ring& ring = bench.session.outbox();
    amp_params& params = bench.session.params();
    const selected_device& device = bench.session.device();
    fake_time& time = bench.time;
    page_shared shared;
    page_context ctx = session_context(bench.session, events, time, shared, ".");

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
