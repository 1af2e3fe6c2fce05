#include "pages/graph_records.h"

namespace tavrin::graph {
namespace {

rect around(int x, int y) {
    return {x - hit_margin, y - hit_margin, x + hit_margin, y + hit_margin};
}

}  // namespace

band_set band_params_of(const peq_bands& bands) {
    band_set out;
    for (size_t k = 0; k < band_count; ++k)
        out[k] = {bands[k].frequency, bands[k].gain, bands[k].q, bands[k].enabled};
    return out;
}

filter_params filter_params_of(const filter_pair& f) {
    return {f.hp_enabled,   f.hp_frequency, f.hp_slope, f.lp_enabled,
            f.lp_frequency, f.lp_slope,     f.level};
}

void place_band(peq_band& band, const graph_axes& axes) {
    const int x = freq_to_x(band.frequency, axes);
    const int y = db_to_y(peak_gain_db(band.frequency, band.frequency, band.gain, band.q), axes);
    band.point_x = x;
    band.point_y = y;
    band.point_rect = around(x, y);
    const double s = 5.0 * band.q;
    band.left_handle_rect = {static_cast<int>(x - 30 - s), y - hit_margin,
                             static_cast<int>(x - 10 - s), y + hit_margin};
    band.right_handle_rect = {static_cast<int>(x + 10 + s), y - hit_margin,
                              static_cast<int>(x + 30 + s), y + hit_margin};
}

void place_filter_points(filter_pair& filter, const graph_axes& axes) {
    const int y = db_to_y(filter.level, axes);
    if (filter.hp_enabled) {
        filter.hp_point_x = freq_to_x(filter.hp_frequency, axes);
        filter.hp_point_y = y;
        filter.hp_point_rect = around(filter.hp_point_x, y);
    }
    if (filter.lp_enabled) {
        filter.lp_point_x = freq_to_x(filter.lp_frequency, axes);
        filter.lp_point_y = y;
        filter.lp_point_rect = around(filter.lp_point_x, y);
    }
}

}  // namespace tavrin::graph
