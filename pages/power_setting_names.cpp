// The Power page's settings by name: power.class, pbtl, speaker (applied before every
// other setting: they decide which limits and limiter set the others land in), then
// power.limit, ch1.power, ch2.power, pbtl.power, current.limit, current.threshold and
// current.release of the current class.
#include <algorithm>
#include <cmath>

#include "pages/power_page.h"
#include "pages/settings.h"

namespace tavrin {
namespace {

struct no_power_view : power_view {
    void set_item_text(int, const std::string&) override {}
    void set_check(int, bool) override {}
    void invalidate() override {}
    void invalidate_area(const graph::rect&) override {}
    int width() const override { return 0; }
    int height() const override { return 0; }
    void add_entry(int, const std::string&) override {}
    void select_entry(int, int) override {}
    void set_enabled(int, bool) override {}
    void set_slider_range(int, int, int) override {}
    void set_slider_position(int, int) override {}
    void arm_send_timer(uint32_t) override {}
    void stop_send_timer() override {}
};

// The page as it stands after a refresh, without a window.
struct power_page_now {
    explicit power_page_now(page_context& ctx) : logic(ctx, view) { logic.refresh(); }
    no_power_view view;
    power_page_logic logic;
};

const std::vector<std::string> class_words{"poe", "poe+", "poe++", "dc"};
constexpr const char* auto_word = "auto";

const std::string unknown_class_error = "the amplifier reports an unknown power class";

// The class set of a block, if its class is known.
std::optional<power_set> block_set(const amp_params& p) {
    if (p.power_class() >= power_class_count)
        return std::nullopt;
    return power_set_for_class(p.power_class());
}

// Shows a value of the current class's set ("" when the class is unknown).
template <typename Get>
setting_show_fn class_show(Get get) {
    return [get](const param_block& b) -> std::string {
        amp_params p;
        p.replace(b);
        const std::optional<power_set> set = block_set(p);
        return set ? get(p, *set) : std::string();
    };
}

// `of_class`: the switch belongs to the current class's set, which must be known.
setting_def on_off(std::string name, setting_show_fn show, void (power_page_logic::*click)(bool),
                   bool of_class) {
    setting_def def{name, "", "on|off", word_check(name, {"on", "off"}), {}, std::move(show)};
    def.apply = [click, of_class, show = def.show](page_context& ctx, std::string_view value) {
        const std::optional<bool> on = parse_on_off(value);
        if (!on)
            return refused_outcome("not on or off: '" + std::string(value) + "'");
        if (of_class && !block_set(ctx.params))
            return refused_outcome(unknown_class_error);
        power_page_now page(ctx);
        (page.logic.*click)(*on);
        return applied_outcome(ctx.params, show);
    };
    return def;
}

// With the class unknown or the impedance byte neither 4 nor 8 the page's slider keeps
// whatever range it had; without a page, the 8 ohm range of the class stands in.
slider_range limit_range(const amp_params& p, limit_slot slot) {
    const uint8_t impedance =
        slot == limit_slot::ch1 ? p.speaker_impedance() : p.speaker_impedance_2();
    if (const auto r = power_limit_range(p.power_class(), slot, impedance))
        return *r;
    return power_limit_range(p.power_class(), slot, 8).value_or(slider_range{1, 600});
}

setting_def limit_setting(std::string name, limit_slot slot) {
    const char* range =
        slot == limit_slot::pbtl
            ? "0.1 to 10.0 (PoE), 20.0 (PoE+), 30.0 or 60.0 (PoE++ and DC In, 8 or 4 ohm)"
            : "0.1 to 10.0 (PoE), 20.0 (PoE+), 40.0 or 55.0 (PoE++ and DC In, 8 or 4 "
              "ohm); CH1 and CH2 together within 10.0, 20.0 or 60.0";
    setting_def def{name, "W", range, number_check(name), {}, {}};
    def.show = class_show([slot](const amp_params& p, power_set set) {
        return fixed_text(p.power_limit(set, slot) / 10.0, 1);
    });
    def.apply = [slot, show = def.show](page_context& ctx, std::string_view value) {
        const std::optional<double> watts = number_value(value);
        if (!watts)
            return refused_outcome("not a number: '" + std::string(value) + "'");
        const slider_range r = limit_range(ctx.params, slot);
        // The slider's positions are tenths of a watt; the nearest one within its range.
        const int wanted = std::clamp(
            static_cast<int>(std::lround(std::clamp(*watts, 0.0, 1e4) * 10)), r.min, r.max);
        power_page_now page(ctx);
        const std::optional<int> kept = page.logic.limit_scrolled(slot, wanted);
        if (!kept)
            return refused_outcome(unknown_class_error);
        // Sent at once rather than after the page's pause.
        page.logic.flush();
        setting_outcome out = applied_outcome(ctx.params, show);
        out.cut_by_others = *kept < wanted;
        return out;
    };
    return def;
}

}  // namespace

std::vector<setting_def> power_setting_names() {
    std::vector<setting_def> out;

    std::vector<std::string> class_choice = class_words;
    class_choice.insert(class_choice.begin(), auto_word);
    setting_def power_class{"power.class",
                            "",
                            "auto|poe|poe+|poe++|dc",
                            word_check("power.class", class_choice),
                            {},
                            {}};
    power_class.show = [](const param_block& b) {
        const int source = field_value_in(b, param_field::power_source);
        const int c = source & 0x7F;
        // Detected by the amplifier, or a class this tool does not know: its own choice.
        if ((source & 0x80) == 0 || c >= power_class_count)
            return std::string(auto_word);
        return class_words[c];
    };
    power_class.apply = [show = power_class.show](page_context& ctx, std::string_view value) {
        const std::string word = lower_case(value);
        power_page_now page(ctx);
        if (word == auto_word) {
            page.logic.manual_clicked(false);
            return applied_outcome(ctx.params, show);
        }
        for (size_t c = 0; c < class_words.size(); ++c) {
            if (class_words[c] == word) {
                page.logic.class_chosen(static_cast<int>(c));
                return applied_outcome(ctx.params, show);
            }
        }
        return refused_outcome("not a power class: '" + std::string(value) + "'");
    };
    power_class.stage = 0;
    out.push_back(std::move(power_class));

    setting_def pbtl = on_off(
        "pbtl",
        [](const param_block& b) {
            return on_off_text(field_value_in(b, param_field::pbtl_mode) != 0);
        },
        &power_page_logic::pbtl_clicked, false);
    pbtl.stage = 0;
    out.push_back(std::move(pbtl));

    setting_def speaker{"speaker", "ohm", "4|8", word_check("speaker", {"4", "8"}), {}, {}};
    speaker.show = [](const param_block& b) {
        return std::string(field_value_in(b, param_field::speaker_impedance) == 4 ? "4" : "8");
    };
    speaker.apply = [show = speaker.show](page_context& ctx, std::string_view value) {
        if (value != "4" && value != "8")
            return refused_outcome("not 4 or 8: '" + std::string(value) + "'");
        power_page_now page(ctx);
        page.logic.speaker_clicked(value == "4" ? 4 : 8);
        return applied_outcome(ctx.params, show);
    };
    speaker.stage = 0;
    out.push_back(std::move(speaker));

    out.push_back(on_off("power.limit", class_show([](const amp_params& p, power_set set) {
                             return on_off_text(p.power_limit_enable(set) != 0);
                         }),
                         &power_page_logic::limit_enable_clicked, true));
    out.push_back(limit_setting("ch1.power", limit_slot::ch1));
    out.push_back(limit_setting("ch2.power", limit_slot::ch2));
    out.push_back(limit_setting("pbtl.power", limit_slot::pbtl));
    out.push_back(on_off("current.limit", class_show([](const amp_params& p, power_set set) {
                             return on_off_text(p.current_limit_of(set).enable != 0);
                         }),
                         &power_page_logic::current_enable_clicked, true));

    setting_def threshold{"current.threshold",
                          "mA",
                          "25 to 350 (PoE), 600 (PoE+), 1800 (PoE++, DC In), in steps of 25",
                          number_check("current.threshold"),
                          {},
                          {}};
    threshold.show = class_show([](const amp_params& p, power_set set) {
        return std::to_string(p.current_limit_of(set).threshold * 25);
    });
    threshold.apply = [show = threshold.show](page_context& ctx, std::string_view value) {
        const std::optional<double> ma = number_value(value);
        if (!ma)
            return refused_outcome("not a number: '" + std::string(value) + "'");
        const slider_range r = threshold_range(ctx.params.power_class());
        const int units =
            std::clamp(static_cast<int>(std::lround(std::clamp(*ma, 0.0, 1e5) / 25)), r.min, r.max);
        power_page_now page(ctx);
        if (!page.logic.threshold_scrolled(units))
            return refused_outcome(unknown_class_error);
        return applied_outcome(ctx.params, show);
    };
    out.push_back(std::move(threshold));

    setting_def release{"current.release", "s", "1 to 30", number_check("current.release"), {}, {}};
    release.show = class_show([](const amp_params& p, power_set set) {
        return std::to_string(p.current_limit_of(set).release);
    });
    release.apply = [show = release.show](page_context& ctx, std::string_view value) {
        const std::optional<double> s = number_value(value);
        if (!s)
            return refused_outcome("not a number: '" + std::string(value) + "'");
        const slider_range r = release_range();
        const int seconds =
            std::clamp(static_cast<int>(std::lround(std::clamp(*s, 0.0, 1e5))), r.min, r.max);
        power_page_now page(ctx);
        if (!page.logic.release_scrolled(seconds))
            return refused_outcome(unknown_class_error);
        return applied_outcome(ctx.params, show);
    };
    out.push_back(std::move(release));
    return out;
}

}  // namespace tavrin
