#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "app/core/answer_apply.h"
#include "platform/time_source.h"
#include "protocol/amp_receiver.h"
#include "protocol/answer_parser.h"
#include "protocol/catalogue.h"
#include "tests/protocol/protocol_fakes.h"
#include "tests/support/recording_events.h"

namespace tavrin {
namespace {

// The network thread reassembles answers into the mailbox, the worker parses them
// into amp_params, and the UI thread reads the block: every block the UI sees is
// one the amplifier sent, whole.
TEST(ReceivePathThreads, AnswersArriveWholeAcrossThreeThreads) {
    selected_device device;
    device.set_name("PA22");
    device.renew_copy();
    answer_mailbox mailbox;
    fake_time clock;
    amp_receiver receiver(device, mailbox, clock);
    amp_params params;
    link_flags flags;
    testing::recording_events ui;
    answer_parser parser;

    param_block a{}, b{};
    a.fill(0x11);
    b.fill(0x22);
    const auto frame_a = frames::parameter_write(a);
    const auto frame_b = frames::parameter_write(b);

    std::atomic<bool> done{false};
    std::thread network([&] {
        for (int i = 0; i < 400; ++i) {
            const auto& f = (i & 1) ? frame_b : frame_a;
            const auto id = static_cast<uint8_t>(i % 255 + 1);
            const auto s1 = testing::make_segment(f, 0, 400, id);
            const auto s2 = testing::make_segment(f, 400, 120, id);
            receiver.on_amp_message("PA22", s1.data(), s1.size());
            receiver.on_amp_message("PA22", s2.data(), s2.size());
        }
        done = true;
    });
    std::thread worker([&] {
        std::vector<uint8_t> buffer(answer_mailbox::capacity);
        while (!done || !mailbox.empty()) {
            const size_t n = mailbox.take(buffer.data());
            if (const auto answer = parser.parse_answer(buffer.data(), n))
                apply_answer(*answer, {params, flags, device, ui});
            std::this_thread::yield();
        }
    });
    int mixed = 0;
    while (!done) {
        const param_block seen = params.snapshot();
        if (seen != a && seen != b && seen != param_block{})
            ++mixed;
    }
    network.join();
    worker.join();
    EXPECT_EQ(mixed, 0);
    EXPECT_TRUE(flags.connect_flag);
    EXPECT_EQ(receiver.dropped(), 0u);
}

}  // namespace
}  // namespace tavrin
