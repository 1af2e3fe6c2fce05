#include "pages/input_page.h"

#include <gtest/gtest.h>

#include "page_fixture.h"

namespace tavrin {
namespace {

using testing::page_fixture;
using testing::sent_list;
using view_t = testing::recording_controls<input_view>;
namespace item = input_item;

struct input_fixture : page_fixture {
    input_fixture() {
        limiter_settings s;
        s.threshold = 90;
        s.knee = 10;
        s.ratio = 1000;
        s.attack = 5;
        s.release = 200;
        s.hold = 10;
        for (limiter_set set : {limiter_set::ohm8, limiter_set::ohm4})
            for (amp_channel ch : {amp_channel::ch1, amp_channel::ch2})
                params.set_limiter(set, ch, s);
        params.set_speaker_impedance(8);
    }
    view_t view;
    input_page_logic logic{ctx, view};
};

TEST(InputTrim, SendsOnceThreeHundredMillisecondsAfterTheLastMoveAndResumesThePoll) {
    input_fixture f;
    for (int t : {-10, -20, -35}) {
        f.logic.trim_scrolled(amp_channel::ch1, t);
        f.time.advance(100);
        // A timer that fires before the slider has been still long enough waits on.
        f.logic.send_timer_fired();
    }
    EXPECT_TRUE(f.sent().empty());
    EXPECT_EQ(f.view.texts[item::ch1_trim_text], "-3.5 dB");
    EXPECT_EQ(f.params.match_gain(amp_channel::ch1), -35);
    EXPECT_EQ(f.view.arms.back(), 200u);

    f.time.advance(199);
    f.logic.send_timer_fired();
    EXPECT_TRUE(f.sent().empty());
    EXPECT_EQ(f.view.arms.back(), 1u);
    f.time.advance(1);
    f.logic.send_timer_fired();
    EXPECT_EQ(f.sent(), (sent_list{"10 01 01 dd"}));
    EXPECT_FALSE(f.view.timer_on);
    EXPECT_FALSE(f.logic.trim_waiting());
    // The poll runs again once the value went out.
    EXPECT_TRUE(f.poll_running());

    f.time.advance(1000);
    f.logic.send_timer_fired();
    f.logic.flush();
    EXPECT_TRUE(f.sent().empty());
}

TEST(InputTrim, LeavingThePageSendsAWaitingTrimAtOnce) {
    input_fixture f;
    f.logic.trim_scrolled(amp_channel::ch2, 100);
    f.time.advance(50);
    f.logic.flush();
    EXPECT_EQ(f.sent(), (sent_list{"10 01 02 64"}));
    EXPECT_TRUE(f.poll_running());
    EXPECT_FALSE(f.view.timer_on);
}

TEST(InputTrim, MovingTheOtherChannelSendsTheFirstRatherThanLosingIt) {
    input_fixture f;
    f.logic.trim_scrolled(amp_channel::ch1, 15);
    f.time.advance(100);
    f.logic.trim_scrolled(amp_channel::ch2, -60);
    EXPECT_EQ(f.sent(), (sent_list{"10 01 01 0f"}));
    f.time.advance(300);
    f.logic.send_timer_fired();
    EXPECT_EQ(f.sent(), (sent_list{"10 01 02 c4"}));
}

// After an edit the field shows what was stored, as the next refresh would.
TEST(InputLimiter, TypedValuesAreLimitedAndTheStoredValueShown) {
    struct case_ {
        amp_channel ch;
        limiter_item field;
        const char* typed;
        const char* sent;
        const char* shown;
    };
    const amp_channel ch1 = amp_channel::ch1, ch2 = amp_channel::ch2;
    const case_ cases[] = {
        {ch2, limiter_item::threshold, "-95", "2c 03 01 02 00 00", "-90"},
        {ch2, limiter_item::threshold, "0", "2c 03 01 02 00 5a", "0"},
        {ch1, limiter_item::threshold, "-2.5", "2c 03 01 01 00 58", "-2"},
        {ch1, limiter_item::ratio, "2.5", "2c 03 02 01 00 fa", "2.50"},
        {ch1, limiter_item::ratio, "250", "2c 03 02 01 27 10", "100.00"},
        {ch1, limiter_item::ratio, "1.15", "2c 03 02 01 00 73", "1.15"},
        {ch1, limiter_item::ratio, "2.555", "2c 03 02 01 00 ff", "2.55"},
        {ch1, limiter_item::ratio, "0.5", "2c 03 02 01 00 64", "1.00"},
        {ch1, limiter_item::knee, "", "2c 03 20 01 00 01", "1"},  // unreadable is 0
        {ch1, limiter_item::knee, "3.7", "2c 03 20 01 00 03", "3"},
        {ch2, limiter_item::release, "3000", "2c 03 08 02 07 d0", "2000"},
        {ch1, limiter_item::attack, "900", "2c 03 04 01 01 f4", "500"},
        {ch1, limiter_item::hold, "2", "2c 03 10 01 00 05", "5"},  // not below the attack
        {ch1, limiter_item::hold, "600", "2c 03 10 01 01 f4", "500"},
    };
    for (const case_& c : cases) {
        input_fixture f;
        f.logic.limiter_typed(c.ch, c.field, c.typed);
        // An attack of 500 raises the hold too (next test).
        const sent_list got = f.sent();
        ASSERT_FALSE(got.empty()) << c.typed;
        EXPECT_EQ(got[0], c.sent) << c.typed;
        EXPECT_EQ(f.view.texts[limiter_edit(c.ch, c.field)], c.shown) << c.typed;
    }
}

// The hold is never shorter than the attack: an attack above it raises the hold on
// the page and on the amplifier, so both hold the same after its next answer.
TEST(InputLimiter, AnAttackAboveTheHoldRaisesTheHoldAndSendsIt) {
    input_fixture f;
    f.logic.limiter_typed(amp_channel::ch1, limiter_item::attack, "50");
    EXPECT_EQ(f.sent(), (sent_list{"2c 03 04 01 00 32", "2c 03 10 01 00 32"}));
    EXPECT_EQ(f.view.texts[item::ch1_hold], "50");
    EXPECT_EQ(f.params.limiter_value(limiter_set::ohm8, amp_channel::ch1, limiter_item::hold), 50);
    // The other channel keeps its hold.
    EXPECT_EQ(f.params.limiter_value(limiter_set::ohm8, amp_channel::ch2, limiter_item::hold), 10);

    f.logic.limiter_typed(amp_channel::ch1, limiter_item::hold, "20");
    EXPECT_EQ(f.sent(), (sent_list{"2c 03 10 01 00 32"}));
    EXPECT_EQ(f.view.texts[item::ch1_hold], "50");
    // An attack below the hold leaves the hold alone.
    f.logic.limiter_typed(amp_channel::ch1, limiter_item::attack, "20");
    EXPECT_EQ(f.sent(), (sent_list{"2c 03 04 01 00 14"}));
}

TEST(InputLimiter, TheSpeakerImpedanceChoosesTheSetShownAndStored) {
    input_fixture f;
    f.params.set_limiter_value(limiter_set::ohm4, amp_channel::ch2, limiter_item::ratio, 250);
    f.params.set_limiter_value(limiter_set::ohm4, amp_channel::ch2, limiter_item::threshold, 70);
    f.params.set_speaker_impedance(4);
    f.logic.refresh();
    EXPECT_EQ(f.view.texts[item::ch2_ratio], "2.50");
    EXPECT_EQ(f.view.texts[item::ch2_threshold], "-20");
    EXPECT_EQ(f.view.texts[item::ch1_ratio], "10.00");
    f.logic.limiter_typed(amp_channel::ch2, limiter_item::release, "700");
    EXPECT_EQ(f.params.limiter_value(limiter_set::ohm4, amp_channel::ch2, limiter_item::release),
              700);
    EXPECT_EQ(f.params.limiter_value(limiter_set::ohm8, amp_channel::ch2, limiter_item::release),
              200);

    // Any impedance but 4 means the 8 ohm set.
    f.params.set_speaker_impedance(2);
    f.logic.refresh();
    EXPECT_EQ(f.view.texts[item::ch2_ratio], "10.00");
}

TEST(InputTrim, RefreshShowsTheSignedTrims) {
    input_fixture f;
    f.params.set_match_gain(amp_channel::ch1, -100);
    f.params.set_match_gain(amp_channel::ch2, 35);
    f.logic.refresh();
    EXPECT_EQ(f.view.ranges[item::ch1_trim], std::make_pair(-100, 100));
    EXPECT_EQ(f.view.positions[item::ch1_trim], -100);
    EXPECT_EQ(f.view.texts[item::ch1_trim_text], "-10.0 dB");
    EXPECT_EQ(f.view.texts[item::ch2_trim_text], "3.5 dB");
}

}  // namespace
}  // namespace tavrin
