#include "protocol/catalogue.h"

#include <gtest/gtest.h>

#include <numeric>

#include "protocol/frame.h"

namespace tavrin {
namespace {

using bytes = std::vector<uint8_t>;

void expect_command(const amp_command& c, uint8_t code, uint8_t unit, const bytes& data) {
    EXPECT_EQ(c.code, code);
    EXPECT_EQ(c.unit, unit);
    EXPECT_EQ(c.data, data);
}

TEST(CatalogueFrames, PollAndFactoryResetAreTheDocumentedFrames) {
    EXPECT_EQ(frame_of(cmd::poll()), (bytes{0x55, 0x11, 0xAA, 0xD5, 0xE3, 0x00, 0x02, 0x01, 0xCB}));
    EXPECT_EQ(frame_of(cmd::factory_reset()),
              (bytes{0x55, 0x01, 0xAA, 0xD5, 0x34, 0x00, 0x02, 0xC0, 0xCB}));
}

TEST(CatalogueCommands, VolumeGainRoutePolarityMatch) {
    expect_command(cmd::mute(true), 0x08, 0x10, {0xFF, 0xFF});
    expect_command(cmd::mute(false), 0x08, 0x10, {0x7F, 0xFF});
    expect_command(cmd::master_volume(30, true), 0x08, 0x10, {0x9E, 0xFF});
    expect_command(cmd::master_volume(50, false), 0x08, 0x10, {0x32, 0xFF});
    // CH2 to -3.0 dB: code 220.
    expect_command(cmd::output_gain(amp_channel::ch2, 220), 0x0A, 0x10, {0x01, 0x01, 0xFF, 0xDC});
    expect_command(cmd::output_gain(amp_channel::ch1, 0), 0x0A, 0x10, {0x01, 0x01, 0x00, 0xFF});
    expect_command(cmd::route(4), 0x07, 0x10, {0x06, 0x04});
    expect_command(cmd::polarity(true), 0x29, 0x10, {0x01, 0x01, 0x02, 0x01});
    expect_command(cmd::polarity(false), 0x29, 0x10, {0x01, 0x01, 0x02, 0x00});
    expect_command(cmd::match_gain(amp_channel::ch2, -60), 0x10, 0x10, {0x01, 0x02, 0xC4});
    expect_command(cmd::match_gain(amp_channel::ch1, 100), 0x10, 0x10, {0x01, 0x01, 0x64});
}

TEST(CatalogueCommands, OtherSevenFamily) {
    expect_command(cmd::pbtl(true), 0x07, 0x10, {0xA0, 0x00, 0x00, 0x00, 0x01});
    expect_command(cmd::pbtl(false), 0x07, 0x10, {0xA0, 0x00, 0x00, 0x00, 0x00});
    expect_command(cmd::power_source(true, 3), 0x07, 0x10, {0xA1, 0x01, 0x03, 0x00, 0x00});
    expect_command(cmd::power_source(false, 1), 0x07, 0x10, {0xA1, 0x00, 0x01, 0x00, 0x00});
    expect_command(cmd::find_me(), 0x07, 0x10, {0xF0, 0x01});
}

TEST(CatalogueCommands, InputLimiterItems) {
    // -20 dB on CH1: 70.
    expect_command(cmd::limiter_threshold(amp_channel::ch1, 70), 0x2C, 0x10,
                   {0x03, 0x01, 0x01, 0x00, 0x46});
    expect_command(cmd::limiter_ratio(amp_channel::ch2, 10000), 0x2C, 0x10,
                   {0x03, 0x02, 0x02, 0x27, 0x10});
    expect_command(cmd::limiter_attack(amp_channel::ch1, 500), 0x2C, 0x10,
                   {0x03, 0x04, 0x01, 0x01, 0xF4});
    expect_command(cmd::limiter_release(amp_channel::ch1, 2000), 0x2C, 0x10,
                   {0x03, 0x08, 0x01, 0x07, 0xD0});
    expect_command(cmd::limiter_hold(amp_channel::ch2, 20), 0x2C, 0x10,
                   {0x03, 0x10, 0x02, 0x00, 0x14});
    expect_command(cmd::limiter_knee(amp_channel::ch1, 100), 0x2C, 0x10,
                   {0x03, 0x20, 0x01, 0x00, 0x64});
    EXPECT_EQ(cmd::limiter_setting(amp_channel::ch2, limiter_item::hold, 20),
              cmd::limiter_hold(amp_channel::ch2, 20));
}

TEST(CatalogueCommands, PowerCurrentAndSpeakerGroups) {
    expect_command(cmd::power_limit(power_set::poe, limit_slot::ch1, 255), 0x2C, 0x10,
                   {0x01, 0x01, 0x01, 0x00, 0xFF});
    expect_command(cmd::power_limit(power_set::poeplus, limit_slot::ch2, 300), 0x2C, 0x10,
                   {0x02, 0x01, 0x02, 0x01, 0x2C});
    expect_command(cmd::power_limit(power_set::poeplusplus, limit_slot::pbtl, 600), 0x2C, 0x10,
                   {0x05, 0x04, 0x02, 0x02, 0x58});
    expect_command(cmd::power_limit_enable(power_set::poe, false, true), 0x2C, 0x10,
                   {0x01, 0x01, 0x03, 0x80, 0x00});
    expect_command(cmd::power_limit_enable(power_set::poeplus, true, false), 0x2C, 0x10,
                   {0x02, 0x04, 0x03, 0x00, 0x00});
    expect_command(cmd::current_limit_threshold(power_set::poeplusplus, 40), 0x2C, 0x10,
                   {0x05, 0x02, 0x01, 0x00, 0x28});
    expect_command(cmd::current_limit_release(power_set::poe, 5), 0x2C, 0x10,
                   {0x01, 0x02, 0x04, 0x00, 0x05});
    expect_command(cmd::current_limit_enable(power_set::poeplus, true), 0x2C, 0x10,
                   {0x02, 0x02, 0x03, 0x80, 0x00});
    expect_command(cmd::speaker_impedance(4), 0x2C, 0x10, {0x04, 0x01, 0x01, 0x00, 0x04});
    // DC In shares the PoE++ group.
    EXPECT_EQ(cmd::power_group(power_set_for_class(3)), 5);
}

TEST(CatalogueCommands, FilterAndEqualiserMarkUnchangedFields) {
    // Only the slope of the CH1 low-pass, 24 dB/oct, filter on.
    expect_command(cmd::filter(amp_channel::ch1, filter_kind::low_pass, {true, {}, 2}), 0x22, 0x10,
                   {0x01, 0x01, 0x01, 0x02, 0xFF, 0xFF, 0x02});
    // Frequency of the CH2 high-pass, filter off.
    expect_command(cmd::filter(amp_channel::ch2, filter_kind::high_pass, {false, 20000, {}}), 0x22,
                   0x10, {0x01, 0x01, 0x02, 0x01, 0x4E, 0x20, 0xFF});
    // CH1 band 3 to 1000 Hz, band on.
    expect_command(cmd::eq_band(amp_channel::ch1, 2, {true, {}, 1000, {}}), 0x4A, 0x10,
                   {0x01, 0x01, 0x01, 0xFF, 0x02, 0xFF, 0xFF, 0x83, 0xE8, 0xFF, 0xFF});
    // Gain and Q of CH2 band 5 with the band off.
    expect_command(cmd::eq_band(amp_channel::ch2, 4, {false, 52, {}, 1414}), 0x4A, 0x10,
                   {0x01, 0x01, 0x02, 0xFF, 0x04, 0xFF, 0x34, 0x7F, 0xFF, 0x05, 0x86});
}

TEST(CatalogueCommands, LocationIsSixteenBytesZeroPadded) {
    bytes expected(16, 0);
    expected[0] = 'S', expected[1] = 'u', expected[2] = 'b';
    expect_command(cmd::location("Sub"), 0xC4, 0x10, expected);
    EXPECT_EQ(cmd::location("ABCDEFGHIJKLMNOPQRS").data,
              bytes(std::begin("ABCDEFGHIJKLMNOP"), std::begin("ABCDEFGHIJKLMNOP") + 16));
    // A two-byte character that would straddle the end is left out whole.
    const auto c = cmd::location("ABCDEFGHIJKLMNO\xC3\xA9");
    EXPECT_EQ(c.data[14], 'O');
    EXPECT_EQ(c.data[15], 0);
}

TEST(CatalogueFrames, ParameterWriteWrapsTheBlock) {
    param_block b;
    std::iota(b.begin(), b.end(), uint8_t{0});
    const auto f = frames::parameter_write(b);
    ASSERT_EQ(f.size(), 520u);
    EXPECT_EQ(bytes(f.begin(), f.begin() + 7), (bytes{0x55, 0x10, 0xAA, 0xD5, 0xE3, 0x02, 0x01}));
    EXPECT_TRUE(std::equal(b.begin(), b.end(), f.begin() + 7));
    EXPECT_EQ(f.back(), frame_checksum(f.data(), 519));
}

TEST(CatalogueFrames, FirmwareUpdateFrames) {
    EXPECT_EQ(frames::fw_resume_query(),
              (bytes{0x55, 0x11, 0xAA, 0xD5, 0xF8, 0x00, 0x03, 0x00, 0x02, 0xE2}));
    EXPECT_EQ(frames::fw_checksum_query(),
              (bytes{0x55, 0x11, 0xAA, 0xD5, 0xF8, 0x00, 0x03, 0x00, 0x00, 0xE0}));
    EXPECT_EQ(frames::fw_finish(), (bytes{0x55, 0x10, 0xAA, 0xD5, 0xF0, 0x00, 0x01, 0xD5}));
    const auto start = frames::fw_start();
    ASSERT_EQ(start.size(), 14u);
    EXPECT_EQ(bytes(start.begin() + 4, start.end() - 1),
              (bytes{0xF8, 0x00, 0x07, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00}));
    const auto end = frames::fw_end_marker();
    ASSERT_EQ(end.size(), 12u);
    EXPECT_EQ(bytes(end.begin() + 4, end.end() - 1),
              (bytes{0xF9, 0x00, 0x05, 0x00, 0xFF, 0xFF, 0x00}));
    const auto version = frames::fw_version_write({0x24, 0x03, 0x15, 0x09});
    ASSERT_EQ(version.size(), 14u);
    EXPECT_EQ(bytes(version.begin() + 4, version.end() - 1),
              (bytes{0xF8, 0x00, 0x07, 0x00, 0x01, 0x24, 0x03, 0x15, 0x09}));

    bytes image(256);
    std::iota(image.begin(), image.end(), uint8_t{0});
    const auto block = frames::fw_block(0x0123, image.data());
    ASSERT_EQ(block.size(), 268u);
    EXPECT_EQ(bytes(block.begin() + 1, block.begin() + 11),
              (bytes{0x10, 0xAA, 0xD5, 0xF9, 0x01, 0x05, 0x00, 0x01, 0x23, 0x08}));
    EXPECT_TRUE(std::equal(image.begin(), image.end(), block.begin() + 11));
    for (const auto& f : {start, end, version, block})
        EXPECT_EQ(f.back(), frame_checksum(f.data(), f.size() - 1));
}

}  // namespace
}  // namespace tavrin
