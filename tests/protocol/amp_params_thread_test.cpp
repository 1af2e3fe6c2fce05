#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "protocol/amp_params.h"

namespace tavrin {
namespace {

// The worker replaces the whole block while a page reads it: every copy a reader
// sees must be one of the written blocks, never a mix.
TEST(AmpParamsThreads, SnapshotsAreNeverTorn) {
    amp_params p;
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        param_block b{};
        for (int i = 0; i < 2000; ++i) {
            b.fill(static_cast<uint8_t>(i));
            p.replace_if_different(b.data());
            p.set_power_limit(power_set::poe, limit_slot::ch1,
                              static_cast<uint16_t>((i & 0xFF) * 257));
        }
        stop = true;
    });
    int torn = 0;
    while (!stop) {
        const param_block b = p.snapshot();
        for (size_t i = 0; i < b.size(); ++i) {
            if (i == 85 || i == 167)
                continue;  // the power limit pair written separately
            if (b[i] != b[0])
                ++torn;
        }
        const uint16_t limit = p.power_limit(power_set::poe, limit_slot::ch1);
        if ((limit >> 8) != (limit & 0xFF))
            ++torn;
    }
    writer.join();
    EXPECT_EQ(torn, 0);
}

}  // namespace
}  // namespace tavrin
