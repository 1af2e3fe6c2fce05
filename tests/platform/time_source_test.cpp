#include "platform/time_source.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

TEST(FakeTime, SleepingAdvancesAndWrapsLikeATickCount) {
    fake_time t(0xFFFFFF00u);
    t.sleep_ms(0x200);
    EXPECT_EQ(t.now_ms(), 0x100u);
    // Differences across the wrap still come out right in 32 bits.
    EXPECT_EQ(static_cast<uint32_t>(t.now_ms() - 0xFFFFFF00u), 0x200u);
}

TEST(SystemTime, IsMonotonic) {
    auto& t = system_time();
    uint32_t a = t.now_ms();
    t.sleep_ms(2);
    EXPECT_GE(static_cast<uint32_t>(t.now_ms() - a), 2u);
}

}  // namespace
}  // namespace tavrin
