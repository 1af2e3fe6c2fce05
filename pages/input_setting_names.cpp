// The Input page's settings by name: ch1.trim, ch2.trim and each channel's limiter
// (ch1.limiter.threshold ... ch2.limiter.release), in the set of the current speaker
// impedance.
#include <algorithm>
#include <cmath>

#include "pages/input_page.h"
#include "pages/settings.h"

namespace tavrin {
namespace {

struct no_input_view : input_view {
    void set_item_text(int, const std::string&) override {}
    void set_check(int, bool) override {}
    void invalidate() override {}
    void invalidate_area(const graph::rect&) override {}
    int width() const override { return 0; }
    int height() const override { return 0; }
    void set_slider_range(int, int, int) override {}
    void set_slider_position(int, int) override {}
    void arm_send_timer(uint32_t) override {}
    void stop_send_timer() override {}
};

std::string channel_prefix(amp_channel ch) {
    return ch == amp_channel::ch1 ? "ch1." : "ch2.";
}

setting_def trim_setting(amp_channel ch) {
    const std::string name = channel_prefix(ch) + "trim";
    setting_def def{name, "dB", "-10.0 to 10.0", number_check(name), {}, {}};
    def.show = [ch](const param_block& b) {
        const param_field f =
            ch == amp_channel::ch1 ? param_field::match_gain_ch1 : param_field::match_gain_ch2;
        return fixed_text(field_value_in(b, f) / 10.0, 1);
    };
    def.apply = [ch, show = def.show](page_context& ctx, std::string_view value) {
        const std::optional<double> db = number_value(value);
        if (!db)
            return refused_outcome("not a number: '" + std::string(value) + "'");
        // The slider's positions are tenths of a dB; the nearest one is taken, and sent
        // at once rather than after the page's pause.
        const auto t = static_cast<int>(std::lround(std::clamp(*db, -10.0, 10.0) * 10));
        no_input_view view;
        input_page_logic logic(ctx, view);
        logic.trim_scrolled(ch, t);
        logic.flush();
        return applied_outcome(ctx.params, show);
    };
    return def;
}

struct limiter_name {
    limiter_item item;
    const char* word;
    const char* unit;
    const char* range;
};

// In the order `set` applies them: the attack before the hold it may raise.
constexpr limiter_name limiter_names[] = {
    {limiter_item::threshold, "threshold", "dB", "-90 to 6"},
    {limiter_item::ratio, "ratio", "1:X", "1.00 to 100.00"},
    {limiter_item::knee, "knee", "", "1 to 100"},
    {limiter_item::attack, "attack", "ms", "1 to 500"},
    {limiter_item::hold, "hold", "ms", "the attack to 500"},
    {limiter_item::release, "release", "ms", "1 to 2000"},
};

std::string limiter_value_text(const param_block& block, amp_channel ch, limiter_item item) {
    amp_params p;
    p.replace(block);
    const uint16_t v = p.limiter_value(p.active_limiter_set(), ch, item);
    switch (item) {
        case limiter_item::threshold:
            return std::to_string(int{v} - 90);
        case limiter_item::ratio:
            return fixed_text(v / 100.0, 2);
        default:
            return std::to_string(v);
    }
}

setting_def limiter_setting(amp_channel ch, const limiter_name& n) {
    const std::string name = channel_prefix(ch) + "limiter." + n.word;
    setting_def def{name, n.unit, n.range, number_check(name), {}, {}};
    const limiter_item item = n.item;
    def.show = [ch, item](const param_block& b) { return limiter_value_text(b, ch, item); };
    def.apply = [ch, item, show = def.show](page_context& ctx, std::string_view value) {
        const std::optional<double> v = number_value(value);
        if (!v)
            return refused_outcome("not a number: '" + std::string(value) + "'");
        no_input_view view;
        input_page_logic logic(ctx, view);
        logic.set_limiter(ch, item, *v);
        return applied_outcome(ctx.params, show);
    };
    return def;
}

}  // namespace

std::vector<setting_def> input_setting_names() {
    std::vector<setting_def> out;
    out.push_back(trim_setting(amp_channel::ch1));
    out.push_back(trim_setting(amp_channel::ch2));
    for (amp_channel ch : {amp_channel::ch1, amp_channel::ch2}) {
        for (const limiter_name& n : limiter_names)
            out.push_back(limiter_setting(ch, n));
    }
    return out;
}

}  // namespace tavrin
