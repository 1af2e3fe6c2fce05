// The Parametric EQ page's settings: ch1.peq1.freq ... ch2.peq5.on, applied through the
// page logic showing the named channel, whatever channel the window shows.
#include "pages/setting_table.h"

namespace tavrin {
namespace {

using namespace setting_table;

struct band_fields {
    param_field enable, gain, q_hi, q_lo, freq_hi, freq_lo;
};

band_fields fields_of(amp_channel ch) {
    if (ch == amp_channel::ch2) {
        return {param_field::peq_ch2_enable,  param_field::peq_ch2_gain,
                param_field::peq_ch2_q_hi,    param_field::peq_ch2_q_lo,
                param_field::peq_ch2_freq_hi, param_field::peq_ch2_freq_lo};
    }
    return {param_field::peq_ch1_enable,  param_field::peq_ch1_gain,
            param_field::peq_ch1_q_hi,    param_field::peq_ch1_q_lo,
            param_field::peq_ch1_freq_hi, param_field::peq_ch1_freq_lo};
}

// 256 x high + low: the value as stored, not as the page shows one out of its range.
int pair_value(const param_block& b, param_field hi, param_field lo, size_t band) {
    return 256 * field_value_in(b, hi, band) + field_value_in(b, lo, band);
}

void add_band(std::vector<setting_def>& out, amp_channel ch, size_t band) {
    const std::string name = channel_prefix(ch) + "peq" + std::to_string(band + 1) + ".";
    const band_fields f = fields_of(ch);
    const std::string gain_range = band == 0 ? "-20.0 to 20.0" : "-10.0 to 10.0";

    out.push_back(number(
        {name + "freq", "Hz", std::to_string(peq_min_freq) + " to " + std::to_string(peq_max_freq),
         "1, whole numbers only", true},
        [=](const param_block& b) {
            return std::to_string(pair_value(b, f.freq_hi, f.freq_lo, band));
        },
        [=](setting_desk& desk, double hz) {
            desk.peq(ch).apply_frequency(band, hz);
            return apply_note{};
        }));
    out.push_back(number(
        {name + "gain", "dB", gain_range, "0.5, toward 0 (3.7 sets 3.5)"},
        // dB = (code - 40) x 0.5 over the whole byte.
        [=](const param_block& b) {
            return fixed_text((field_value_in(b, f.gain, band) - 40) * 0.5, 1);
        },
        [=](setting_desk& desk, double db) {
            desk.peq(ch).apply_gain(band, db);
            return apply_note{};
        }));
    out.push_back(number(
        {name + "q", "", "0.01 to 40.00", "0.01, cut (0.29 sets 0.28, as the page sends it)"},
        [=](const param_block& b) {
            return fixed_text(pair_value(b, f.q_hi, f.q_lo, band) / 100.0, 2);
        },
        [=](setting_desk& desk, double q) {
            desk.peq(ch).apply_q(band, q);
            return apply_note{};
        }));
    out.push_back(on_off(
        name + "on", [=](const param_block& b) { return field_value_in(b, f.enable, band) != 0; },
        [=](setting_desk& desk, bool on) {
            desk.peq(ch).apply_enable(band, on);
            return apply_note{};
        }));
}

}  // namespace

std::vector<setting_def> peq_page_settings() {
    std::vector<setting_def> out;
    for (amp_channel ch : {amp_channel::ch1, amp_channel::ch2}) {
        for (size_t band = 0; band < band_count; ++band)
            add_band(out, ch, band);
    }
    return out;
}

}  // namespace tavrin
