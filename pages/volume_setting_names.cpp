// The Volume page's settings by name: master, mute, ch1.level, ch2.level, invert, route.
#include <cmath>

#include "pages/settings.h"
#include "pages/volume_page.h"

namespace tavrin {
namespace {

// The page logic without a window.
struct no_volume_view : volume_view {
    void set_item_text(int, const std::string&) override {}
    void set_check(int, bool) override {}
    void invalidate() override {}
    void invalidate_area(const graph::rect&) override {}
    int width() const override { return 0; }
    int height() const override { return 0; }
    void set_slider_range(int, int, int) override {}
    void set_slider_position(int, int) override {}
};

const std::vector<std::string> route_words{"bypass", "ch1", "ch2", "mixed", "swap"};

// Runs one action of the page logic, and reports the setting as it now stands.
template <typename Action>
setting_outcome on_page(page_context& ctx, const setting_show_fn& show, Action action) {
    no_volume_view view;
    volume_page_logic logic(ctx, view);
    action(logic);
    return applied_outcome(ctx.params, show);
}

setting_def level_setting(amp_channel ch) {
    const size_t i = ch == amp_channel::ch1 ? 1 : 2;
    const std::string name = "ch" + std::to_string(i) + ".level";
    setting_def def{name, "dB", "-25.0 to 0.0", number_check(name), {}, {}};
    def.show = [ch](const param_block& b) {
        return channel_level_text(static_cast<uint8_t>(field_value_in(
            b, ch == amp_channel::ch1 ? param_field::gain_ch1 : param_field::gain_ch2)));
    };
    def.apply = [ch, show = def.show](page_context& ctx, std::string_view value) {
        const std::optional<double> db = number_value(value);
        if (!db)
            return refused_outcome("not a number: '" + std::string(value) + "'");
        return on_page(ctx, show, [&](volume_page_logic& l) { l.set_level(ch, *db); });
    };
    return def;
}

setting_def on_off_setting(std::string name, param_field field,
                           void (volume_page_logic::*click)(bool)) {
    setting_def def{name, "", "on|off", word_check(name, {"on", "off"}), {}, {}};
    def.show = [field](const param_block& b) {
        // The mute box is checked only for 1; the invert box for anything but 0.
        const int v = field_value_in(b, field);
        return on_off_text(field == param_field::mute ? v == 1 : v != 0);
    };
    def.apply = [click, show = def.show](page_context& ctx, std::string_view value) {
        const std::optional<bool> on = parse_on_off(value);
        if (!on)
            return refused_outcome("not on or off: '" + std::string(value) + "'");
        return on_page(ctx, show, [&](volume_page_logic& l) { (l.*click)(*on); });
    };
    return def;
}

}  // namespace

std::vector<setting_def> volume_setting_names() {
    std::vector<setting_def> out;

    setting_def master{"master", "%", "0 to 100, in steps of 2", number_check("master"), {}, {}};
    master.show = [](const param_block& b) {
        return std::to_string(2 * field_value_in(b, param_field::master_volume));
    };
    master.apply = [show = master.show](page_context& ctx, std::string_view value) {
        const std::optional<double> percent = number_value(value);
        if (!percent)
            return refused_outcome("not a number: '" + std::string(value) + "'");
        // The fader has 51 positions, 2 % apart; the nearest one is taken.
        const auto m = static_cast<int>(std::lround(std::clamp(*percent, 0.0, 100.0) / 2));
        return on_page(ctx, show,
                       [&](volume_page_logic& l) { l.master_scrolled(max_master_volume - m); });
    };
    out.push_back(std::move(master));

    out.push_back(on_off_setting("mute", param_field::mute, &volume_page_logic::mute_clicked));
    out.push_back(level_setting(amp_channel::ch1));
    out.push_back(level_setting(amp_channel::ch2));
    out.push_back(
        on_off_setting("invert", param_field::invert, &volume_page_logic::invert_clicked));

    setting_def route{"route", "", "bypass|ch1|ch2|mixed|swap", word_check("route", route_words),
                      {},      {}};
    route.show = [](const param_block& b) {
        // The page shows any unknown route as "Bypass".
        const int r = field_value_in(b, param_field::route);
        return route_words[r >= 0 && r < route_count ? r : 0];
    };
    route.apply = [show = route.show](page_context& ctx, std::string_view value) {
        const std::string word = lower_case(value);
        for (uint8_t r = 0; r < route_count; ++r) {
            if (route_words[r] == word)
                return on_page(ctx, show, [&](volume_page_logic& l) { l.route_clicked(r, true); });
        }
        return refused_outcome("not a route: '" + std::string(value) + "'");
    };
    out.push_back(std::move(route));
    return out;
}

}  // namespace tavrin
