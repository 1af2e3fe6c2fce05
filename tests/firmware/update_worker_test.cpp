// Whole transfers through the real communication worker, stepped wake-up by wake-up
// against a scripted amplifier: what goes on the wire, what the user sees, and that
// the poll and the answer parser stay out of the way meanwhile.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/core/comm_worker.h"
#include "app/core/poll_tick.h"
#include "firmware/firmware_update.h"
#include "firmware_fakes.h"
#include "tests/app/core/worker_fakes.h"
#include "tests/support/recording_events.h"

namespace tavrin {
namespace {

using testing::bytes;
using testing::counting_data;
using testing::image_of;

// The amplifier at the other end of send_frame: its answer waits in the mailbox.
class amplifier_link : public frame_sender {
  public:
    explicit amplifier_link(answer_mailbox& mailbox) : mailbox_(mailbox) {}
    void send_frame(const uint8_t* frame, size_t size) override {
        const bytes sent(frame, frame + size);
        if (sent.size() > 4 && sent[4] == 0xE3) {
            ++polls;
            return;
        }
        if (std::optional<bytes> reply = amp.answer(sent))
            mailbox_.fill(reply->data(), reply->size());
    }

    testing::scripted_amplifier amp;
    int polls = 0;

  private:
    answer_mailbox& mailbox_;
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

class UpdateThroughWorker : public ::testing::Test {
  protected:
    UpdateThroughWorker() {
        flags.run_flag = true;
        device.set_name("Amp-1");
        flags.connect_flag = true;
        worker.wake_once();  // connect transition queues the poll
        worker.wake_once();  // and sends it
        ui.clear();
    }

    // Wake-ups every 100 ms (the worker adds its 20 ms before each update frame), the
    // poll timer ticking every 5 s, until the transfer ends.
    uint32_t run(uint32_t limit_ms = 120'000) {
        const uint32_t begin = time.now_ms();
        uint32_t next_poll = begin + poll_period_ms;
        while (flags.update_mode && time.now_ms() - begin < limit_ms) {
            time.advance(comm_worker::wake_period_ms);
            if (time.now_ms() >= next_poll) {
                poll_tick(flags, device, ring);
                next_poll += poll_period_ms;
            }
            worker.wake_once();
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
    link_flags flags;
    selected_device device;
    command_ring ring{flags};
    answer_mailbox mailbox;
    testing::recording_events ui;
    testing::scripted_events events{&time};
    testing::recording_answers answers;
    amplifier_link link{mailbox};
    firmware_update update{{flags, ring, events, time}};
    comm_worker worker{{flags, device, ring, mailbox, ui, time, link, answers, &update}};
};

TEST_F(UpdateThroughWorker, FreshTransferWithOneGarbledBlock) {
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
    // No poll went out and no answer reached the parser while the transfer ran.
    EXPECT_EQ(link.polls, polls_before);
    EXPECT_TRUE(answers.answers().empty());
    // Update frames do not restart the poll timer.
    EXPECT_TRUE(ui.timer_calls().empty());
}

TEST_F(UpdateThroughWorker, ResumeSendsOnlyTheMissingPages) {
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

TEST_F(UpdateThroughWorker, SilentAmplifierTimesOutAfterThirtySeconds) {
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
    EXPECT_FALSE(flags.update_mode);

    // Afterwards the poll timer polls again.
    poll_tick(flags, device, ring);
    worker.wake_once();
    EXPECT_EQ(link.polls, 2);
}

}  // namespace
}  // namespace tavrin
