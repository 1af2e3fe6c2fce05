#include "pages/volume_page.h"

#include <gtest/gtest.h>

#include "page_fixture.h"

namespace tavrin {
namespace {

using testing::page_fixture;
using testing::sent_list;
using view_t = testing::recording_controls<volume_view>;
namespace item = volume_item;

struct volume_fixture : page_fixture {
    view_t view;
    volume_page_logic logic{ctx, view};
};

TEST(VolumeLogic, MasterFaderCountsFromTheTopAndKeepsTheMuteBit) {
    volume_fixture f;
    f.logic.master_scrolled(0);
    EXPECT_EQ(f.sent(), (sent_list{"08 32 ff"}));
    EXPECT_EQ(f.view.texts[item::master_percent], "100%");
    EXPECT_EQ(f.view.positions[item::master_fader], 0);
    EXPECT_EQ(f.params.master_volume(), 50);

    f.params.set_mute(true);
    f.logic.master_scrolled(0);
    EXPECT_EQ(f.sent(), (sent_list{"08 b2 ff"}));
    f.logic.master_scrolled(20);  // volume 30 while muted
    EXPECT_EQ(f.sent(), (sent_list{"08 9e ff"}));
    EXPECT_EQ(f.view.texts[item::master_percent], "60%");
}

TEST(VolumeLogic, MuteSendsOnlyTheMuteBit) {
    volume_fixture f;
    f.params.set_master_volume(30);
    f.logic.mute_clicked(true);
    f.logic.mute_clicked(false);
    EXPECT_EQ(f.sent(), (sent_list{"08 ff ff", "08 7f ff"}));
    EXPECT_FALSE(f.params.mute());
    EXPECT_EQ(f.params.master_volume(), 30);
}

TEST(VolumeLogic, TypedLevelsAreClampedAndCut) {
    struct case_ {
        const char* typed;
        const char* sent;
        const char* shown;
        int position;
    };
    const case_ cases[] = {
        {"5", "0a 01 01 fa ff", "0.0", 0},          {"-30", "0a 01 01 00 ff", "-25.0", 250},
        {"-3.75", "0a 01 01 d4 ff", "-3.8", 38},     // trunc(212.5)
        {"-0.7", "0a 01 01 f3 ff", "-0.7", 7},       // not 242 through binary rounding
        {"-12.34", "0a 01 01 7f ff", "-12.3", 123},  // five characters: -12.3
        {"-", "0a 01 01 fa ff", "0.0", 0},           // unreadable reads as 0
    };
    for (const case_& c : cases) {
        volume_fixture f;
        f.logic.level_typed(amp_channel::ch1, c.typed);
        EXPECT_EQ(f.sent(), (sent_list{c.sent})) << c.typed;
        EXPECT_EQ(f.view.texts[item::ch1_level], c.shown) << c.typed;
        EXPECT_EQ(f.view.positions[item::ch1_fader], c.position) << c.typed;
    }
}

TEST(VolumeLogic, ChannelFadersSendTheirOwnChannelOnly) {
    volume_fixture f;
    f.logic.fader_scrolled(amp_channel::ch2, 250);
    f.logic.fader_scrolled(amp_channel::ch1, 37);
    EXPECT_EQ(f.sent(), (sent_list{"0a 01 01 ff 00", "0a 01 01 d5 ff"}));
    EXPECT_EQ(f.view.texts[item::ch2_level], "-25.0");
    EXPECT_EQ(f.view.texts[item::ch1_level], "-3.7");
    EXPECT_EQ(f.params.gain_ch1(), 213);
    EXPECT_EQ(f.params.gain_ch2(), 0);
}

TEST(VolumeLogic, RouteSendsOnlyForTheButtonNowCheckedAndInvertSendsItsState) {
    volume_fixture f;
    f.logic.route_clicked(3, false);
    f.logic.route_clicked(4, true);
    f.logic.invert_clicked(true);
    EXPECT_EQ(f.sent(), (sent_list{"07 06 04", "29 01 01 02 01"}));
    EXPECT_EQ(f.params.route(), 4);
    EXPECT_TRUE(f.params.invert());
}

TEST(VolumeLogic, RefreshShowsTheMirror) {
    volume_fixture f;
    f.params.set_master_volume(20);
    f.params.set_gain(amp_channel::ch2, 213);
    f.params.set(param_field::mute, 2);  // only 1 means muted
    f.params.set_route(9);
    f.logic.refresh();
    EXPECT_EQ(f.view.positions[item::master_fader], 30);
    EXPECT_EQ(f.view.texts[item::master_percent], "40%");
    EXPECT_EQ(f.view.ranges[item::ch1_fader], std::make_pair(0, 250));
    EXPECT_EQ(f.view.positions[item::ch2_fader], 37);
    EXPECT_EQ(f.view.texts[item::ch2_level], "-3.7");
    EXPECT_FALSE(f.view.checks[item::mute]);
    // An unknown route shows "Bypass".
    EXPECT_TRUE(f.view.checks[item::route_bypass]);
    for (int r = 1; r < 5; ++r)
        EXPECT_FALSE(f.view.checks[item::route_bypass + r]) << r;
    EXPECT_TRUE(f.sent().empty());
}

TEST(VolumeLogic, ReloadsOnlyWhenAnAnswerChangedWhatItShows) {
    volume_fixture f;
    f.params.set_master_volume(10);
    f.logic.params_changed(field_bit(param_field::peq_ch1_gain));
    EXPECT_EQ(f.view.texts.count(item::master_percent), 0u);
    f.logic.params_changed(field_bit(param_field::master_volume));
    EXPECT_EQ(f.view.texts[item::master_percent], "20%");
}

}  // namespace
}  // namespace tavrin
