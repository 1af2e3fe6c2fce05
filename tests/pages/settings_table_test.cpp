// The pages' settings tables: values read as the block stores them, applied through
// the page logic with its clamps and bytes (online) or to a block alone (offline),
// and blocks compared setting by setting.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "page_fixture.h"
#include "pages/power_page.h"
#include "pages/settings.h"

namespace tavrin {
namespace {

using testing::page_fixture;
using testing::recording_controls;
using testing::sent_list;

const setting_def& def(std::string_view name) {
    const setting_def* d = find_setting(name);
    if (d == nullptr)
        throw std::runtime_error("no setting " + std::string(name));
    return *d;
}

std::vector<setting_request> requests(const std::vector<std::string>& words) {
    std::vector<setting_request> out;
    for (const std::string& w : words) {
        const std::string why = add_request(out, w);
        EXPECT_EQ(why, "") << w;
    }
    return out;
}

std::map<std::string, std::optional<std::string>> readings(const param_block& b) {
    std::map<std::string, std::optional<std::string>> out;
    for (const setting_reading& r : read_settings(b))
        out[r.def->name] = r.value;
    return out;
}

// A factory-like block: the lab's amplifiers leave the factory with their low-pass
// filters at 20000 Hz, which the Filter page cannot give.
param_block target_block() {
    amp_params p;
    p.set_master_volume(30);
    p.set_gain(amp_channel::ch1, 250);
    p.set_gain(amp_channel::ch2, 250);
    p.set_speaker_impedance(8);
    p.set_speaker_impedance_2(8);
    for (limiter_set set : {limiter_set::ohm8, limiter_set::ohm4})
        for (amp_channel ch : {amp_channel::ch1, amp_channel::ch2})
            p.set_limiter(set, ch, {90, 10, 1000, 60, 200, 70});
    p.set_power_source(0x02);  // PoE++, detected
    // Its PoE limits lean the other way: raising CH1 first would overrun the budget.
    p.set_power_limit(power_set::poe, limit_slot::ch1, 20);
    p.set_power_limit(power_set::poe, limit_slot::ch2, 80);
    p.set_current_limit(power_set::poe, {0, 14, 5});
    p.set_filter(amp_channel::ch1, filter_kind::low_pass, {0, 20000, 2});
    p.set_peq(amp_channel::ch1, 1, {1, 40, 141, 1000});
    return p.snapshot();
}

TEST(SettingsTable, EveryNameOnceWithItsUnitStepAndRange) {
    std::set<std::string> names;
    for (const setting_def& d : all_settings()) {
        EXPECT_TRUE(names.insert(d.name).second) << d.name;
        EXPECT_FALSE(d.range.empty()) << d.name;
        EXPECT_TRUE(d.words.empty() != d.step.empty()) << d.name << ": a number has a step";
    }
    EXPECT_EQ(names.size(), 6u + 14 + 40 + 12 + 10);
    EXPECT_NE(def("ch1.peq2.gain").step.find("0.5"), std::string::npos);
    // The class, PBTL and the speaker go first; the rest in show's order.
    std::vector<std::string> got;
    for (const setting_def* d : apply_order({&def("ch1.limiter.ratio"), &def("ch1.power"),
                                             &def("speaker"), &def("master"), &def("power.class")}))
        got.push_back(d->name);
    EXPECT_EQ(got, (std::vector<std::string>{"power.class", "speaker", "master",
                                             "ch1.limiter.ratio", "ch1.power"}));
}

// Printed as stored, over the whole byte range, by the block's encodings.
TEST(SettingsTable, ReadsWhatTheBlockStoresOverTheWholeByteRange) {
    param_block zeros{};
    param_block ones;
    ones.fill(0xFF);
    amp_params odd;
    odd.set_peq(amp_channel::ch2, 4, {1, 0, 0, 30000});  // a centre the page shows as 1000
    struct case_ {
        const param_block* block;
        const char* name;
        std::optional<std::string> value;
    };
    const param_block odd_block = odd.snapshot();
    const case_ cases[] = {
        {&zeros, "master", "0"},
        {&ones, "master", "510"},
        {&zeros, "ch1.level", "-25.0"},
        {&ones, "ch2.level", "0.5"},  // (255 - 250) / 10
        {&ones, "mute", "off"},       // only 1 is muted
        {&ones, "invert", "on"},
        {&ones, "route", "bypass"},   // as the page shows an unknown route
        {&ones, "ch1.trim", "-0.1"},  // a signed byte
        {&ones, "ch1.limiter.threshold", "165"},
        {&ones, "ch1.limiter.ratio", "655.35"},
        {&ones, "ch2.limiter.release", "65535"},
        {&zeros, "ch1.peq1.freq", "0"},
        {&ones, "ch1.peq1.freq", "65535"},
        {&odd_block, "ch2.peq5.freq", "30000"},
        {&zeros, "ch1.peq3.gain", "-20.0"},
        {&ones, "ch1.peq3.gain", "107.5"},  // (255 - 40) x 0.5
        {&zeros, "ch2.peq2.q", "0.00"},
        {&ones, "ch2.peq2.q", "655.35"},
        {&ones, "ch1.peq1.on", "on"},
        {&ones, "ch1.hpf.freq", "65535"},  // unsigned
        {&zeros, "ch2.lpf.freq", "0"},
        {&ones, "ch1.lpf.slope", "12"},  // any slope byte but 1-4
        {&zeros, "power.class", "auto"},
        {&ones, "power.class", std::nullopt},  // chosen, class 127
        {&ones, "ch1.power", std::nullopt},
        {&ones, "speaker", "8"},
        {&ones, "pbtl", "on"},
        {&zeros, "ch1.power", "0.0"},
        {&zeros, "current.threshold", "0"},
    };
    for (const case_& c : cases)
        EXPECT_EQ(def(c.name).read(*c.block), c.value) << c.name;
    // Every value read is one the table takes back.
    for (const param_block& b : {zeros, ones, odd_block}) {
        for (const setting_reading& r : read_settings(b)) {
            if (r.value) {
                EXPECT_TRUE(parse_value(*r.def, *r.value)) << r.def->name << "=" << *r.value;
            }
        }
    }
}

TEST(SettingsTable, AppliesThroughThePageLogicWithItsClampsAndBytes) {
    struct case_ {
        const char* word;
        const char* line;
        sent_list sent;
    };
    const case_ cases[] = {
        {"master=73", "master=74 (typed 73)", {"08 25 ff"}},
        {"mute=ON", "mute=on", {"08 ff ff"}},
        {"ch1.level=-3.75", "ch1.level=-3.8 (typed -3.75)", {"0a 01 01 d4 ff"}},
        {"ch2.level=5", "ch2.level=0.0 (typed 5)", {"0a 01 01 ff fa"}},
        {"route=swap", "route=swap", {"07 06 04"}},
        {"ch2.trim=+12", "ch2.trim=10.0 (typed +12)", {"10 01 02 64"}},
        {"ch2.limiter.threshold=-95",
         "ch2.limiter.threshold=-90 (typed -95)",
         {"2c 03 01 02 00 00"}},
        {"ch1.limiter.ratio=2.5", "ch1.limiter.ratio=2.50", {"2c 03 02 01 00 fa"}},
        {"ch1.peq2.gain=3.7",
         "ch1.peq2.gain=3.5 (typed 3.7)",
         {"4a 01 01 01 ff 01 ff 2f ff ff ff ff"}},
        {"ch1.peq1.gain=-25",
         "ch1.peq1.gain=-20.0 (typed -25)",
         {"4a 01 01 01 ff 00 ff 00 7f ff ff ff"}},
        {"ch1.peq2.q=0.29",
         "ch1.peq2.q=0.28 (typed 0.29)",
         {"4a 01 01 01 ff 01 ff ff ff ff 00 1c"}},
        {"ch2.peq5.freq=99999999999",
         "ch2.peq5.freq=23000 (typed 99999999999)",
         {"4a 01 01 02 ff 04 ff ff 59 d8 ff ff"}},
        {"ch2.hpf.on=on", "ch2.hpf.on=on", {"22 01 01 02 01 ff ff ff"}},
        {"ch1.lpf.slope=36", "ch1.lpf.slope=36", {"22 01 01 01 02 7f ff 04"}},
        {"ch2.lpf.freq=20000", "ch2.lpf.freq=16000 (typed 20000)", {"22 01 01 02 02 3e 80 ff"}},
        {"power.class=poe+", "power.class=poe+", {"07 a1 01 01 00 00"}},
        {"speaker=8", "speaker=8", {}},
        {"current.threshold=5000", "current.threshold=1800 (typed 5000)", {"2c 05 02 01 00 48"}},
        {"current.release=40", "current.release=30 (typed 40)", {"2c 05 02 04 00 1e"}},
        {"ch1.power=70", "ch1.power=40.0 (typed 70)", {"2c 05 01 01 01 90"}},
        {"pbtl=on", "pbtl=on", {"07 a0 00 00 00 01"}},
    };
    for (const case_& c : cases) {
        page_fixture f;
        f.params.replace(target_block());
        const std::vector<setting_result> r = apply_settings(f.ctx, requests({c.word}));
        ASSERT_EQ(r.size(), 1u);
        EXPECT_EQ(applied_line(r[0]), c.line);
        EXPECT_EQ(f.sent(), c.sent) << c.word;
        // Nothing waits behind a pause, and the poll runs again.
        EXPECT_TRUE(f.poll_running()) << c.word;
        // The window's channel does not move.
        EXPECT_EQ(f.shared.selected_channel, 1) << c.word;
    }
}

// `set B $(show A)`: what B holds already is left alone, even a value the page could
// not give; what differs goes through the page's clamps and says so.
TEST(SettingsTable, AGivenValueTheBlockHoldsIsLeftAlone) {
    page_fixture f;
    amp_params odd;
    odd.replace(target_block());
    odd.set_peq(amp_channel::ch1, 1, {1, 255, 141, 30000});
    odd.set_master_volume(255);
    f.params.replace(odd.snapshot());
    const std::vector<setting_result> r = apply_settings(
        f.ctx, requests({"ch1.lpf.freq=20000", "ch1.peq2.freq=30000", "ch1.peq2.gain=107.50",
                         "master=510", "route=BYPASS", "ch2.lpf.freq=20000"}));
    std::vector<std::string> lines;
    for (const setting_result& s : r)
        lines.push_back(applied_line(s));
    EXPECT_EQ(lines, (std::vector<std::string>{"master=510", "route=bypass", "ch1.peq2.freq=30000",
                                               "ch1.peq2.gain=107.5", "ch1.lpf.freq=20000",
                                               "ch2.lpf.freq=16000 (typed 20000)"}));
    EXPECT_EQ(f.sent(), (sent_list{"22 01 01 02 02 3e 80 ff"}));
    EXPECT_TRUE(r[0].outcome.left_alone);
    EXPECT_FALSE(r[5].outcome.left_alone);
}

// The page and `set` take the budget total from the PBTL mode (the PBTL limit alone
// in PBTL mode, CH1 + CH2 otherwise), whichever slider moves.
TEST(SettingsTable, APowerLimitReachesThePagesBytesWhateverTheMode) {
    struct case_ {
        bool pbtl;
        limit_slot slot;
        int tenths;
        int kept;
    };
    // PoE (budget 100): CH1 6.0 W, CH2 3.0 W, PBTL 5.0 W.
    const case_ cases[] = {
        {false, limit_slot::pbtl, 100, 60},  // 90 - 50 + v <= 100
        {false, limit_slot::ch2, 70, 40},    // 60 + v <= 100
        {true, limit_slot::ch1, 80, 80},     // the PBTL limit alone is the total
        {true, limit_slot::pbtl, 100, 100},
    };
    const char* names[] = {"ch1.power", "ch2.power", "pbtl.power"};
    for (const case_& c : cases) {
        amp_params start;
        start.set_power_source(0x80);
        start.set_pbtl_mode(c.pbtl);
        start.set_speaker_impedance(8);
        start.set_speaker_impedance_2(8);
        start.set_power_limit(power_set::poe, limit_slot::ch1, 60);
        start.set_power_limit(power_set::poe, limit_slot::ch2, 30);
        start.set_power_limit(power_set::poe, limit_slot::pbtl, 50);

        page_fixture page;
        page.params.replace(start.snapshot());
        recording_controls<power_view> view;
        power_page_logic logic(page.ctx, view);
        logic.refresh();
        EXPECT_EQ(logic.limit_scrolled(c.slot, c.tenths), c.kept);
        page.time.advance(300);
        logic.send_timer_fired();

        page_fixture cli;
        cli.params.replace(start.snapshot());
        const std::string word =
            std::string(names[static_cast<int>(c.slot)]) + "=" + fixed_text(c.tenths / 10.0, 1);
        apply_settings(cli.ctx, requests({word}));

        const sent_list bytes = page.sent();
        EXPECT_EQ(cli.sent(), bytes) << word << (c.pbtl ? " in PBTL" : "");
        EXPECT_EQ(cli.params.snapshot(), page.params.snapshot()) << word;
        EXPECT_EQ(page.params.power_limit(power_set::poe, c.slot), c.kept) << word;
        EXPECT_EQ(bytes.size(), 1u) << word;
    }
}

// Offline: the same page rules on a block alone; the three operations preset editing,
// diff and site files build on.
TEST(SettingsTable, ABlockIsEditedOfflineAsOnlineAndComparedSettingBySetting) {
    amp_params source;
    source.replace(target_block());
    source.set_master_volume(36);
    source.set_route(4);
    source.set_speaker_impedance(4);
    source.set_speaker_impedance_2(4);
    source.set_limiter(limiter_set::ohm4, amp_channel::ch1, {70, 3, 250, 10, 1500, 50});
    source.set_power_source(0x80);  // PoE, chosen
    source.set_power_limit(power_set::poe, limit_slot::ch1, 80);
    source.set_power_limit(power_set::poe, limit_slot::ch2, 20);
    const param_block a = source.snapshot();
    const param_block b = target_block();

    const std::vector<setting_difference> diff = compare_settings(a, b);
    std::vector<std::string> named;
    for (const setting_difference& d : diff)
        named.push_back(d.def->name + " " + d.first.value_or("-") + " " + d.second.value_or("-"));
    EXPECT_EQ(named, (std::vector<std::string>{
                         "master 72 60", "route swap bypass", "ch1.limiter.threshold -20 0",
                         "ch1.limiter.ratio 2.50 10.00", "ch1.limiter.knee 3 10",
                         "ch1.limiter.attack 10 60", "ch1.limiter.hold 50 70",
                         "ch1.limiter.release 1500 200", "power.class poe auto", "speaker 4 8",
                         "ch1.power 8.0 0.0", "ch2.power 2.0 0.0", "current.threshold 350 0",
                         "current.release 5 0"}));

    // show A, given to B: offline and online reach the same block, and B reads as A.
    std::vector<std::string> words;
    for (const setting_reading& r : read_settings(a))
        words.push_back(r.def->name + "=" + *r.value);
    param_block offline = b;
    const std::vector<setting_result> done = apply_to_block(offline, requests(words));
    page_fixture online;
    online.params.replace(b);
    apply_settings(online.ctx, requests(words));
    EXPECT_EQ(offline, online.params.snapshot());
    EXPECT_TRUE(compare_settings(offline, a).empty());
    EXPECT_TRUE(disagreements(done, offline).empty());
    EXPECT_FALSE(online.sent().empty());
    // The limiter values went to the 4 ohm set chosen in the same edit; the 8 ohm set kept.
    EXPECT_EQ(readings(offline)["ch1.limiter.ratio"], "2.50");
    amp_params check;
    check.replace(offline);
    EXPECT_EQ(check.limiter_value(limiter_set::ohm8, amp_channel::ch1, limiter_item::ratio), 1000);

    // Dependent fields apply offline too: an attack above the hold raises it.
    param_block edited = b;
    apply_to_block(edited, requests({"ch2.limiter.attack=300"}));
    EXPECT_EQ(readings(edited)["ch2.limiter.hold"], "300");
}

TEST(SettingsTable, UnreadableValuesAndUnknownStatesAreRefused) {
    const std::pair<const char*, const char*> bad[] = {
        {"master=loud", "master needs a number, not 'loud'"},
        {"ch1.level=1e3", "ch1.level needs a number, not '1e3'"},
        {"ch1.trim=+-3", "ch1.trim needs a number, not '+-3'"},
        {"ch1.peq2.freq=1000.5", "ch1.peq2.freq needs a whole number, not '1000.5'"},
        {"route=ch3", "route takes bypass|ch1|ch2|mixed|swap, not 'ch3'"},
        {"ch2.hpf.slope=20", "ch2.hpf.slope takes 12|18|24|30|36, not '20'"},
        {"speaker=2", "speaker takes 4|8, not '2'"},
        {"current.release=nan", "current.release needs a number, not 'nan'"},
        {"volume=3", "unknown setting 'volume' (tavrin-cli set --names lists them)"},
        {"master", "'master' is not SETTING=VALUE"},
    };
    for (const auto& [word, why] : bad) {
        std::vector<setting_request> r;
        EXPECT_EQ(add_request(r, word), why);
        EXPECT_TRUE(r.empty());
    }
    std::vector<setting_request> twice = requests({"mute=on"});
    EXPECT_EQ(add_request(twice, "mute=off"), "mute is given twice");

    page_fixture f;
    f.params.set_power_source(0x86);
    const std::vector<setting_result> r =
        apply_settings(f.ctx, requests({"ch1.power=5", "power.limit=on"}));
    EXPECT_EQ(applied_line(r[0]), "power.limit: the amplifier reports an unknown power class");
    EXPECT_EQ(applied_line(r[1]), "ch1.power: the amplifier reports an unknown power class");
    EXPECT_TRUE(f.sent().empty());
}

TEST(TypedNumbers, EditsReadALeadingNumberOfTheirWidth) {
    EXPECT_EQ(read_typed_int("3.7", 5), 3);
    EXPECT_EQ(read_typed_int("123456", 5), 12345);
    EXPECT_EQ(read_typed_int("", 5), 0);
    EXPECT_DOUBLE_EQ(read_typed_decimal("-3.755", 5), -3.75);
    EXPECT_DOUBLE_EQ(read_typed_decimal("2.5x", 6), 2.5);
    EXPECT_EQ(fixed_text(-0.04, 1), "0.0");
    EXPECT_EQ(fixed_text(-0.05, 1), "-0.1");
}

}  // namespace
}  // namespace tavrin
