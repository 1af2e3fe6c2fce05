#pragma once
// What a session's tests put around it: a ConMon send that records the bodies (the
// frames, since small frames travel whole), a listener that records every event as
// one line ("log Connected to Amp-1", "params 0x3"), and builders of the answers an
// amplifier sends.
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "link/amp_session.h"
#include "protocol/frame.h"

namespace tavrin::testing {

using bytes = std::vector<uint8_t>;

class recording_control : public control_sender {
  public:
    int send_control(const std::string& device, uint16_t, const vendor_id_bytes&,
                     const uint8_t* body, size_t size) override {
        std::lock_guard lock(mutex_);
        sent_.emplace_back(body, body + size);
        devices_.push_back(device);
        return 0;
    }
    std::string error_text(int) override { return "error"; }

    std::vector<bytes> sent() const {
        std::lock_guard lock(mutex_);
        return sent_;
    }
    // The code byte of each frame sent, as two hex digits ("e3" for a poll).
    std::vector<std::string> codes() const {
        std::lock_guard lock(mutex_);
        std::vector<std::string> out;
        for (const bytes& b : sent_) {
            char text[3];
            std::snprintf(text, sizeof text, "%02x", b.size() > 4 ? b[4] : 0);
            out.emplace_back(text);
        }
        return out;
    }
    std::vector<std::string> devices() const {
        std::lock_guard lock(mutex_);
        return devices_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        sent_.clear();
        devices_.clear();
    }

  private:
    mutable std::mutex mutex_;
    std::vector<bytes> sent_;
    std::vector<std::string> devices_;
};

class recording_listener : public session_events {
  public:
    void log_line(const std::string& text) override { add("log " + text); }
    void link_changed(bool open) override { add(open ? "link open" : "link closed"); }
    void lost(close_reason why) override {
        add(std::string("lost ") + (why == close_reason::silent ? "silent" : "server"));
    }
    void answered(answer_kind kind) override {
        static const char* names[] = {"parameters", "location", "wrong_size", "refused"};
        add(std::string("answered ") + names[static_cast<int>(kind)]);
    }
    void params_changed(field_mask mask) override {
        char text[40];
        std::snprintf(text, sizeof text, "params 0x%llx", static_cast<unsigned long long>(mask));
        add(text);
    }
    void info_changed(const std::string& text) override { add("info " + text); }
    void gated(bool refused) override { add(refused ? "gated" : "ungated"); }
    box_answer ask(const question& q) override {
        add("ask " + q.text);
        return default_answer(q.buttons);
    }

    std::vector<std::string> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        events_.clear();
    }

  private:
    void add(const std::string& e) {
        std::lock_guard lock(mutex_);
        events_.push_back(e);
    }
    mutable std::mutex mutex_;
    std::vector<std::string> events_;
};

// Steps a session by hand, as its thread would, with the clock moving by what each
// step asks for.
inline void step_session(amp_session& session, fake_time& time, int steps = 1) {
    uint32_t delay = amp_session::wake_period_ms;
    for (int i = 0; i < steps; ++i) {
        time.advance(delay);
        delay = session.tick();
    }
}

// A session connected to "Amp-1", its connecting poll sent: pages queue commands.
inline void open_session(amp_session& session, fake_time& time, const std::string& name = "Amp-1") {
    session.start();
    session.choose(name);
    step_session(session, time);
}

// The session's link closed (the Disconnect button): commands are refused.
inline void close_session(amp_session& session, fake_time& time) {
    session.close();
    step_session(session, time);
}

// An amplifier session for tests of what sits above it (pages, presets, firmware),
// over a ConMon send that records the frames; open unless told otherwise.
struct session_bench {
    explicit session_bench(bool open = true, uint32_t start_ms = 1000) : time(start_ms) {
        if (open)
            open_session(session, time);
        control.clear();
    }
    void step(int steps = 1) { step_session(session, time, steps); }

    fake_time time;
    recording_control control;
    amp_session session{{time, control}};
};

// The amplifier's full answer: 512 parameter bytes with the firmware date given.
inline bytes full_answer(uint8_t fill, uint8_t year = 24, uint8_t month = 1, uint8_t day = 1,
                         uint8_t hour = 1) {
    std::vector<uint8_t> data(amp_params_size, fill);
    data[508] = year;
    data[509] = month;
    data[510] = day;
    data[511] = hour;
    return build_frame(0xE3, 0x11, data);
}

}  // namespace tavrin::testing
