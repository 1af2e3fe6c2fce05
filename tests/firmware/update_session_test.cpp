// Whole transfers through the amplifier's real session, stepped wake-up by wake-up
// against a scripted amplifier: what goes on the wire, what the user sees, and that
// the poll and the mirror stay out of the way meanwhile.
#include <gtest/gtest.h>

#include <algorithm>

#include "firmware/firmware_update.h"
#include "firmware_fakes.h"
#include "tests/support/session_fakes.h"

namespace tavrin {
namespace {

using testing::bytes;
using testing::counting_data;
using testing::image_of;

// The amplifier at the other end of the ConMon send: its answer comes back to the
// session as the network thread would hand it.
class amplifier_link : public control_sender {
  public:
    int send_control(const std::string&, uint16_t, const vendor_id_bytes&, const uint8_t* body,
                     size_t size) override {
        const bytes sent(body, body + size);
        if (sent.size() > 4 && sent[4] == 0xE3) {
            ++polls;
            return 0;
        }
        if (std::optional<bytes> reply = amp.answer(sent))
            session->on_amp_message("Amp-1", reply->data(), reply->size());
        return 0;
    }
    std::string error_text(int) override { return {}; }

    testing::scripted_amplifier amp;
    amp_session* session = nullptr;
    int polls = 0;
};

// Kinds of update frame, to compare sequences at a glance.
std::string kind_of(const bytes& f) {
    const bytes data(f.begin() + 7, f.end() - 1);
    if (f[4] == 0xF0)
        return "finish";
    if (f[4] == 0xF9)
        return data.size() == 4 ? "end" : "block " + std::to_string(data[1] * 256 + data[2]);
    if (f[1] == 0x11)
        return data[1] == 0x02 ? "resume?" : "checksum?";
    return data.size() == 6 && data[2] == 0 && data[3] == 0 ? "start" : "version";
}

class UpdateThroughSession : public ::testing::Test {
  protected:
    UpdateThroughSession() {
        link.session = &session;
        testing::open_session(session, time);  // sends the connecting poll
        answers_before = session.answers();
    }

    // The session's steps (100 ms apart, with the amplifier's pauses in between),
    // its poll timer running, until the transfer ends.
    uint32_t run(uint32_t limit_ms = 120'000) {
        const uint32_t begin = time.now_ms();
        uint32_t delay = amp_session::wake_period_ms;
        while (update.running() && time.now_ms() - begin < limit_ms) {
            time.advance(delay);
            delay = session.tick();
        }
        return time.now_ms() - begin;
    }
    std::vector<std::string> kinds() const {
        std::vector<std::string> out;
        for (const bytes& f : link.amp.received)
            out.push_back(kind_of(f));
        return out;
    }

    fake_time time{7'000'000};
    amplifier_link link;
    amp_session session{{time, link}};
    testing::scripted_events events{&time};
    firmware_update update{{session, events, time}};
    uint64_t answers_before = 0;
};

TEST_F(UpdateThroughSession, FreshTransferWithOneGarbledBlock) {
    const bytes image = counting_data(768);
    link.amp.garble_block = 1;
    const int polls_before = link.polls;
    ASSERT_TRUE(update.update_start(image_of(image)));
    run();

    EXPECT_EQ(kinds(), (std::vector<std::string>{"resume?", "start", "block 0", "block 1",
                                                 "block 1", "block 2", "end", "checksum?",
                                                 "version", "finish", "finish"}));
    EXPECT_EQ(link.amp.memory, image);
    EXPECT_EQ(events.box_texts(), std::vector<std::string>{"Update Finished."});
    EXPECT_EQ(update.result(), update_result::finished);
    // No poll went out and no answer reached the mirror while the transfer ran.
    EXPECT_EQ(link.polls, polls_before);
    EXPECT_EQ(session.answers(), answers_before);
}

TEST_F(UpdateThroughSession, ResumeSendsOnlyTheMissingPages) {
    const bytes image = counting_data(3 * 4096);
    const uint16_t held = firmware_checksum(image.data(), 8192);
    link.amp.resume = {1, 2, static_cast<uint8_t>(held >> 8), static_cast<uint8_t>(held)};
    link.amp.memory.assign(image.begin(), image.begin() + 8192);
    ASSERT_TRUE(update.update_start(image_of(image)));
    run();

    const std::vector<std::string> sent = kinds();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[0], "resume?");
    EXPECT_EQ(sent[1], "block 32");
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "start"), 0);
    EXPECT_EQ(std::count_if(sent.begin(), sent.end(),
                            [](const std::string& k) { return k.rfind("block", 0) == 0; }),
              16);
    EXPECT_EQ(link.amp.memory, image);
    EXPECT_EQ(events.box_texts(), std::vector<std::string>{"Update Finished."});
}

TEST_F(UpdateThroughSession, SilentAmplifierTimesOutAfterThirtySeconds) {
    link.amp.silent = true;
    ASSERT_TRUE(update.update_start(image_of(counting_data(512))));
    const uint32_t took = run();

    EXPECT_GT(took, firmware_update::timeout_ms);
    EXPECT_LT(took, firmware_update::timeout_ms + 300);
    const std::vector<std::string> sent = kinds();
    EXPECT_EQ(sent, std::vector<std::string>(sent.size(), "resume?"));
    EXPECT_GE(sent.size(), 14u);
    EXPECT_LE(sent.size(), 15u);
    EXPECT_EQ(events.box_texts(), std::vector<std::string>{"Update timeout."});
    EXPECT_FALSE(update.running());

    // Afterwards the poll timer polls again.
    const int polls = link.polls;
    testing::step_session(session, time, 60);
    EXPECT_GT(link.polls, polls);
}

}  // namespace
}  // namespace tavrin
