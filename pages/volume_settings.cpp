// The Volume page's settings: master, mute, ch1.level, ch2.level, invert, route.
#include <algorithm>
#include <cmath>

#include "pages/setting_table.h"

namespace tavrin {
namespace {

using namespace setting_table;

const std::vector<std::string> route_words{"bypass", "ch1", "ch2", "mixed", "swap"};

setting_def level(amp_channel ch) {
    const param_field field =
        ch == amp_channel::ch1 ? param_field::gain_ch1 : param_field::gain_ch2;
    return number(
        {channel_prefix(ch) + "level", "dB", "-25.0 to 0.0",
         "0.1, cut toward -25.0 (-3.75 sets -3.8)"},
        // dB = (code - 250) / 10 over the whole byte: 255 is +0.5 dB.
        [field](const param_block& b) {
            return fixed_text((field_value_in(b, field) - max_gain_code) / 10.0, 1);
        },
        [ch](setting_desk& desk, double db) {
            desk.volume().set_level(ch, db);
            return apply_note{};
        });
}

}  // namespace

std::vector<setting_def> volume_page_settings() {
    std::vector<setting_def> out;
    out.push_back(number(
        {"master", "%", "0 to 100", "2, the nearest (73 sets 74)"},
        [](const param_block& b) {
            return std::to_string(2 * field_value_in(b, param_field::master_volume));
        },
        [](setting_desk& desk, double percent) {
            // The fader has 51 positions, 2 % apart; its position counts from the top.
            const auto m = static_cast<int>(std::lround(std::clamp(percent, 0.0, 100.0) / 2));
            desk.volume().master_scrolled(max_master_volume - m);
            return apply_note{};
        }));
    out.push_back(on_off(
        "mute",
        // Only 1 is muted.
        [](const param_block& b) { return field_value_in(b, param_field::mute) == 1; },
        [](setting_desk& desk, bool on) {
            desk.volume().mute_clicked(on);
            return apply_note{};
        }));
    out.push_back(level(amp_channel::ch1));
    out.push_back(level(amp_channel::ch2));
    out.push_back(on_off(
        "invert", [](const param_block& b) { return field_value_in(b, param_field::invert) != 0; },
        [](setting_desk& desk, bool on) {
            desk.volume().invert_clicked(on);
            return apply_note{};
        }));
    out.push_back(words(
        "route", "", route_words,
        [](const param_block& b) -> std::optional<std::string> {
            // The page shows a route it does not know as "Bypass".
            const int r = field_value_in(b, param_field::route);
            return route_words[r < route_count ? r : 0];
        },
        [](setting_desk& desk, size_t word) {
            desk.volume().route_clicked(static_cast<uint8_t>(word), true);
            return apply_note{};
        }));
    return out;
}

}  // namespace tavrin
