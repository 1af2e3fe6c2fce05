#include "pages/volume_page.h"

#include <cmath>
#include <cstdlib>

#include "pages/settings.h"

namespace tavrin {
namespace {

int fader_of(amp_channel ch) {
    return ch == amp_channel::ch1 ? volume_item::ch1_fader : volume_item::ch2_fader;
}

int edit_of(amp_channel ch) {
    return ch == amp_channel::ch1 ? volume_item::ch1_level : volume_item::ch2_level;
}

}  // namespace

std::string master_percent_text(uint8_t volume) {
    return std::to_string(2 * volume) + "%";
}

std::string channel_level_text(uint8_t code) {
    const int d = max_gain_code - code;
    std::string text = d > 0 ? "-" : "";
    text += fixed_text(d / 10.0, 1);
    return text;
}

uint8_t level_code_of(double db) {
    if (db < -25)
        return 0;
    if (db > 0)
        return max_gain_code;
    // The small allowance keeps a level typed in tenths from falling to the tenth
    // below through binary rounding (-0.7 * 10 is a hair under -7).
    return static_cast<uint8_t>(std::trunc(10 * db + max_gain_code + 1e-6));
}

volume_page_logic::volume_page_logic(page_context& ctx, volume_view& view)
    : ctx_(ctx), view_(view) {}

void volume_page_logic::refresh() {
    amp_params& p = ctx_.params;
    view_.set_check(volume_item::mute, p.get(param_field::mute) == 1);
    view_.set_check(volume_item::invert, p.invert());

    view_.set_slider_range(volume_item::master_fader, 0, max_master_volume);
    view_.set_slider_range(volume_item::ch1_fader, 0, max_gain_code);
    view_.set_slider_range(volume_item::ch2_fader, 0, max_gain_code);
    const uint8_t m = p.master_volume();
    view_.set_slider_position(volume_item::master_fader, max_master_volume - m);
    view_.set_item_text(volume_item::master_percent, master_percent_text(m));
    for (amp_channel ch : {amp_channel::ch1, amp_channel::ch2}) {
        const uint8_t c = p.gain(ch);
        view_.set_slider_position(fader_of(ch), max_gain_code - c);
        view_.set_item_text(edit_of(ch), channel_level_text(c));
    }

    const uint8_t route = p.route();
    for (uint8_t r = 0; r < route_count; ++r)
        view_.set_check(volume_item::route_bypass + r, false);
    view_.set_check(volume_item::route_bypass + (route < route_count ? route : 0), true);
}

void volume_page_logic::params_changed(field_mask changed) {
    constexpr field_mask shown = layout_fields |
                                 field_range(param_field::master_volume, param_field::mute) |
                                 field_bit(param_field::invert) | field_bit(param_field::route);
    if ((changed & shown) != 0)
        refresh();
}

void volume_page_logic::master_scrolled(int position) {
    const auto m = static_cast<uint8_t>(std::abs(position - max_master_volume));
    ctx_.params.set_master_volume(m);
    view_.set_slider_position(volume_item::master_fader, max_master_volume - m);
    view_.set_item_text(volume_item::master_percent, master_percent_text(m));
    ctx_.ring.ring_push(cmd::master_volume(m, ctx_.params.mute()));
}

void volume_page_logic::fader_scrolled(amp_channel ch, int position) {
    const auto c = static_cast<uint8_t>(std::abs(position - max_gain_code));
    ctx_.params.set_gain(ch, c);
    show_level(ch, c);
    ctx_.ring.ring_push(cmd::output_gain(ch, c));
}

void volume_page_logic::level_typed(amp_channel ch, std::string_view text) {
    set_level(ch, read_typed_decimal(text, level_edit_width));
}

uint8_t volume_page_logic::set_level(amp_channel ch, double db) {
    const uint8_t c = level_code_of(db);
    ctx_.params.set_gain(ch, c);
    show_level(ch, c);
    ctx_.ring.ring_push(cmd::output_gain(ch, c));
    return c;
}

void volume_page_logic::show_level(amp_channel ch, uint8_t code) {
    view_.set_item_text(edit_of(ch), channel_level_text(code));
    view_.set_slider_position(fader_of(ch), max_gain_code - code);
}

void volume_page_logic::mute_clicked(bool checked) {
    ctx_.params.set_mute(checked);
    ctx_.ring.ring_push(cmd::mute(checked));
}

void volume_page_logic::route_clicked(uint8_t route, bool checked) {
    if (!checked)
        return;
    ctx_.params.set_route(route);
    ctx_.ring.ring_push(cmd::route(route));
}

void volume_page_logic::invert_clicked(bool checked) {
    ctx_.params.set_invert(checked);
    ctx_.ring.ring_push(cmd::polarity(checked));
}

}  // namespace tavrin
