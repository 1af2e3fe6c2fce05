#include "pages/input_page.h"

#include <algorithm>
#include <cmath>

#include "pages/settings.h"

namespace tavrin {
namespace {

constexpr int threshold_offset = 90;  // stored = dB + 90
constexpr int min_threshold = -90, max_threshold = 6;
constexpr int min_knee = 1, max_knee = 100;
constexpr double min_ratio = 1, max_ratio = 100;
constexpr int min_attack = 1, max_attack = 500;
constexpr int max_hold = 500;
constexpr int min_release = 1, max_release = 2000;

int trim_slider(amp_channel ch) {
    return ch == amp_channel::ch1 ? input_item::ch1_trim : input_item::ch2_trim;
}
int trim_label(amp_channel ch) {
    return ch == amp_channel::ch1 ? input_item::ch1_trim_text : input_item::ch2_trim_text;
}

// A whole number from a typed value, without overflowing on absurd ones.
long whole(double value) {
    return static_cast<long>(std::trunc(std::clamp(value, -1e9, 1e9)));
}

// Limits `v` to [lo, hi]; `limited` tells whether it had to.
long limit(long v, long lo, long hi, bool& limited) {
    const long out = std::clamp(v, lo, hi);
    limited = out != v;
    return out;
}

}  // namespace

int limiter_edit(amp_channel ch, limiter_item item) {
    const int two = ch == amp_channel::ch2 ? 1 : 0;
    switch (item) {
        case limiter_item::threshold:
            return input_item::ch1_threshold + two;
        case limiter_item::ratio:
            return input_item::ch1_ratio + two;
        case limiter_item::knee:
            return input_item::ch1_knee + two;
        case limiter_item::attack:
            return input_item::ch1_attack + two;
        case limiter_item::hold:
            return input_item::ch1_hold + two;
        case limiter_item::release:
            return input_item::ch1_release + two;
    }
    return 0;
}

size_t limiter_edit_width(limiter_item item) {
    switch (item) {
        case limiter_item::ratio:
            return 6;
        case limiter_item::release:
            return 4;
        default:
            return 3;
    }
}

size_t limiter_read_width(limiter_item item) {
    return item == limiter_item::ratio ? 6 : 5;
}

std::string trim_text(int tenths) {
    return fixed_text(tenths / 10.0, 1) + " dB";
}

input_page_logic::input_page_logic(page_context& ctx, input_view& view)
    : ctx_(ctx), view_(view), trim_send_(ctx, view, [c = &ctx](const amp_channel& ch) {
          c->ring.ring_push(cmd::match_gain(ch, c->params.match_gain(ch)));
      }) {}

void input_page_logic::refresh() {
    amp_params& p = ctx_.params;
    for (amp_channel ch : {amp_channel::ch1, amp_channel::ch2}) {
        const int t = p.match_gain(ch);
        view_.set_slider_range(trim_slider(ch), min_trim, max_trim);
        view_.set_item_text(trim_label(ch), trim_text(t));
        view_.set_slider_position(trim_slider(ch), t);
    }
    const limiter_set set = p.active_limiter_set();
    for (amp_channel ch : {amp_channel::ch1, amp_channel::ch2}) {
        for (limiter_item item : {limiter_item::threshold, limiter_item::knee, limiter_item::attack,
                                  limiter_item::hold, limiter_item::release, limiter_item::ratio})
            show_limiter(ch, item, p.limiter_value(set, ch, item));
    }
}

void input_page_logic::params_changed(field_mask changed) {
    constexpr field_mask shown =
        layout_fields | field_range(param_field::match_gain_ch1, param_field::limiter_4ohm_ch2);
    if ((changed & shown) != 0)
        refresh();
}

void input_page_logic::trim_scrolled(amp_channel ch, int position) {
    const int t = std::clamp(position, min_trim, max_trim);
    ctx_.params.set_match_gain(ch, static_cast<int8_t>(t));
    view_.set_item_text(trim_label(ch), trim_text(t));
    trim_send_.moved(ch);
}

void input_page_logic::send_timer_fired() {
    trim_send_.timer_fired();
}

void input_page_logic::flush() {
    trim_send_.flush();
}

void input_page_logic::limiter_typed(amp_channel ch, limiter_item item, std::string_view text) {
    const size_t width = limiter_read_width(item);
    const double value = item == limiter_item::ratio
                             ? read_typed_decimal(text, width)
                             : static_cast<double>(read_typed_int(text, width));
    set_limiter(ch, item, value);
}

limiter_entry input_page_logic::set_limiter(amp_channel ch, limiter_item item, double value) {
    amp_params& p = ctx_.params;
    const limiter_set set = p.active_limiter_set();
    limiter_entry e;
    switch (item) {
        case limiter_item::threshold:
            e.stored = static_cast<uint16_t>(
                limit(whole(value), min_threshold, max_threshold, e.limited) + threshold_offset);
            break;
        case limiter_item::knee:
            e.stored = static_cast<uint16_t>(limit(whole(value), min_knee, max_knee, e.limited));
            break;
        case limiter_item::ratio: {
            const double x = std::clamp(value, min_ratio, max_ratio);
            e.limited = x != value;
            // The allowance keeps 1.15 from becoming 114 through binary rounding.
            e.stored = static_cast<uint16_t>(std::trunc(x * 100 + 1e-6));
            break;
        }
        case limiter_item::attack:
            e.stored =
                static_cast<uint16_t>(limit(whole(value), min_attack, max_attack, e.limited));
            break;
        case limiter_item::hold: {
            const long attack = p.limiter_value(set, ch, limiter_item::attack);
            const long v = whole(value);
            const long kept = v < attack ? attack : std::min<long>(v, max_hold);
            e.limited = kept != v;
            e.stored = static_cast<uint16_t>(kept);
            break;
        }
        case limiter_item::release:
            e.stored =
                static_cast<uint16_t>(limit(whole(value), min_release, max_release, e.limited));
            break;
    }
    store_limiter(ch, item, e.stored);
    // The hold is never shorter than the attack: a longer attack raises it, on the
    // amplifier too, so that both hold what the page shows.
    if (item == limiter_item::attack && p.limiter_value(set, ch, limiter_item::hold) < e.stored)
        store_limiter(ch, limiter_item::hold, e.stored);
    return e;
}

void input_page_logic::store_limiter(amp_channel ch, limiter_item item, uint16_t stored) {
    ctx_.params.set_limiter_value(ctx_.params.active_limiter_set(), ch, item, stored);
    // The edit shows what was stored, as the next refresh would.
    show_limiter(ch, item, stored);
    ctx_.ring.ring_push(cmd::limiter_setting(ch, item, stored));
}

void input_page_logic::show_limiter(amp_channel ch, limiter_item item, uint16_t stored) {
    const int edit = limiter_edit(ch, item);
    if (item == limiter_item::ratio)
        set_item_hundredths(view_, edit, stored / 100.0);
    else if (item == limiter_item::threshold)
        set_item_int(view_, edit, stored - threshold_offset);
    else
        set_item_int(view_, edit, stored);
}

}  // namespace tavrin
