#include "pages/freq_respond_page_qt.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QImage>
#include <QTest>

#include "graph_pixels.h"
#include "pages/graph_style.h"
#include "tests/support/qt_test_app.h"

namespace tavrin {
namespace {

namespace style = graph_style;
using testing::count;

// Everything a page works with, none of it connected.
struct fake_context {
    link_view flags;
    selected_device device;
    command_ring ring{flags};
    amp_params params;
    session_events events;
    fake_time time;
    page_shared shared;
    page_context ctx{flags, device, ring, params, events, time, shared, "."};
};

// Channel 1: two +20 dB bands at 1 kHz (+40 dB, above the plot); channel 2 flat.
param_block peak_block() {
    param_block b{};
    for (int k = 0; k < 2; ++k) {
        b[22 + k] = 1;     // enabled
        b[27 + k] = 80;    // +20 dB
        b[37 + k] = 200;   // Q 2.00
        b[42 + k] = 0x03;  // 1000 Hz
        b[47 + k] = 0xE8;
    }
    return b;
}

QImage render(QWidget& page) {
    return page.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

TEST(FreqRespondPage, BuildsTheSixBoxesAndDrawsBothChannels) {
    testing::qt_app();
    fake_context f;
    f.params.replace(peak_block());
    response_show_flags show{};
    freq_respond_page page(f.ctx, show, nullptr);

    const int ids[] = {1059, 1060, 1061, 1062, 1063, 1064};
    const char* captions[] = {"CH 1", "PEQ", "Filter", "CH 2", "PEQ", "Filter"};
    for (int i = 0; i < 6; ++i) {
        auto* box = page.findChild<QCheckBox*>(control_name(ids[i]));
        ASSERT_NE(box, nullptr) << ids[i];
        EXPECT_EQ(box->text(), QString::fromUtf8(captions[i]));
        EXPECT_TRUE(box->isChecked());
        // Above the plot.
        EXPECT_LT(box->geometry().bottom(), page.logic().axes().top);
    }
    const graph_axes a = page.logic().axes();
    EXPECT_EQ(a, freq_respond_graph_axes(page.width(), page.height()));

    const QImage img = render(page);
    const int x1k = freq_to_x(1000, a);
    const int x100 = freq_to_x(100, a);
    // Channel 1 leaves a gap where it rises above +25 dB; channel 2 lies on 0 dB.
    EXPECT_EQ(count(img, style::response_ch1, x1k - 2, 0, x1k + 2, img.height() - 1), 0);
    EXPECT_GT(count(img, style::response_ch1, x100, a.top, x100, a.bottom), 0);
    EXPECT_EQ(count(img, style::response_ch1, 0, 0, img.width() - 1, a.top - 1), 0);
    const int zero = db_to_y(0, a);
    EXPECT_GT(count(img, style::response_ch2, x1k, zero - 1, x1k, zero + 1), 0);
}

TEST(FreqRespondPage, CheckBoxesChooseTheCurves) {
    testing::qt_app();
    fake_context f;
    f.params.replace(peak_block());
    response_show_flags show{};
    freq_respond_page page(f.ctx, show, nullptr);
    page.show();
    const graph_axes a = page.logic().axes();
    const int x1k = freq_to_x(1000, a);
    const int zero = db_to_y(0, a);
    auto box = [&](int id) { return page.findChild<QCheckBox*>(control_name(id)); };

    // Channel 2's boxes act on channel 2 only; without "CH 2" its curve is gone.
    QTest::mouseClick(box(idc_show_ch2), Qt::LeftButton);
    EXPECT_FALSE(show[1].channel);
    EXPECT_TRUE(show[1].peq && show[1].filter && show[0].channel && show[0].peq);
    QImage img = render(page);
    EXPECT_EQ(count(img, style::response_ch2), 0);
    EXPECT_EQ(count(img, style::response_ch1, x1k, 0, x1k, img.height() - 1), 0);

    // Without its EQ channel 1 is flat on 0 dB, right through 1 kHz.
    QTest::mouseClick(box(idc_show_ch1_peq), Qt::LeftButton);
    EXPECT_FALSE(show[0].peq);
    img = render(page);
    EXPECT_GT(count(img, style::response_ch1, x1k, zero - 1, x1k, zero + 1), 0);

    // Without "CH 1" channel 1 is gone too.
    QTest::mouseClick(box(idc_show_ch1), Qt::LeftButton);
    EXPECT_FALSE(show[0].channel);
    img = render(page);
    EXPECT_EQ(count(img, style::response_ch1), 0);
    QTest::mouseClick(box(idc_show_ch1), Qt::LeftButton);
    QTest::mouseClick(box(idc_show_ch1_peq), Qt::LeftButton);
    EXPECT_TRUE(show[0].channel && show[0].peq);

    // An answer that changed the bands shows at once.
    param_block b = f.params.snapshot();
    b[52] = 1, b[57] = 60, b[67] = 100, b[72] = 0x03, b[77] = 0xE8;  // ch2: +10 dB at 1 kHz
    f.params.replace(b);
    page.params_changed(field_bit(param_field::peq_ch2_gain));
    QTest::mouseClick(box(idc_show_ch2), Qt::LeftButton);
    img = render(page);
    EXPECT_GT(
        count(img, style::response_ch2, x1k - 1, db_to_y(10, a) - 1, x1k + 1, db_to_y(10, a) + 1),
        0);
}

TEST(FreqRespondPage, TheProgramWideFlagsOutliveThePage) {
    testing::qt_app();
    fake_context f;
    response_show_flags& flags = freq_respond_show_flags();
    {
        std::unique_ptr<QWidget> page(make_freq_respond_page(f.ctx, nullptr));
        page->findChild<QCheckBox*>(control_name(idc_show_ch2_filter))->click();
    }
    EXPECT_FALSE(flags[1].filter);
    std::unique_ptr<QWidget> page(make_freq_respond_page(f.ctx, nullptr));
    EXPECT_FALSE(page->findChild<QCheckBox*>(control_name(idc_show_ch2_filter))->isChecked());
    flags[1].filter = true;
}

}  // namespace
}  // namespace tavrin
