// The Volume, Input and Power settings by name: the same bytes and clamps as the
// pages, and `show` output that `set` takes back to copy one amplifier to another.
#include <gtest/gtest.h>

#include <set>

#include "page_fixture.h"
#include "pages/settings.h"

namespace tavrin {
namespace {

using testing::page_fixture;
using testing::sent_list;

const setting_def& def(std::string_view name) {
    const setting_def* d = find_setting(name);
    EXPECT_NE(d, nullptr) << name;
    static const setting_def none;
    return d ? *d : none;
}

setting_result apply_one(page_fixture& f, std::string_view name, const std::string& value) {
    return apply_settings(f.ctx, {{&def(name), value}}).at(0);
}

// The settings of these three pages, as all_settings() holds them.
std::vector<const setting_def*> these_pages() {
    std::set<std::string> names;
    for (auto family : {volume_setting_names, input_setting_names, power_setting_names})
        for (const setting_def& d : family())
            names.insert(d.name);
    std::vector<const setting_def*> out;
    for (const setting_def& d : all_settings())
        if (names.count(d.name))
            out.push_back(&d);
    return out;
}

// Every setting of these pages as `show` prints it.
std::vector<std::string> shown(const param_block& block) {
    std::vector<std::string> out;
    for (const setting_def* d : these_pages())
        out.push_back(d->name + "=" + d->show(block));
    return out;
}

// An amplifier with one value in each setting that differs from `other_block`.
param_block source_block() {
    amp_params p;
    p.set_master_volume(36);
    p.set_mute(true);
    p.set_gain(amp_channel::ch1, 213);
    p.set_gain(amp_channel::ch2, 0);
    p.set_invert(true);
    p.set_route(4);
    p.set_match_gain(amp_channel::ch1, -35);
    p.set_match_gain(amp_channel::ch2, 100);
    p.set_speaker_impedance(4);
    p.set_speaker_impedance_2(4);
    p.set_limiter(limiter_set::ohm4, amp_channel::ch1, {70, 3, 250, 10, 1500, 50});
    p.set_limiter(limiter_set::ohm4, amp_channel::ch2, {0, 100, 10000, 500, 1, 500});
    p.set_power_source(0x80);  // PoE, chosen
    p.set_power_limit_enable(power_set::poe, 1);
    p.set_power_limit(power_set::poe, limit_slot::ch1, 80);
    p.set_power_limit(power_set::poe, limit_slot::ch2, 20);
    p.set_power_limit(power_set::poe, limit_slot::pbtl, 95);
    p.set_current_limit(power_set::poe, {1, 12, 30});
    return p.snapshot();
}

param_block other_block() {
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
    return p.snapshot();
}

TEST(SettingNames, NamesAreUniqueAndTheClassImpedanceAndPbtlComeFirst) {
    std::set<std::string> names;
    for (const setting_def& d : all_settings()) {
        EXPECT_TRUE(names.insert(d.name).second) << d.name;
        EXPECT_FALSE(d.range.empty()) << d.name;
        EXPECT_TRUE(d.check && d.apply && d.show) << d.name;
    }
    for (const char* n :
         {"master", "mute", "ch1.level", "ch2.level", "invert", "route", "ch1.trim",
          "ch2.limiter.release", "power.class", "pbtl", "speaker", "power.limit", "ch1.power",
          "ch2.power", "pbtl.power", "current.limit", "current.threshold", "current.release"})
        EXPECT_EQ(names.count(n), 1u) << n;
    const std::vector<const setting_def*> order =
        apply_order({&def("ch1.limiter.ratio"), &def("ch1.power"), &def("speaker"), &def("master"),
                     &def("power.class")});
    std::vector<std::string> got;
    for (const setting_def* d : order)
        got.push_back(d->name);
    EXPECT_EQ(got, (std::vector<std::string>{"power.class", "speaker", "master",
                                             "ch1.limiter.ratio", "ch1.power"}));
}

// The output of show for one amplifier, given to set, makes another show the same.
TEST(SettingNames, ShowOutputCopiesOneAmplifierToAnother) {
    const param_block source = source_block();
    page_fixture target;
    target.params.replace(other_block());
    std::vector<setting_request> requests;
    for (const setting_def* d : these_pages())
        requests.push_back({d, d->show(source)});
    const std::vector<setting_result> results = apply_settings(target.ctx, requests);
    for (const setting_result& r : results)
        EXPECT_TRUE(r.outcome.ok) << r.def->name << ": " << r.outcome.error;
    EXPECT_EQ(shown(target.params.snapshot()), shown(source));
    EXPECT_TRUE(disagreements(results, target.params.snapshot()).empty());
    // The speaker impedance went first, so the limiters landed in the 4 ohm set.
    EXPECT_EQ(target.params.limiter_value(limiter_set::ohm4, amp_channel::ch1, limiter_item::ratio),
              250);
    EXPECT_EQ(target.params.limiter_value(limiter_set::ohm8, amp_channel::ch1, limiter_item::ratio),
              1000);
}

TEST(SettingNames, ValuesGoThroughThePagesClampsAndBytes) {
    struct case_ {
        const char* name;
        const char* value;
        const char* line;
        sent_list sent;
    };
    const case_ cases[] = {
        {"master", "100", "master=100", {"08 32 ff"}},
        {"master", "73", "master=74 (typed 73)", {"08 25 ff"}},
        {"mute", "ON", "mute=on", {"08 ff ff"}},
        {"ch1.level", "-3.75", "ch1.level=-3.8 (typed -3.75)", {"0a 01 01 d4 ff"}},
        {"ch2.level", "5", "ch2.level=0.0 (typed 5)", {"0a 01 01 ff fa"}},
        {"ch2.level", "-3", "ch2.level=-3.0", {"0a 01 01 ff dc"}},
        {"route", "swap", "route=swap", {"07 06 04"}},
        {"invert", "on", "invert=on", {"29 01 01 02 01"}},
        {"ch1.trim", "-3.5", "ch1.trim=-3.5", {"10 01 01 dd"}},
        {"ch2.trim", "+12", "ch2.trim=10.0 (typed +12)", {"10 01 02 64"}},
        {"ch2.limiter.threshold",
         "-95",
         "ch2.limiter.threshold=-90 (typed -95)",
         {"2c 03 01 02 00 00"}},
        {"ch1.limiter.ratio", "2.5", "ch1.limiter.ratio=2.50", {"2c 03 02 01 00 fa"}},
        {"ch1.limiter.release",
         "3000",
         "ch1.limiter.release=2000 (typed 3000)",
         {"2c 03 08 01 07 d0"}},
        {"power.class", "poe+", "power.class=poe+", {"07 a1 01 01 00 00"}},
        {"power.class", "auto", "power.class=auto", {"07 a1 00 02 00 00"}},
        {"speaker", "8", "speaker=8", {}},
        {"current.threshold", "1000", "current.threshold=1000", {"2c 05 02 01 00 28"}},
        {"current.threshold", "5000", "current.threshold=1800 (typed 5000)", {"2c 05 02 01 00 48"}},
        {"current.release", "0", "current.release=1 (typed 0)", {"2c 05 02 04 00 01"}},
        {"ch1.power", "70", "ch1.power=40.0 (typed 70)", {"2c 05 01 01 01 90"}},
        {"pbtl", "on", "pbtl=on", {"07 a0 00 00 00 01"}},
    };
    for (const case_& c : cases) {
        page_fixture f;
        f.params.replace(other_block());
        const setting_result r = apply_one(f, c.name, c.value);
        EXPECT_EQ(applied_line(r), c.line);
        EXPECT_EQ(f.sent(), c.sent) << c.name << "=" << c.value;
        // Nothing waits behind a pause, and the poll runs again.
        const std::vector<std::string> calls = f.events.timer_calls();
        EXPECT_TRUE(calls.empty() || calls.back() == "start") << c.name;
    }
}

TEST(SettingNames, ALimitCutByTheBudgetIsReportedAndTheAmplifierAgrees) {
    page_fixture f;
    f.params.replace(other_block());
    f.params.set_power_source(0x80);
    // CH1 at 2.0 W leaves 8.0 W of the PoE budget; 9.5 W is cut back.
    const setting_result r = apply_one(f, "ch2.power", "9.5");
    EXPECT_EQ(applied_line(r), "ch2.power=8.0 (typed 9.5)");
    // Nothing changed after it, so it is not tried again.
    EXPECT_EQ(f.sent(), (sent_list{"2c 01 01 02 00 50"}));
    // An answer showing something else is a disagreement.
    amp_params answer;
    answer.replace(f.params.snapshot());
    answer.set_power_limit(power_set::poe, limit_slot::ch2, 30);
    EXPECT_EQ(disagreements({r}, answer.snapshot()),
              (std::vector<std::string>{"ch2.power=3.0 (set 8.0)"}));
}

TEST(SettingNames, ChecksRefuseUnreadableValuesWithoutTouchingAnything) {
    const std::pair<const char*, const char*> bad[] = {
        {"master", "loud"},         {"ch1.level", ""}, {"ch1.level", "1e3"},
        {"ch1.trim", "+-3"},        {"mute", "yes"},   {"route", "ch3"},
        {"power.class", "poe+++"},  {"speaker", "2"},  {"ch1.power", "inf"},
        {"current.release", "nan"},
    };
    for (const auto& [name, value] : bad) {
        const std::optional<std::string> why = def(name).check(value);
        ASSERT_TRUE(why) << name << "=" << value;
        EXPECT_NE(why->find(name), std::string::npos) << *why;
    }
    EXPECT_FALSE(def("ch1.level").check("-.5"));
    EXPECT_FALSE(def("ch1.level").check("3."));
    EXPECT_FALSE(def("power.class").check("PoE++"));
}

TEST(SettingNames, AnUnknownPowerClassIsRefusedAtApply) {
    page_fixture f;
    f.params.set_power_source(0x86);
    const setting_result r = apply_one(f, "ch1.power", "5");
    EXPECT_FALSE(r.outcome.ok);
    EXPECT_EQ(applied_line(r), "ch1.power: the amplifier reports an unknown power class");
    EXPECT_FALSE(apply_one(f, "power.limit", "on").outcome.ok);
    EXPECT_TRUE(f.sent().empty());
}

TEST(TypedNumbers, EditsReadALeadingNumberOfTheirWidth) {
    EXPECT_EQ(read_typed_int("3.7", 5), 3);
    EXPECT_EQ(read_typed_int("-", 5), 0);
    EXPECT_EQ(read_typed_int("123456", 5), 12345);
    EXPECT_EQ(read_typed_int("", 5), 0);
    EXPECT_DOUBLE_EQ(read_typed_decimal("-3.755", 5), -3.75);
    EXPECT_DOUBLE_EQ(read_typed_decimal("2.5x", 6), 2.5);
    EXPECT_DOUBLE_EQ(read_typed_decimal(".", 6), 0);
    EXPECT_EQ(fixed_text(-0.04, 1), "0.0");
    EXPECT_EQ(fixed_text(-0.05, 1), "-0.1");
}

}  // namespace
}  // namespace tavrin
