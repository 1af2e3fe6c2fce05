#include "pages/peq_page_qt.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "graph_pixels.h"
#include "page_fixture.h"
#include "tests/support/qt_test_app.h"

namespace tavrin {
namespace {

using bytes = std::vector<uint8_t>;
using testing::connected_context;
namespace style = graph_style;

bytes eq(uint8_t ch, uint8_t band, uint8_t gain, uint8_t flag_hi, uint8_t lo, uint8_t q_hi,
         uint8_t q_lo) {
    return {0x4A, 0x01, 0x01, ch, 0xFF, band, 0xFF, gain, flag_hi, lo, q_hi, q_lo};
}

// Channel 1 band 1 on at 1 kHz, 0 dB, Q 1.
param_block one_band() {
    param_block b{};
    b[22] = 1, b[27] = 40, b[37] = 100, b[42] = 0x03, b[47] = 0xE8;
    return b;
}

QLineEdit* edit(QWidget& page, int id) {
    return page.findChild<QLineEdit*>(control_name(id));
}

TEST(PeqPageWidget, BuildsTheBandColumnsBelowTheGraph) {
    testing::qt_app();
    connected_context c;
    peq_page page(c.ctx, nullptr);
    const int bottom = page.logic().axes().bottom;
    for (int k = 0; k < 5; ++k) {
        auto* box = page.findChild<QCheckBox*>(control_name(idc_peq_enable + k));
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), "Enable");
        EXPECT_GT(box->geometry().top(), bottom);
        for (int id : {idc_peq_freq + k, idc_peq_gain + k, idc_peq_q + k}) {
            ASSERT_NE(edit(page, id), nullptr) << id;
            EXPECT_EQ(edit(page, id)->alignment() & Qt::AlignRight, Qt::AlignRight);
        }
    }
    EXPECT_EQ(page.findChild<QRadioButton*>(control_name(idc_peq_ch1))->text(), "CH 1");
    EXPECT_TRUE(page.findChild<QRadioButton*>(control_name(idc_peq_ch1))->isChecked());
    EXPECT_EQ(page.findChild<QRadioButton*>(control_name(idc_peq_ch2))->text(), "CH 2");
    QStringList labels;
    for (auto* l : page.findChildren<QLabel*>())
        labels << l->text();
    EXPECT_TRUE(labels.contains("Frequency (Hz)") && labels.contains("Gain (dB)") &&
                labels.contains("Q-factor"));
    EXPECT_EQ(page.logic().axes(), peq_graph_axes(page.width(), page.height()));
    // Scripts find the graph on the page and place "1000hz" and "+6db" by its axes.
    const found_graph graph = find_graph(&page);
    ASSERT_EQ(graph.widget, &page);
    EXPECT_EQ(graph.mapping->graph_x(1000), freq_to_x(1000, page.logic().axes()));
    EXPECT_EQ(graph.mapping->graph_y(6), db_to_y(6, page.logic().axes()));
    EXPECT_EQ(edit(page, idc_peq_freq)->text(), "1000");
    EXPECT_EQ(edit(page, idc_peq_q)->text(), "0.71");
}

TEST(PeqPageWidget, TypedValuesGoOutOnEnter) {
    testing::qt_app();
    connected_context c;
    peq_page page(c.ctx, nullptr);
    page.show();

    QLineEdit* freq = edit(page, idc_peq_freq + 1);
    freq->clear();
    // Only digits reach a frequency edit.
    QTest::keyClicks(freq, "1a-.2");
    EXPECT_EQ(freq->text(), "12");
    QTest::keyClick(freq, Qt::Key_Backspace);
    QTest::keyClick(freq, Qt::Key_Return);
    EXPECT_EQ(freq->text(), "10");

    // A gain is typed in four characters, and shown in five.
    QLineEdit* gain = edit(page, idc_peq_gain);
    gain->clear();
    QTest::keyClicks(gain, "-12.5");
    EXPECT_EQ(gain->text(), "-12.");
    QTest::keyClick(gain, Qt::Key_Enter);
    EXPECT_EQ(gain->text(), "-12.0");
    gain->clear();
    QTest::keyClicks(gain, "-25");
    QTest::keyClick(gain, Qt::Key_Enter);
    EXPECT_EQ(gain->text(), "-20.0");

    EXPECT_EQ(c.sent(), (std::vector<bytes>{eq(1, 1, 0xFF, 0x00, 0x0A, 0xFF, 0xFF),
                                            eq(1, 0, 16, 0x7F, 0xFF, 0xFF, 0xFF),
                                            eq(1, 0, 0, 0x7F, 0xFF, 0xFF, 0xFF)}));
}

TEST(PeqPageWidget, TypedValuesGoOutOnTabAndFocusLoss) {
    testing::qt_app();
    connected_context c;
    peq_page page(c.ctx, nullptr);
    page.show();
    page.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&page));

    // The focus moving to another edit applies the one left.
    QLineEdit* q = edit(page, idc_peq_q + 4);
    q->setFocus();
    q->clear();
    QTest::keyClicks(q, "50");
    edit(page, idc_peq_q)->setFocus();
    EXPECT_EQ(q->text(), "40.00");
    EXPECT_EQ(c.sent(), (std::vector<bytes>{eq(1, 4, 0xFF, 0x7F, 0xFF, 0x0F, 0xA0)}));

    // Tab applies too, once: the focus loss that follows adds nothing.
    QLineEdit* q2 = edit(page, idc_peq_q + 1);
    q2->setFocus();
    c.sent();
    q2->clear();
    QTest::keyClicks(q2, "2");
    QTest::keyClick(q2, Qt::Key_Tab);
    EXPECT_FALSE(q2->hasFocus());
    EXPECT_EQ(c.sent(), (std::vector<bytes>{eq(1, 1, 0xFF, 0x7F, 0xFF, 0x00, 200)}));
}

TEST(PeqPageWidget, BoxesAndChannelButtons) {
    testing::qt_app();
    connected_context c;
    c.params.replace(one_band());
    peq_page page(c.ctx, nullptr);
    page.show();
    QTest::mouseClick(page.findChild<QCheckBox*>(control_name(idc_peq_enable + 2)), Qt::LeftButton);
    QTest::mouseClick(page.findChild<QRadioButton*>(control_name(idc_peq_ch2)), Qt::LeftButton);
    EXPECT_EQ(c.shared.selected_channel, 2);
    // Channel 2 is all zeros: band 1 off, 1000 Hz shown.
    EXPECT_FALSE(page.findChild<QCheckBox*>(control_name(idc_peq_enable))->isChecked());
    EXPECT_TRUE(page.findChild<QRadioButton*>(control_name(idc_peq_ch2))->isChecked());
    EXPECT_FALSE(page.findChild<QRadioButton*>(control_name(idc_peq_ch1))->isChecked());
    EXPECT_EQ(c.sent(), (std::vector<bytes>{eq(1, 2, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF)}));
}

TEST(PeqPageWidget, DraggingAPointOnThePageSendsItOnRelease) {
    testing::qt_app();
    connected_context c;
    c.params.replace(one_band());
    peq_page page(c.ctx, nullptr);
    page.show();
    // The drawing places the point: the band's dot sits on the 0 dB row at 1 kHz.
    const QImage img = page.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const graph_axes a = page.logic().axes();
    const QPoint point(freq_to_x(1000, a), db_to_y(0, a));
    EXPECT_TRUE(testing::is(img, point.x(), point.y(), style::peq_point));
    EXPECT_EQ(page.logic().bands()[0].point_x, point.x());

    const QPoint to(freq_to_x(2000, a), db_to_y(6, a));
    QTest::mousePress(&page, Qt::LeftButton, {}, point);
    QTest::mouseMove(&page, to);
    EXPECT_TRUE(c.sent().empty());
    EXPECT_EQ(edit(page, idc_peq_gain)->text().toStdString(),
              std::to_string(static_cast<int>(2 * y_to_db(to.y(), a)) / 2) + ".0");
    QTest::mouseRelease(&page, Qt::LeftButton, {}, to);
    const int hz = static_cast<int>(x_to_freq(to.x(), a));
    const auto sent = c.sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0][9] | ((sent[0][8] & 0x7F) << 8), hz);
    EXPECT_EQ(sent[0][8] & 0x80, 0x80);
    EXPECT_EQ(edit(page, idc_peq_freq)->text(), QString::number(hz));
}

TEST(PeqPageWidget, AnEditLosingTheFocusAsThePageGoesAppliesNothing) {
    testing::qt_app();
    connected_context c;
    QWidget window;
    auto* page = new peq_page(c.ctx, &window);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QLineEdit* freq = edit(*page, idc_peq_freq);
    freq->setFocus();
    ASSERT_TRUE(freq->hasFocus());
    freq->setText("440");
    delete page;
    EXPECT_TRUE(c.sent().empty());
}

}  // namespace
}  // namespace tavrin
