#pragma once
// The records that carry a band or a filter pair between a page and its graph. The
// page fills the settings and drag flags; each repaint writes the point positions and
// hit rectangles, which are valid only after the item was drawn while enabled.
#include <array>

#include "pages/graph_axes.h"
#include "pages/response_math.h"

namespace tavrin::graph {

// A hit area; left and top inside, right and bottom outside.
struct rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// Hit areas reach this far from a point on every side.
constexpr int hit_margin = 10;

// One parametric EQ band of the Parametric EQ page.
struct peq_band {
    int point_x = 0;
    int point_y = 0;
    rect point_rect;
    rect left_handle_rect;
    rect right_handle_rect;
    bool dragging_point = false;
    bool dragging_left_handle = false;
    bool dragging_right_handle = false;
    double frequency = 1000;  // Hz, 10 ... 23000
    double gain = 0;          // dB, -20 ... +20 in 0.5 dB steps
    double q = 0.707;         // 0.01 ... 40
    bool enabled = false;
};
using peq_bands = std::array<peq_band, band_count>;

// One channel's high- and low-pass filters on the Filter page.
struct filter_pair {
    int hp_point_x = 0;
    int hp_point_y = 0;
    int lp_point_x = 0;
    int lp_point_y = 0;
    rect hp_point_rect;
    rect lp_point_rect;
    bool dragging_hp = false;
    bool dragging_lp = false;
    double hp_frequency = 0;  // whole Hz
    double lp_frequency = 0;  // whole Hz
    double level = 0;         // dB, always 0: the points sit on it
    int hp_slope = 0;         // slope code
    int lp_slope = 0;
    bool hp_enabled = false;
    bool lp_enabled = false;
};

band_set band_params_of(const peq_bands& bands);
filter_params filter_params_of(const filter_pair& filter);

// Writes the band's point position (its own gain, not the summed curve), its point
// rectangle and its two Q handle rectangles, whose centres lie 20 + 5 Q pixels from
// the point.
void place_band(peq_band& band, const graph_axes& axes);
// Writes the positions and rectangles of the enabled filters' points; the points sit
// at the record's level.
void place_filter_points(filter_pair& filter, const graph_axes& axes);

// Where the Q bar and the handle dots of a placed band are drawn.
inline int left_handle_x(const peq_band& b) {
    return b.left_handle_rect.left + hit_margin;
}
inline int right_handle_x(const peq_band& b) {
    return b.right_handle_rect.left + hit_margin;
}

}  // namespace tavrin::graph
