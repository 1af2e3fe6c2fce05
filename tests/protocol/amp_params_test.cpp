#include "protocol/amp_params.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace tavrin {
namespace {

TEST(AmpParamsTable, NamesAreUniqueAndCoverTheEnum) {
    std::set<std::string_view> names;
    for (const auto& f : param_field_table)
        EXPECT_TRUE(names.insert(f.name).second) << f.name;
    EXPECT_EQ(field_def(param_field::fw_hour).name, "fw_hour");
    EXPECT_EQ(field_def(param_field::master_volume).name, "master_volume");
    EXPECT_EQ(field_def(param_field::location).name, "location");
}

// Values written through typed accessors land at the offsets the amplifier uses;
// checked against raw bytes of a block.
TEST(AmpParams, AccessorsReadTheAmplifierLayout) {
    param_block b{};
    b[1] = 200;                                 // gain_ch1
    b[14] = 0x03, b[15] = 0xE8;                 // hpf_ch2_freq 1000
    b[16] = 2;                                  // hpf_ch2_slope
    b[52 + 4] = 1;                              // peq_ch2_enable band 5
    b[62 + 4] = 0x01, b[67 + 4] = 0x2C;         // q 300
    b[72 + 4] = 0x27, b[77 + 4] = 0x10;         // freq 10000
    b[90] = 0x34, b[171] = 0x12;                // poeplus limit CH2 = 0x1234
    b[100] = 40;                                // poeplus current threshold
    b[106] = 0x9C;                              // match_gain_ch2 = -100
    b[137] = 70, b[141] = 0x01, b[142] = 0xF4;  // 4 ohm CH2: threshold, attack 500
    b[147] = 4;
    b[165] = 1, b[166] = 3;
    b[508] = 24, b[511] = 23;

    amp_params p;
    p.replace(b);
    EXPECT_EQ(p.gain_ch1(), 200);
    const auto hpf = p.filter(amp_channel::ch2, filter_kind::high_pass);
    EXPECT_EQ(hpf.freq, 1000);
    EXPECT_EQ(hpf.slope, 2);
    const auto band = p.peq(amp_channel::ch2, 4);
    EXPECT_EQ(band.enable, 1);
    EXPECT_EQ(band.q, 300);
    EXPECT_EQ(band.freq, 10000);
    EXPECT_EQ(p.power_limit(power_set::poeplus, limit_slot::ch2), 0x1234);
    EXPECT_EQ(p.current_limit_of(power_set::poeplus).threshold, 40);
    EXPECT_EQ(p.match_gain(amp_channel::ch2), -100);
    EXPECT_EQ(p.active_limiter_set(), limiter_set::ohm4);
    const auto lim = p.limiter(limiter_set::ohm4, amp_channel::ch2);
    EXPECT_EQ(lim.threshold, 70);
    EXPECT_EQ(lim.attack, 500);
    EXPECT_TRUE(p.invert());
    EXPECT_EQ(p.route(), 3);
    EXPECT_EQ(p.fw_year(), 24);
    EXPECT_EQ(p.fw_hour(), 23);
}

TEST(AmpParams, WritersTouchOnlyTheirBytes) {
    amp_params p;
    p.set_power_limit(power_set::poe, limit_slot::pbtl, 0xABCD);
    p.set_limiter_value(limiter_set::ohm8, amp_channel::ch1, limiter_item::hold, 0x0102);
    p.set_peq(amp_channel::ch1, 0, {1, 40, 0x0203, 0x0405});
    const auto b = p.snapshot();
    param_block expected{};
    expected[87] = 0xCD, expected[169] = 0xAB;
    expected[107 + 8] = 0x01, expected[107 + 9] = 0x02;
    expected[22] = 1, expected[27] = 40, expected[32] = 2, expected[37] = 3, expected[42] = 4,
    expected[47] = 5;
    EXPECT_EQ(b, expected);
}

TEST(AmpParams, LocationIsZeroPaddedAndMayFillAllSixteen) {
    amp_params p;
    const uint8_t full[] = "ABCDEFGHIJKLMNOPQ";
    p.set_location(full, 17);
    EXPECT_EQ(p.location(), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(p.get(param_field::invert), 0);  // the byte after the field is untouched
    p.set_location(reinterpret_cast<const uint8_t*>("ab"), 2);
    EXPECT_EQ(p.location(), "ab");
    EXPECT_EQ(p.location_bytes()[2], 0);
}

TEST(AmpParams, ReplaceIfDifferentAndClear) {
    amp_params p;
    param_block b{};
    EXPECT_FALSE(p.replace_if_different(b.data()));
    b[300] = 1;
    EXPECT_TRUE(p.replace_if_different(b.data()));
    EXPECT_EQ(p.snapshot()[300], 1);
    p.clear_params();
    EXPECT_EQ(p.snapshot(), param_block{});
}

TEST(AmpParams, OutOfRangeIndexReadsZeroAndWritesNothing) {
    amp_params p;
    p.set(param_field::peq_ch1_gain, 9, 5);
    EXPECT_EQ(p.snapshot(), param_block{});
    EXPECT_EQ(p.get(param_field::peq_ch1_gain, 5), 0);
}

TEST(AmpParams, HelpersForStoredCodes) {
    EXPECT_EQ(power_set_for_class(0), power_set::poe);
    EXPECT_EQ(power_set_for_class(0x81), power_set::poeplus);
    EXPECT_EQ(power_set_for_class(2), power_set::poeplusplus);
    EXPECT_EQ(power_set_for_class(3), power_set::poeplusplus);  // DC In
    EXPECT_EQ(slope_code_of(4), 4);
    EXPECT_EQ(slope_code_of(5), 0);
}

TEST(AmpParams, ListingNamesEveryFieldWithItsValue) {
    amp_params p;
    p.set_master_volume(42);
    p.set_location(reinterpret_cast<const uint8_t*>("Hall"), 4);
    p.set_limiter_value(limiter_set::ohm4, amp_channel::ch1, limiter_item::ratio, 250);
    p.set_match_gain(amp_channel::ch1, -5);
    const auto fields = p.list_fields();
    auto find = [&](const std::string& name) -> const field_value* {
        for (const auto& f : fields)
            if (f.name == name)
                return &f;
        return nullptr;
    };
    ASSERT_NE(find("master_volume"), nullptr);
    EXPECT_EQ(find("master_volume")->values, std::vector<int>{42});
    ASSERT_NE(find("location"), nullptr);
    EXPECT_TRUE(find("location")->is_text);
    EXPECT_EQ(find("location")->text, "Hall");
    ASSERT_NE(find("limiter_4ohm_ch1.ratio"), nullptr);
    EXPECT_EQ(find("limiter_4ohm_ch1.ratio")->values, std::vector<int>{250});
    EXPECT_EQ(find("match_gain_ch1")->values, std::vector<int>{-5});
    EXPECT_EQ(find("peq_ch2_gain")->values.size(), 5u);
    // 53 plain fields plus 4 limiter blocks of 6 items.
    EXPECT_EQ(fields.size(), param_field_count - 4 + 4 * limiter_item_table.size());
}

}  // namespace
}  // namespace tavrin
