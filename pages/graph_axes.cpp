#include "pages/graph_axes.h"

#include <cmath>

namespace tavrin {
namespace {

// Pixels far beyond any window; values past them (a 0 Hz filter, a response of
// -inf dB) are held there instead of overflowing the conversion. NaN lands below
// the plot, where every graph leaves a point out.
constexpr double pixel_limit = 100000.0;

int to_pixel(double v) {
    if (std::isnan(v))
        return static_cast<int>(pixel_limit);
    if (v > pixel_limit)
        return static_cast<int>(pixel_limit);
    if (v < -pixel_limit)
        return static_cast<int>(-pixel_limit);
    return static_cast<int>(v);
}

graph_axes axes_of(int w, int h, double top_share, double bottom_share, double max_db,
                   double min_db) {
    graph_axes a;
    a.left = static_cast<int>(0.05 * w);
    a.top = static_cast<int>(top_share * h);
    a.right = static_cast<int>(0.983 * w);
    a.bottom = static_cast<int>(bottom_share * h);
    a.max_db = max_db;
    a.min_db = min_db;
    a.fmax = 23000;
    a.fmin = 10;
    return a;
}

}  // namespace

int freq_to_x(double f, const graph_axes& axes) {
    const double span = std::log10(axes.fmax) - std::log10(axes.fmin);
    return to_pixel(axes.left +
                    (axes.right - axes.left) * (std::log10(f) - std::log10(axes.fmin)) / span);
}

double x_to_freq(int x, const graph_axes& axes) {
    const double span = std::log10(axes.fmax) - std::log10(axes.fmin);
    return std::pow(10.0,
                    std::log10(axes.fmin) + (x - axes.left) * span / (axes.right - axes.left));
}

int db_to_y(double level, const graph_axes& axes) {
    return to_pixel(axes.top +
                    (axes.bottom - axes.top) * (axes.max_db - level) / (axes.max_db - axes.min_db));
}

double y_to_db(int y, const graph_axes& axes) {
    return axes.min_db +
           (axes.max_db - axes.min_db) * (axes.bottom - y) / double(axes.bottom - axes.top);
}

graph_axes peq_graph_axes(int w, int h) {
    return axes_of(w, h, 0.02617, 0.5759, 25, -25);
}

graph_axes filter_graph_axes(int w, int h) {
    return axes_of(w, h, 0.02617, 0.5759, 10, -40);
}

graph_axes freq_respond_graph_axes(int w, int h) {
    return axes_of(w, h, 0.1, 0.9, 25, -25);
}

}  // namespace tavrin
