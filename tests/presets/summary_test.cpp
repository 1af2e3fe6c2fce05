#include "presets/summary.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "resources/dialog_template.h"

namespace tavrin {
namespace {

std::map<int, std::string> texts_of(const param_block& block, std::string_view name = "") {
    std::map<int, std::string> out;
    for (const summary_field& f : summary_fields(block, name))
        out[f.id] = f.text;
    return out;
}

param_block with(std::initializer_list<std::pair<param_field, int>> values, param_block base = {}) {
    amp_params p;
    p.replace(base);
    for (const auto& [f, v] : values)
        p.set(f, v);
    return p.snapshot();
}

TEST(Summary, AllZeroBlockWithoutDevice) {
    auto t = texts_of(param_block{});
    // Every value field 1244..1284, each once.
    EXPECT_EQ(summary_fields(param_block{}, "").size(), 41u);
    ASSERT_EQ(t.size(), 41u);
    EXPECT_EQ(t.begin()->first, 1244);
    EXPECT_EQ(t.rbegin()->first, 1284);
    EXPECT_EQ(t[1244], "No Device");
    EXPECT_EQ(t[1245], "");
    EXPECT_EQ(t[1246], "8\u03A9");
    EXPECT_EQ(t[1247], "Disable");
    EXPECT_EQ(t[1248], "PoE");
    EXPECT_EQ(t[1249], "0%");
    EXPECT_EQ(t[1250], "Disable");
    EXPECT_EQ(t[1265], "-25.0dB");
    EXPECT_EQ(t[1266], "-25.0dB");
    EXPECT_EQ(t[1251], "0.0dB");
    EXPECT_EQ(t[1252], "0.0dB");
    EXPECT_EQ(t[1253], "-90");
    EXPECT_EQ(t[1254], "-90");
    EXPECT_EQ(t[1255], "0.00");
    for (int id : {1257, 1258, 1259, 1260, 1261, 1262, 1263, 1264})
        EXPECT_EQ(t[id], "0") << id;
    for (int id = 1267; id <= 1281; ++id)
        EXPECT_EQ(t[id], "Disable") << id;
    EXPECT_EQ(t[1284], "Disable");
    EXPECT_EQ(t[1282], "Disable");
    EXPECT_EQ(t[1283], "0 sec");
}

TEST(Summary, DeviceNameLocationAndScalars) {
    param_block b = with({{param_field::master_volume, 37},
                          {param_field::mute, 1},
                          {param_field::pbtl_mode, 2},
                          {param_field::gain_ch1, 245},
                          {param_field::gain_ch2, 250},
                          {param_field::match_gain_ch1, -100},
                          {param_field::match_gain_ch2, 35}});
    amp_params p;
    p.replace(b);
    const uint8_t loc[16] = {'R', 'o', 'o', 'm', ' ', 0xC5, 'A', 'B',
                             'C', 'D', 'E', 'F', 'G', 'H',  'I', 'J'};
    p.set_location(loc, 16);
    auto t = texts_of(p.snapshot(), "Amp-1");
    EXPECT_EQ(t[1244], "Amp-1");
    EXPECT_EQ(t[1245], "Room \u00C5ABCDEFGHIJ");  // all 16, widened byte by byte
    EXPECT_EQ(t[1249], "74%");
    EXPECT_EQ(t[1250], "Enable");
    EXPECT_EQ(t[1247], "Enable");
    EXPECT_EQ(t[1265], "-0.5dB");
    EXPECT_EQ(t[1266], "0.0dB");
    EXPECT_EQ(t[1251], "-10.0dB");
    EXPECT_EQ(t[1252], "3.5dB");
    // Mute shows Enable only for exactly 1; the location only with a device.
    EXPECT_EQ(texts_of(with({{param_field::mute, 2}}))[1250], "Disable");
    EXPECT_EQ(texts_of(p.snapshot())[1245], "");
}

TEST(Summary, PowerRowsShowTheClassInForceAndItsLimitsAsThePowerPage) {
    amp_params p;
    p.set_power_source(0x80 | 2);  // PoE++, chosen by hand
    p.set(param_field::poeplus_power_limit_enable, 1);
    p.set(param_field::poeplusplus_power_limit_enable, 1);
    p.set_power_limit(power_set::poeplus, limit_slot::ch1, 111);
    p.set_power_limit(power_set::poeplusplus, limit_slot::ch1, 600);  // 60.0 W: 0x0258
    p.set_power_limit(power_set::poeplusplus, limit_slot::ch2, 1234);
    p.set_power_limit(power_set::poeplusplus, limit_slot::pbtl, 905);
    p.set_current_limit(power_set::poeplus, {0, 99, 99});
    p.set_current_limit(power_set::poeplusplus, {1, 12, 7});
    auto t = texts_of(p.snapshot());
    EXPECT_EQ(t[1248], "PoE++");
    EXPECT_EQ(t[1281], "60.0 W");
    EXPECT_EQ(t[1284], "123.4 W");
    EXPECT_EQ(t[1282], "300 mA");
    EXPECT_EQ(t[1283], "7 sec");

    // PBTL: CH1 is off, CH2 shows the PBTL limit, whatever the speaker.
    p.set_pbtl_mode(true);
    p.set_speaker_impedance(8);
    t = texts_of(p.snapshot());
    EXPECT_EQ(t[1281], "Disable");
    EXPECT_EQ(t[1284], "90.5 W");
    // DC In uses the PoE++ set, as the Power page does; an unknown class says so.
    p.set_power_source(3);
    EXPECT_EQ(texts_of(p.snapshot())[1248], "DC In");
    EXPECT_EQ(texts_of(p.snapshot())[1284], "90.5 W");
    p.set_power_source(9);
    EXPECT_EQ(texts_of(p.snapshot())[1248], "Unknown");
    // The PoE set when the class is PoE.
    p.set_power_source(0);
    t = texts_of(p.snapshot());
    EXPECT_EQ(t[1248], "PoE");
    EXPECT_EQ(t[1284], "Disable");
    EXPECT_EQ(t[1282], "Disable");
}

TEST(Summary, FourOhmShowsTheFourOhmLimiters) {
    amp_params p;
    p.set_limiter(limiter_set::ohm8, amp_channel::ch1, {10, 1, 100, 2, 3, 4});
    p.set_limiter(limiter_set::ohm4, amp_channel::ch1, {95, 6, 250, 20, 300, 1000});
    p.set_limiter(limiter_set::ohm4, amp_channel::ch2, {80, 0, 10000, 65535, 0, 1});
    p.set_speaker_impedance(4);
    auto t = texts_of(p.snapshot());
    EXPECT_EQ(t[1246], "4\u03A9");
    EXPECT_EQ((std::vector<std::string>{t[1253], t[1255], t[1257], t[1259], t[1261], t[1263]}),
              (std::vector<std::string>{"5", "2.50", "6", "20", "300", "1000"}));
    EXPECT_EQ((std::vector<std::string>{t[1254], t[1256], t[1258], t[1260], t[1262], t[1264]}),
              (std::vector<std::string>{"-10", "100.00", "0", "65535", "0", "1"}));
    p.set_speaker_impedance(8);
    EXPECT_EQ(texts_of(p.snapshot())[1253], "-80");
    EXPECT_EQ(texts_of(p.snapshot())[1255], "1.00");
}

TEST(Summary, BandsAndFilters) {
    amp_params p;
    p.set_peq(amp_channel::ch1, 0, {1, 33, 71, 1000});
    p.set_peq(amp_channel::ch2, 4, {1, 60, 1000, 20000});
    p.set_peq(amp_channel::ch2, 3, {0, 60, 1000, 20000});
    // The frequency is shown whole: no flag bit is masked.
    p.set_filter(amp_channel::ch1, filter_kind::low_pass, {1, 0x8000 | 100, 0});
    p.set_filter(amp_channel::ch2, filter_kind::low_pass, {1, 12000, 4});
    p.set_filter(amp_channel::ch1, filter_kind::high_pass, {1, 80, 1});
    p.set_filter(amp_channel::ch2, filter_kind::high_pass, {5, 90, 9});
    auto t = texts_of(p.snapshot());
    EXPECT_EQ(t[1271], "1000Hz, -3.5dB, 0.71");
    EXPECT_EQ(t[1280], "20000Hz, 10.0dB, 10.00");
    EXPECT_EQ(t[1279], "Disable");
    EXPECT_EQ(t[1267], "32868Hz, 12 dB/oct");
    EXPECT_EQ(t[1268], "12000Hz, 36 dB/oct");
    EXPECT_EQ(t[1269], "80Hz, 18 dB/oct");
    EXPECT_EQ(t[1270], "90Hz, 12 dB/oct");
}

TEST(Summary, EveryFieldHasAStaticTextInTheWindowTemplate) {
    const dialog_template* t = find_template(summary_template_id);
    ASSERT_NE(t, nullptr);
    std::set<int> statics;
    for (const dialog_control& c : t->controls) {
        if (c.id != no_control_id) {
            EXPECT_TRUE(statics.insert(c.id).second) << "duplicate id " << c.id;
        }
        if (c.kind == control_kind::static_text && c.id != no_control_id) {
            EXPECT_TRUE(c.x + c.w <= t->w && c.y + c.h <= t->h) << c.id;
        }
    }
    std::set<std::string_view> labels;
    for (const dialog_control& c : t->controls)
        labels.insert(c.text);
    for (const summary_field& f : summary_fields(param_block{}, "")) {
        EXPECT_TRUE(statics.count(f.id)) << f.id;
        EXPECT_TRUE(labels.count(f.label)) << f.label;
    }
    EXPECT_TRUE(statics.count(summary_ok_id));
}

}  // namespace
}  // namespace tavrin
