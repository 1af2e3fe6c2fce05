#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "amp_test_frames.h"
#include "sim/amp_ctl.h"

namespace tavrin::sim {
namespace {

// The lab's network loop and its ctl reach the same amplifier from two threads.
TEST(AmpThreads, CtlWhileTrafficFlows) {
    fake_time clock;
    virtual_amp amp(clock);
    std::atomic<unsigned> logged{0};
    amp.set_frame_observer([&](const uint8_t*, size_t) { logged.fetch_add(1); });
    std::atomic<bool> stop{false};
    std::thread ctl([&] {
        for (int i = 0; !stop.load(); ++i) {
            apply_amp_ctl(amp, {"corrupt", i % 2 ? "on" : "off"});
            apply_amp_ctl(amp, {"wrong-size", i % 3 ? "on" : "off"});
            apply_amp_ctl(amp, {"firmware", "24", "1", "2", std::to_string(i % 24)});
            (void)amp.block();
        }
    });
    const auto poll = testing::poll_frame();
    const auto volume = testing::setting(0x08, {0x0A, 0xFF});
    for (int i = 0; i < 2000; ++i) {
        EXPECT_FALSE(testing::send(amp, poll).empty());
        testing::send(amp, volume);
    }
    stop = true;
    ctl.join();
    EXPECT_EQ(logged.load(), 4000u);
    EXPECT_EQ(amp.block()[amp_offset::master_volume], 10);
}

}  // namespace
}  // namespace tavrin::sim
