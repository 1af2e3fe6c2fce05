#pragma once
// Magnitudes of the analog prototypes behind the response graphs: one peaking EQ band,
// the high- and low-pass cascades of each slope code, and a channel's sums. Evaluated
// directly at the frequency in hertz (no sample rate), in dB, double precision.
#include <array>
#include <cstddef>

namespace tavrin {

// 0 to 4 for 12, 18, 24, 30 and 36 dB/oct; other codes draw no filter.
constexpr int slope_code_count = 5;
inline constexpr const char* slope_labels[slope_code_count] = {
    "12 dB/oct", "18 dB/oct", "24 dB/oct", "30 dB/oct", "36 dB/oct"};

// One parametric EQ band as the math sees it.
struct band_params {
    double freq = 0;  // centre frequency f0, Hz
    double gain = 0;  // G, dB
    double q = 0;
    bool enabled = false;
};
constexpr size_t band_count = 5;
using band_set = std::array<band_params, band_count>;

// One channel's high- and low-pass filters.
struct filter_params {
    bool hp_on = false;
    double hp_freq = 0;
    int hp_slope = 0;
    bool lp_on = false;
    double lp_freq = 0;
    int lp_slope = 0;
    // Added to the whole curve; always 0 in this system.
    double level = 0;
};

double peak_gain_db(double f0, double f, double gain, double q);
double hpf1_gain_db(double fc, double f);
double lpf1_gain_db(double fc, double f);
// All second-order sections of the slope code, added.
double hpf2_gain_db(double fc, double f, int code);
double lpf2_gain_db(double fc, double f, int code);
bool slope_has_first_order(int code);

// Sum of peak_gain_db over the enabled bands.
double band_sum_db(const band_set& bands, double f);
// The channel's filter response, level included.
double filter_sum_db(const filter_params& filter, double f);

}  // namespace tavrin
