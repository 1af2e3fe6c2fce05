// The CLI's progress display: rate since this run's first block, time left, texts.
#include "firmware/transfer_meter.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

TEST(TransferMeter, RateAndTimeLeftCountFromTheFirstReportOfTheRun) {
    transfer_meter m;
    EXPECT_FALSE(m.started());
    EXPECT_FALSE(m.seconds_left());

    // A resumed transfer starts at block 32; the blocks before it took no time here.
    m.report(32, 256, 10'000);
    EXPECT_TRUE(m.started());
    EXPECT_EQ(m.rate(), 0);
    EXPECT_FALSE(m.seconds_left());

    m.report(64, 256, 18'000);  // 32 blocks in 8 s
    EXPECT_DOUBLE_EQ(m.rate(), 4.0);
    EXPECT_EQ(m.seconds_left(), 48u);

    m.report(256, 256, 66'000);
    EXPECT_EQ(m.seconds_left(), 0u);
}

TEST(TransferMeter, ANewRunStartsTheRateAnewAndTheClockMayWrap) {
    transfer_meter m;
    const uint32_t before_wrap = 0xFFFF'F000u;
    m.report(0, 100, before_wrap);
    m.report(10, 100, static_cast<uint32_t>(before_wrap + 5000u));
    EXPECT_DOUBLE_EQ(m.rate(), 2.0);
    m.report(0, 100, 1000);
    EXPECT_EQ(m.rate(), 0);
    m.report(5, 100, 3500);
    EXPECT_DOUBLE_EQ(m.rate(), 2.0);
}

TEST(TransferMeter, BarAndLineTexts) {
    transfer_meter m;
    m.report(0, 256, 0);
    EXPECT_EQ(progress_bar_text(m, 8), "[........]  0/256 blocks");
    EXPECT_EQ(progress_line_text(m), "0/256 blocks (0%)");
    m.report(128, 256, 32'000);
    EXPECT_EQ(progress_bar_text(m, 8), "[####....]  128/256 blocks  4.0 blocks/s  0:32 left");
    EXPECT_EQ(progress_line_text(m), "128/256 blocks (50%), 4.0 blocks/s, 0:32 left");
    m.report(256, 256, 64'000);
    EXPECT_EQ(progress_bar_text(m, 8), "[########]  256/256 blocks  4.0 blocks/s  0:00 left");
}

}  // namespace
}  // namespace tavrin
