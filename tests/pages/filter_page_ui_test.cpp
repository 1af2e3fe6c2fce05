#include "pages/filter_page_qt.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
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

bytes flt(uint8_t ch, uint8_t kind, uint8_t flag_hi, uint8_t lo, uint8_t slope) {
    return {0x22, 0x01, 0x01, ch, kind, flag_hi, lo, slope};
}

// Channel 1: high-pass on at 100 Hz, 24 dB/oct; low-pass off at 10 kHz.
param_block filters() {
    param_block b{};
    b[4] = 1, b[5] = 0, b[6] = 100, b[7] = 2;
    b[8] = 0, b[9] = 0x27, b[10] = 0x10, b[11] = 0;
    return b;
}

template <typename T>
T* item(QWidget& page, int id) {
    return page.findChild<T*>(control_name(id));
}

TEST(FilterPageWidget, BuildsItsControlsAndShowsTheChannel) {
    testing::qt_app();
    connected_context c;
    c.params.replace(filters());
    filter_page page(c.ctx, nullptr);
    EXPECT_EQ(item<QCheckBox>(page, idc_hpf_enable)->text(), "High-Pass Filter");
    EXPECT_EQ(item<QCheckBox>(page, idc_lpf_enable)->text(), "Low-Pass Filter");
    EXPECT_TRUE(item<QCheckBox>(page, idc_hpf_enable)->isChecked());
    EXPECT_FALSE(item<QCheckBox>(page, idc_lpf_enable)->isChecked());
    EXPECT_EQ(item<QLineEdit>(page, idc_hpf_freq)->text(), "100");
    EXPECT_EQ(item<QLineEdit>(page, idc_lpf_freq)->text(), "10000");
    for (int id : {idc_hpf_slope, idc_lpf_slope}) {
        QComboBox* list = item<QComboBox>(page, id);
        ASSERT_EQ(list->count(), 5);
        EXPECT_EQ(list->itemText(0), "12 dB/oct");
        EXPECT_EQ(list->itemText(4), "36 dB/oct");
        EXPECT_GT(list->geometry().top(), page.logic().axes().bottom);
    }
    EXPECT_EQ(item<QComboBox>(page, idc_hpf_slope)->currentIndex(), 2);
    EXPECT_EQ(item<QComboBox>(page, idc_lpf_slope)->currentIndex(), 0);
    EXPECT_TRUE(item<QRadioButton>(page, idc_filter_ch1)->isChecked());
    // The gain edit and its labels exist but are never shown.
    page.show();
    EXPECT_FALSE(item<QLineEdit>(page, idc_filter_gain)->isVisible());
    for (auto* l : page.findChildren<QLabel*>()) {
        if (l->text() == "Gain" || l->text() == "dB")
            EXPECT_FALSE(l->isVisible());
        else
            EXPECT_TRUE(l->isVisible()) << l->text().toStdString();
    }
    EXPECT_EQ(page.logic().axes(), filter_graph_axes(page.width(), page.height()));
    const found_graph graph = find_graph(&page);
    ASSERT_EQ(graph.widget, &page);
    EXPECT_EQ(graph.mapping->graph_y(-40), page.logic().axes().bottom);
    // A refresh refills the lists rather than adding to them.
    item<QRadioButton>(page, idc_filter_ch2)->click();
    item<QRadioButton>(page, idc_filter_ch1)->click();
    EXPECT_EQ(item<QComboBox>(page, idc_lpf_slope)->count(), 5);
    EXPECT_TRUE(c.sent().empty());
}

TEST(FilterPageWidget, ControlsSendTheirCommands) {
    testing::qt_app();
    connected_context c;
    c.params.replace(filters());
    filter_page page(c.ctx, nullptr);
    page.show();

    QTest::mouseClick(item<QCheckBox>(page, idc_lpf_enable), Qt::LeftButton);
    // A slope chosen with the keys on the closed list counts as chosen.
    QComboBox* slope = item<QComboBox>(page, idc_lpf_slope);
    QTest::keyClick(slope, Qt::Key_Down);
    EXPECT_EQ(slope->currentIndex(), 1);
    QLineEdit* freq = item<QLineEdit>(page, idc_hpf_freq);
    freq->clear();
    QTest::keyClicks(freq, "20000");
    QTest::keyClick(freq, Qt::Key_Return);
    EXPECT_EQ(freq->text(), "16000");
    EXPECT_EQ(c.sent(), (std::vector<bytes>{flt(1, 2, 0xFF, 0xFF, 0xFF), flt(1, 2, 0xFF, 0xFF, 1),
                                            flt(1, 1, 0xBE, 0x80, 0xFF)}));
    // Programmatic refills send nothing.
    QTest::mouseClick(item<QRadioButton>(page, idc_filter_ch2), Qt::LeftButton);
    EXPECT_EQ(c.shared.selected_channel, 2);
    EXPECT_TRUE(c.sent().empty());
}

TEST(FilterPageWidget, DraggingThePointMovesItSidewaysAndSendsOnRelease) {
    testing::qt_app();
    connected_context c;
    c.params.replace(filters());
    filter_page page(c.ctx, nullptr);
    page.show();
    const QImage img = page.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const graph_axes a = page.logic().axes();
    const QPoint point(freq_to_x(100, a), db_to_y(0, a));
    EXPECT_TRUE(testing::is(img, point.x(), point.y(), style::filter_point));
    // The low-pass is off: no point of its own.
    EXPECT_FALSE(testing::is(img, freq_to_x(10000, a), point.y(), style::filter_point));

    const QPoint to(freq_to_x(1000, a), db_to_y(-20, a));
    QTest::mousePress(&page, Qt::LeftButton, {}, point);
    QTest::mouseMove(&page, to);
    const int hz = static_cast<int>(x_to_freq(to.x(), a));
    EXPECT_EQ(item<QLineEdit>(page, idc_hpf_freq)->text(), QString::number(hz));
    EXPECT_TRUE(c.sent().empty());
    QTest::mouseRelease(&page, Qt::LeftButton, {}, to);
    EXPECT_EQ(c.sent(), (std::vector<bytes>{flt(1, 1, static_cast<uint8_t>(0x80 | (hz >> 8)),
                                                static_cast<uint8_t>(hz & 0xFF), 0xFF)}));
    // It stays on the 0 dB line.
    const QImage after = page.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(testing::is(after, freq_to_x(hz, a), point.y(), style::filter_point));
}

}  // namespace
}  // namespace tavrin
