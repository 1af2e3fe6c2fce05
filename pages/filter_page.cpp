#include "pages/filter_page.h"

#include "pages/item_text.h"
#include "pages/peq_typed_text.h"
#include "pages/response_math.h"
#include "protocol/catalogue.h"

namespace tavrin {
namespace {

struct filter_fields {
    param_field enable, freq, slope;
};
// [channel][high-pass, low-pass]
constexpr filter_fields fields_table[2][2] = {
    {{param_field::hpf_ch1_enable, param_field::hpf_ch1_freq, param_field::hpf_ch1_slope},
     {param_field::lpf_ch1_enable, param_field::lpf_ch1_freq, param_field::lpf_ch1_slope}},
    {{param_field::hpf_ch2_enable, param_field::hpf_ch2_freq, param_field::hpf_ch2_slope},
     {param_field::lpf_ch2_enable, param_field::lpf_ch2_freq, param_field::lpf_ch2_slope}}};

const filter_fields& fields_of(amp_channel ch, filter_kind kind) {
    return fields_table[ch == amp_channel::ch2 ? 1 : 0][kind == filter_kind::low_pass ? 1 : 0];
}

struct filter_items {
    int enable, freq, slope;
};
constexpr filter_items hp_items{idc_hpf_enable, idc_hpf_freq, idc_hpf_slope};
constexpr filter_items lp_items{idc_lpf_enable, idc_lpf_freq, idc_lpf_slope};

const filter_items& items_of(filter_kind kind) {
    return kind == filter_kind::low_pass ? lp_items : hp_items;
}

// Moving sideways, a dragged point acts while the cursor is this close to the plot.
constexpr int drag_margin = 5;

// NaN, which no edit can produce, is taken as the lower limit.
int limit(double v, int lo, int hi) {
    return v > hi ? hi : v >= lo ? static_cast<int>(v) : lo;
}

// The record's fields of one filter.
struct filter_ref {
    double& frequency;
    int& slope;
    bool& enabled;
    bool& dragging;
};
filter_ref ref_of(graph::filter_pair& r, filter_kind kind) {
    if (kind == filter_kind::low_pass)
        return {r.lp_frequency, r.lp_slope, r.lp_enabled, r.dragging_lp};
    return {r.hp_frequency, r.hp_slope, r.hp_enabled, r.dragging_hp};
}

}  // namespace

graph::filter_pair shown_filter_pair(const param_block& block, amp_channel ch) {
    graph::filter_pair r;
    for (filter_kind kind : {filter_kind::high_pass, filter_kind::low_pass}) {
        const filter_fields& f = fields_of(ch, kind);
        const filter_ref fr = ref_of(r, kind);
        // A 15-bit value: bit 7 of the high byte is the command's on/off bit.
        fr.frequency = field_value_in(block, f.freq) & 0x7FFF;
        // The amplifier takes a stored slope other than 1-4 as 12 dB/oct, so the list
        // and the curve show that.
        fr.slope = slope_code_of(static_cast<uint8_t>(field_value_in(block, f.slope)));
        fr.enabled = field_value_in(block, f.enable) != 0;
    }
    r.level = 0;
    return r;
}

filter_page_logic::filter_page_logic(page_context& ctx, filter_page_view& view)
    : ctx_(ctx), view_(view) {}

void filter_page_logic::refresh() {
    load(true);
}

void filter_page_logic::params_changed(field_mask changed) {
    constexpr field_mask shown =
        layout_fields | field_range(param_field::hpf_ch1_enable, param_field::lpf_ch2_slope);
    if ((changed & shown) != 0)
        load(true);
}

void filter_page_logic::load(bool repaint) {
    axes_ = filter_graph_axes(view_.width(), view_.height());
    const param_block block = ctx_.params.snapshot();
    for (amp_channel ch : {amp_channel::ch1, amp_channel::ch2}) {
        graph::filter_pair& r = records_[index_of(ch)];
        // Drag flags and the drawn positions stay: a dump may arrive during a drag.
        graph::filter_pair shown = shown_filter_pair(block, ch);
        for (filter_kind kind : {filter_kind::high_pass, filter_kind::low_pass}) {
            const filter_ref to = ref_of(r, kind);
            const filter_ref from = ref_of(shown, kind);
            to.frequency = from.frequency;
            to.slope = from.slope;
            to.enabled = from.enabled;
        }
        r.level = shown.level;
    }

    const std::span<const char* const> labels(slope_labels);
    view_.set_choices(idc_hpf_slope, labels);
    view_.set_choices(idc_lpf_slope, labels);
    view_.set_check(idc_filter_ch1, false);
    view_.set_check(idc_filter_ch2, false);
    view_.set_check(channel() == amp_channel::ch2 ? idc_filter_ch2 : idc_filter_ch1, true);

    graph::filter_pair& r = record();
    for (filter_kind kind : {filter_kind::high_pass, filter_kind::low_pass}) {
        const filter_items& items = items_of(kind);
        const filter_ref fr = ref_of(r, kind);
        view_.set_check(items.enable, fr.enabled);
        set_item_int(view_, items.freq, static_cast<int>(fr.frequency));
        view_.select_choice(items.slope, fr.slope);
    }
    if (repaint)
        view_.invalidate();
}

bool filter_page_logic::check_clicked(int item, bool checked) {
    if (item == idc_hpf_enable || item == idc_lpf_enable) {
        apply_enable(item == idc_lpf_enable ? filter_kind::low_pass : filter_kind::high_pass,
                     checked);
        return true;
    }
    if (item == idc_filter_ch1 || item == idc_filter_ch2) {
        choose_channel(item == idc_filter_ch2 ? 2 : 1);
        return true;
    }
    return false;
}

bool filter_page_logic::edit_applied(int item, std::string_view text) {
    if (item != idc_hpf_freq && item != idc_lpf_freq)
        return false;
    apply_frequency(item == idc_lpf_freq ? filter_kind::low_pass : filter_kind::high_pass,
                    typed_int(text));
    return true;
}

bool filter_page_logic::slope_chosen(int item, int index) {
    if ((item != idc_hpf_slope && item != idc_lpf_slope) || index < 0 ||
        index >= slope_code_count) {
        return false;
    }
    apply_slope(item == idc_lpf_slope ? filter_kind::low_pass : filter_kind::high_pass, index);
    return true;
}

int filter_page_logic::apply_frequency(filter_kind kind, double hz) {
    const int value = limit(hz, filter_min_freq, filter_max_freq);
    store_frequency(kind, value);
    ref_of(record(), kind).frequency = value;
    send(kind, static_cast<uint16_t>(value), std::nullopt);
    set_item_int(view_, items_of(kind).freq, value);
    repaint_graph();
    return value;
}

void filter_page_logic::apply_enable(filter_kind kind, bool on) {
    ctx_.params.set(fields_of(channel(), kind).enable, on ? 1 : 0);
    ref_of(record(), kind).enabled = on;
    send(kind, std::nullopt, std::nullopt);
    repaint_graph();
}

void filter_page_logic::apply_slope(filter_kind kind, int code) {
    if (code < 0 || code >= slope_code_count)
        return;
    ctx_.params.set(fields_of(channel(), kind).slope, code);
    ref_of(record(), kind).slope = code;
    send(kind, std::nullopt, static_cast<uint8_t>(code));
    repaint_graph();
}

void filter_page_logic::choose_channel(int channel) {
    select_channel(ctx_.shared, channel);
    refresh();
}

void filter_page_logic::store_frequency(filter_kind kind, int hz) {
    ctx_.params.set(fields_of(channel(), kind).freq, hz);
}

bool filter_page_logic::enabled_in_mirror(filter_kind kind) const {
    return ctx_.params.get(fields_of(channel(), kind).enable) != 0;
}

void filter_page_logic::send(filter_kind kind, std::optional<uint16_t> freq,
                             std::optional<uint8_t> slope) {
    ctx_.ring.ring_push(cmd::filter(channel(), kind, {enabled_in_mirror(kind), freq, slope}));
}

void filter_page_logic::repaint_graph() {
    // The whole graph with its margins: a point on the plot's edge stands outside it.
    view_.invalidate_area({0, 0, view_.width(), axes_.bottom + 35});
}

void filter_page_logic::button_down(int x, int y) {
    // Both points are grabbed when both lie under the cursor.
    graph::filter_pair& r = record();
    if (r.hp_enabled && r.hp_point_rect.contains(x, y))
        r.dragging_hp = true;
    if (r.lp_enabled && r.lp_point_rect.contains(x, y))
        r.dragging_lp = true;
}

void filter_page_logic::mouse_move(int x, int y) {
    drag_step(x, y, false);
}

void filter_page_logic::button_up(int x, int y) {
    drag_step(x, y, true);
    for (graph::filter_pair& r : records_)
        r.dragging_hp = r.dragging_lp = false;
}

void filter_page_logic::drag_step(int x, int y, bool release) {
    graph::filter_pair& r = record();
    const graph::rect near_plot{axes_.left - drag_margin, axes_.top, axes_.right + drag_margin,
                                axes_.bottom};
    const bool inside = near_plot.contains(x, y);
    // With both points grabbed only the high-pass one follows the cursor; the height
    // of the cursor is ignored, the points stay on the level.
    const auto dragged = [&] {
        return limit(x_to_freq(x, axes_), filter_min_drag_freq, filter_max_freq);
    };
    if (inside && r.dragging_hp) {
        r.hp_frequency = dragged();
        r.level = 0;
        repaint_graph();
    } else if (inside && r.dragging_lp) {
        r.lp_frequency = dragged();
        r.level = 0;
        repaint_graph();
    }
    for (filter_kind kind : {filter_kind::low_pass, filter_kind::high_pass}) {
        const filter_ref fr = ref_of(r, kind);
        if (!fr.dragging)
            continue;
        const int hz = static_cast<int>(fr.frequency);
        set_item_int(view_, items_of(kind).freq, hz);
        store_frequency(kind, hz);
        // Sent once, when the button comes up.
        if (release)
            send(kind, static_cast<uint16_t>(hz), std::nullopt);
    }
}

}  // namespace tavrin
