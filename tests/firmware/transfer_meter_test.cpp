// The CLI's progress display: rate from the first move of this run, time left, texts.
#include "firmware/transfer_meter.h"

#include <gtest/gtest.h>

namespace tavrin {
namespace {

TEST(TransferMeter, TheRateLeavesOutTheWaitBeforeTheFirstBlockAndAResumeJump) {
    transfer_meter m;
    EXPECT_FALSE(m.started());
    EXPECT_FALSE(m.seconds_left());

    // The transfer starts; the resume question and the start command take seconds.
    m.report(0, 256, 10'000);
    EXPECT_TRUE(m.started());
    EXPECT_EQ(m.rate(), 0);
    // A resume jumps to block 32: that took no time here.
    m.report(32, 256, 12'000);
    EXPECT_EQ(m.rate(), 0);
    EXPECT_FALSE(m.seconds_left());

    m.report(64, 256, 20'000);  // 32 blocks in 8 s
    EXPECT_DOUBLE_EQ(m.rate(), 4.0);
    EXPECT_EQ(m.seconds_left(), 48u);

    m.report(255, 256, 67'750);
    // The last block's answer, then the end of the transfer a while later.
    m.complete();
    EXPECT_EQ(m.position(), 256u);
    EXPECT_DOUBLE_EQ(m.rate(), 4.0);
    EXPECT_EQ(m.seconds_left(), 0u);
}

TEST(TransferMeter, ANewRunStartsTheRateAnewAndTheClockMayWrap) {
    transfer_meter m;
    const uint32_t before_wrap = 0xFFFF'F000u;
    m.report(0, 100, before_wrap - 300);
    m.report(1, 100, before_wrap);
    m.report(11, 100, static_cast<uint32_t>(before_wrap + 5000u));
    EXPECT_DOUBLE_EQ(m.rate(), 2.0);

    m.report(0, 100, 1000);
    EXPECT_EQ(m.rate(), 0);
    m.report(1, 100, 1500);
    m.report(6, 100, 4000);
    EXPECT_DOUBLE_EQ(m.rate(), 2.0);
}

TEST(TransferMeter, BarAndLineTexts) {
    transfer_meter m;
    m.report(0, 256, 0);
    EXPECT_EQ(progress_bar_text(m, 8), "[........]  0/256 blocks");
    EXPECT_EQ(progress_line_text(m), "0/256 blocks (0%)");
    m.report(1, 256, 250);
    m.report(129, 256, 32'250);
    EXPECT_EQ(progress_bar_text(m, 8), "[####....]  129/256 blocks  4.0 blocks/s  0:32 left");
    EXPECT_EQ(progress_line_text(m), "129/256 blocks (50%), 4.0 blocks/s, 0:32 left");
    m.report(256, 256, 64'000);
    EXPECT_EQ(progress_bar_text(m, 8), "[########]  256/256 blocks  4.0 blocks/s  0:00 left");
}

}  // namespace
}  // namespace tavrin
