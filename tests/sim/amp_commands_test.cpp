#include <gtest/gtest.h>

#include "amp_test_frames.h"
#include "sim/amp_commands.h"

namespace tavrin::sim {
namespace {

using testing::send;
using testing::setting;

class AmpCommands : public ::testing::Test {
  protected:
    fake_time clock;
    virtual_amp amp{clock};
    amp_block before = amp.block();

    // Sends a setting command and returns the block afterwards.
    amp_block apply(uint8_t code, const std::vector<uint8_t>& data) {
        EXPECT_TRUE(send(amp, setting(code, data)).empty());
        return amp.block();
    }

    // Every byte except the listed ones is as before.
    void expect_only(const amp_block& after, std::initializer_list<size_t> changed) {
        for (size_t i = 0; i < amp_block_size; ++i) {
            if (std::find(changed.begin(), changed.end(), i) != changed.end())
                continue;
            EXPECT_EQ(after[i], before[i]) << "offset " << i;
        }
    }
};

TEST_F(AmpCommands, MasterVolumeAndMuteKeepTheOtherHalf) {
    auto b = apply(0x08, {0xFF, 0xFF});  // mute, volume unchanged
    EXPECT_EQ(b[amp_offset::mute], 1);
    EXPECT_EQ(b[amp_offset::master_volume], 30);
    b = apply(0x08, {0x9E, 0xFF});  // volume 30 -> stays muted, slider to 30
    EXPECT_EQ(b[amp_offset::mute], 1);
    b = apply(0x08, {0x8A, 0xFF});  // muted, volume 10
    EXPECT_EQ(b[amp_offset::master_volume], 10);
    b = apply(0x08, {0x7F, 0xFF});  // unmute, volume unchanged
    EXPECT_EQ(b[amp_offset::mute], 0);
    EXPECT_EQ(b[amp_offset::master_volume], 10);
    expect_only(b, {amp_offset::mute, amp_offset::master_volume});
}

TEST_F(AmpCommands, OutputGainChangesOnlyTheNamedChannel) {
    auto b = apply(0x0A, {0x01, 0x01, 0xFF, 0xDC});  // CH2 -3.0 dB
    EXPECT_EQ(b[1], 250);
    EXPECT_EQ(b[2], 0xDC);
    b = apply(0x0A, {0x01, 0x01, 0x00, 0xFF});  // CH1 -25.0 dB
    EXPECT_EQ(b[1], 0);
    EXPECT_EQ(b[2], 0xDC);
    expect_only(b, {1, 2});
}

TEST_F(AmpCommands, CodeSevenIsToldApartByItsFirstByte) {
    auto b = apply(0x07, {0x06, 0x04});
    EXPECT_EQ(b[amp_offset::route], 4);
    b = apply(0x07, {0xA0, 0x00, 0x00, 0x00, 0x01});
    EXPECT_EQ(b[amp_offset::pbtl_mode], 1);
    b = apply(0x07, {0xA1, 0x01, 0x01, 0x00, 0x00});
    EXPECT_EQ(b[amp_offset::power_source], 0x81);
    b = apply(0x07, {0xA1, 0x00, 0x03, 0x00, 0x00});
    EXPECT_EQ(b[amp_offset::power_source], 0x03);
    expect_only(b, {amp_offset::route, amp_offset::pbtl_mode, amp_offset::power_source});

    EXPECT_EQ(amp.identify_count(), 0u);
    b = apply(0x07, {0xF0, 0x01});
    EXPECT_EQ(amp.identify_count(), 1u);
    EXPECT_EQ(b[amp_offset::route], 4);  // identify stores nothing
}

TEST_F(AmpCommands, PolarityAndMatchGain) {
    auto b = apply(0x29, {0x01, 0x01, 0x02, 0x01});
    EXPECT_EQ(b[amp_offset::invert], 1);
    b = apply(0x10, {0x01, 0x02, 0xC4});  // CH2 -6.0 dB
    EXPECT_EQ(static_cast<int8_t>(b[106]), -60);
    // A named channel makes 0xFF a value (-0.1 dB), not "unchanged".
    b = apply(0x10, {0x01, 0x01, 0xFF});
    EXPECT_EQ(static_cast<int8_t>(b[105]), -1);
    expect_only(b, {amp_offset::invert, 105, 106});
}

TEST_F(AmpCommands, FilterFlagAlwaysAppliesWhileUnchangedMarkersKeepFrequencyAndSlope) {
    // CH1 low-pass: on, only the slope changes to 24 dB/oct.
    apply(0x22, {0x01, 0x01, 0x01, 0x02, 0xFF, 0xFF, 0x04});
    auto b = amp.block();
    EXPECT_EQ(b[8], 1);
    EXPECT_EQ(read_be16(b, 9), 20000);
    EXPECT_EQ(b[11], 4);
    // CH2 high-pass: on at 80 Hz, slope unchanged.
    b = apply(0x22, {0x01, 0x01, 0x02, 0x01, 0x80, 0x50, 0xFF});
    EXPECT_EQ(b[13], 1);
    EXPECT_EQ(read_be16(b, 14), 80);
    EXPECT_EQ(b[16], 2);
    // Off again, frequency bytes unchanged.
    b = apply(0x22, {0x01, 0x01, 0x02, 0x01, 0x7F, 0xFF, 0xFF});
    EXPECT_EQ(b[13], 0);
    EXPECT_EQ(read_be16(b, 14), 80);
    // High 7 bits only: 0x4E20 = 20000 with the low byte kept.
    b = apply(0x22, {0x01, 0x01, 0x02, 0x01, 0x01, 0xFF, 0xFF});
    EXPECT_EQ(read_be16(b, 14), 0x0150);
    expect_only(b, {8, 11, 13, 14, 15});
}

TEST_F(AmpCommands, EqBandWritesItsOwnColumnOfTheSixArrays) {
    // CH1 band 3 at 1000 Hz, on, nothing else.
    auto b = apply(0x4A, {0x01, 0x01, 0x01, 0xFF, 0x02, 0xFF, 0xFF, 0x83, 0xE8, 0xFF, 0xFF});
    EXPECT_EQ(b[22 + 2], 1);
    EXPECT_EQ(b[42 + 2], 0x03);
    EXPECT_EQ(b[47 + 2], 0xE8);
    expect_only(b, {22 + 2});  // 1000 Hz was already band 3's frequency
    // CH2 band 5: gain +6 dB (52), 12000 Hz, Q 4.00, off.
    b = apply(0x4A, {0x01, 0x01, 0x02, 0xFF, 0x04, 0xFF, 52, 0x2E, 0xE0, 0x01, 0x90});
    EXPECT_EQ(b[52 + 4], 0);
    EXPECT_EQ(b[57 + 4], 52);
    EXPECT_EQ(b[62 + 4], 0x01);
    EXPECT_EQ(b[67 + 4], 0x90);
    EXPECT_EQ(b[72 + 4], 0x2E);
    EXPECT_EQ(b[77 + 4], 0xE0);
    expect_only(b, {22 + 2, 57 + 4, 62 + 4, 67 + 4, 72 + 4, 77 + 4});
}

TEST_F(AmpCommands, LimiterGoesToTheBlockOfTheCurrentImpedance) {
    auto b = apply(0x2C, {0x03, 0x01, 0x01, 0x00, 0x46});  // CH1 threshold -20 dB, 8 ohm
    EXPECT_EQ(b[amp_offset::limiter_8ohm_ch1], 0x46);
    EXPECT_EQ(b[amp_offset::limiter_4ohm_ch1], 90);

    b = apply(0x2C, {0x04, 0x01, 0x01, 0x00, 0x04});  // speaker 4 ohm
    EXPECT_EQ(b[amp_offset::speaker_impedance], 4);
    EXPECT_EQ(b[amp_offset::speaker_impedance_2], 4);

    const size_t l = amp_offset::limiter_4ohm_ch2;
    apply(0x2C, {0x03, 0x01, 0x02, 0x00, 0x50});      // threshold
    apply(0x2C, {0x03, 0x02, 0x02, 0x07, 0xD0});      // ratio 20.00
    apply(0x2C, {0x03, 0x04, 0x02, 0x01, 0xF4});      // attack 500
    apply(0x2C, {0x03, 0x08, 0x02, 0x07, 0xD0});      // release 2000
    apply(0x2C, {0x03, 0x10, 0x02, 0x00, 0x64});      // hold 100
    b = apply(0x2C, {0x03, 0x20, 0x02, 0x00, 0x21});  // knee 33
    EXPECT_EQ(b[l + limiter_field::threshold], 0x50);
    EXPECT_EQ(b[l + limiter_field::knee], 33);
    EXPECT_EQ(read_be16(b, l + limiter_field::ratio), 2000);
    EXPECT_EQ(read_be16(b, l + limiter_field::attack), 500);
    EXPECT_EQ(read_be16(b, l + limiter_field::release), 2000);
    EXPECT_EQ(read_be16(b, l + limiter_field::hold), 100);
    for (size_t at : {amp_offset::limiter_8ohm_ch2, amp_offset::limiter_4ohm_ch1}) {
        for (size_t i = 0; i < 10; ++i)
            EXPECT_EQ(b[at + i], before[at + i]) << at + i;
    }
}

TEST_F(AmpCommands, PowerGroupsWriteTheSetOfTheirClass) {
    apply(0x2C, {0x01, 0x01, 0x02, 0x00, 0x28});           // PoE CH2 4.0 W
    apply(0x2C, {0x02, 0x01, 0x03, 0x80, 0x00});           // PoE+ limit on
    apply(0x2C, {0x05, 0x04, 0x02, 0x02, 0x58});           // PoE++ PBTL 60.0 W
    apply(0x2C, {0x05, 0x02, 0x01, 0x00, 0x28});           // PoE++ threshold 1000 mA
    apply(0x2C, {0x01, 0x02, 0x03, 0x80, 0x00});           // PoE current limit on
    auto b = apply(0x2C, {0x02, 0x02, 0x04, 0x00, 0x0A});  // PoE+ release 10 s
    EXPECT_EQ(b[86], 0x28);
    EXPECT_EQ(b[168], 0x00);
    EXPECT_EQ(b[88], 1);
    EXPECT_EQ(b[95], 0x58);
    EXPECT_EQ(b[175], 0x02);
    EXPECT_EQ(b[103], 0x28);
    EXPECT_EQ(b[96], 1);
    EXPECT_EQ(b[101], 10);
    expect_only(b, {86, 168, 88, 95, 175, 103, 96, 101});

    b = apply(0x2C, {0x02, 0x04, 0x03, 0x00, 0x00});  // PBTL switch is the same byte
    EXPECT_EQ(b[88], 0);
}

TEST_F(AmpCommands, LocationIsAnsweredWithTheStoredText) {
    std::vector<uint8_t> text = {'S', 't', 'a', 'g', 'e', ' ', 'L', 'e',
                                 'f', 't', ' ', 'R', 'e', 'a', 'r', '!'};  // all 16 used
    auto replies = send(amp, setting(0xC4, text));
    auto a = testing::single_answer(replies);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->code, 0xC4);
    EXPECT_EQ(a->data, text);
    auto b = amp.block();
    EXPECT_TRUE(std::equal(text.begin(), text.end(), b.begin() + amp_offset::location));
    EXPECT_EQ(b[amp_offset::invert], 0);  // not terminated into the next field
}

TEST_F(AmpCommands, MalformedCommandsChangeNothing) {
    const std::vector<byte_vector> bad = {
        setting(0x08, {0x10}),                                                      // too short
        setting(0x0A, {0x01, 0x01, 0x00, 0x00, 0x00}),                              // too long
        setting(0x10, {0x01, 0x03, 0x10}),                                          // channel 3
        setting(0x22, {0x01, 0x01, 0x01, 0x03, 0x80, 0x10, 0x01}),                  // filter 3
        setting(0x4A, {0x01, 0x01, 0x01, 0xFF, 0x05, 0xFF, 40, 0x80, 0x10, 0, 1}),  // band 6
        setting(0x2C, {0x03, 0x40, 0x01, 0x00, 0x10}),  // unknown limiter field
        setting(0x2C, {0x06, 0x01, 0x01, 0x00, 0x10}),  // unknown group
        setting(0x07, {0x33, 0x01}),                    // unknown sub-command
        setting(0xC4, {'a', 'b'}),                      // short location
        testing::command(0x08, 0x11, {0x05, 0xFF}),     // wrong unit
    };
    for (const auto& f : bad)
        EXPECT_TRUE(send(amp, f).empty());
    auto wrong_sum = setting(0x08, {0x05, 0xFF});
    wrong_sum.back() ^= 1;
    send(amp, wrong_sum);
    EXPECT_EQ(amp.block(), before);
}

TEST(AmpDefaults, FactoryBlockHoldsTheDocumentedValues) {
    const amp_block b = factory_block({23, 6, 15, 10});
    EXPECT_EQ(b[amp_offset::master_volume], 30);
    EXPECT_EQ(read_be16(b, 5), 20);
    EXPECT_EQ(read_be16(b, 18), 20000);
    for (size_t band = 0; band < 5; ++band) {
        EXPECT_EQ(b[52 + 5 + band], 40);
        EXPECT_EQ(b[52 + 10 + band] << 8 | b[52 + 15 + band], 141);
        EXPECT_EQ(b[52 + 20 + band] << 8 | b[52 + 25 + band], default_eq_freq[band]);
    }
    for (size_t at : {107, 117, 127, 137})
        EXPECT_EQ(b[at], 90);
    EXPECT_EQ(b[amp_offset::speaker_impedance], 8);
    EXPECT_EQ(b[amp_offset::location], 0);
    EXPECT_EQ(read_firmware_date(b), (firmware_date{23, 6, 15, 10}));
}

}  // namespace
}  // namespace tavrin::sim
