#include "pages/response_math.h"

#include <cmath>
#include <span>

namespace tavrin {
namespace {

// Q of each second-order section, per slope code. The constants are the literal
// values the amplifier's own filter design uses (0.707, not 0.7071).
constexpr double q_12[] = {0.707};
constexpr double q_18[] = {1.0};
constexpr double q_24[] = {0.54, 1.31};
constexpr double q_30[] = {0.54, 1.85};
constexpr double q_36[] = {0.54, 1.85, 0.707};

std::span<const double> sections_of(int code) {
    switch (code) {
        case 0:
            return q_12;
        case 1:
            return q_18;
        case 2:
            return q_24;
        case 3:
            return q_30;
        case 4:
            return q_36;
        default:
            return {};
    }
}

// sqrt((fc^2 - f^2)^2 + (fc f / Q)^2), written out term by term.
double section_denominator(double fc, double f, double q) {
    const double cf = fc * f;
    return std::sqrt(fc * fc * fc * fc - (2.0 - 1.0 / (q * q)) * cf * cf + f * f * f * f);
}

}  // namespace

double peak_gain_db(double f0, double f, double gain, double q) {
    // A band at 0 Hz is flat (the formula alone gives 0/0 there when Q is 0).
    if (f0 == 0.0)
        return 0.0;
    const double b = std::pow(10.0, gain / 20.0);
    const double f2f02 = f * f * f0 * f0;
    const double s = q * q * b * (f * f * f * f + f0 * f0 * f0 * f0);
    const double n = s + f2f02 * (b * b - 2.0 * q * q * b);
    const double d = s + f2f02 * (1.0 - 2.0 * q * q * b);
    // N and D vanish together only at f = 0 with Q = 0: no gain there.
    if (n == 0.0 && d == 0.0)
        return 0.0;
    return 20.0 * std::log10(std::sqrt(n) / std::sqrt(d));
}

double hpf1_gain_db(double fc, double f) {
    if (fc == 0.0)
        return 0.0;
    return 20.0 * std::log10(f / std::sqrt(f * f + fc * fc));
}

double lpf1_gain_db(double fc, double f) {
    if (fc == 0.0)
        return 0.0;
    return 20.0 * std::log10(fc / std::sqrt(fc * fc + f * f));
}

double hpf2_gain_db(double fc, double f, int code) {
    if (fc == 0.0)
        return 0.0;
    double sum = 0.0;
    for (double q : sections_of(code))
        sum += 20.0 * std::log10(f * f / section_denominator(fc, f, q));
    return sum;
}

double lpf2_gain_db(double fc, double f, int code) {
    if (fc == 0.0)
        return 0.0;
    double sum = 0.0;
    for (double q : sections_of(code))
        sum += 20.0 * std::log10(fc * fc / section_denominator(fc, f, q));
    return sum;
}

bool slope_has_first_order(int code) {
    return code == 1 || code == 3;
}

double band_sum_db(const band_set& bands, double f) {
    double sum = 0.0;
    for (const band_params& b : bands) {
        if (b.enabled)
            sum += peak_gain_db(b.freq, f, b.gain, b.q);
    }
    return sum;
}

double filter_sum_db(const filter_params& filter, double f) {
    double sum = 0.0;
    // A switched-off filter is skipped rather than multiplied by 0, so that an
    // unusable setting behind it cannot turn the curve into NaN.
    if (filter.hp_on) {
        sum += hpf2_gain_db(filter.hp_freq, f, filter.hp_slope);
        if (slope_has_first_order(filter.hp_slope))
            sum += hpf1_gain_db(filter.hp_freq, f);
    }
    if (filter.lp_on) {
        sum += lpf2_gain_db(filter.lp_freq, f, filter.lp_slope);
        if (slope_has_first_order(filter.lp_slope))
            sum += lpf1_gain_db(filter.lp_freq, f);
    }
    return sum + filter.level;
}

}  // namespace tavrin
