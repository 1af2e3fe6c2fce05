#include <gtest/gtest.h>

#include "amp_test_frames.h"
#include "sim/amp_ctl.h"
#include "sim/amp_wire_log.h"

namespace tavrin::sim {
namespace {

using testing::command;
using testing::poll_frame;
using testing::send;
using testing::setting;

struct segment_fields {
    uint16_t length, total, offset;
    uint8_t id;
};

segment_fields fields(const byte_vector& s) {
    return {static_cast<uint16_t>(s[5] << 8 | s[6]), static_cast<uint16_t>(s[9] << 8 | s[10]),
            static_cast<uint16_t>(s[11] << 8 | s[12]), s[7]};
}

// Joins the amplifier's segments the way the tool must: each checked on its own,
// pieces placed at their offsets.
byte_vector join(const std::vector<byte_vector>& segments) {
    byte_vector out;
    for (const auto& s : segments) {
        EXPECT_EQ(s[4], 0xD1);
        EXPECT_EQ(s.size(), fields(s).length + 7u);
        EXPECT_EQ(frame_checksum(s.data(), s.size() - 1), s.back());
        out.resize(fields(s).total);
        std::copy(s.begin() + 13, s.end() - 1, out.begin() + fields(s).offset);
    }
    return out;
}

class AmpAnswers : public ::testing::Test {
  protected:
    fake_time clock{1000};
    uint32_t next_random = 0;
    virtual_amp amp{clock, amp_config{{24, 2, 3, 4}, 3000}, [this] { return next_random; }};
};

TEST_F(AmpAnswers, PollIsAnsweredWithTwoSegmentsOfOneTransfer) {
    next_random = 254;  // 254 % 255 + 1
    auto replies = send(amp, poll_frame());
    ASSERT_EQ(replies.size(), 2u);
    const auto a = fields(replies[0]), b = fields(replies[1]);
    EXPECT_EQ(replies[0].size(), 414u);
    EXPECT_EQ(a.length, 407);
    EXPECT_EQ(a.offset, 0);
    EXPECT_EQ(replies[1].size(), 134u);
    EXPECT_EQ(b.length, 127);
    EXPECT_EQ(b.offset, 400);
    EXPECT_EQ(a.total, 520);
    EXPECT_EQ(b.total, 520);
    EXPECT_EQ(a.id, 255);
    EXPECT_EQ(b.id, 255);
    EXPECT_EQ(replies[0][8], 0);

    auto frame = testing::read_answer(join(replies));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->code, 0xE3);
    ASSERT_EQ(frame->data.size(), 512u);
    const amp_block block = amp.block();
    EXPECT_TRUE(std::equal(block.begin(), block.end(), frame->data.begin()));
    EXPECT_EQ(frame->data[508], 24);
    EXPECT_EQ(frame->data[511], 4);

    next_random = 0;
    EXPECT_EQ(fields(send(amp, poll_frame())[0]).id, 1);  // never 0
}

TEST_F(AmpAnswers, PresetWriteArrivesInSegmentsAndKeepsTheFirmwareDate) {
    amp_block preset{};
    for (size_t i = 0; i < preset.size(); ++i)
        preset[i] = static_cast<uint8_t>(i * 7);
    const byte_vector frame = command(0xE3, 0x10, {preset.begin(), preset.end()});
    auto segments = make_segments(frame.data(), frame.size(), 42);
    ASSERT_EQ(segments.size(), 2u);

    EXPECT_TRUE(send(amp, segments[1]).empty());  // order does not matter
    EXPECT_EQ(amp.block()[0], 30);
    EXPECT_TRUE(send(amp, segments[0]).empty());
    const amp_block b = amp.block();
    EXPECT_TRUE(std::equal(b.begin(), b.begin() + 508, preset.begin()));
    EXPECT_EQ(read_firmware_date(b), (firmware_date{24, 2, 3, 4}));
}

TEST_F(AmpAnswers, ReassemblyDropsStaleOrForeignPiecesAndSurvivesRepeats) {
    amp_block preset{};
    preset.fill(0x11);
    const byte_vector frame = command(0xE3, 0x10, {preset.begin(), preset.end()});
    auto one = make_segments(frame.data(), frame.size(), 7);
    auto other = make_segments(frame.data(), frame.size(), 8);

    // More than 1500 ms between the pieces: the second starts a new transfer.
    send(amp, one[0]);
    clock.advance(1600);
    send(amp, one[1]);
    EXPECT_EQ(amp.block()[0], 30);
    // Within the gap the transfer completes.
    clock.advance(1400);
    send(amp, one[0]);
    EXPECT_EQ(amp.block()[0], 0x11);

    // A repeated piece neither completes a transfer nor keeps it from completing.
    preset.fill(0x22);
    const byte_vector f2 = command(0xE3, 0x10, {preset.begin(), preset.end()});
    auto next = make_segments(f2.data(), f2.size(), 9);
    send(amp, next[0]);
    send(amp, next[0]);
    EXPECT_EQ(amp.block()[0], 0x11);
    send(amp, next[1]);
    EXPECT_EQ(amp.block()[0], 0x22);

    // Another transfer id takes over; the abandoned one must start again.
    preset.fill(0x33);
    const byte_vector f3 = command(0xE3, 0x10, {preset.begin(), preset.end()});
    auto third = make_segments(f3.data(), f3.size(), 10);
    send(amp, third[0]);
    send(amp, other[1]);
    send(amp, third[1]);
    EXPECT_EQ(amp.block()[0], 0x22);
    send(amp, third[0]);
    EXPECT_EQ(amp.block()[0], 0x33);

    // A piece reaching past its total, or a zero transfer id, is refused.
    auto bad = make_segments(f2.data(), f2.size(), 10);
    bad[1][9] = 0x01;  // total 0x0108 = 264 < 400 + 120
    bad[1][10] = 0x08;
    bad[1].back() = frame_checksum(bad[1].data(), bad[1].size() - 1);
    segment_view view;
    EXPECT_EQ(decode_sent_segment(bad[1].data(), bad[1].size(), max_segmented_frame, view),
              frame_status::bad_segment);
    bad[0][7] = 0;
    bad[0].back() = frame_checksum(bad[0].data(), bad[0].size() - 1);
    EXPECT_EQ(decode_sent_segment(bad[0].data(), bad[0].size(), max_segmented_frame, view),
              frame_status::bad_segment);
}

TEST_F(AmpAnswers, ResetRestoresDefaultsKeepsTheDateAndGoesSilent) {
    send(amp, setting(0x08, {0x85, 0xFF}));
    amp.set_firmware_date({25, 1, 1, 1});
    EXPECT_TRUE(send(amp, command(0x34, 0x01, {0xC0})).empty());
    EXPECT_EQ(amp.block(), factory_block({25, 1, 1, 1}));
    EXPECT_TRUE(amp.is_silent());
    EXPECT_EQ(amp.restart_count(), 1u);

    clock.advance(2999);
    EXPECT_TRUE(send(amp, poll_frame()).empty());
    EXPECT_TRUE(send(amp, setting(0x08, {0x05, 0xFF})).empty());
    EXPECT_EQ(amp.block()[0], 30);  // a restarting amplifier takes no commands
    clock.advance(1);
    EXPECT_FALSE(amp.is_silent());
    EXPECT_EQ(send(amp, poll_frame()).size(), 2u);

    // The reset needs its exact frame: 55 01 AA D5 34 00 02 C0 CB.
    EXPECT_EQ(command(0x34, 0x01, {0xC0}),
              (byte_vector{0x55, 0x01, 0xAA, 0xD5, 0x34, 0x00, 0x02, 0xC0, 0xCB}));
    send(amp, command(0x34, 0x10, {0xC0}));
    EXPECT_FALSE(amp.is_silent());
}

TEST_F(AmpAnswers, CorruptFaultSpoilsEveryAnswerChecksum) {
    ASSERT_EQ(apply_amp_ctl(amp, {"corrupt"}), ctl_result::done);
    auto replies = send(amp, poll_frame());
    ASSERT_EQ(replies.size(), 2u);
    for (const auto& s : replies)
        EXPECT_NE(frame_checksum(s.data(), s.size() - 1), s.back());
    auto loc = send(amp, setting(0xC4, std::vector<uint8_t>(16, 'x')));
    EXPECT_FALSE(testing::single_answer(loc));
    ASSERT_EQ(apply_amp_ctl(amp, {"corrupt", "off"}), ctl_result::done);
    EXPECT_TRUE(testing::single_answer(send(amp, setting(0xC4, std::vector<uint8_t>(16, 'y')))));
}

TEST_F(AmpAnswers, WrongSizeFaultEndsTheShortAnswerWithTheDate) {
    ASSERT_EQ(apply_amp_ctl(amp, {"wrong-size", "on"}), ctl_result::done);
    ASSERT_EQ(apply_amp_ctl(amp, {"firmware", "21", "11", "17", "0"}), ctl_result::done);
    auto a = testing::single_answer(send(amp, poll_frame()));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->code, 0xE3);
    ASSERT_EQ(a->data.size(), 100u);
    EXPECT_EQ(a->data[96], 21);
    EXPECT_EQ(a->data[97], 11);
    EXPECT_EQ(a->data[98], 17);
    EXPECT_EQ(a->data[99], 0);
    EXPECT_EQ(a->data[0], 30);
    EXPECT_EQ(amp.firmware(), (firmware_date{21, 11, 17, 0}));
}

TEST_F(AmpAnswers, CtlRefusesWhatIsNotAnAmplifierFault) {
    EXPECT_EQ(apply_amp_ctl(amp, {"silence"}), ctl_result::not_mine);
    EXPECT_EQ(apply_amp_ctl(amp, {"corrupt", "maybe"}), ctl_result::bad_arguments);
    EXPECT_EQ(apply_amp_ctl(amp, {"firmware", "21", "11", "17"}), ctl_result::bad_arguments);
    EXPECT_EQ(apply_amp_ctl(amp, {"firmware", "21", "11", "17", "x1"}), ctl_result::bad_arguments);
    EXPECT_EQ(apply_amp_ctl(amp, {"firmware", "21", "11", "17", "256"}), ctl_result::bad_arguments);
    EXPECT_EQ(amp.firmware(), (firmware_date{24, 2, 3, 4}));
}

TEST_F(AmpAnswers, WireLogSeesWholeFramesOnly) {
    std::vector<std::string> lines;
    amp.set_frame_observer(
        [&](const uint8_t* f, size_t n) { lines.push_back(wire_log_line(f, n)); });
    send(amp, poll_frame());
    amp_block preset{};
    const byte_vector frame = command(0xE3, 0x10, {preset.begin(), preset.end()});
    for (const auto& s : make_segments(frame.data(), frame.size(), 3))
        send(amp, s);
    byte_vector junk = {0x01, 0x02};
    send(amp, junk);

    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "55 11 aa d5 e3 00 02 01 cb");
    EXPECT_EQ(lines[1].size(), 520u * 3 - 1);
    EXPECT_EQ(lines[1].substr(0, 21), "55 10 aa d5 e3 02 01 ");
    EXPECT_EQ(lines[2], "01 02");
    EXPECT_EQ(wire_log_line(nullptr, 0), "");
}

}  // namespace
}  // namespace tavrin::sim
