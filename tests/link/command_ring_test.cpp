#include "link/command_ring.h"

#include <gtest/gtest.h>

#include "protocol/catalogue.h"
#include "tests/support/session_fakes.h"

namespace tavrin {
namespace {

using testing::bytes;

bytes make_frame(uint8_t code, uint8_t unit, const bytes& data) {
    return build_frame(code, unit, data);
}
bytes poll_frame() {
    return frame_of(cmd::poll());
}

// The outbox of a session connected to its amplifier.
class CommandRing : public ::testing::Test {
  protected:
    bytes pop() {
        bytes out(command_ring::slot_size);
        out.resize(ring.ring_pop_into(out.data(), out.size()));
        return out;
    }

    testing::session_bench bench;
    command_ring& ring = bench.session.outbox();
};

TEST_F(CommandRing, PushBuildsTheFrameOfACommand) {
    EXPECT_EQ(ring.ring_push(amp_command{0xE3, 0x11, {0x01}}), push_status::queued);
    EXPECT_EQ(pop(), poll_frame());

    // A catalogue command and the same bytes pushed directly give the same frame.
    ring.ring_push(amp_command{0xC5, 0x10, {0xFF, 0xFF, 0x30}});
    const uint8_t data[] = {0xFF, 0xFF, 0x30};
    ring.ring_push(0xC5, 0x10, data, 3);
    const bytes expected = make_frame(0xC5, 0x10, {0xFF, 0xFF, 0x30});
    EXPECT_EQ(pop(), expected);
    EXPECT_EQ(pop(), expected);

    // A command without data is the 8-byte frame.
    ring.ring_push(amp_command{0xE5, 0x10, {}});
    EXPECT_EQ(pop(), make_frame(0xE5, 0x10, {}));
    EXPECT_TRUE(pop().empty());
}

TEST_F(CommandRing, FullRingDiscardsTheOldestAndQueuesNothing) {
    for (int i = 0; i < 999; ++i)
        ASSERT_EQ(ring.ring_push(amp_command{0x01, 0x10, {static_cast<uint8_t>(i)}}),
                  push_status::queued);
    EXPECT_EQ(ring.waiting(), 999u);

    EXPECT_EQ(ring.ring_push(amp_command{0x02, 0x10, {0xAB}}), push_status::ring_full);
    EXPECT_EQ(ring.waiting(), 998u);
    // The oldest (data 0) is gone and the new command was not queued.
    EXPECT_EQ(pop(), make_frame(0x01, 0x10, {1}));
    for (int i = 2; i < 999; ++i)
        ASSERT_EQ(pop(), make_frame(0x01, 0x10, {uint8_t(i)}));
    EXPECT_TRUE(pop().empty());
}

TEST_F(CommandRing, OrderSurvivesWrapAround) {
    int next_in = 0, next_out = 0;
    for (int round = 0; round < 6; ++round) {
        for (int i = 0; i < 400; ++i, ++next_in)
            ring.ring_push(amp_command{
                0x01, 0x10, {static_cast<uint8_t>(next_in >> 8), static_cast<uint8_t>(next_in)}});
        // A hundred more stay each round, so the ring never empties and its indices wrap.
        for (int i = 0; i < 300; ++i, ++next_out)
            ASSERT_EQ(pop(), make_frame(0x01, 0x10, {uint8_t(next_out >> 8), uint8_t(next_out)}));
    }
    EXPECT_EQ(ring.waiting(), 600u);
    while (next_out < next_in) {
        ASSERT_EQ(pop(), make_frame(0x01, 0x10, {uint8_t(next_out >> 8), uint8_t(next_out)}));
        ++next_out;
    }
    EXPECT_EQ(ring.waiting(), 0u);
}

TEST_F(CommandRing, ClearEmptiesEverySlotAndRestartsAtSlotZero) {
    for (int i = 0; i < 700; ++i)
        ring.ring_push(amp_command{0x01, 0x10, {static_cast<uint8_t>(i)}});
    for (int i = 0; i < 500; ++i)
        pop();
    ring.ring_clear();
    EXPECT_EQ(ring.waiting(), 0u);
    EXPECT_FALSE(ring.head_waiting());
    EXPECT_TRUE(pop().empty());

    ring.ring_push(amp_command{0xE3, 0x11, {0x01}});
    EXPECT_EQ(ring.read_index(), 0u);
    EXPECT_EQ(ring.write_index(), 1u);
    EXPECT_EQ(pop(), poll_frame());
    // Slots 500..699 held stale frames before the clear; none may resurface.
    for (int i = 0; i < 998; ++i)
        ring.ring_push(amp_command{0x02, 0x10, {static_cast<uint8_t>(i)}});
    for (int i = 0; i < 998; ++i)
        ASSERT_EQ(pop(), make_frame(0x02, 0x10, {uint8_t(i)}));
}

// One ring per amplifier of a fleet: an emptied ring goes back to its first slots,
// so a session that polls for hours touches a page or two, not the whole ring.
TEST_F(CommandRing, AnEmptiedRingStartsAgainAtSlotZero) {
    for (int i = 0; i < 3; ++i)
        ring.ring_push(amp_command{0x01, 0x10, {static_cast<uint8_t>(i)}});
    pop();
    EXPECT_EQ(ring.read_index(), 1u);
    pop();
    pop();
    EXPECT_EQ(ring.read_index(), 0u);
    EXPECT_EQ(ring.write_index(), 0u);
    ring.ring_push(amp_command{0xE3, 0x11, {0x01}});
    EXPECT_EQ(pop(), poll_frame());
}

TEST_F(CommandRing, PushNeedsALinkButAPutFrameDoesNot) {
    // The poll gate itself is the session's (see amp_session_test).
    testing::close_session(bench.session, bench.time);
    EXPECT_EQ(ring.ring_push(amp_command{0xE3, 0x11, {0x01}}), push_status::not_connected);
    EXPECT_EQ(ring.waiting(), 0u);
    const bytes frame = make_frame(0xC1, 0x10, {1, 2, 3});
    EXPECT_EQ(ring.ring_put_frame(frame.data(), frame.size()), push_status::queued);
    EXPECT_EQ(pop(), frame);
}

TEST_F(CommandRing, PutFrameTakesUpTo1021BytesAndNeverOverwritesAWaitingFrame) {
    bytes big(command_ring::max_frame);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = uint8_t(i * 7);
    EXPECT_EQ(ring.ring_put_frame(big.data(), big.size()), push_status::queued);
    bytes too_big(command_ring::max_frame + 1, 0x55);
    EXPECT_EQ(ring.ring_put_frame(too_big.data(), too_big.size()), push_status::too_long);
    EXPECT_EQ(pop(), big);

    // A command whose frame would exceed the slot is refused rather than cut.
    bytes data(command_ring::max_frame - 7, 0);
    EXPECT_EQ(ring.ring_push(0x01, 0x10, data.data(), data.size()), push_status::too_long);
    data.pop_back();
    EXPECT_EQ(ring.ring_push(0x01, 0x10, data.data(), data.size()), push_status::queued);
    ring.ring_clear();

    for (int i = 0; i < 999; ++i)
        ring.ring_push(amp_command{0x01, 0x10, {static_cast<uint8_t>(i)}});
    const bytes frame = make_frame(0xC1, 0x10, {9});
    EXPECT_EQ(ring.ring_put_frame(frame.data(), frame.size()), push_status::ring_full);
    EXPECT_EQ(ring.waiting(), 999u);
    EXPECT_EQ(pop(), make_frame(0x01, 0x10, {0}));
}

TEST_F(CommandRing, PopIntoASmallBufferLeavesTheFrameWaiting) {
    ring.ring_push(amp_command{0xE3, 0x11, {0x01}});
    uint8_t small[8];
    EXPECT_EQ(ring.ring_pop_into(small, sizeof small), 0u);
    EXPECT_TRUE(ring.head_waiting());
    EXPECT_EQ(pop(), poll_frame());
}

}  // namespace
}  // namespace tavrin
