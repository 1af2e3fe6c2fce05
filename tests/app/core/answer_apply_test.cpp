#include "app/core/answer_apply.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/protocol/protocol_fakes.h"
#include "tests/support/recording_events.h"

namespace tavrin {
namespace {

using bytes = std::vector<uint8_t>;
using testing::make_answer;

constexpr char info_prefix[] = " Model: RQ417\n\n Device Name: PA22-Lobby\n\n Location: ";

// The answer path of the worker: the parser finds a frame, apply_answer acts on it.
class AnswerParser : public ::testing::Test {
  protected:
    AnswerParser() { device.set_name("PA22-Lobby"); }

    // A parameter block with a firmware date and some recognisable content.
    static bytes block(uint8_t year, uint8_t month, uint8_t day, uint8_t hour) {
        bytes b(512, 0);
        b[0] = 25;  // master volume
        const char loc[] = "Hall B";
        std::copy(loc, loc + 6, b.begin() + 149);
        b[508] = year;
        b[509] = month;
        b[510] = day;
        b[511] = hour;
        return b;
    }

    void feed(const bytes& buffer) { feed(buffer.data(), buffer.size()); }
    void feed(const uint8_t* data, size_t size) {
        if (const auto answer = parser.parse_answer(data, size))
            apply_answer(*answer, {params, flags, device, ui});
    }

    amp_params params;
    link_flags flags;
    selected_device device;
    testing::recording_events ui;
    answer_parser parser;
};

TEST_F(AnswerParser, FullAnswerWithGoodDateIsTakenOver) {
    flags.probe_flag = true;
    flags.missed_polls = 3;
    flags.version_gate = true;
    feed(make_answer(0xE3, block(24, 3, 1, 12)));
    EXPECT_EQ(params.master_volume(), 25);
    EXPECT_TRUE(flags.connect_flag);
    EXPECT_FALSE(flags.probe_flag);
    EXPECT_EQ(flags.missed_polls, 0u);
    EXPECT_FALSE(flags.version_gate);
    EXPECT_TRUE(params.record_changed());
    EXPECT_EQ(ui.infos(), std::vector<std::string>{std::string(info_prefix) + "Hall B"});
    EXPECT_EQ(ui.state_changes(), 1);
    EXPECT_EQ(parser.state(), 0);
}

TEST_F(AnswerParser, IdenticalAnswerOnlyRefreshesTheConnection) {
    feed(make_answer(0xE3, block(24, 3, 1, 12)));
    params.clear_record_changed();
    flags.connect_flag = false;
    flags.missed_polls = 2;
    flags.version_gate = true;  // left as it is by an unchanged dump
    ui.clear();

    feed(make_answer(0xE3, block(24, 3, 1, 12)));
    EXPECT_TRUE(flags.connect_flag);
    EXPECT_EQ(flags.missed_polls, 0u);
    EXPECT_TRUE(flags.version_gate);
    EXPECT_FALSE(params.record_changed());
    EXPECT_TRUE(ui.infos().empty());
    EXPECT_EQ(ui.state_changes(), 0);
}

TEST_F(AnswerParser, FirmwareDateGateBoundary) {
    EXPECT_EQ(firmware_date_value(21, 11, 17, 0), 192288u);
    EXPECT_EQ(firmware_date_value(21, 11, 17, 1), 192289u);

    feed(make_answer(0xE3, block(21, 11, 17, 0)));
    EXPECT_TRUE(flags.version_gate);
    EXPECT_EQ(ui.infos().back(), "Firmware Version Error");
    EXPECT_FALSE(params.record_changed());
    EXPECT_EQ(params.fw_day(), 17);  // the dump is kept

    feed(make_answer(0xE3, block(21, 11, 17, 1)));
    EXPECT_FALSE(flags.version_gate);
    EXPECT_EQ(ui.infos().back(), std::string(info_prefix) + "Hall B");
}

TEST_F(AnswerParser, WrongSizeAnswerClosesTheGateWithItsDate) {
    bytes data(100, 0);
    data[96] = 20;
    data[97] = 5;
    data[98] = 6;
    data[99] = 7;
    flags.missed_polls = 2;
    feed(make_answer(0xE3, data));
    EXPECT_TRUE(flags.version_gate);
    EXPECT_FALSE(flags.connect_flag);
    EXPECT_EQ(flags.missed_polls, 0u);
    EXPECT_EQ(ui.infos(), std::vector<std::string>{"FW Version Error"});
    EXPECT_EQ(params.fw_year(), 20);
    EXPECT_EQ(params.fw_month(), 5);
    EXPECT_EQ(params.fw_day(), 6);
    EXPECT_EQ(params.fw_hour(), 7);
}

TEST_F(AnswerParser, TooShortForADateLeavesTheDateAlone) {
    params.set_fw_date(24, 1, 2, 3);
    feed(make_answer(0xE3, {0x09, 0x09}));
    EXPECT_TRUE(flags.version_gate);
    EXPECT_EQ(params.fw_year(), 24);
    EXPECT_EQ(params.fw_hour(), 3);
    // Length 0: dispatched without a checksum byte.
    flags.version_gate = false;
    feed({0x55, 0x01, 0xAA, 0xD5, 0xE3, 0x00, 0x00});
    EXPECT_TRUE(flags.version_gate);
    EXPECT_EQ(parser.state(), 0);
}

TEST_F(AnswerParser, LocationAnswerUpdatesFieldAndInfoText) {
    feed(make_answer(0xC4, bytes{'S', 't', 'a', 'g', 'e', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(params.location(), "Stage");
    EXPECT_TRUE(params.record_changed());
    EXPECT_EQ(ui.infos().back(), std::string(info_prefix) + "Stage");
    EXPECT_EQ(ui.state_changes(), 1);

    // Sixteen characters fill the field without a terminator; a Latin-1 byte is
    // shown as its character.
    bytes full(16, 'x');
    full[15] = 0xE9;
    feed(make_answer(0xC4, full));
    EXPECT_EQ(params.location_bytes()[15], 0xE9);
    EXPECT_EQ(ui.infos().back(), std::string(info_prefix) + "xxxxxxxxxxxxxxx\xC3\xA9");
}

TEST_F(AnswerParser, ShortLocationAnswerDoesNotReuseOldBytes) {
    feed(make_answer(0xC4, bytes(16, 'A')));
    feed(make_answer(0xC4, bytes{'B', 'C'}));
    EXPECT_EQ(params.location(), "BC");
}

TEST_F(AnswerParser, FrameSplitAcrossBuffersIsJoined) {
    const bytes frame = make_answer(0xE3, block(24, 3, 1, 12));
    for (size_t cut : {1u, 3u, 6u, 7u, 300u, 519u}) {
        params.clear_params();
        feed(frame.data(), cut);
        EXPECT_EQ(params.master_volume(), 0) << cut;
        feed(frame.data() + cut, frame.size() - cut);
        EXPECT_EQ(params.master_volume(), 25) << cut;
    }
}

TEST_F(AnswerParser, StopsAtTheFirstFrameAndAtBrokenBytes) {
    // Two frames in one buffer: only the first is examined.
    bytes both = make_answer(0xC4, bytes(16, 'A'));
    const bytes second = make_answer(0xC4, bytes(16, 'B'));
    both.insert(both.end(), second.begin(), second.end());
    feed(both);
    EXPECT_EQ(params.location(), std::string(16, 'A'));

    // Wrong start, unknown unit, wrong marker, wrong checksum: nothing changes.
    bytes bad = make_answer(0xC4, bytes(16, 'C'));
    bad[0] = 0x54;
    feed(bad);
    bad = make_answer(0xC4, bytes(16, 'C'));
    bad[1] = 0x02;
    feed(bad);
    bad = make_answer(0xC4, bytes(16, 'C'));
    bad[3] = 0xD4;
    feed(bad);
    bad = make_answer(0xC4, bytes(16, 'C'));
    bad.back() ^= 1;
    feed(bad);
    EXPECT_EQ(params.location(), std::string(16, 'A'));
    EXPECT_EQ(parser.state(), 0);

    // 0xFF as first byte, 0x20 as unit and any marker_hi are accepted.
    bytes odd = make_answer(0xC4, bytes(16, 'D'), 0x20);
    odd[0] = 0xFF;
    odd[2] = 0x00;
    testing::reseal(odd);
    feed(odd);
    EXPECT_EQ(params.location(), std::string(16, 'D'));
}

TEST_F(AnswerParser, OtherCodesAreIgnored) {
    feed(make_answer(0xF8, {0x00, 0x01, 0x01}));
    EXPECT_FALSE(params.record_changed());
    EXPECT_TRUE(ui.infos().empty());
    EXPECT_EQ(parser.state(), 0);
}

TEST_F(AnswerParser, LengthBeyondAnswerDataIsDropped) {
    // A header announcing 2000 bytes, then a valid frame in the next buffer.
    feed({0x55, 0x01, 0xAA, 0xD5, 0xE3, 0x07, 0xD0, 0x00, 0x00});
    EXPECT_EQ(parser.dropped(), 1u);
    EXPECT_EQ(parser.state(), 0);
    feed(make_answer(0xC4, bytes(16, 'E')));
    EXPECT_EQ(params.location(), std::string(16, 'E'));
}

}  // namespace
}  // namespace tavrin
