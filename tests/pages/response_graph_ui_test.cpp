#include "pages/response_graph_qt.h"

#include <gtest/gtest.h>

#include <QImage>

#include "graph_pixels.h"
#include "pages/graph_style.h"
#include "tests/support/qt_test_app.h"

namespace tavrin {
namespace {

namespace style = graph_style;
using testing::count;
using testing::is;

constexpr style::rgb page_background{240, 240, 240};

class GraphImage : public ::testing::Test {
  protected:
    void SetUp() override { testing::qt_app(); }

    QImage blank(int w, int h) {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(QColor(page_background.r, page_background.g, page_background.b));
        return img;
    }

    // A row halfway between two dB rows, clear of every tick.
    static int between_rows(const graph_axes& a, double db) {
        return (db_to_y(db, a) + db_to_y(db - 1, a)) / 2;
    }
    // A column halfway between the 20 and 30 Hz grid lines.
    static int between_columns(const graph_axes& a) {
        return (freq_to_x(20, a) + freq_to_x(30, a)) / 2;
    }
};

// The frame, the level grid and the frequency grid, the same on all three graphs.
TEST_F(GraphImage, FrameAndGridOnEveryGraph) {
    for (int kind = 0; kind < 3; ++kind) {
        QImage img = blank(641, 500);
        graph_axes a;
        {
            QPainter p(&img);
            if (kind == 0) {
                a = peq_graph_axes(641, 500);
                graph::peq_bands bands{};
                draw_peq_graph(p, bands, a);
            } else if (kind == 1) {
                a = filter_graph_axes(641, 500);
                graph::filter_pair f{};
                draw_filter_graph(p, f, a);
            } else {
                a = freq_respond_graph_axes(641, 500);
                draw_response_graph(p, {}, {channel_show{false}, channel_show{false}}, a);
            }
        }
        SCOPED_TRACE(kind);
        const int row = between_rows(a, -12);
        const int column = between_columns(a);
        EXPECT_TRUE(is(img, a.left, row, style::frame));
        EXPECT_TRUE(is(img, a.right, row, style::frame));
        EXPECT_TRUE(is(img, column, a.top - 1, style::frame));
        EXPECT_TRUE(is(img, column, a.bottom - 1, style::frame));
        EXPECT_TRUE(is(img, a.left - 3, row, page_background));  // nothing outside

        // Every 5 dB a full line, every dB a 7 px tick, nothing between.
        const int y_minus10 = db_to_y(-10, a);
        const int y_minus9 = db_to_y(-9, a);
        EXPECT_TRUE(is(img, column, y_minus10, style::grid));
        EXPECT_TRUE(is(img, a.right - 2, y_minus10, style::grid));
        EXPECT_TRUE(is(img, a.left + 5, y_minus9, style::grid));
        EXPECT_TRUE(is(img, a.left + 9, y_minus9, page_background));
        EXPECT_TRUE(is(img, column, row, page_background));
        // A vertical line at each grid frequency, e.g. 1 kHz.
        EXPECT_TRUE(is(img, freq_to_x(1000, a), row, style::grid));
        EXPECT_TRUE(is(img, freq_to_x(1000, a) + 2, row, page_background));
    }
}

TEST_F(GraphImage, EqBandPointHandlesAndCurve) {
    const graph_axes a = peq_graph_axes(641, 500);
    graph::peq_bands bands{};
    bands[0].frequency = 1000;
    bands[0].gain = 6;
    bands[0].q = 1;
    bands[0].enabled = true;
    bands[3].frequency = 100;
    bands[3].gain = -8;
    bands[3].q = 3;  // off: neither point nor dip
    QImage img = blank(641, 500);
    {
        QPainter p(&img);
        draw_peq_graph(p, bands, a);
    }
    const graph::peq_band& b = bands[0];
    EXPECT_EQ(b.point_y, db_to_y(6, a));
    EXPECT_TRUE(is(img, b.point_x, b.point_y, style::peq_point));
    EXPECT_TRUE(is(img, b.point_x + 4, b.point_y, style::peq_point));  // a 10 px dot
    EXPECT_TRUE(is(img, b.point_x - 25, b.point_y, style::peq_q_handle));
    EXPECT_TRUE(is(img, b.point_x + 25, b.point_y, style::peq_q_handle));
    EXPECT_TRUE(is(img, b.point_x - 15, b.point_y, style::peq_q_bar));
    EXPECT_EQ(count(img, style::peq_point), count(img, style::peq_point, b.point_x - 6,
                                                  b.point_y - 6, b.point_x + 6, b.point_y + 6));
    // The curve is flat at 0 dB away from the band, the disabled band leaves no dip.
    const int zero = db_to_y(0, a);
    EXPECT_GT(
        count(img, style::peq_curve, freq_to_x(100, a), zero - 1, freq_to_x(100, a), zero + 1), 0);
    EXPECT_EQ(count(img, style::peq_curve, 0, db_to_y(-2, a), img.width() - 1, img.height() - 1),
              0);
}

TEST_F(GraphImage, EqCurveRunsAboveTheFrame) {
    const graph_axes a = peq_graph_axes(641, 700);
    graph::peq_bands bands{};
    for (int k = 0; k < 2; ++k) {
        bands[k].frequency = 1000;
        bands[k].gain = 20;
        bands[k].q = 2;
        bands[k].enabled = true;
    }
    QImage img = blank(641, 700);
    {
        QPainter p(&img);
        draw_peq_graph(p, bands, a);
    }
    // +40 dB lies above the +25 dB top edge; the curve goes there anyway.
    EXPECT_GT(count(img, style::peq_curve, 0, 0, img.width() - 1, a.top - 3), 0);
}

TEST_F(GraphImage, FilterPointsOnlyForEnabledFilters) {
    const graph_axes a = filter_graph_axes(641, 500);
    graph::filter_pair f{};
    f.hp_frequency = 80;
    f.hp_slope = 2;
    f.hp_enabled = true;
    f.lp_frequency = 10000;
    f.lp_slope = 0;
    f.lp_enabled = false;
    QImage img = blank(641, 500);
    {
        QPainter p(&img);
        draw_filter_graph(p, f, a);
    }
    const int zero = db_to_y(0, a);
    EXPECT_TRUE(is(img, freq_to_x(80, a), zero, style::filter_point));
    const int lp = freq_to_x(10000, a);
    EXPECT_EQ(count(img, style::filter_point, lp - 8, zero - 8, lp + 8, zero + 8), 0);
    EXPECT_EQ(count(img, style::filter_point), count(img, style::filter_point, f.hp_point_x - 6,
                                                     zero - 6, f.hp_point_x + 6, zero + 6));
    // The high-pass skirt: 24 dB/oct puts 40 Hz near -24 dB; the low-pass draws flat.
    const int x40 = freq_to_x(40, a);
    EXPECT_GT(count(img, style::filter_curve, x40 - 1, db_to_y(-22, a), x40 + 1, db_to_y(-26, a)),
              0);
    EXPECT_GT(count(img, style::filter_curve, lp, zero - 1, lp, zero + 1), 0);
}

// The Filter graph's numbers sit on the surface's default white; the others on 240 grey.
TEST_F(GraphImage, LabelBackgrounds) {
    const int w = 900, h = 500;
    QImage peq = blank(w, h);
    QImage filter = blank(w, h);
    {
        QPainter p(&peq);
        graph::peq_bands bands{};
        draw_peq_graph(p, bands, peq_graph_axes(w, h));
        QPainter q(&filter);
        graph::filter_pair f{};
        draw_filter_graph(q, f, filter_graph_axes(w, h));
    }
    const style::rgb white{255, 255, 255};
    const graph_axes a = filter_graph_axes(w, h);
    EXPECT_GT(count(filter, white, a.left - 40, db_to_y(-40, a) - 10, a.left - 5, a.bottom + 10),
              0);
    EXPECT_GT(count(filter, white, 0, a.bottom + 5, w - 1, h - 1), 0);  // "20" ... "Hz"
    EXPECT_EQ(count(peq, white), 0);
}

TEST_F(GraphImage, ResponseChannelsInTheirColours) {
    const graph_axes a = freq_respond_graph_axes(641, 500);
    std::array<channel_data, 2> ch{};
    ch[1].bands[0] = {1000, 10, 1, true};
    QImage img = blank(641, 500);
    {
        QPainter p(&img);
        draw_response_graph(p, ch, {channel_show{false}, channel_show{}}, a);
    }
    const int x = freq_to_x(1000, a);
    EXPECT_GT(count(img, style::response_ch2, x - 1, db_to_y(10, a) - 1, x + 1, db_to_y(10, a) + 1),
              0);
    EXPECT_EQ(count(img, style::response_ch1), 0);

    // Channel 1 shown too, flat: its colour on the 0 dB row.
    img = blank(641, 500);
    {
        QPainter p(&img);
        draw_response_graph(p, ch, {channel_show{}, channel_show{}}, a);
    }
    const int x100 = freq_to_x(100, a);
    EXPECT_GT(count(img, style::response_ch1, x100, db_to_y(0, a) - 1, x100, db_to_y(0, a) + 1), 0);
}

}  // namespace
}  // namespace tavrin
