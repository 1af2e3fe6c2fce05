#include "protocol/amp_receiver.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "protocol_fakes.h"

namespace tavrin {
namespace {

using bytes = std::vector<uint8_t>;
using testing::make_answer;
using testing::make_segment;
using testing::reseal;

class AmpReceiver : public ::testing::Test {
  protected:
    AmpReceiver() : clock(10000), receiver(device, mailbox, clock) {
        device.set_name("PA22-Lobby");
        device.renew_copy();
    }

    receive_status deliver(const bytes& body, const char* sender = "PA22-Lobby") {
        return receiver.on_amp_message(sender, body.data(), body.size());
    }

    bytes taken() {
        bytes out(answer_mailbox::capacity);
        out.resize(mailbox.take(out.data()));
        return out;
    }

    static bytes full_answer() {
        bytes data(512);
        std::iota(data.begin(), data.end(), uint8_t{3});
        return make_answer(0xE3, data);
    }

    selected_device device;
    answer_mailbox mailbox;
    fake_time clock;
    amp_receiver receiver;
};

TEST_F(AmpReceiver, AcceptsAValidFrameIntoTheMailbox) {
    const bytes answer = make_answer(0xC4, bytes(16, 'A'));
    EXPECT_EQ(deliver(answer), receive_status::accepted);
    EXPECT_EQ(taken(), answer);
}

TEST_F(AmpReceiver, ReceiveCheckDropsForeignShortMismatchedAndCorruptBodies) {
    bytes answer = make_answer(0xC4, bytes(16, 'A'));
    EXPECT_EQ(deliver(answer, "pa22-lobby"), receive_status::wrong_sender);
    EXPECT_EQ(deliver(answer, "PA22-Lobby2"), receive_status::wrong_sender);
    EXPECT_EQ(deliver(answer, nullptr), receive_status::wrong_sender);
    EXPECT_EQ(deliver(bytes(answer.begin(), answer.begin() + 6)), receive_status::too_short);
    bytes longer = answer;
    longer.push_back(0);
    EXPECT_EQ(deliver(longer), receive_status::bad_length);
    answer[10] ^= 0x01;
    EXPECT_EQ(deliver(answer), receive_status::bad_checksum);
    EXPECT_TRUE(mailbox.empty());
}

TEST_F(AmpReceiver, SevenByteAnswerNeedsNoChecksum) {
    const bytes answer{0x55, 0x01, 0xAA, 0xD5, 0xE3, 0x00, 0x00};
    EXPECT_EQ(deliver(answer), receive_status::accepted);
    EXPECT_EQ(taken(), answer);
}

TEST_F(AmpReceiver, NameCopyIsWhatCounts) {
    // Until the copy is renewed, the new name is not matched.
    device.set_name("Other");
    const bytes answer = make_answer(0xC4, bytes(16, 'A'));
    EXPECT_EQ(deliver(answer, "Other"), receive_status::wrong_sender);
    device.renew_copy();
    EXPECT_EQ(deliver(answer, "Other"), receive_status::accepted);
}

TEST_F(AmpReceiver, ReassemblesTwoSegmentsWithinTheGap) {
    const bytes frame = full_answer();
    deliver(make_segment(frame, 0, 400, 9));
    EXPECT_TRUE(mailbox.empty());
    clock.advance(1400);
    deliver(make_segment(frame, 400, 120, 9));
    EXPECT_EQ(taken(), frame);
    EXPECT_EQ(receiver.state().transfer_id, 0);
    EXPECT_EQ(receiver.state().received, 0u);
}

TEST_F(AmpReceiver, PiecesMayArriveOutOfOrder) {
    const bytes frame = full_answer();
    deliver(make_segment(frame, 400, 120, 9));
    deliver(make_segment(frame, 0, 400, 9));
    EXPECT_EQ(taken(), frame);
}

TEST_F(AmpReceiver, SegmentAfterTheGapStartsANewTransfer) {
    const bytes frame = full_answer();
    deliver(make_segment(frame, 0, 400, 9));
    clock.advance(1600);
    deliver(make_segment(frame, 400, 120, 9));
    EXPECT_TRUE(mailbox.empty());
    EXPECT_EQ(receiver.state().received, 120u);
    // The restarted transfer completes when the first piece comes again in time.
    clock.advance(100);
    deliver(make_segment(frame, 0, 400, 9));
    EXPECT_EQ(taken(), frame);
}

TEST_F(AmpReceiver, GapIsMeasuredAcrossTickWrapAround) {
    clock.set(0xFFFFFF00u);
    const bytes frame = full_answer();
    deliver(make_segment(frame, 0, 400, 9));
    clock.advance(0x200);  // wraps past zero, 512 ms later
    deliver(make_segment(frame, 400, 120, 9));
    EXPECT_EQ(taken(), frame);
}

TEST_F(AmpReceiver, OtherTransferIsIgnoredWhileOneIsInProgress) {
    const bytes frame = full_answer();
    deliver(make_segment(frame, 0, 400, 9));
    clock.advance(1000);
    deliver(make_segment(frame, 400, 120, 10));
    EXPECT_TRUE(mailbox.empty());
    EXPECT_EQ(receiver.state().transfer_id, 9);
    // The ignored segment did not refresh the time stamp: 600 ms later the gap since
    // the last accepted piece is 1600 ms, so transfer 10 takes over.
    clock.advance(600);
    deliver(make_segment(frame, 400, 120, 10));
    EXPECT_EQ(receiver.state().transfer_id, 10);
}

TEST_F(AmpReceiver, RepeatedPieceOvershootsAndNeverCompletes) {
    const bytes frame = full_answer();
    deliver(make_segment(frame, 0, 400, 9));
    deliver(make_segment(frame, 0, 400, 9));
    deliver(make_segment(frame, 400, 120, 9));
    EXPECT_TRUE(mailbox.empty());
    EXPECT_EQ(receiver.state().received, 920u);
}

TEST_F(AmpReceiver, OverlappingPiecesThatLeaveAHoleAreNotDelivered) {
    // Two pieces of 260 bytes at offset 0 and 100 add up to 520 but leave 360..519
    // unwritten: delivering would hand over stale bytes.
    const bytes frame = full_answer();
    deliver(make_segment(frame, 0, 260, 9));
    deliver(make_segment(frame, 100, 260, 9));
    EXPECT_TRUE(mailbox.empty());
    EXPECT_EQ(receiver.dropped(), 1u);
    EXPECT_EQ(receiver.state().transfer_id, 0);
}

TEST_F(AmpReceiver, DropsBodiesAndPiecesThatDoNotFitTheBuffers) {
    // Whole body larger than the mailbox.
    const bytes big = make_answer(0xE3, bytes(1100, 0x01));
    EXPECT_EQ(deliver(big), receive_status::accepted);
    EXPECT_TRUE(mailbox.empty());
    EXPECT_EQ(receiver.dropped(), 1u);

    // A piece running past segment_buffer.
    const bytes frame = full_answer();
    bytes seg = make_segment(frame, 400, 120, 9);
    seg[11] = 0x03;  // offset 0x0390 = 912, +120 > 1024
    seg[12] = 0x90;
    reseal(seg);
    deliver(seg);
    EXPECT_EQ(receiver.dropped(), 2u);
    EXPECT_EQ(receiver.state().transfer_id, 0);

    // A total larger than segment_buffer.
    seg = make_segment(frame, 0, 400, 9);
    seg[9] = 0x04;
    seg[10] = 0x01;
    reseal(seg);
    deliver(seg);
    EXPECT_EQ(receiver.dropped(), 3u);

    // A segment claiming transfer id 0, which stands for "no transfer".
    deliver(make_segment(frame, 0, 400, 0));
    EXPECT_EQ(receiver.dropped(), 4u);
    EXPECT_EQ(receiver.state().received, 0u);

    // A segment too short to hold its header.
    bytes stub{0x55, 0x01, 0xAA, 0xD5, 0xD1, 0x00, 0x02, 0x09, 0x00};
    reseal(stub);
    deliver(stub);
    EXPECT_EQ(receiver.dropped(), 5u);
    EXPECT_TRUE(mailbox.empty());
}

}  // namespace
}  // namespace tavrin
