#include "pages/freq_respond_page.h"

#include <gtest/gtest.h>

#include <clocale>

#include "pages/item_text.h"
#include "recording_view.h"

namespace tavrin {
namespace {

using testing::recording_view;

constexpr int all_boxes[] = {idc_show_ch1, idc_show_ch1_peq, idc_show_ch1_filter,
                             idc_show_ch2, idc_show_ch2_peq, idc_show_ch2_filter};

param_block one_band_block(uint8_t gain_code) {
    param_block b{};
    b[22] = 1;                   // peq_ch1_enable[0]
    b[27] = gain_code;           // peq_ch1_gain[0]
    b[32] = 0x00, b[37] = 100;   // Q 1.00
    b[42] = 0x03, b[47] = 0xE8;  // 1000 Hz
    return b;
}

TEST(FreqRespondLogic, StartsWithEveryBoxTickedAndTheMirrorLoaded) {
    amp_params params;
    params.replace(one_band_block(52));
    response_show_flags show{};
    recording_view view;
    freq_respond_page_logic logic(params, show, view);
    logic.init();
    for (int id : all_boxes)
        EXPECT_TRUE(view.checks.at(id)) << id;
    EXPECT_EQ(view.invalidations, 1);
    EXPECT_EQ(logic.axes().top, 38);
    EXPECT_EQ(logic.axes().bottom, 342);
    EXPECT_EQ(logic.channels()[0].bands[0].gain, 6);
    EXPECT_TRUE(logic.channels()[0].bands[0].enabled);
}

TEST(FreqRespondLogic, EachBoxStoresItsOwnFlagAndRefreshes) {
    amp_params params;
    response_show_flags show{};
    recording_view view;
    freq_respond_page_logic logic(params, show, view);
    logic.init();

    struct case_ {
        int id;
        size_t ch;
        bool channel_show::*flag;
    };
    const case_ cases[] = {{idc_show_ch1, 0, &channel_show::channel},
                           {idc_show_ch1_peq, 0, &channel_show::peq},
                           {idc_show_ch1_filter, 0, &channel_show::filter},
                           {idc_show_ch2, 1, &channel_show::channel},
                           {idc_show_ch2_peq, 1, &channel_show::peq},
                           {idc_show_ch2_filter, 1, &channel_show::filter}};
    for (const case_& c : cases) {
        const response_show_flags before = show;
        const int repaints = view.invalidations;
        EXPECT_TRUE(logic.check_clicked(c.id, false));
        EXPECT_FALSE(show[c.ch].*c.flag) << c.id;
        EXPECT_EQ(view.invalidations, repaints + 1);
        // No other flag moved.
        response_show_flags expected = before;
        expected[c.ch].*c.flag = false;
        for (size_t ch = 0; ch < 2; ++ch) {
            EXPECT_EQ(show[ch].channel, expected[ch].channel) << c.id;
            EXPECT_EQ(show[ch].peq, expected[ch].peq) << c.id;
            EXPECT_EQ(show[ch].filter, expected[ch].filter) << c.id;
        }
        EXPECT_TRUE(logic.check_clicked(c.id, true));
        EXPECT_TRUE(show[c.ch].*c.flag);
    }
    EXPECT_FALSE(logic.check_clicked(1058, true));
}

// Flags outlive the page: a new page shows the boxes as they were left.
TEST(FreqRespondLogic, FlagsSurviveANewPage) {
    amp_params params;
    response_show_flags show{};
    {
        recording_view view;
        freq_respond_page_logic logic(params, show, view);
        logic.init();
        logic.check_clicked(idc_show_ch2_peq, false);
    }
    recording_view view;
    freq_respond_page_logic logic(params, show, view);
    logic.init();
    EXPECT_FALSE(view.checks.at(idc_show_ch2_peq));
    EXPECT_TRUE(view.checks.at(idc_show_ch2));
}

TEST(FreqRespondLogic, ReloadsOnlyWhenAnAnswerChangedWhatItDraws) {
    amp_params params;
    params.replace(one_band_block(52));
    response_show_flags show{};
    recording_view view;
    freq_respond_page_logic logic(params, show, view);
    logic.init();

    // A change of fields it does not draw leaves it alone.
    params.replace(one_band_block(60));
    logic.params_changed(field_bit(param_field::master_volume));
    EXPECT_EQ(logic.channels()[0].bands[0].gain, 6);

    const int repaints = view.invalidations;
    logic.params_changed(field_bit(param_field::peq_ch1_gain));
    EXPECT_EQ(logic.channels()[0].bands[0].gain, 10);
    EXPECT_GT(view.invalidations, repaints);

    // The window was resized meanwhile: the next reload takes the new rectangle.
    view.h = 500;
    logic.params_changed(field_bit(param_field::hpf_ch1_freq));
    EXPECT_EQ(logic.axes().bottom, 450);
}

TEST(ItemText, FormatsWithAPointWhateverTheLocale) {
    recording_view view;
    set_item_int(view, 1035, 23000);
    set_item_tenths(view, 1040, -3.5);
    set_item_hundredths(view, 1045, 0.707);
    EXPECT_EQ(view.texts[1035], "23000");
    EXPECT_EQ(view.texts[1040], "-3.5");
    EXPECT_EQ(view.texts[1045], "0.71");
    set_item_tenths(view, 1040, 20);
    set_item_hundredths(view, 1045, 40);
    EXPECT_EQ(view.texts[1040], "20.0");
    EXPECT_EQ(view.texts[1045], "40.00");
    // Qt sets the process locale from the environment; a comma locale must not leak in.
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) {
        set_item_tenths(view, 1040, 3.5);
        EXPECT_EQ(view.texts[1040], "3.5");
        std::setlocale(LC_NUMERIC, "C");
    }
}

}  // namespace
}  // namespace tavrin
