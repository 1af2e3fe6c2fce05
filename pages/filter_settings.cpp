// The Filter page's settings: ch1.hpf.on ... ch2.lpf.slope, applied through the page
// logic showing the named channel, whatever channel the window shows.
#include "pages/response_math.h"
#include "pages/setting_table.h"

namespace tavrin {
namespace {

using namespace setting_table;

const std::vector<std::string> slope_words{"12", "18", "24", "30", "36"};
static_assert(slope_code_count == 5);

struct filter_fields {
    param_field enable, freq, slope;
};

filter_fields fields_of(amp_channel ch, filter_kind kind) {
    const bool low = kind == filter_kind::low_pass;
    if (ch == amp_channel::ch2) {
        return low ? filter_fields{param_field::lpf_ch2_enable, param_field::lpf_ch2_freq,
                                   param_field::lpf_ch2_slope}
                   : filter_fields{param_field::hpf_ch2_enable, param_field::hpf_ch2_freq,
                                   param_field::hpf_ch2_slope};
    }
    return low ? filter_fields{param_field::lpf_ch1_enable, param_field::lpf_ch1_freq,
                               param_field::lpf_ch1_slope}
               : filter_fields{param_field::hpf_ch1_enable, param_field::hpf_ch1_freq,
                               param_field::hpf_ch1_slope};
}

void add_filter(std::vector<setting_def>& out, amp_channel ch, filter_kind kind) {
    const std::string name = channel_prefix(ch) + (kind == filter_kind::low_pass ? "lpf." : "hpf.");
    const filter_fields f = fields_of(ch, kind);

    out.push_back(on_off(
        name + "on", [=](const param_block& b) { return field_value_in(b, f.enable) != 0; },
        [=](setting_desk& desk, bool on) {
            desk.filter(ch).apply_enable(kind, on);
            return apply_note{};
        }));
    out.push_back(number(
        {name + "freq", "Hz",
         std::to_string(filter_min_freq) + " to " + std::to_string(filter_max_freq),
         "1, whole numbers only", true},
        // The 16 bits as stored, unsigned.
        [=](const param_block& b) { return std::to_string(field_value_in(b, f.freq)); },
        [=](setting_desk& desk, double hz) {
            desk.filter(ch).apply_frequency(kind, hz);
            return apply_note{};
        }));
    out.push_back(words(
        name + "slope", "dB/oct", slope_words,
        // A stored slope other than 1-4 is 12 dB/oct.
        [=](const param_block& b) -> std::optional<std::string> {
            return slope_words[slope_code_of(static_cast<uint8_t>(field_value_in(b, f.slope)))];
        },
        [=](setting_desk& desk, size_t code) {
            desk.filter(ch).apply_slope(kind, static_cast<int>(code));
            return apply_note{};
        }));
}

}  // namespace

std::vector<setting_def> filter_page_settings() {
    std::vector<setting_def> out;
    for (amp_channel ch : {amp_channel::ch1, amp_channel::ch2}) {
        add_filter(out, ch, filter_kind::high_pass);
        add_filter(out, ch, filter_kind::low_pass);
    }
    return out;
}

}  // namespace tavrin
