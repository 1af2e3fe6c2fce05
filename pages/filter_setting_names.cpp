// ch1.hpf.on ... ch2.lpf.slope: the Filter page's settings by name, applied through
// the page logic on the named channel.
#include <string>

#include "pages/filter_page.h"
#include "pages/peq_setting_rules.h"
#include "pages/peq_typed_text.h"
#include "pages/response_math.h"

namespace tavrin {
namespace {

using namespace setting_rules;

// The page without a window.
struct unseen_page : filter_page_view {
    void set_item_text(int, const std::string&) override {}
    void set_check(int, bool) override {}
    void invalidate() override {}
    void invalidate_area(const graph::rect&) override {}
    int width() const override { return 0; }
    int height() const override { return 0; }
    void set_choices(int, std::span<const char* const>) override {}
    void select_choice(int, int) override {}
};

// Checks the word, then runs `act` on the page logic showing channel `ch`, loaded
// from the mirror; `act` gives the value as applied.
template <typename Act>
setting_outcome on_page(page_context& ctx, amp_channel ch, std::optional<std::string> why,
                        Act act) {
    if (why)
        return refused(*why);
    channel_context local(ctx, ch);
    unseen_page view;
    filter_page_logic logic(local.ctx, view);
    logic.refresh();
    return {true, act(logic), {}};
}

// Slopes are named by their dB/oct: 12, 18, 24, 30 or 36.
int slope_db(int code) {
    return 12 + 6 * code;
}

std::optional<int> slope_code_for(std::string_view value) {
    for (int code = 0; code < slope_code_count; ++code) {
        if (value == std::to_string(slope_db(code)))
            return code;
    }
    return std::nullopt;
}

std::optional<std::string> not_a_slope(std::string_view value) {
    if (slope_code_for(value))
        return std::nullopt;
    return "'" + std::string(value) + "' is not a slope of 12, 18, 24, 30 or 36 dB/oct";
}

struct filter_values {
    double frequency;
    int slope;
    bool enabled;
};

filter_values values_of(const param_block& b, amp_channel ch, filter_kind kind) {
    const graph::filter_pair r = shown_filter_pair(b, ch);
    if (kind == filter_kind::low_pass)
        return {r.lp_frequency, r.lp_slope, r.lp_enabled};
    return {r.hp_frequency, r.hp_slope, r.hp_enabled};
}

void add_filter(std::vector<setting_def>& out, amp_channel ch, filter_kind kind) {
    const std::string name = "ch" + std::to_string(static_cast<int>(ch)) +
                             (kind == filter_kind::low_pass ? ".lpf." : ".hpf.");
    const auto whole = [](std::string_view v) { return not_a_number(v, true); };

    out.push_back({name + "on", "", "on|off", not_on_off,
                   [=](page_context& ctx, std::string_view v) {
                       return on_page(ctx, ch, not_on_off(v), [&](filter_page_logic& page) {
                           page.apply_enable(kind, v == "on");
                           return std::string(v);
                       });
                   },
                   [=](const param_block& b) {
                       return std::string(values_of(b, ch, kind).enabled ? "on" : "off");
                   }});

    out.push_back(
        {name + "freq", "Hz",
         std::to_string(filter_min_freq) + " to " + std::to_string(filter_max_freq), whole,
         [=](page_context& ctx, std::string_view v) {
             return on_page(ctx, ch, whole(v), [&](filter_page_logic& page) {
                 return std::to_string(page.apply_frequency(kind, *strict_number(v, true)));
             });
         },
         [=](const param_block& b) {
             return std::to_string(static_cast<int>(values_of(b, ch, kind).frequency));
         }});

    out.push_back({name + "slope", "dB/oct", "12|18|24|30|36", not_a_slope,
                   [=](page_context& ctx, std::string_view v) {
                       return on_page(ctx, ch, not_a_slope(v), [&](filter_page_logic& page) {
                           const int code = *slope_code_for(v);
                           page.apply_slope(kind, code);
                           return std::to_string(slope_db(code));
                       });
                   },
                   [=](const param_block& b) {
                       return std::to_string(slope_db(values_of(b, ch, kind).slope));
                   }});
}

}  // namespace

std::vector<setting_def> filter_setting_names() {
    std::vector<setting_def> out;
    for (amp_channel ch : {amp_channel::ch1, amp_channel::ch2}) {
        add_filter(out, ch, filter_kind::high_pass);
        add_filter(out, ch, filter_kind::low_pass);
    }
    return out;
}

}  // namespace tavrin
