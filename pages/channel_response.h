#pragma once
// A channel's complete response as the Frequency Respond page draws it and as
// tavrin-cli prints it: its five EQ bands plus its filters, loaded from the mirror.
#include <array>

#include "pages/log_sweep.h"
#include "pages/response_math.h"
#include "protocol/amp_params.h"

namespace tavrin {

struct channel_data {
    band_set bands;
    filter_params filters;
};

// What goes into a channel's curve, and whether it is drawn at all.
struct channel_show {
    bool channel = true;
    bool peq = true;
    bool filter = true;
};

// Decodes one channel from a copy of the block, as stored and without range checks:
// band frequency = 256 x (high & 0x7F) + low, gain = (code - 40) x 0.5, Q = raw / 100;
// filter frequencies in 15 bits, slope codes through slope_code_of, level 0.
channel_data load_channel_data(const param_block& block, amp_channel ch);
channel_data load_channel_data(const amp_params& params, amp_channel ch);

// band_sum_db when `peq`, plus filter_sum_db when `filter`; 0 dB when neither.
double channel_total_db(const channel_data& ch, bool peq, bool filter, double f);

struct response_point {
    double freq;  // Hz
    double db;
};
using channel_response_curve = std::array<response_point, sweep_points>;

// The complete response (EQ and filters) at every point of log_sweep.
channel_response_curve channel_response(const channel_data& ch);
channel_response_curve channel_response(const amp_params& params, amp_channel ch);

}  // namespace tavrin
