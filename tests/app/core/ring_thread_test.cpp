// The ring, the mailbox and the flags under the real thread layout: a UI thread
// pushing, polling and clicking Connect/Disconnect, the worker popping, clearing and
// parsing, and a network thread filling the mailbox.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/core/comm_worker.h"
#include "app/core/poll_tick.h"
#include "protocol/frame.h"
#include "tests/support/recording_events.h"
#include "worker_fakes.h"

namespace tavrin {
namespace {

using namespace std::chrono_literals;

class fast_time : public time_source {
  public:
    uint32_t now_ms() override { return system_time().now_ms(); }
    void sleep_ms(uint32_t ms) override { std::this_thread::sleep_for(ms * 1us); }
};

// A frame is whole when its length field, checksum and data pattern agree; a torn
// copy out of a slot being rewritten would break one of them.
bool whole(const testing::bytes& f) {
    if (f.size() < frame_overhead)
        return false;
    const size_t length = (size_t(f[5]) << 8) | f[6];
    if (length + 7 != f.size())
        return false;
    if (frame_checksum(f.data(), f.size() - 1) != f.back())
        return false;
    for (size_t i = 8; i + 1 < f.size(); ++i)
        if (f[i] != f[7])
            return false;
    return true;
}

class counting_sender : public frame_sender {
  public:
    void send_frame(const uint8_t* frame, size_t size) override {
        ++sent;
        if (!whole(testing::bytes(frame, frame + size)))
            ++torn;
    }
    std::atomic<int> sent{0};
    std::atomic<int> torn{0};
};

class counting_answers : public answer_handler {
  public:
    void parse_answer(const uint8_t* buffer, size_t length) override {
        ++parsed;
        if (!whole(testing::bytes(buffer, buffer + length)))
            ++torn;
    }
    void clear_params() override { ++clears; }
    std::atomic<int> parsed{0};
    std::atomic<int> torn{0};
    std::atomic<int> clears{0};
};

TEST(RingStress, PushPopClearAndMailboxRaceFree) {
    link_flags flags;
    selected_device device;
    device.set_name("Amp-3");
    command_ring ring{flags};
    answer_mailbox mailbox;
    fast_time time;
    testing::recording_events ui;
    counting_sender sender;
    counting_answers answers;
    comm_worker worker{{flags, device, ring, mailbox, ui, time, sender, answers}};

    flags.run_flag = true;
    flags.connect_flag = true;
    ASSERT_TRUE(worker.start());

    std::atomic<bool> done{false};
    std::thread network([&] {
        for (uint32_t n = 0; !done.load(); ++n) {
            const testing::bytes data(n % 600, uint8_t(n));
            const testing::bytes frame = testing::make_frame(0xE3, 0x20, data);
            mailbox.fill(frame.data(), frame.size());
            std::this_thread::sleep_for(50us);
        }
    });

    // The UI thread: bursts of commands and prebuilt frames, poll ticks, and now and
    // then the Disconnect and Connect buttons, which make the worker clear the ring.
    for (int n = 0; n < 20000; ++n) {
        const testing::bytes data(n % 700, uint8_t(n));
        if (n % 5 == 0) {
            const testing::bytes frame = testing::make_frame(0xD2, 0x01, data);
            ring.ring_put_frame(frame.data(), frame.size());
        } else {
            ring.ring_push(0xC1, 0x10, data.data(), data.size());
        }
        if (n % 997 == 0)
            poll_tick(flags, device, ring);
        if (n % 3001 == 0) {
            flags.connect_flag = false;
            flags.disconnect_request = true;
        }
        if (n % 3001 == 1500)
            flags.connect_flag = true;
        if (n % 100 == 0)
            std::this_thread::sleep_for(200us);
    }
    flags.connect_flag = true;
    std::this_thread::sleep_for(100ms);
    done = true;
    network.join();
    worker.stop();

    EXPECT_GT(sender.sent.load(), 0);
    EXPECT_GT(answers.parsed.load(), 0);
    EXPECT_GT(answers.clears.load(), 1);
    EXPECT_EQ(sender.torn.load(), 0);
    EXPECT_EQ(answers.torn.load(), 0);
    EXPECT_LE(ring.waiting(), command_ring::slot_count - 1);
}

}  // namespace
}  // namespace tavrin
