#include "pages/filter_page.h"

#include <gtest/gtest.h>

#include "page_fixture.h"
#include "pages/response_math.h"
#include "recording_filter_view.h"

namespace tavrin {
namespace {

using bytes = std::vector<uint8_t>;
using testing::connected_context;
using testing::recording_filter_view;

bytes flt(uint8_t ch, uint8_t kind, uint8_t flag_hi, uint8_t lo, uint8_t slope) {
    return {0x22, 0x01, 0x01, ch, kind, flag_hi, lo, slope};
}

// One filter in a block: `at` is its enable byte (4 / 8 for channel 1, 13 / 17 for 2).
void put_filter(param_block& b, size_t at, bool on, int hz, uint8_t slope) {
    b[at] = on ? 1 : 0;
    b[at + 1] = static_cast<uint8_t>(hz >> 8);
    b[at + 2] = static_cast<uint8_t>(hz);
    b[at + 3] = slope;
}

// What a repaint does to the record.
void paint(filter_page_logic& logic) {
    graph::place_filter_points(logic.record(), logic.axes());
}

struct FilterPage : ::testing::Test {
    connected_context c;
    recording_filter_view view;
    filter_page_logic logic{c.ctx, view};

    void load(const param_block& b) {
        c.params.replace(b);
        logic.refresh();
        paint(logic);
    }
};

TEST_F(FilterPage, RefreshFillsTheListsAndShowsTheStoredValuesUnchecked) {
    param_block b{};
    put_filter(b, 4, true, 0, 7);                // ch1 high-pass: 0 Hz, slope byte 7
    put_filter(b, 8, false, 0x8000 | 20000, 3);  // ch1 low-pass: on/off bit over 20 kHz
    put_filter(b, 13, true, 80, 2);              // ch2 high-pass
    load(b);

    const std::vector<std::string> labels{"12 dB/oct", "18 dB/oct", "24 dB/oct", "30 dB/oct",
                                          "36 dB/oct"};
    EXPECT_EQ(view.choices[idc_hpf_slope], labels);
    EXPECT_EQ(view.choices[idc_lpf_slope], labels);
    EXPECT_EQ(view.texts[idc_hpf_freq], "0");
    EXPECT_EQ(view.texts[idc_lpf_freq], "20000");
    EXPECT_TRUE(view.checks[idc_hpf_enable]);
    EXPECT_FALSE(view.checks[idc_lpf_enable]);
    EXPECT_TRUE(view.checks[idc_filter_ch1]);
    EXPECT_FALSE(view.checks[idc_filter_ch2]);
    // A slope byte other than 1-4 is what the amplifier takes it for: 12 dB/oct, in
    // the list and in the curve.
    EXPECT_EQ(view.selected[idc_hpf_slope], 0);
    EXPECT_EQ(logic.record().hp_slope, 0);
    EXPECT_EQ(view.selected[idc_lpf_slope], 3);
    EXPECT_EQ(view.invalidations, 1);
    EXPECT_EQ(c.params.snapshot(), b);
    EXPECT_TRUE(c.sent().empty());

    logic.check_clicked(idc_filter_ch2, true);
    EXPECT_EQ(c.shared.selected_channel, 2);
    EXPECT_EQ(view.texts[idc_hpf_freq], "80");
    EXPECT_EQ(view.selected[idc_hpf_slope], 2);
    EXPECT_TRUE(view.checks[idc_filter_ch2]);
}

TEST_F(FilterPage, SlopeByteFiveDrawsTwelveDecibelsPerOctave) {
    param_block b{};
    put_filter(b, 4, true, 1000, 5);
    load(b);
    // One octave below the corner, a 12 dB/oct high-pass is down 12.31 dB.
    EXPECT_NEAR(filter_sum_db(graph::filter_params_of(logic.record()), 500), -12.31, 0.01);
}

TEST_F(FilterPage, BoxesAndSlopesSendTheFlagOverUnchangedFields) {
    load({});
    EXPECT_TRUE(logic.check_clicked(idc_lpf_enable, true));
    EXPECT_EQ(c.params.get(param_field::lpf_ch1_enable), 1);
    EXPECT_TRUE(logic.record().lp_enabled);
    EXPECT_TRUE(logic.check_clicked(idc_lpf_enable, false));
    EXPECT_EQ(c.sent(),
              (std::vector<bytes>{flt(1, 2, 0xFF, 0xFF, 0xFF), flt(1, 2, 0x7F, 0xFF, 0xFF)}));

    logic.choose_channel(2);
    logic.check_clicked(idc_hpf_enable, true);
    c.sent();
    EXPECT_TRUE(logic.slope_chosen(idc_hpf_slope, 3));
    EXPECT_EQ(c.params.get(param_field::hpf_ch2_slope), 3);
    EXPECT_EQ(logic.record().hp_slope, 3);
    // The flag comes from the mirror, whatever the record says.
    c.params.set(param_field::lpf_ch2_enable, 1);
    EXPECT_TRUE(logic.slope_chosen(idc_lpf_slope, 2));
    EXPECT_EQ(c.sent(),
              (std::vector<bytes>{flt(2, 1, 0xFF, 0xFF, 0x03), flt(2, 2, 0xFF, 0xFF, 0x02)}));
    EXPECT_FALSE(logic.slope_chosen(idc_lpf_slope, 5));
    EXPECT_FALSE(logic.slope_chosen(idc_lpf_slope, -1));
    EXPECT_FALSE(logic.slope_chosen(idc_hpf_freq, 1));
    EXPECT_TRUE(c.sent().empty());
}

TEST_F(FilterPage, TypedFrequencyIsHeldToTenAndSixteenThousandAndRewritten) {
    param_block b{};
    put_filter(b, 4, true, 100, 0);
    load(b);
    logic.edit_applied(idc_hpf_freq, "5");
    EXPECT_EQ(view.texts[idc_hpf_freq], "10");
    logic.edit_applied(idc_lpf_freq, "20000");
    EXPECT_EQ(view.texts[idc_lpf_freq], "16000");
    logic.edit_applied(idc_hpf_freq, "0440");
    EXPECT_EQ(view.texts[idc_hpf_freq], "440");
    logic.edit_applied(idc_lpf_freq, "");
    EXPECT_EQ(c.sent(),
              (std::vector<bytes>{flt(1, 1, 0x80, 0x0A, 0xFF), flt(1, 2, 0x3E, 0x80, 0xFF),
                                  flt(1, 1, 0x81, 0xB8, 0xFF), flt(1, 2, 0x00, 0x0A, 0xFF)}));
    EXPECT_EQ(c.params.get(param_field::hpf_ch1_freq), 440);
    EXPECT_EQ(logic.record().hp_frequency, 440);
    EXPECT_FALSE(logic.edit_applied(idc_filter_gain, "3"));
}

// Mouse: channel 1 high-pass at 100 Hz and low-pass at 10 kHz, both on.
struct FilterMouse : FilterPage {
    void SetUp() override {
        param_block b{};
        put_filter(b, 4, true, 100, 0);
        put_filter(b, 8, true, 10000, 0);
        load(b);
    }
    graph::filter_pair& rec() { return logic.record(); }
};

TEST_F(FilterMouse, ADraggedPointStopsAtThirtyHertzAndSixteenKilohertz) {
    const int y = rec().hp_point_y;
    logic.button_down(rec().hp_point_x, y);
    ASSERT_TRUE(rec().dragging_hp);
    // Far left, still within the 5 px margin, and the cursor's height is ignored.
    logic.mouse_move(logic.axes().left - 4, logic.axes().bottom - 1);
    EXPECT_EQ(rec().hp_frequency, 30);
    EXPECT_EQ(rec().level, 0);
    EXPECT_EQ(view.texts[idc_hpf_freq], "30");
    EXPECT_EQ(c.params.get(param_field::hpf_ch1_freq), 30);
    EXPECT_TRUE(c.sent().empty());
    logic.mouse_move(logic.axes().right + 4, logic.axes().top);
    EXPECT_EQ(rec().hp_frequency, 16000);
    // Above or below the plot the point does not follow.
    logic.mouse_move(rec().hp_point_x, logic.axes().top - 1);
    EXPECT_EQ(rec().hp_frequency, 16000);
    logic.button_up(logic.axes().left - 6, y);
    EXPECT_EQ(rec().hp_frequency, 16000);
    EXPECT_EQ(c.sent(), (std::vector<bytes>{flt(1, 1, 0xBE, 0x80, 0xFF)}));
    EXPECT_FALSE(rec().dragging_hp);
}

TEST_F(FilterMouse, APressAndReleaseWithoutMovementSendsTheReleasePosition) {
    const int x = rec().lp_point_x + 7;
    logic.button_down(x, rec().lp_point_y - 7);
    logic.button_up(x, rec().lp_point_y - 7);
    const int hz = static_cast<int>(x_to_freq(x, logic.axes()));
    EXPECT_GT(hz, 10000);
    EXPECT_EQ(rec().lp_frequency, hz);
    EXPECT_EQ(c.sent(), (std::vector<bytes>{flt(1, 2, static_cast<uint8_t>(0x80 | (hz >> 8)),
                                                static_cast<uint8_t>(hz & 0xFF), 0xFF)}));
}

TEST_F(FilterMouse, BothPointsUnderTheCursorAreGrabbedAndBothSent) {
    logic.edit_applied(idc_lpf_freq, "100");
    paint(logic);
    c.sent();
    logic.button_down(rec().hp_point_x, rec().hp_point_y);
    EXPECT_TRUE(rec().dragging_hp && rec().dragging_lp);
    // Only the high-pass point follows; both go out, the low-pass first.
    const int x = freq_to_x(1000, logic.axes());
    logic.button_up(x, rec().hp_point_y);
    const int hz = static_cast<int>(x_to_freq(x, logic.axes()));
    EXPECT_EQ(rec().hp_frequency, hz);
    EXPECT_EQ(rec().lp_frequency, 100);
    EXPECT_EQ(c.sent(), (std::vector<bytes>{flt(1, 2, 0x80, 100, 0xFF),
                                            flt(1, 1, static_cast<uint8_t>(0x80 | (hz >> 8)),
                                                static_cast<uint8_t>(hz & 0xFF), 0xFF)}));
}

TEST_F(FilterMouse, ADisabledFilterCannotBeGrabbed) {
    logic.check_clicked(idc_hpf_enable, false);
    c.sent();
    // Its rectangle from the last drawing is still there.
    logic.button_down(rec().hp_point_x, rec().hp_point_y);
    logic.button_up(rec().hp_point_x + 50, rec().hp_point_y);
    EXPECT_EQ(rec().hp_frequency, 100);
    EXPECT_TRUE(c.sent().empty());
    // Channel 2's record is another one: nothing of channel 1 is grabbed there.
    logic.choose_channel(2);
    logic.button_down(freq_to_x(10000, logic.axes()), db_to_y(0, logic.axes()));
    logic.button_up(freq_to_x(1000, logic.axes()), db_to_y(0, logic.axes()));
    EXPECT_TRUE(c.sent().empty());
}

}  // namespace
}  // namespace tavrin
