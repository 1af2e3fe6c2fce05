#include "pages/graph_axes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "pages/log_sweep.h"

namespace tavrin {
namespace {

graph_axes worked_axes() {
    graph_axes a;
    a.left = 30;
    a.right = 630;
    a.top = 10;
    a.bottom = 300;
    a.max_db = 10;
    a.min_db = -40;
    a.fmax = 23000;
    a.fmin = 10;
    return a;
}

TEST(GraphAxes, WorkedExample) {
    const graph_axes a = worked_axes();
    EXPECT_EQ(freq_to_x(1000, a), 386);
    EXPECT_NEAR(x_to_freq(386, a), 987.7, 0.05);
    EXPECT_EQ(freq_to_x(20, a), 83);
    EXPECT_EQ(freq_to_x(20000, a), 619);
    EXPECT_EQ(freq_to_x(10, a), 30);
    EXPECT_EQ(freq_to_x(23000, a), 630);
    EXPECT_EQ(db_to_y(0, a), 68);
    EXPECT_EQ(db_to_y(-3, a), 85);
    EXPECT_EQ(db_to_y(-40, a), 300);
    EXPECT_EQ(db_to_y(10, a), 10);
    EXPECT_DOUBLE_EQ(y_to_db(300, a), -40);
    EXPECT_DOUBLE_EQ(y_to_db(10, a), 10);
    EXPECT_DOUBLE_EQ(x_to_freq(30, a), 10);
}

// Columns are truncated, so the way back lands at or just below the frequency, never
// a column's width below it.
TEST(GraphAxes, ColumnRoundTripStaysAtOrBelow) {
    const graph_axes a = worked_axes();
    for (double f = 10; f <= 23000; f *= 1.0137) {
        const double back = x_to_freq(freq_to_x(f, a), a);
        EXPECT_LE(back, f * (1 + 1e-12)) << f;
        EXPECT_EQ(freq_to_x(back * (1 + 1e-12), a), freq_to_x(f, a)) << f;
    }
    for (int y = a.top; y <= a.bottom; ++y)
        EXPECT_EQ(db_to_y(y_to_db(y, a) - 1e-9, a), y) << y;
}

TEST(GraphAxes, UnusableValuesStayOffThePlot) {
    const graph_axes a = worked_axes();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_LT(freq_to_x(0, a), -10000);  // log10(0) = -inf
    EXPECT_GT(freq_to_x(1e300, a), 10000);
    EXPECT_GT(db_to_y(-inf, a), a.bottom);
    EXPECT_LT(db_to_y(inf, a), a.top);
    EXPECT_GT(db_to_y(std::nan(""), a), a.bottom);
    EXPECT_GT(freq_to_x(-5, a), a.right);  // log10 of a negative is NaN
}

TEST(GraphAxes, EachGraphsRectangleAndRange) {
    const graph_axes peq = peq_graph_axes(1000, 600);
    EXPECT_EQ(peq.left, 50);
    EXPECT_EQ(peq.top, 15);  // trunc(15.702)
    EXPECT_EQ(peq.right, 983);
    EXPECT_EQ(peq.bottom, 345);  // trunc(345.54)
    EXPECT_EQ(peq.max_db, 25);
    EXPECT_EQ(peq.min_db, -25);
    const graph_axes filter = filter_graph_axes(1000, 600);
    EXPECT_EQ(filter.top, peq.top);
    EXPECT_EQ(filter.bottom, peq.bottom);
    EXPECT_EQ(filter.max_db, 10);
    EXPECT_EQ(filter.min_db, -40);
    const graph_axes fr = freq_respond_graph_axes(641, 381);
    EXPECT_EQ(fr.left, 32);
    EXPECT_EQ(fr.top, 38);
    EXPECT_EQ(fr.right, 630);
    EXPECT_EQ(fr.bottom, 342);
    for (const graph_axes* a : {&peq, &filter, &fr}) {
        EXPECT_EQ(a->fmin, 10);
        EXPECT_EQ(a->fmax, 23000);
    }
}

TEST(LogSweep, ThreeHundredSeventySixPointsFromTenHertz) {
    const auto& sweep = log_sweep();
    EXPECT_DOUBLE_EQ(sweep.front(), 10.0);
    // The running exponent ends just below 4.75: about 56.2 kHz, included.
    EXPECT_NEAR(sweep.back(), 56234.1, 0.5);
    EXPECT_NEAR(sweep[100], 100.0, 1e-9);
    for (size_t i = 1; i < sweep.size(); ++i)
        EXPECT_NEAR(sweep[i] / sweep[i - 1], std::pow(10.0, 0.01), 1e-9) << i;
}

}  // namespace
}  // namespace tavrin
