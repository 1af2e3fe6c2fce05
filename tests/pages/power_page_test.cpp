#include "pages/power_page.h"

#include <gtest/gtest.h>

#include "page_fixture.h"

namespace tavrin {
namespace {

using testing::page_fixture;
using testing::sent_list;
using view_t = testing::recording_controls<power_view>;
namespace item = power_item;

struct power_fixture : page_fixture {
    explicit power_fixture(uint8_t source = 0x80) {
        params.set_power_source(source);
        params.set_speaker_impedance(8);
        params.set_speaker_impedance_2(8);
        params.set_power_limit(power_set::poe, limit_slot::ch1, 60);
        params.set_power_limit(power_set::poe, limit_slot::ch2, 30);
        params.set_power_limit_enable(power_set::poe, 1);
        params.set_current_limit(power_set::poeplusplus, {1, 72, 5});
        logic.init();
    }
    view_t view;
    power_page_logic logic{ctx, view};
};

TEST(PowerLimits, AMoveOverTheBudgetIsCutBackAndSentAfterThePause) {
    power_fixture f;  // PoE: 10.0 W, CH1 at 6.0 W
    EXPECT_EQ(f.logic.limit_scrolled(limit_slot::ch2, 70), 40);
    EXPECT_EQ(f.view.positions[item::ch2_limit], 40);
    EXPECT_EQ(f.view.texts[item::ch2_limit_text], "4.0 W");
    EXPECT_EQ(f.params.power_limit(power_set::poe, limit_slot::ch2), 40);
    // The poll is held while the slider moves.
    EXPECT_TRUE(f.sent().empty());
    EXPECT_FALSE(f.poll_running());
    f.time.advance(299);
    f.logic.send_timer_fired();
    EXPECT_TRUE(f.sent().empty());
    f.time.advance(1);
    f.logic.send_timer_fired();
    EXPECT_EQ(f.sent(), (sent_list{"2c 01 01 02 00 28"}));
    EXPECT_TRUE(f.poll_running());
}

TEST(PowerLimits, ABridgedLimitHasTheBudgetAloneAndOverfullLimitsLeaveNothing) {
    power_fixture f;
    // In PBTL mode the bridged limit is measured against the budget by itself.
    f.params.set_pbtl_mode(true);
    EXPECT_EQ(f.logic.limit_scrolled(limit_slot::pbtl, 100), 100);
    f.params.set_pbtl_mode(false);
    // A dump whose limits already exceed the budget: the move is cut to 0, not below.
    f.params.set_power_limit(power_set::poe, limit_slot::ch1, 120);
    EXPECT_EQ(f.logic.limit_scrolled(limit_slot::ch2, 10), 0);
    // Within the budget nothing is cut.
    f.params.set_power_limit(power_set::poe, limit_slot::ch1, 20);
    EXPECT_EQ(f.logic.limit_scrolled(limit_slot::ch2, 80), 80);
    f.logic.flush();
    // The bridged limit was sent when another slider moved; the last one on leaving.
    EXPECT_EQ(f.sent(), (sent_list{"2c 01 04 02 00 64", "2c 01 01 02 00 50"}));
}

TEST(PowerClass, ChoosingPoEPlusSendsItAndShowsItsSet) {
    power_fixture f;
    f.params.set_power_limit(power_set::poeplus, limit_slot::ch1, 150);
    f.params.set_current_limit(power_set::poeplus, {0, 24, 7});
    f.logic.class_chosen(1);
    EXPECT_EQ(f.sent(), (sent_list{"07 a1 01 01 00 00"}));
    EXPECT_EQ(f.params.power_source(), 0x81);
    EXPECT_EQ(f.view.selected[item::power_class], 1);
    EXPECT_EQ(f.view.ranges[item::ch1_limit], std::make_pair(1, 200));
    EXPECT_EQ(f.view.ranges[item::threshold], std::make_pair(1, 24));
    EXPECT_EQ(f.view.texts[item::threshold_text], "600 mA");
    EXPECT_EQ(f.view.texts[item::release_text], "7 sec");
    EXPECT_EQ(f.view.texts[item::ch1_limit_text], "15.0 W");
    EXPECT_EQ(f.logic.budget(), 200);
    EXPECT_FALSE(f.view.enabled[item::threshold]);  // the current limit is off
}

TEST(PowerClass, ManualSwitchesTheComboAndKeepsTheClass) {
    power_fixture f(0x82);
    EXPECT_EQ(f.view.entries[item::power_class],
              (std::vector<std::string>{"PoE", "PoE+", "PoE++", "DC In"}));
    EXPECT_TRUE(f.view.enabled[item::power_class]);
    f.logic.manual_clicked(false);
    EXPECT_EQ(f.sent(), (sent_list{"07 a1 00 02 00 00"}));
    EXPECT_EQ(f.params.power_source(), 0x02);
    EXPECT_FALSE(f.view.enabled[item::power_class]);
    f.logic.manual_clicked(true);
    EXPECT_EQ(f.sent(), (sent_list{"07 a1 01 02 00 00"}));
    EXPECT_EQ(f.params.power_source(), 0x82);
}

TEST(PowerCurrentLimit, ThresholdAndReleaseSendAtOnce) {
    power_fixture f(0x02);  // PoE++
    EXPECT_TRUE(f.logic.threshold_scrolled(40));
    EXPECT_EQ(f.view.texts[item::threshold_text], "1000 mA");
    EXPECT_TRUE(f.logic.release_scrolled(12));
    f.logic.current_enable_clicked(false);
    EXPECT_EQ(f.sent(), (sent_list{"2c 05 02 01 00 28", "2c 05 02 04 00 0c", "2c 05 02 03 00 00"}));
    EXPECT_FALSE(f.view.enabled[item::threshold]);
    EXPECT_FALSE(f.view.enabled[item::release]);
}

TEST(PowerClass, DcInUsesThePoEPlusPlusSet) {
    power_fixture dc(0x83), pp(0x82);
    for (power_fixture* f : {&dc, &pp}) {
        f->params.set_power_limit(power_set::poeplusplus, limit_slot::ch1, 300);
        EXPECT_EQ(f->logic.budget(), 600);
        EXPECT_EQ(f->logic.limit_scrolled(limit_slot::ch2, 400), 300);
        f->logic.flush();
        EXPECT_EQ(f->sent(), (sent_list{"2c 05 01 02 01 2c"}));
        EXPECT_EQ(f->view.ranges[item::ch1_limit], std::make_pair(1, 400));
        EXPECT_EQ(f->view.ranges[item::pbtl_limit], std::make_pair(1, 300));
    }
}

TEST(PowerModes, PbtlShowsChannelTwoElsewhereAndEnablesTheBridgedSliderOnly) {
    power_fixture f;
    f.logic.pbtl_clicked(true);
    EXPECT_EQ(f.shared.selected_channel.load(), 2);
    EXPECT_TRUE(f.view.enabled[item::pbtl_limit]);
    EXPECT_FALSE(f.view.enabled[item::ch1_limit]);
    f.logic.limit_enable_clicked(false);
    EXPECT_FALSE(f.view.enabled[item::pbtl_limit]);
    f.logic.limit_enable_clicked(true);
    EXPECT_EQ(f.sent(), (sent_list{"07 a0 00 00 00 01", "2c 01 04 03 00 00", "2c 01 04 03 80 00"}));
    f.logic.pbtl_clicked(false);
    EXPECT_EQ(f.sent(), (sent_list{"07 a0 00 00 00 00"}));
    EXPECT_EQ(f.shared.selected_channel.load(), 2);  // switching off leaves it
    EXPECT_TRUE(f.view.enabled[item::ch1_limit]);
    EXPECT_FALSE(f.view.enabled[item::pbtl_limit]);
}

TEST(PowerModes, SpeakerClicksSendOnlyAChange) {
    power_fixture f(0x02);
    f.logic.speaker_clicked(8);
    EXPECT_TRUE(f.sent().empty());
    f.logic.speaker_clicked(4);
    EXPECT_EQ(f.sent(), (sent_list{"2c 04 01 01 00 04"}));
    EXPECT_EQ(f.params.speaker_impedance(), 4);
    EXPECT_EQ(f.params.speaker_impedance_2(), 4);
    EXPECT_TRUE(f.view.checks[item::speaker_4]);
    EXPECT_FALSE(f.view.checks[item::speaker_8]);
    EXPECT_EQ(f.view.ranges[item::ch1_limit], std::make_pair(1, 550));
    EXPECT_EQ(f.view.ranges[item::pbtl_limit], std::make_pair(1, 600));
}

TEST(PowerRanges, OnlyImpedanceBytesOfFourOrEightSetTheLimitRanges) {
    EXPECT_FALSE(power_limit_range(2, limit_slot::ch1, 2));
    EXPECT_FALSE(power_limit_range(0, limit_slot::ch1, 0));
    EXPECT_FALSE(power_limit_range(4, limit_slot::ch1, 8));
    EXPECT_EQ(power_limit_range(3, limit_slot::pbtl, 4)->max, 600);
    // CH2 and PBTL follow the second impedance byte.
    power_fixture f(0x02);
    f.params.set_speaker_impedance_2(4);
    f.logic.refresh();
    EXPECT_EQ(f.view.ranges[item::ch1_limit], std::make_pair(1, 400));
    EXPECT_EQ(f.view.ranges[item::ch2_limit], std::make_pair(1, 550));
}

TEST(PowerClass, AnUnknownClassTouchesNoSet) {
    power_fixture f(0x85);
    EXPECT_EQ(f.view.selected[item::power_class], -1);
    EXPECT_EQ(f.view.ranges.count(item::ch1_limit), 0u);
    EXPECT_FALSE(f.logic.limit_scrolled(limit_slot::ch1, 50));
    EXPECT_FALSE(f.logic.threshold_scrolled(5));
    f.logic.limit_enable_clicked(true);
    f.logic.flush();
    EXPECT_TRUE(f.sent().empty());
}

}  // namespace
}  // namespace tavrin
