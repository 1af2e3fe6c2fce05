#include "pages/graph_trace.h"

#include <gtest/gtest.h>

#include <vector>

#include "pages/graph_records.h"
#include "pages/log_sweep.h"

namespace tavrin {
namespace {

struct recorded_path : path_sink {
    struct step {
        bool move;
        int x, y;
    };
    std::vector<step> steps;
    void move_to(int x, int y) override { steps.push_back({true, x, y}); }
    void line_to(int x, int y) override { steps.push_back({false, x, y}); }
    int moves() const {
        int n = 0;
        for (const step& s : steps)
            n += s.move;
        return n;
    }
};

graph_axes response_axes() {
    return freq_respond_graph_axes(641, 381);  // plot 32..630 x 38..342, +-25 dB
}

TEST(LevelGrid, OneRowPerDecibelWithNumbersEveryFive) {
    for (auto [top_db, bottom_db] : {std::pair{25.0, -25.0}, std::pair{10.0, -40.0}}) {
        for (int height : {300, 301, 317, 599}) {
            graph_axes a;
            a.left = 30, a.right = 630, a.top = 11, a.bottom = 11 + height;
            a.max_db = top_db, a.min_db = bottom_db;
            std::vector<level_row> rows;
            for_each_level_row(a, [&](const level_row& r) { rows.push_back(r); });
            ASSERT_EQ(rows.size(), 51u) << height;
            EXPECT_EQ(rows.front().value, bottom_db);
            EXPECT_EQ(rows.front().y, a.bottom);
            EXPECT_EQ(rows.back().value, top_db) << height;
            EXPECT_EQ(rows.back().y, a.top) << height;
            std::vector<int> numbers;
            for (const level_row& r : rows) {
                if (r.full)
                    numbers.push_back(r.value);
                // The number's box starts about three quarters of a dB above its row.
                EXPECT_NEAR(r.label_top, r.y - 0.75 * height / 50.0, 2.0);
            }
            ASSERT_EQ(numbers.size(), 11u);
            for (size_t i = 0; i < numbers.size(); ++i)
                EXPECT_EQ(numbers[i], bottom_db + 5 * static_cast<int>(i));
        }
    }
}

TEST(PeqCurve, StartsAtTenHertzAndLeavesOutPointsBelowOrRightOfThePlot) {
    const graph_axes a = peq_graph_axes(641, 500);
    band_set bands{};
    bands[0] = {1000, -20, 4, true};
    bands[1] = {1000, -20, 4, true};  // -40 dB at 1 kHz: below the plot
    bands[2] = {60, 20, 1, true};
    bands[3] = {60, 20, 1, true};  // +40 dB: above the top, still drawn
    recorded_path path;
    trace_peq_curve(bands, a, path);
    ASSERT_FALSE(path.steps.empty());
    EXPECT_TRUE(path.steps.front().move);
    EXPECT_EQ(path.steps.front().x, a.left);
    EXPECT_EQ(path.moves(), 1);
    bool above = false;
    for (size_t i = 1; i < path.steps.size(); ++i) {
        EXPECT_LE(path.steps[i].x, a.right);
        EXPECT_LE(path.steps[i].y, a.bottom);
        above = above || path.steps[i].y < a.top;
    }
    EXPECT_TRUE(above);
    // Fewer lines than sweep points: the dip and the points past 23 kHz are left out.
    EXPECT_LT(path.steps.size(), sweep_points);
}

TEST(FilterCurve, OneColumnAtATimeFromTheRightOnlyInsideTheBottom) {
    const graph_axes a = filter_graph_axes(641, 500);
    filter_params f;
    f.hp_on = true;
    f.hp_freq = 1000;
    f.hp_slope = 4;
    recorded_path path;
    trace_filter_curve(f, a, path);
    ASSERT_FALSE(path.steps.empty());
    EXPECT_EQ(path.moves(), 1);
    EXPECT_EQ(path.steps.front().x, a.right);
    EXPECT_EQ(path.steps.front().y, db_to_y(0, a));
    for (size_t i = 1; i < path.steps.size(); ++i) {
        EXPECT_LT(path.steps[i].x, path.steps[i - 1].x);
        EXPECT_LE(path.steps[i].y, a.bottom);
    }
    // 36 dB/oct reaches the -40 dB bottom well before 10 Hz.
    EXPECT_GT(path.steps.back().x, a.left + 50);

    // Both filters off: the flat line at the level across every column.
    recorded_path flat;
    trace_filter_curve(filter_params{}, a, flat);
    EXPECT_EQ(flat.steps.size(), static_cast<size_t>(a.right - a.left + 1));
    for (const auto& s : flat.steps)
        EXPECT_EQ(s.y, db_to_y(0, a));
}

TEST(ResponseCurve, GapsWhereTheCurveLeavesThePlot) {
    const graph_axes a = response_axes();
    channel_data ch{};
    ch.bands[0] = {1000, 20, 2, true};
    ch.bands[1] = {1000, 20, 2, true};  // +40 dB around 1 kHz
    recorded_path path;
    trace_response_curve(ch, channel_show{}, a, path);
    // Two strokes: up to the rise above +25 dB, and after it comes back.
    EXPECT_EQ(path.moves(), 2);
    for (const auto& s : path.steps) {
        EXPECT_GE(s.y, a.top);
        EXPECT_LE(s.y, a.bottom);
        EXPECT_GE(s.x, a.left);
        EXPECT_LE(s.x, a.right);
        // The sum exceeds +25 dB between about 850 Hz and 1.2 kHz.
        const bool near_peak = s.x >= freq_to_x(900, a) && s.x <= freq_to_x(1100, a);
        EXPECT_FALSE(near_peak) << s.x;
    }
}

TEST(ResponseCurve, ShowFlagsChooseWhatTheCurveHolds) {
    const graph_axes a = response_axes();
    channel_data ch{};
    ch.bands[0] = {1000, 6, 1, true};
    ch.filters.hp_on = true;
    ch.filters.hp_freq = 100;
    ch.filters.hp_slope = 0;

    recorded_path flat;
    trace_response_curve(ch, {true, false, false}, a, flat);
    EXPECT_EQ(flat.moves(), 1);
    for (const auto& s : flat.steps)
        EXPECT_EQ(s.y, db_to_y(0, a));

    recorded_path hidden;
    trace_response_curve(ch, {false, true, true}, a, hidden);
    EXPECT_TRUE(hidden.steps.empty());

    // Drawn rows agree with the complete response that tavrin-cli prints.
    recorded_path full;
    trace_response_curve(ch, channel_show{}, a, full);
    const channel_response_curve curve = channel_response(ch);
    size_t step = 0;
    for (const response_point& p : curve) {
        const int x = freq_to_x(p.freq, a), y = db_to_y(p.db, a);
        if (x > a.right || y < a.top || y > a.bottom)
            continue;
        ASSERT_LT(step, full.steps.size());
        EXPECT_EQ(full.steps[step].x, x);
        EXPECT_EQ(full.steps[step].y, y);
        ++step;
    }
    EXPECT_EQ(step, full.steps.size());
}

TEST(GraphRecords, BandPointSitsOnItsOwnGainWithQHandlesBeside) {
    const graph_axes a = peq_graph_axes(641, 500);
    graph::peq_band band;
    band.frequency = 1000;
    band.gain = 6;
    band.q = 1;
    band.enabled = true;
    graph::place_band(band, a);
    EXPECT_EQ(band.point_x, freq_to_x(1000, a));
    EXPECT_EQ(band.point_y, db_to_y(6, a));
    EXPECT_EQ(graph::left_handle_x(band), band.point_x - 25);
    EXPECT_EQ(graph::right_handle_x(band), band.point_x + 25);
    EXPECT_TRUE(band.point_rect.contains(band.point_x - 10, band.point_y + 9));
    EXPECT_FALSE(band.point_rect.contains(band.point_x + 10, band.point_y));
    EXPECT_TRUE(band.left_handle_rect.contains(band.point_x - 25, band.point_y));
    EXPECT_TRUE(band.right_handle_rect.contains(band.point_x + 25, band.point_y));
    EXPECT_FALSE(band.right_handle_rect.contains(band.point_x + 5, band.point_y));

    // Q 40 puts the handles 220 px out, the far end of the Q drag.
    band.q = 40;
    graph::place_band(band, a);
    EXPECT_EQ(graph::right_handle_x(band) - band.point_x, 220);
    EXPECT_EQ(band.point_x - graph::left_handle_x(band), 220);
}

TEST(GraphRecords, FilterPointsSitOnTheLevelOnlyWhenEnabled) {
    const graph_axes a = filter_graph_axes(641, 500);
    graph::filter_pair f;
    f.hp_frequency = 80;
    f.lp_frequency = 12000;
    f.hp_enabled = true;
    f.lp_point_x = -7;  // untouched while the low-pass is off
    graph::place_filter_points(f, a);
    EXPECT_EQ(f.hp_point_x, freq_to_x(80, a));
    EXPECT_EQ(f.hp_point_y, db_to_y(0, a));
    EXPECT_TRUE(f.hp_point_rect.contains(f.hp_point_x + 9, f.hp_point_y - 10));
    EXPECT_EQ(f.lp_point_x, -7);
}

}  // namespace
}  // namespace tavrin
