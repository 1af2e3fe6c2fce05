#include "pages/peq_page.h"

#include "pages/item_text.h"
#include "pages/peq_typed_text.h"
#include "protocol/catalogue.h"

namespace tavrin {
namespace {

struct band_fields {
    param_field enable, gain, q_hi, q_lo, freq_hi, freq_lo;
};
constexpr band_fields ch1_fields{param_field::peq_ch1_enable,  param_field::peq_ch1_gain,
                                 param_field::peq_ch1_q_hi,    param_field::peq_ch1_q_lo,
                                 param_field::peq_ch1_freq_hi, param_field::peq_ch1_freq_lo};
constexpr band_fields ch2_fields{param_field::peq_ch2_enable,  param_field::peq_ch2_gain,
                                 param_field::peq_ch2_q_hi,    param_field::peq_ch2_q_lo,
                                 param_field::peq_ch2_freq_hi, param_field::peq_ch2_freq_lo};

const band_fields& fields_of(amp_channel ch) {
    return ch == amp_channel::ch2 ? ch2_fields : ch1_fields;
}

// A dragged point or handle acts while the cursor is this close to the plot.
constexpr int drag_margin = 5;
// A handle's centre lies 20 + 5 Q pixels from its point; nearer than 21 or farther
// than 2020 it sets nothing.
constexpr int handle_min_distance = 21;
constexpr int handle_max_distance = 2020;

// NaN, which no edit can produce, is taken as the lower limit.
double limit(double v, double lo, double hi) {
    return v > hi ? hi : v >= lo ? v : lo;
}

uint8_t gain_code(double gain) {
    return static_cast<uint8_t>(static_cast<int>(2 * gain + 40));
}

// Q x 100 truncated: a typed 0.29 is sent as 28.
uint16_t q_code(double q) {
    return static_cast<uint16_t>(q * 100);
}

// Cut toward zero to a multiple of 0.5 dB; never "-0.0".
double half_db_toward_zero(double db) {
    return static_cast<int>(2 * db) * 0.5 + 0.0;
}

}  // namespace

graph::peq_band shown_peq_band(const param_block& block, amp_channel ch, size_t band) {
    const band_fields& f = fields_of(ch);
    auto at = [&](param_field field) { return field_value_in(block, field, band); };
    graph::peq_band b;
    // A 15-bit value: bit 7 of the high byte is the command's on/off bit.
    b.frequency = 256.0 * (at(f.freq_hi) & 0x7F) + at(f.freq_lo);
    b.gain = (at(f.gain) - 40) * 0.5;
    b.q = (256.0 * at(f.q_hi) + at(f.q_lo)) / 100.0;
    b.enabled = at(f.enable) != 0;
    // Shown in place of values the page could not have sent; the mirror keeps them.
    if (b.frequency < peq_min_freq || b.frequency > peq_max_freq)
        b.frequency = peq_shown_freq;
    if (b.gain < -peq_band1_gain_limit || b.gain > peq_band1_gain_limit)
        b.gain = 0;
    if (b.q < peq_min_q || b.q > peq_max_q)
        b.q = peq_shown_q;
    return b;
}

peq_page_logic::peq_page_logic(page_context& ctx, page_view& view) : ctx_(ctx), view_(view) {}

void peq_page_logic::refresh() {
    load(true);
}

void peq_page_logic::params_changed(field_mask changed) {
    constexpr field_mask shown =
        layout_fields | field_range(param_field::peq_ch1_enable, param_field::peq_ch2_freq_lo);
    if ((changed & shown) != 0)
        load(true);
}

void peq_page_logic::load(bool repaint) {
    axes_ = peq_graph_axes(view_.width(), view_.height());
    const amp_channel ch = channel();
    view_.set_check(idc_peq_ch1, false);
    view_.set_check(idc_peq_ch2, false);
    view_.set_check(ch == amp_channel::ch2 ? idc_peq_ch2 : idc_peq_ch1, true);

    const param_block block = ctx_.params.snapshot();
    for (size_t k = 0; k < band_count; ++k) {
        graph::peq_band& b = bands_[k];
        // Drag flags and the drawn positions stay: a dump may arrive during a drag.
        const graph::peq_band shown = shown_peq_band(block, ch, k);
        b.frequency = shown.frequency;
        b.gain = shown.gain;
        b.q = shown.q;
        b.enabled = shown.enabled;
        view_.set_check(idc_peq_enable + static_cast<int>(k), b.enabled);
        show_band(k);
    }
    if (repaint)
        view_.invalidate();
}

void peq_page_logic::show_band(size_t band) {
    const graph::peq_band& b = bands_[band];
    const int k = static_cast<int>(band);
    set_item_int(view_, idc_peq_freq + k, static_cast<int>(b.frequency));
    set_item_tenths(view_, idc_peq_gain + k, b.gain);
    set_item_hundredths(view_, idc_peq_q + k, b.q);
}

bool peq_page_logic::check_clicked(int item, bool checked) {
    if (item >= idc_peq_enable && item < idc_peq_enable + static_cast<int>(band_count)) {
        apply_enable(static_cast<size_t>(item - idc_peq_enable), checked);
        return true;
    }
    if (item == idc_peq_ch1 || item == idc_peq_ch2) {
        choose_channel(item == idc_peq_ch2 ? 2 : 1);
        return true;
    }
    return false;
}

bool peq_page_logic::edit_applied(int item, std::string_view text) {
    const auto in = [item](int first) {
        return item >= first && item < first + static_cast<int>(band_count);
    };
    if (in(idc_peq_freq)) {
        const auto band = static_cast<size_t>(item - idc_peq_freq);
        // The edit shows what was stored, as the next refresh would.
        set_item_int(view_, item, apply_frequency(band, typed_int(text)));
        return true;
    }
    if (in(idc_peq_gain)) {
        apply_gain(static_cast<size_t>(item - idc_peq_gain), typed_decimal(text));
        return true;
    }
    if (in(idc_peq_q)) {
        apply_q(static_cast<size_t>(item - idc_peq_q), typed_decimal(text));
        return true;
    }
    return false;
}

int peq_page_logic::apply_frequency(size_t band, double hz) {
    const int value = static_cast<int>(limit(hz, peq_min_freq, peq_max_freq));
    bands_[band].frequency = value;
    store_frequency(band);
    send(band, false, true, false);
    repaint_graph();
    return value;
}

double peq_page_logic::apply_gain(size_t band, double db) {
    const double lim = band == 0 ? peq_band1_gain_limit : peq_gain_limit;
    const double gain = db > lim ? lim : db >= -lim ? half_db_toward_zero(db) : -lim;
    bands_[band].gain = gain;
    set_item_tenths(view_, idc_peq_gain + static_cast<int>(band), gain);
    store_gain(band);
    send(band, true, false, false);
    repaint_graph();
    return gain;
}

double peq_page_logic::apply_q(size_t band, double q) {
    bands_[band].q = limit(q, peq_min_q, peq_max_q);
    store_q(band);
    send(band, false, false, true);
    repaint_graph();
    // The bytes keep Q x 100 truncated: the edit shows what they hold, as the next
    // refresh would (a typed 0.29 is stored and shown as 0.28).
    const double stored = q_code(bands_[band].q) / 100.0;
    set_item_hundredths(view_, idc_peq_q + static_cast<int>(band), stored);
    return stored;
}

void peq_page_logic::apply_enable(size_t band, bool on) {
    bands_[band].enabled = on;
    ctx_.params.set(fields_of(channel()).enable, on ? 1 : 0, band);
    send(band, false, false, false);
    repaint_graph();
}

void peq_page_logic::choose_channel(int channel) {
    select_channel(ctx_.shared, channel);
    refresh();
}

void peq_page_logic::store_frequency(size_t band) {
    const auto hz = static_cast<int>(bands_[band].frequency);
    const band_fields& f = fields_of(channel());
    ctx_.params.set(f.freq_hi, hz >> 8, band);
    ctx_.params.set(f.freq_lo, hz & 0xFF, band);
}

void peq_page_logic::store_gain(size_t band) {
    ctx_.params.set(fields_of(channel()).gain, gain_code(bands_[band].gain), band);
}

void peq_page_logic::store_q(size_t band) {
    const uint16_t raw = q_code(bands_[band].q);
    const band_fields& f = fields_of(channel());
    ctx_.params.set(f.q_hi, raw >> 8, band);
    ctx_.params.set(f.q_lo, raw & 0xFF, band);
}

void peq_page_logic::send(size_t band, bool gain, bool freq, bool q) {
    const graph::peq_band& b = bands_[band];
    cmd::eq_change change;
    change.enable = b.enabled;
    if (gain)
        change.gain = gain_code(b.gain);
    if (freq)
        change.freq = static_cast<uint16_t>(b.frequency);
    if (q)
        change.q = q_code(b.q);
    ctx_.ring.ring_push(cmd::eq_band(channel(), static_cast<uint8_t>(band), change));
}

void peq_page_logic::repaint_graph() {
    // The whole graph with its margins: a point or a Q handle may stand outside the
    // plot, and must not leave a dot behind when it moves.
    view_.invalidate_area({0, 0, view_.width(), axes_.bottom + 35});
}

void peq_page_logic::button_down(int x, int y) {
    // The first enabled band with a hit wins; inside it the point before the handles.
    for (graph::peq_band& b : bands_) {
        if (!b.enabled)
            continue;
        if (b.point_rect.contains(x, y)) {
            b.dragging_point = true;
            return;
        }
        if (b.left_handle_rect.contains(x, y)) {
            b.dragging_left_handle = true;
            return;
        }
        if (b.right_handle_rect.contains(x, y)) {
            b.dragging_right_handle = true;
            return;
        }
    }
}

void peq_page_logic::mouse_move(int x, int y) {
    drag_step(x, y, false);
}

void peq_page_logic::button_up(int x, int y) {
    drag_step(x, y, true);
    for (graph::peq_band& b : bands_)
        b.dragging_point = b.dragging_left_handle = b.dragging_right_handle = false;
}

void peq_page_logic::drag_step(int x, int y, bool release) {
    const graph::rect near_plot{axes_.left - drag_margin, axes_.top - drag_margin,
                                axes_.right + drag_margin, axes_.bottom + drag_margin};
    const auto handle_q = [](int d) -> double {
        return limit((d - 20) / 5.0, peq_min_q, peq_max_q);
    };
    const auto handle_reach = [](int d) {
        return d >= handle_min_distance && d <= handle_max_distance;
    };
    for (size_t k = 0; k < band_count; ++k) {
        graph::peq_band& b = bands_[k];
        if (!b.enabled)
            continue;
        bool moved = true;
        if (b.dragging_point && near_plot.contains(x, y)) {
            // The drag limits are those of the graph, for every band: a dragged band 2
            // reaches +20 dB although typing holds it to +10.
            b.frequency = limit(static_cast<int>(x_to_freq(x, axes_)), peq_min_freq, peq_max_freq);
            b.gain = limit(half_db_toward_zero(y_to_db(y, axes_)), -peq_band1_gain_limit,
                           peq_band1_gain_limit);
        } else if (b.dragging_left_handle && handle_reach(b.point_x - x)) {
            b.q = handle_q(b.point_x - x);
        } else if (b.dragging_right_handle && handle_reach(x - b.point_x)) {
            b.q = handle_q(x - b.point_x);
        } else {
            moved = false;
        }
        if (moved)
            repaint_graph();

        const int item = static_cast<int>(k);
        if (b.dragging_point) {
            set_item_tenths(view_, idc_peq_gain + item, b.gain);
            set_item_int(view_, idc_peq_freq + item, static_cast<int>(b.frequency));
            store_frequency(k);
            store_gain(k);
            // Sent once, when the button comes up.
            if (release)
                send(k, true, true, false);
        }
        if (b.dragging_left_handle || b.dragging_right_handle) {
            set_item_hundredths(view_, idc_peq_q + item, q_code(b.q) / 100.0);
            store_q(k);
            if (release)
                send(k, false, false, true);
        }
    }
}

}  // namespace tavrin
