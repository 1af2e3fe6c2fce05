#include "pages/graph_trace.h"

#include "pages/log_sweep.h"

namespace tavrin {

void trace_peq_curve(const band_set& bands, const graph_axes& axes, path_sink& out) {
    out.move_to(freq_to_x(10, axes), db_to_y(band_sum_db(bands, 10), axes));
    for (double f : log_sweep()) {
        const int x = freq_to_x(f, axes);
        const int y = db_to_y(band_sum_db(bands, f), axes);
        if (x <= axes.right && y <= axes.bottom)
            out.line_to(x, y);
    }
}

void trace_filter_curve(const filter_params& filter, const graph_axes& axes, path_sink& out) {
    const int first = freq_to_x(23000, axes);
    const int last = freq_to_x(10, axes);
    bool started = false;
    for (int x = first; x >= last; --x) {
        const int y = db_to_y(filter_sum_db(filter, x_to_freq(x, axes)), axes);
        if (y > axes.bottom)
            continue;
        if (started) {
            out.line_to(x, y);
        } else {
            out.move_to(x, y);
            started = true;
        }
    }
}

void trace_response_curve(const channel_data& ch, const channel_show& show, const graph_axes& axes,
                          path_sink& out) {
    if (!show.channel)
        return;
    bool lifted = true;
    for (double f : log_sweep()) {
        const int x = freq_to_x(f, axes);
        const int y = db_to_y(channel_total_db(ch, show.peq, show.filter, f), axes);
        const bool inside = x >= axes.left && x <= axes.right && y >= axes.top && y <= axes.bottom;
        if (!inside) {
            lifted = true;
        } else if (lifted) {
            out.move_to(x, y);
            lifted = false;
        } else {
            out.line_to(x, y);
        }
    }
}

}  // namespace tavrin
