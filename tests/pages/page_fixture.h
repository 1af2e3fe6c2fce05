#pragma once
// Page contexts whose amplifier counts as connected, so that pages queue their
// commands, with readers of what they queued; and (for the Volume, Input and Power
// pages) a view that records what the logic asks of its window.
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/page_context.h"
#include "pages/page_view.h"
#include "tests/support/recording_events.h"
#include "tests/support/session_fakes.h"

namespace tavrin::testing {

struct connected_context {
    session_bench bench;
    command_ring& ring = bench.session.outbox();
    amp_params& params = bench.session.params();
    session_events events;
    fake_time& time = bench.time;
    page_shared shared;
    page_context ctx = session_context(bench.session, events, time, shared, ".");

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

// As connected_context, with the events recorded and the commands as hex text.
struct page_fixture {
    session_bench bench;
    amp_session& session = bench.session;
    command_ring& ring = bench.session.outbox();
    amp_params& params = bench.session.params();
    recording_events events;
    fake_time& time = bench.time;
    page_shared shared;
    page_context ctx = session_context(bench.session, events, time, shared, ".");

    // Whether the session's poll timer runs once it has taken what the page asked of
    // it: one step of the session at the same moment, which sends what is still
    // queued (call sent() first).
    bool poll_running() {
        session.tick();
        return session.poll_timer_on();
    }

    // Every queued command as "code data..." in hexadecimal ("08 32 ff"), taken off the ring.
    std::vector<std::string> sent() {
        std::vector<std::string> out;
        uint8_t frame[command_ring::slot_size];
        while (size_t n = ring.ring_pop_into(frame, sizeof frame)) {
            std::string text;
            // Code at 4, data from 7 up to the checksum.
            for (size_t i = 4; i + 1 < n; ++i) {
                if (i == 5 || i == 6)
                    continue;
                char hex[4];
                std::snprintf(hex, sizeof hex, "%02x", frame[i]);
                if (!text.empty())
                    text += ' ';
                text += hex;
            }
            out.push_back(text);
        }
        return out;
    }
};

using sent_list = std::vector<std::string>;

// Records what any of the three pages' views is asked (methods a page's view lacks
// simply go unused).
template <typename View>
struct recording_controls : View {
    std::map<int, std::string> texts;
    std::map<int, bool> checks;
    std::map<int, bool> enabled;
    std::map<int, std::pair<int, int>> ranges;
    std::map<int, int> positions;
    std::map<int, std::vector<std::string>> entries;
    std::map<int, int> selected;
    std::vector<uint32_t> arms;  // every arming of the send timer
    bool timer_on = false;
    int invalidations = 0;

    void set_item_text(int item, const std::string& text) { texts[item] = text; }
    void set_check(int item, bool checked) { checks[item] = checked; }
    void invalidate() { ++invalidations; }
    void invalidate_area(const graph::rect&) {}
    int width() const { return 0; }
    int height() const { return 0; }
    void set_slider_range(int item, int min, int max) { ranges[item] = {min, max}; }
    void set_slider_position(int item, int position) { positions[item] = position; }
    void set_enabled(int item, bool on) { enabled[item] = on; }
    void add_entry(int item, const std::string& text) { entries[item].push_back(text); }
    void select_entry(int item, int index) { selected[item] = index; }
    void arm_send_timer(uint32_t ms) {
        arms.push_back(ms);
        timer_on = true;
    }
    void stop_send_timer() { timer_on = false; }
};

}  // namespace tavrin::testing
