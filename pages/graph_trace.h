#pragma once
// The pen movements of each graph's curve and the rows of its level grid, worked out
// apart from any drawing surface: the widget side replays them with its painter, and
// tests read them directly.
#include <cmath>

#include "pages/channel_response.h"
#include "pages/graph_axes.h"
#include "pages/response_math.h"

namespace tavrin {

class path_sink {
  public:
    virtual ~path_sink() = default;
    // Starts a new stroke at (x, y).
    virtual void move_to(int x, int y) = 0;
    // Continues the stroke to (x, y).
    virtual void line_to(int x, int y) = 0;
};

// The EQ curve over log_sweep: one stroke from the 10 Hz point; points right of the
// plot or below it are left out and the line joins the next drawn one; points above
// the top are drawn where they fall.
void trace_peq_curve(const band_set& bands, const graph_axes& axes, path_sink& out);

// The filter curve, one point per pixel column from the 23 kHz column leftwards to
// the 10 Hz column; columns below the plot are left out. Drawn whether or not the
// filters are on (both off: the line at the record's level).
void trace_filter_curve(const filter_params& filter, const graph_axes& axes, path_sink& out);

// One channel of the Frequency Respond graph over log_sweep, clipped to the plot:
// every stretch inside it is a stroke of its own, so the curve has gaps where it
// leaves the plot. Nothing when the channel is not shown.
void trace_response_curve(const channel_data& ch, const channel_show& show, const graph_axes& axes,
                          path_sink& out);

// One row of the level grid: a 1 dB tick, or every 5 dB a full line with its number.
struct level_row {
    int y;          // db_to_y of the level
    int value;      // the level, whole dB
    bool full;      // full line with a number (every 5th row from the bottom)
    int label_top;  // top of the number's box
};

// Calls `visit(level_row)` from the bottom level upwards, one row per dB up to the top.
template <typename Visit>
void for_each_level_row(const graph_axes& axes, Visit visit) {
    const double span = axes.max_db - axes.min_db;
    if (!(span > 0))
        return;
    const double per_db = (axes.bottom - axes.top) / span;
    // Rows while bottom - i * per_db >= top, i.e. i <= span; counted, not accumulated,
    // so rounding cannot drop the top row.
    const int rows = static_cast<int>(std::floor(span + 1e-9)) + 1;
    for (int i = 0; i < rows; ++i) {
        const double v = axes.min_db + i;
        const double b = axes.bottom - i * per_db;
        visit(level_row{db_to_y(v, axes), static_cast<int>(v), i % 5 == 0,
                        static_cast<int>(b - 0.75 * per_db)});
    }
}

}  // namespace tavrin
