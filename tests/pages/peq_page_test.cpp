#include "pages/peq_page.h"

#include <gtest/gtest.h>

#include "page_fixture.h"
#include "recording_filter_view.h"
#include "recording_view.h"

namespace tavrin {
namespace {

using bytes = std::vector<uint8_t>;
using testing::connected_context;
using testing::recording_view;

// The 0x4A command of `band` with the rest of its body.
bytes eq(uint8_t ch, uint8_t band, uint8_t gain, uint8_t flag_hi, uint8_t lo, uint8_t q_hi,
         uint8_t q_lo) {
    return {0x4A, 0x01, 0x01, ch, 0xFF, band, 0xFF, gain, flag_hi, lo, q_hi, q_lo};
}

// Band k of channel 1 in a block: frequency, gain code, Q x 100, on.
void put_band(param_block& b, size_t k, int hz, uint8_t gain_code, int q100, bool on,
              size_t base = 22) {
    b[base + k] = on ? 1 : 0;
    b[base + 5 + k] = gain_code;
    b[base + 10 + k] = static_cast<uint8_t>(q100 >> 8);
    b[base + 15 + k] = static_cast<uint8_t>(q100);
    b[base + 20 + k] = static_cast<uint8_t>(hz >> 8);
    b[base + 25 + k] = static_cast<uint8_t>(hz);
}

// What a repaint does to the records: the enabled bands' points and handles placed.
void paint(peq_page_logic& logic) {
    for (graph::peq_band& b : logic.bands()) {
        if (b.enabled)
            graph::place_band(b, logic.axes());
    }
}

struct PeqPage : ::testing::Test {
    connected_context c;
    recording_view view;
    peq_page_logic logic{c.ctx, view};

    void load(const param_block& b) {
        c.params.replace(b);
        logic.refresh();
        paint(logic);
    }
};

TEST_F(PeqPage, RefreshShowsTheSelectedChannelAndReplacesWhatCannotBeSent) {
    param_block b{};
    put_band(b, 0, 0, 40, 100, true);             // frequency 0
    put_band(b, 1, 30000, 100, 5000, false);      // all three out of range
    put_band(b, 2, 0x8000 | 440, 52, 141, true);  // on/off bit over 440 Hz
    put_band(b, 3, 1000, 30, 2, true, 52);        // channel 2, band 4: -5 dB, Q 0.02
    c.params.replace(b);
    logic.refresh();

    EXPECT_EQ(view.texts[idc_peq_freq], "1000");
    EXPECT_EQ(view.texts[idc_peq_freq + 1], "1000");
    EXPECT_EQ(view.texts[idc_peq_gain + 1], "0.0");
    EXPECT_EQ(view.texts[idc_peq_q + 1], "0.71");
    EXPECT_EQ(view.texts[idc_peq_freq + 2], "440");
    EXPECT_EQ(view.texts[idc_peq_gain + 2], "6.0");
    EXPECT_EQ(view.texts[idc_peq_q + 2], "1.41");
    EXPECT_TRUE(view.checks[idc_peq_enable]);
    EXPECT_FALSE(view.checks[idc_peq_enable + 1]);
    EXPECT_TRUE(view.checks[idc_peq_ch1]);
    EXPECT_FALSE(view.checks[idc_peq_ch2]);
    EXPECT_EQ(view.invalidations, 1);
    // Shown, not written back, and nothing sent.
    EXPECT_EQ(c.params.snapshot(), b);
    EXPECT_TRUE(c.sent().empty());

    // Channel 2 reads its own arrays.
    EXPECT_TRUE(logic.check_clicked(idc_peq_ch2, true));
    EXPECT_EQ(c.shared.selected_channel, 2);
    EXPECT_TRUE(view.checks[idc_peq_ch2]);
    EXPECT_FALSE(view.checks[idc_peq_ch1]);
    EXPECT_EQ(view.texts[idc_peq_gain + 3], "-5.0");
    EXPECT_EQ(view.texts[idc_peq_q + 3], "0.02");
    EXPECT_TRUE(view.checks[idc_peq_enable + 3]);
    EXPECT_FALSE(view.checks[idc_peq_enable]);
}

TEST_F(PeqPage, TypedFrequencyIsHeldToTenHertzAndTwentyThreeKilohertz) {
    load({});
    view.texts.clear();
    EXPECT_TRUE(logic.edit_applied(idc_peq_freq + 1, "5"));
    EXPECT_EQ(view.texts[idc_peq_freq + 1], "10");
    EXPECT_TRUE(logic.edit_applied(idc_peq_freq + 1, "30000"));
    EXPECT_EQ(view.texts[idc_peq_freq + 1], "23000");
    // The edit shows what was stored, as the next refresh would.
    logic.edit_applied(idc_peq_freq + 1, "0440");
    EXPECT_EQ(view.texts[idc_peq_freq + 1], "440");
    // Unreadable text reads as 0, then 10; only five characters are read.
    logic.edit_applied(idc_peq_freq + 4, "abc");
    logic.edit_applied(idc_peq_freq + 4, "1234567");
    EXPECT_EQ(c.sent(),
              (std::vector<bytes>{
                  eq(1, 1, 0xFF, 0x00, 0x0A, 0xFF, 0xFF), eq(1, 1, 0xFF, 0x59, 0xD8, 0xFF, 0xFF),
                  eq(1, 1, 0xFF, 0x01, 0xB8, 0xFF, 0xFF), eq(1, 4, 0xFF, 0x00, 0x0A, 0xFF, 0xFF),
                  eq(1, 4, 0xFF, 0x30, 0x39, 0xFF, 0xFF)}));
    EXPECT_EQ(c.params.get(param_field::peq_ch1_freq_hi, 1), 0x01);
    EXPECT_EQ(c.params.get(param_field::peq_ch1_freq_lo, 1), 0xB8);
    EXPECT_EQ(logic.bands()[1].frequency, 440);
    EXPECT_GT(view.area_invalidations, 0);
}

TEST_F(PeqPage, TypedGainUsesBandOnesWiderLimitsAndCutsTowardZero) {
    param_block b{};
    put_band(b, 2, 1000, 40, 100, true);
    load(b);
    struct case_ {
        size_t band;
        const char* typed;
        uint8_t code;
        const char* shown;
    };
    const case_ cases[] = {
        {0, "-25", 0, "-20.0"},  {1, "15", 60, "10.0"},   {1, "-15", 20, "-10.0"},
        {2, "3.7", 47, "3.5"},   {2, "-3.7", 33, "-3.5"}, {3, "-0.3", 40, "0.0"},
        {0, "19.9", 79, "19.5"}, {4, "x", 40, "0.0"},
    };
    for (const case_& t : cases) {
        logic.edit_applied(idc_peq_gain + static_cast<int>(t.band), t.typed);
        EXPECT_EQ(view.texts[idc_peq_gain + static_cast<int>(t.band)], t.shown) << t.typed;
        EXPECT_EQ(c.params.get(param_field::peq_ch1_gain, t.band), t.code) << t.typed;
        // Band 3 is on: its flag rides along with "frequency unchanged".
        const uint8_t flag = t.band == 2 ? 0xFF : 0x7F;
        EXPECT_EQ(c.sent(), (std::vector<bytes>{eq(1, static_cast<uint8_t>(t.band), t.code, flag,
                                                   0xFF, 0xFF, 0xFF)}))
            << t.typed;
    }
    EXPECT_EQ(logic.bands()[2].gain, -3.5);
}

// Q x 100 is truncated into its bytes; the edit then shows what the bytes hold, as
// the next refresh would.
TEST_F(PeqPage, TypedQShowsWhatItsTruncatedBytesHold) {
    load({});
    logic.edit_applied(idc_peq_q, "0");
    EXPECT_EQ(view.texts[idc_peq_q], "0.01");
    logic.edit_applied(idc_peq_q + 1, "50");
    EXPECT_EQ(view.texts[idc_peq_q + 1], "40.00");
    logic.edit_applied(idc_peq_q + 2, "0.29");
    EXPECT_EQ(view.texts[idc_peq_q + 2], "0.28");
    EXPECT_EQ(c.sent(), (std::vector<bytes>{eq(1, 0, 0xFF, 0x7F, 0xFF, 0x00, 0x01),
                                            eq(1, 1, 0xFF, 0x7F, 0xFF, 0x0F, 0xA0),
                                            eq(1, 2, 0xFF, 0x7F, 0xFF, 0x00, 28)}));
    EXPECT_EQ(c.params.get(param_field::peq_ch1_q_hi, 1), 0x0F);
    EXPECT_EQ(c.params.get(param_field::peq_ch1_q_lo, 1), 0xA0);
    EXPECT_EQ(c.params.get(param_field::peq_ch1_q_lo, 2), 28);
}

TEST_F(PeqPage, EnableBoxesWriteTheFlagAndSendIt) {
    load({});
    EXPECT_TRUE(logic.check_clicked(idc_peq_enable + 4, true));
    EXPECT_EQ(c.params.get(param_field::peq_ch1_enable, 4), 1);
    EXPECT_TRUE(logic.bands()[4].enabled);
    // A frequency typed afterwards carries the new flag.
    logic.edit_applied(idc_peq_freq + 4, "1000");
    EXPECT_TRUE(logic.check_clicked(idc_peq_enable + 4, false));
    EXPECT_EQ(c.params.get(param_field::peq_ch1_enable, 4), 0);
    EXPECT_EQ(c.sent(), (std::vector<bytes>{eq(1, 4, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF),
                                            eq(1, 4, 0xFF, 0x83, 0xE8, 0xFF, 0xFF),
                                            eq(1, 4, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF)}));
    EXPECT_FALSE(logic.check_clicked(1058, true));
    EXPECT_FALSE(logic.edit_applied(1050, "1"));
}

TEST_F(PeqPage, TheChannelIsSharedWithTheFilterPageAndSelectsTheArrays) {
    load({});
    logic.choose_channel(2);
    logic.edit_applied(idc_peq_gain, "6");
    EXPECT_EQ(c.params.get(param_field::peq_ch2_gain, 0), 52);
    EXPECT_EQ(c.params.get(param_field::peq_ch1_gain, 0), 0);
    EXPECT_EQ(c.sent(), (std::vector<bytes>{eq(2, 0, 52, 0x7F, 0xFF, 0xFF, 0xFF)}));

    // A Filter page made now shows channel 2, and its radio button moves this page.
    testing::recording_filter_view fview;
    filter_page_logic filter(c.ctx, fview);
    filter.refresh();
    EXPECT_EQ(filter.channel(), amp_channel::ch2);
    EXPECT_TRUE(fview.checks[idc_filter_ch2]);
    filter.check_clicked(idc_filter_ch1, true);
    logic.refresh();
    EXPECT_EQ(logic.channel(), amp_channel::ch1);
    EXPECT_TRUE(view.checks[idc_peq_ch1]);

    // Power's PBTL mode stores 2; anything but 2 reads as channel 1.
    c.shared.selected_channel = 7;
    EXPECT_EQ(logic.channel(), amp_channel::ch1);
}

TEST_F(PeqPage, ReloadsOnlyWhenAnAnswerChangedItsBands) {
    param_block b{};
    put_band(b, 0, 1000, 52, 100, true);
    load(b);
    put_band(b, 0, 1000, 60, 100, true);
    c.params.replace(b);
    logic.params_changed(field_bit(param_field::lpf_ch1_freq));
    EXPECT_EQ(logic.bands()[0].gain, 6);
    const int repaints = view.invalidations;
    logic.params_changed(field_bit(param_field::peq_ch1_gain));
    EXPECT_EQ(logic.bands()[0].gain, 10);
    EXPECT_EQ(view.texts[idc_peq_gain], "10.0");
    EXPECT_GT(view.invalidations, repaints);
}

// Mouse: bands 1 and 3 at 1 kHz, +6 dB, Q 1 (their points overlap); band 2 at 100 Hz;
// band 4 off at 5 kHz; band 5 at 20 kHz.
struct PeqMouse : PeqPage {
    void SetUp() override {
        param_block b{};
        put_band(b, 0, 1000, 52, 100, true);
        put_band(b, 1, 100, 40, 100, true);
        put_band(b, 2, 1000, 52, 100, true);
        put_band(b, 3, 5000, 40, 100, false);
        put_band(b, 4, 20000, 40, 100, true);
        load(b);
        // Band 4 was drawn while it was on, and then switched off.
        logic.bands()[3].enabled = true;
        paint(logic);
        logic.bands()[3].enabled = false;
    }
    const graph::peq_band& band(size_t k) { return logic.bands()[k]; }
};

TEST_F(PeqMouse, QHandlesGiveQInStepsOfAFifthFromTwentyOnePixels) {
    const graph::peq_band b = band(1);
    // Left handle centre: 25 px left of the point for Q 1.
    logic.button_down(b.point_x - 25, b.point_y);
    EXPECT_TRUE(band(1).dragging_left_handle);
    logic.mouse_move(b.point_x - 21, b.point_y + 50);
    EXPECT_DOUBLE_EQ(band(1).q, 0.2);
    EXPECT_EQ(view.texts[idc_peq_q + 1], "0.20");
    EXPECT_EQ(c.params.get(param_field::peq_ch1_q_lo, 1), 20);
    // Nearer than 21 px nothing changes.
    logic.mouse_move(b.point_x - 20, b.point_y);
    EXPECT_DOUBLE_EQ(band(1).q, 0.2);
    EXPECT_TRUE(c.sent().empty());  // nothing before the button comes up
    logic.button_up(b.point_x - 220, b.point_y);
    EXPECT_DOUBLE_EQ(band(1).q, 40);
    EXPECT_EQ(c.sent(), (std::vector<bytes>{eq(1, 1, 0xFF, 0xFF, 0xFF, 0x0F, 0xA0)}));
    EXPECT_FALSE(band(1).dragging_left_handle);

    // The right handle measures the other way.
    paint(logic);
    const graph::peq_band moved = band(1);
    logic.button_down(graph::right_handle_x(moved), moved.point_y);
    logic.button_up(moved.point_x + 30, moved.point_y);
    EXPECT_DOUBLE_EQ(band(1).q, 2);
    EXPECT_EQ(c.sent(), (std::vector<bytes>{eq(1, 1, 0xFF, 0xFF, 0xFF, 0x00, 200)}));
}

TEST_F(PeqMouse, ADraggedPointReachesTwentyDecibelsOnEveryBand) {
    const graph::peq_band b = band(1);
    logic.button_down(b.point_x + 3, b.point_y - 3);
    ASSERT_TRUE(band(1).dragging_point);
    // Above the +20 dB row, inside the plot.
    logic.mouse_move(b.point_x, db_to_y(23, logic.axes()));
    EXPECT_EQ(band(1).gain, 20);
    EXPECT_EQ(view.texts[idc_peq_gain + 1], "20.0");
    EXPECT_EQ(c.params.get(param_field::peq_ch1_gain, 1), 80);
    EXPECT_TRUE(c.sent().empty());
    // Left of the plot, within its 5 px margin: held at 10 Hz.
    // Gains are cut toward zero to half decibels: the row of -3 dB reads just above it.
    const int left = logic.axes().left;
    const int row = db_to_y(-3, logic.axes());
    ASSERT_GT(y_to_db(row, logic.axes()), -3);
    logic.mouse_move(left - 4, row);
    EXPECT_EQ(band(1).frequency, 10);
    EXPECT_EQ(band(1).gain, -2.5);
    // Farther out the point stays where it was, and the release sends it there.
    logic.button_up(left - 40, db_to_y(10, logic.axes()));
    EXPECT_EQ(band(1).frequency, 10);
    EXPECT_EQ(c.sent(), (std::vector<bytes>{eq(1, 1, 35, 0x80, 0x0A, 0xFF, 0xFF)}));
    // The drag is over: moves change nothing.
    logic.mouse_move(b.point_x, b.point_y);
    EXPECT_EQ(band(1).frequency, 10);
    EXPECT_TRUE(c.sent().empty());
}

TEST_F(PeqMouse, APressAndReleaseWithoutMovementSendsTheReleasePosition) {
    const graph::peq_band b = band(4);
    logic.button_down(b.point_x + 6, b.point_y + 6);
    logic.button_up(b.point_x + 6, b.point_y + 6);
    const int hz = static_cast<int>(x_to_freq(b.point_x + 6, logic.axes()));
    const double gain = static_cast<int>(2 * y_to_db(b.point_y + 6, logic.axes())) * 0.5;
    EXPECT_EQ(band(4).frequency, hz);
    EXPECT_EQ(band(4).gain, gain);
    EXPECT_LT(gain, 0);
    EXPECT_EQ(c.sent(), (std::vector<bytes>{eq(1, 4, static_cast<uint8_t>(2 * gain + 40),
                                               static_cast<uint8_t>(0x80 | (hz >> 8)),
                                               static_cast<uint8_t>(hz & 0xFF), 0xFF, 0xFF)}));
    EXPECT_EQ(c.params.get(param_field::peq_ch1_freq_lo, 4), hz & 0xFF);
}

TEST_F(PeqMouse, OverlappingPointsGrabTheLowerBandAndDisabledBandsNone) {
    const graph::peq_band b = band(0);
    logic.button_down(b.point_x, b.point_y);
    EXPECT_TRUE(band(0).dragging_point);
    EXPECT_FALSE(band(2).dragging_point);
    logic.button_up(b.point_x, b.point_y);
    ASSERT_EQ(c.sent().size(), 1u);

    // With band 1 off, band 3 is grabbed there.
    logic.check_clicked(idc_peq_enable, false);
    c.sent();
    logic.button_down(b.point_x, b.point_y);
    EXPECT_TRUE(band(2).dragging_point);
    logic.button_up(b.point_x, b.point_y);
    EXPECT_EQ(c.sent()[0][5], 2);

    // Band 4 is off: its point and handles, where they were drawn, grab nothing.
    const graph::peq_band off = band(3);
    for (int x : {off.point_x, graph::left_handle_x(off), graph::right_handle_x(off)}) {
        logic.button_down(x, off.point_y);
        logic.button_up(x - 30, off.point_y - 30);
    }
    EXPECT_EQ(band(3).frequency, 5000);
    EXPECT_TRUE(c.sent().empty());
}

}  // namespace
}  // namespace tavrin
