#include "pages/channel_response.h"

namespace tavrin {
namespace {

struct channel_fields {
    param_field enable, gain, q_hi, q_lo, freq_hi, freq_lo;
    param_field hp_enable, hp_freq, hp_slope, lp_enable, lp_freq, lp_slope;
};

constexpr channel_fields ch1_fields{
    param_field::peq_ch1_enable, param_field::peq_ch1_gain,    param_field::peq_ch1_q_hi,
    param_field::peq_ch1_q_lo,   param_field::peq_ch1_freq_hi, param_field::peq_ch1_freq_lo,
    param_field::hpf_ch1_enable, param_field::hpf_ch1_freq,    param_field::hpf_ch1_slope,
    param_field::lpf_ch1_enable, param_field::lpf_ch1_freq,    param_field::lpf_ch1_slope};
constexpr channel_fields ch2_fields{
    param_field::peq_ch2_enable, param_field::peq_ch2_gain,    param_field::peq_ch2_q_hi,
    param_field::peq_ch2_q_lo,   param_field::peq_ch2_freq_hi, param_field::peq_ch2_freq_lo,
    param_field::hpf_ch2_enable, param_field::hpf_ch2_freq,    param_field::hpf_ch2_slope,
    param_field::lpf_ch2_enable, param_field::lpf_ch2_freq,    param_field::lpf_ch2_slope};

}  // namespace

channel_data load_channel_data(const param_block& block, amp_channel ch) {
    const channel_fields& f = ch == amp_channel::ch2 ? ch2_fields : ch1_fields;
    auto at = [&](param_field field, size_t k = 0) { return field_value_in(block, field, k); };
    channel_data out;
    for (size_t k = 0; k < band_count; ++k) {
        band_params& b = out.bands[k];
        // Bit 7 of the stored high byte is the command's on/off bit, not frequency.
        b.freq = 256.0 * (at(f.freq_hi, k) & 0x7F) + at(f.freq_lo, k);
        b.gain = (at(f.gain, k) - 40) * 0.5;
        b.q = (256.0 * at(f.q_hi, k) + at(f.q_lo, k)) / 100.0;
        b.enabled = at(f.enable, k) != 0;
    }
    filter_params& fl = out.filters;
    // As on the Filter page: 15 bits of frequency, and a stored slope outside 1-4 is
    // the amplifier's 12 dB/oct.
    fl.hp_on = at(f.hp_enable) != 0;
    fl.hp_freq = at(f.hp_freq) & 0x7FFF;
    fl.hp_slope = slope_code_of(static_cast<uint8_t>(at(f.hp_slope)));
    fl.lp_on = at(f.lp_enable) != 0;
    fl.lp_freq = at(f.lp_freq) & 0x7FFF;
    fl.lp_slope = slope_code_of(static_cast<uint8_t>(at(f.lp_slope)));
    fl.level = 0;
    return out;
}

channel_data load_channel_data(const amp_params& params, amp_channel ch) {
    return load_channel_data(params.snapshot(), ch);
}

double channel_total_db(const channel_data& ch, bool peq, bool filter, double f) {
    double total = 0.0;
    if (peq)
        total += band_sum_db(ch.bands, f);
    if (filter)
        total += filter_sum_db(ch.filters, f);
    return total;
}

channel_response_curve channel_response(const channel_data& ch) {
    channel_response_curve out{};
    const auto& sweep = log_sweep();
    for (size_t i = 0; i < sweep_points; ++i)
        out[i] = {sweep[i], channel_total_db(ch, true, true, sweep[i])};
    return out;
}

channel_response_curve channel_response(const amp_params& params, amp_channel ch) {
    return channel_response(load_channel_data(params, ch));
}

}  // namespace tavrin
