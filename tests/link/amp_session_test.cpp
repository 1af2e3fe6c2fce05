#include "link/amp_session.h"

#include <gtest/gtest.h>

#include <functional>

#include "link/answer_texts.h"
#include "protocol/catalogue.h"
#include "tests/support/session_fakes.h"

namespace tavrin {
namespace {

using testing::bytes;

// A block as the lab's amplifier holds it: master volume 20, location "Hall", the
// firmware date given.
bytes answer_of(uint8_t year = 24, uint8_t hour = 1, uint8_t master = 20) {
    std::vector<uint8_t> data(amp_params_size, 0);
    data[0] = master;
    const char* hall = "Hall";
    std::copy(hall, hall + 4, data.begin() + 149);
    data[508] = year;
    data[509] = 11;
    data[510] = 17;
    data[511] = hour;
    return build_frame(0xE3, 0x11, data);
}
// Built at 21-11-17 hour 0: refused.
bytes old_answer() {
    return answer_of(21, 0);
}
bytes wrong_size_answer() {
    return build_frame(0xE3, 0x11, std::vector<uint8_t>{1, 2, 3, 4, 21, 5, 6, 7});
}
bytes location_answer(const std::string& text) {
    return build_frame(0xC4, 0x11, std::vector<uint8_t>(text.begin(), text.end()));
}

constexpr field_mask answer_fields = field_bit(param_field::master_volume) |
                                     field_bit(param_field::location) |
                                     field_range(param_field::fw_year, param_field::fw_hour);

std::string params(field_mask mask) {
    char text[40];
    std::snprintf(text, sizeof text, "params 0x%llx", static_cast<unsigned long long>(mask));
    return text;
}
std::string info(const std::string& location) {
    std::array<uint8_t, 16> bytes16{};
    std::copy(location.begin(), location.end(), bytes16.begin());
    return "info " + device_info_text("Amp-1", bytes16);
}

struct session_rig {
    session_rig() {
        session.set_events(&listener);
        session.start();
    }
    // One step of the session, after the wait its last step asked for.
    void step() {
        time.advance(delay);
        delay = session.tick();
    }
    // Steps until `ms` have passed.
    void run_for(uint32_t ms) {
        const uint32_t end = time.now_ms() + ms;
        while (static_cast<int32_t>(time.now_ms() + delay - end) <= 0)
            step();
    }
    void answer(const bytes& frame) { session.on_amp_message("Amp-1", frame.data(), frame.size()); }
    void clear() {
        control.clear();
        listener.clear();
    }

    fake_time time{1000};
    testing::recording_control control;
    testing::recording_listener listener;
    amp_session session{{time, control}};
    uint32_t delay = amp_session::wake_period_ms;
};

using action = std::function<void(session_rig&)>;

// The states a row starts from, each reached the way a user gets there.
void open(session_rig& r) {
    r.session.choose("Amp-1");
    r.step();
}
void answered(session_rig& r) {
    open(r);
    r.answer(answer_of());
    r.step();
}
void gated(session_rig& r) {
    open(r);
    r.answer(old_answer());
    r.step();
}
void closed(session_rig& r) {
    open(r);
    r.session.close();
    r.step();
}
void probing(session_rig& r) {
    closed(r);
    r.run_for(amp_session::poll_period_ms);
}
void opening(session_rig& r) {
    probing(r);
    r.answer(answer_of());
    r.step();
}
void updating(session_rig& r) {
    static struct : update_procedure {
        void update_on_answer(const uint8_t*, size_t, size_t) override {}
        void update_step() override {}
    } update;
    answered(r);
    r.session.begin_update(&update);
    r.step();
}

struct row {
    const char* name;
    action from;
    action event;
    link_state to;
    std::vector<std::string> sent;  // code bytes of the frames sent
    std::vector<std::string> events;
};

TEST(AmpSession, EachEventInEachStateLeadsWhereTheProceduresSay) {
    const std::vector<row> rows = {
        {"a choice opens the link and polls",
         [](session_rig&) {},
         [](session_rig& r) {
             r.session.choose("Amp-1");
             r.step();
         },
         link_state::open,
         {"e3"},
         {"link open", "log Connected to Amp-1"}},
        {"a first full answer fills the mirror",
         open,
         [](session_rig& r) {
             r.answer(answer_of());
             r.step();
         },
         link_state::open,
         {},
         {info("Hall"), "ungated", params(answer_fields), "answered parameters"}},
        {"an unchanged answer only says it came",
         answered,
         [](session_rig& r) {
             r.answer(answer_of());
             r.step();
         },
         link_state::open,
         {},
         {"answered parameters"}},
        {"old firmware closes the gate",
         open,
         [](session_rig& r) {
             r.answer(old_answer());
             r.step();
         },
         link_state::open,
         {},
         {"info Firmware Version Error", "gated", "answered refused"}},
        {"an answer of the wrong size closes the gate",
         answered,
         [](session_rig& r) {
             r.answer(wrong_size_answer());
             r.step();
         },
         link_state::open,
         {},
         {"info FW Version Error", "gated",
          params(field_range(param_field::fw_year, param_field::fw_hour)), "answered wrong_size"}},
        {"the location answer renews the location",
         answered,
         [](session_rig& r) {
             r.answer(location_answer("Foyer"));
             r.step();
         },
         link_state::open,
         {},
         {info("Foyer"), params(field_bit(param_field::location)), "answered location"}},
        {"two answers in one wake-up are both taken",
         open,
         [](session_rig& r) {
             r.answer(answer_of());
             r.answer(location_answer("Foyer"));
             r.step();
         },
         link_state::open,
         {},
         {info("Hall"), "ungated", params(answer_fields), "answered parameters", info("Foyer"),
          params(field_bit(param_field::location)), "answered location"}},
        {"another device's answer is not taken",
         open,
         [](session_rig& r) {
             const bytes a = answer_of();
             r.session.on_amp_message("Amp-2", a.data(), a.size());
             r.step();
         },
         link_state::open,
         {},
         {}},
        {"Disconnect closes at the end of the wake-up",
         answered,
         [](session_rig& r) {
             r.session.close();
             r.step();
         },
         link_state::idle,
         {},
         {"link closed", "log Disconnected from Amp-1"}},
        {"a close and a choice in one wake-up: the close wins",
         answered,
         [](session_rig& r) {
             r.session.close();
             r.session.choose("Amp-1");
             r.step();
         },
         link_state::idle,
         {},
         {"link closed", "log Disconnected from Amp-1"}},
        {"three polls without answer, the fourth closes",
         answered,
         [](session_rig& r) { r.run_for(4 * amp_session::poll_period_ms); },
         link_state::idle,
         {"e3", "e3", "e3"},
         {"link closed", "log Disconnected from Amp-1", "lost silent"}},
        {"a lost server closes an open link",
         answered,
         [](session_rig& r) {
             r.session.server_lost();
             r.step();
         },
         link_state::idle,
         {},
         {"link closed", "log Disconnected from Amp-1", "lost server"}},
        {"a lost server leaves a firmware transfer alone",
         updating,
         [](session_rig& r) {
             r.session.server_lost();
             r.step();
         },
         link_state::open,
         {},
         {}},
        {"a closed link is probed after 5 s",
         closed,
         [](session_rig& r) { r.run_for(amp_session::poll_period_ms); },
         link_state::probing,
         {"e3"},
         {}},
        {"a probe's answer opens at the next wake-up",
         probing,
         [](session_rig& r) {
             r.answer(answer_of());
             r.step();
         },
         link_state::opening,
         {},
         {info("Hall"), "ungated", params(answer_fields), "answered parameters"}},
        {"opening connects and polls",
         opening,
         [](session_rig& r) { r.step(); },
         link_state::open,
         {"e3"},
         {"link open", "log Connected to Amp-1"}},
        {"Synchronize forgets the mirror and polls",
         answered,
         [](session_rig& r) {
             r.session.synchronize();
             r.step();
         },
         link_state::open,
         {"e3"},
         {params(all_fields)}},
        {"a paused poll stays silent",
         answered,
         [](session_rig& r) {
             r.session.pause_poll();
             r.run_for(3 * amp_session::poll_period_ms);
         },
         link_state::open,
         {},
         {}},
        {"a resumed poll polls 5 s later",
         answered,
         [](session_rig& r) {
             r.session.pause_poll();
             r.run_for(3 * amp_session::poll_period_ms);
             r.session.resume_poll();  // taken at the next wake-up
             r.run_for(amp_session::poll_period_ms + amp_session::wake_period_ms);
         },
         link_state::open,
         {"e3"},
         {}},
        {"commands leave one per wake-up, then a poll after 5 s of silence",
         answered,
         [](session_rig& r) {
             r.session.outbox().ring_push(cmd::find_me());
             r.session.outbox().ring_push(cmd::mute(true));
             r.run_for(amp_session::poll_period_ms + 300);
         },
         link_state::open,
         {"07", "08", "e3"},
         {}},
        {"a gated link lets only the poll out",
         gated,
         [](session_rig& r) {
             EXPECT_EQ(r.session.outbox().ring_push(cmd::mute(true)), push_status::gated);
             EXPECT_EQ(r.session.outbox().ring_push(cmd::poll()), push_status::queued);
             r.step();
         },
         link_state::open,
         {"e3"},
         {}},
    };
    for (const row& row : rows) {
        SCOPED_TRACE(row.name);
        session_rig r;
        row.from(r);
        r.clear();
        row.event(r);
        EXPECT_EQ(link_state_name(r.session.view().state()), std::string(link_state_name(row.to)));
        EXPECT_EQ(r.control.codes(), row.sent);
        EXPECT_EQ(r.listener.events(), row.events);
    }
}

TEST(AmpSession, NothingHappensBeforeItStarts) {
    fake_time time;
    testing::recording_control control;
    amp_session session{{time, control}};
    session.choose("Amp-1");
    EXPECT_EQ(session.tick(), amp_session::wake_period_ms);
    EXPECT_TRUE(control.sent().empty());
    session.start();
    session.tick();
    EXPECT_EQ(control.codes(), std::vector<std::string>{"e3"});
    EXPECT_EQ(control.devices(), std::vector<std::string>{"Amp-1"});
}

// A firmware transfer's answers go to it; each answer is followed by the amplifier's
// pause and each frame by the update gap, so a block leaves 120 ms after its answer.
TEST(AmpSession, AFirmwareTransferKeepsTheAmplifiersPacing) {
    struct recording_update : update_procedure {
        amp_session* session = nullptr;
        std::vector<uint32_t> answers;
        fake_time* time = nullptr;
        int steps = 0;
        void update_on_answer(const uint8_t*, size_t, size_t) override {
            answers.push_back(time->now_ms());
            const frame_bytes f = frame_of(amp_command{0x31, 0x10, {1}});
            session->outbox().ring_put_frame(f.data(), f.size());
        }
        void update_step() override { ++steps; }
    } update;
    session_rig r;
    answered(r);
    update.session = &r.session;
    update.time = &r.time;
    r.session.begin_update(&update);
    r.step();
    r.clear();

    r.answer(build_frame(0x31, 0x20, std::vector<uint8_t>{0}));
    r.answer(build_frame(0x31, 0x20, std::vector<uint8_t>{0}));
    const uint32_t start = r.time.now_ms();
    r.step();  // takes the first answer only
    ASSERT_EQ(update.answers.size(), 1u);
    EXPECT_EQ(r.delay, amp_session::update_answer_pause_ms);
    r.step();  // the pause is over; the gap before the frame
    EXPECT_EQ(r.delay, amp_session::update_gap_ms);
    EXPECT_TRUE(r.control.sent().empty());
    r.step();
    EXPECT_EQ(r.control.codes(), std::vector<std::string>{"31"});
    EXPECT_EQ(r.time.now_ms() - start,
              100u + amp_session::update_answer_pause_ms + amp_session::update_gap_ms);
    EXPECT_EQ(r.delay, amp_session::wake_period_ms);
    r.step();  // the second answer, one wake-up later
    EXPECT_EQ(update.answers.size(), 2u);
    // No poll while the transfer owns the link.
    r.run_for(2 * amp_session::poll_period_ms);
    EXPECT_EQ(r.control.codes(), (std::vector<std::string>{"31", "31"}));

    r.session.end_update();
    r.step();
    EXPECT_FALSE(r.session.view().updating());
}

}  // namespace
}  // namespace tavrin
