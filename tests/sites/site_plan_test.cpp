// The state a site asks of an amplifier, its drift, and the plan that reaches it:
// by name when that is exact, else one whole-block write that keeps the amplifier's
// own bytes.
#include <gtest/gtest.h>

#include "pages/settings.h"
#include "sites/site_plan.h"

namespace tavrin {
namespace {

constexpr size_t master_at = 0, gain1_at = 1, lpf1_at = 9, location_at = 149;
constexpr size_t limiter_8ohm_ch1 = 107, attack_at = 4, hold_at = 8;

param_block factory() {
    param_block b{};
    b[master_at] = 30;  // 60 %
    b[gain1_at] = 250;  // 0.0 dB
    b[lpf1_at] = 0x4E;  // CH1 low-pass 20000 Hz
    b[lpf1_at + 1] = 0x20;
    b[147] = 8;  // 8 ohm
    b[limiter_8ohm_ch1 + attack_at + 1] = 10;
    b[limiter_8ohm_ch1 + hold_at + 1] = 50;
    for (size_t i = 176; i < 512; ++i)
        b[i] = static_cast<uint8_t>(i * 7);
    return b;
}

void put_location(param_block& b, const std::string& text) {
    std::fill_n(b.begin() + location_at, 16, 0);
    std::copy(text.begin(), text.end(), b.begin() + location_at);
}

site_amp amp_on(const param_block& preset, std::vector<std::string> settings,
                std::optional<std::string> location = {}) {
    site_amp a;
    a.name = "A-1";
    a.preset_block = preset;
    a.location = std::move(location);
    std::vector<setting_request> requests;
    for (const std::string& s : settings) {
        EXPECT_EQ(add_request(requests, s), "") << s;
        a.settings.push_back({requests.back(), {}});
    }
    return a;
}

std::vector<std::string> names(const std::vector<setting_request>& requests) {
    std::vector<std::string> out;
    for (const setting_request& r : requests)
        out.push_back(r.def->name + "=" + r.value);
    return out;
}

TEST(site_plan, the_target_is_the_preset_with_the_settings_through_the_page_logic) {
    const amp_target t = target_of(amp_on(factory(), {"master=73", "ch1.level=-3.75"}, "FOH"));
    EXPECT_EQ(t.block[master_at], 37);       // 74 %, the fader's step
    EXPECT_EQ(t.block[gain1_at], 250 - 38);  // -3.8 dB
    EXPECT_EQ(t.location, "FOH");
    // Nothing but the settings changed.
    param_block expected = factory();
    expected[master_at] = 37;
    expected[gain1_at] = 250 - 38;
    EXPECT_EQ(t.block, expected);
}

TEST(site_plan, drift_names_each_setting_and_the_location_amplifier_first) {
    const amp_target t = target_of(amp_on(factory(), {"master=80"}, "FOH left"));
    param_block now = factory();
    put_location(now, "Stage");
    now[gain1_at] = 250 - 60;
    const std::vector<diff_row> rows = drift_of(t, now);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].name, "master");
    EXPECT_EQ(rows[0].first, "60");
    EXPECT_EQ(rows[0].second, "80");
    EXPECT_EQ(rows[1].name, "ch1.level");
    EXPECT_EQ(rows[1].first, "-6.0");
    EXPECT_EQ(rows[2].name, "location");
    EXPECT_EQ(rows[2].first, "\"Stage\"");
    EXPECT_EQ(rows[2].second, "\"FOH left\"");
    // A site that names no location leaves it out of the comparison.
    EXPECT_EQ(drift_of(target_of(amp_on(factory(), {})), factory()).size(), 0u);
}

TEST(site_plan, each_case_is_planned_by_name_or_as_one_whole_write) {
    const param_block preset = factory();
    struct plan_case {
        const char* what;
        std::function<void(param_block&)> drift;  // what the amplifier holds otherwise
        std::vector<std::string> settings;        // the site's settings on the preset
        std::vector<std::string> by_name;         // expected; empty with whole
        bool whole;
    };
    const plan_case cases[] = {
        {"nothing drifted", [](param_block&) {}, {}, {}, false},
        {"only what differs goes by name",
         [](param_block& b) { b[master_at] = 10; },
         {"ch1.level=-3.0"},
         {"master=60", "ch1.level=-3.0"},
         false},
        {"a value beyond the page (low-pass 20000 Hz) needs the whole block",
         [](param_block& b) { b[lpf1_at] = 0x1F, b[lpf1_at + 1] = 0x40; },
         {},
         {},
         true},
        {"a hold the attack raises only in the tool's copy needs the whole block",
         [](param_block&) {},
         {"ch1.limiter.attack=100", "ch1.limiter.hold=100"},
         {},
         true},
    };
    for (const plan_case& c : cases) {
        param_block now = preset;
        c.drift(now);
        const amp_target t = target_of(amp_on(preset, c.settings));
        const amp_plan p = plan_for(t, now);
        EXPECT_EQ(names(p.settings), c.by_name) << c.what;
        EXPECT_EQ(p.block.has_value(), c.whole) << c.what;
        EXPECT_FALSE(p.location) << c.what;
        if (!p.block)
            continue;
        // The whole write carries the target's settings, and the amplifier's own
        // location and bytes after the settings.
        param_block expected = t.block;
        std::copy(now.begin() + 176, now.end(), expected.begin() + 176);
        EXPECT_EQ(*p.block, expected) << c.what;
    }
}

TEST(site_plan, the_location_goes_alone_and_a_whole_write_keeps_the_amplifiers_own) {
    param_block now = factory();
    put_location(now, "Stage");
    now[lpf1_at] = 0x1F;  // 8000 Hz: only a whole write gives 20000 back
    now[lpf1_at + 1] = 0x40;
    now[300] = 0xAB;  // the amplifier's own bytes differ from the preset's
    const amp_plan p = plan_for(target_of(amp_on(factory(), {}, "FOH")), now);
    EXPECT_EQ(p.location, "FOH");
    ASSERT_TRUE(p.block);
    EXPECT_EQ(location_of(*p.block), "Stage");
    EXPECT_EQ((*p.block)[300], 0xAB);
    EXPECT_TRUE(plan_for(target_of(amp_on(factory(), {}, "FOH")),
                         [] {
                             param_block b = factory();
                             put_location(b, "FOH");
                             return b;
                         }())
                    .empty());
}

}  // namespace
}  // namespace tavrin
