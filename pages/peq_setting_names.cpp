// ch1.peq1.freq ... ch2.peq5.on: the Parametric EQ page's settings by name, applied
// through the page logic on the named channel.
#include <string>

#include "pages/peq_page.h"
#include "pages/peq_setting_rules.h"
#include "pages/peq_typed_text.h"

namespace tavrin {
namespace {

using namespace setting_rules;

// The page without a window.
struct unseen_page : page_view {
    void set_item_text(int, const std::string&) override {}
    void set_check(int, bool) override {}
    void invalidate() override {}
    void invalidate_area(const graph::rect&) override {}
    int width() const override { return 0; }
    int height() const override { return 0; }
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
    peq_page_logic logic(local.ctx, view);
    logic.refresh();
    return {true, act(logic), {}};
}

void add_band(std::vector<setting_def>& out, amp_channel ch, size_t band) {
    const std::string name =
        "ch" + std::to_string(static_cast<int>(ch)) + ".peq" + std::to_string(band + 1) + ".";
    const double gain_limit = band == 0 ? peq_band1_gain_limit : peq_gain_limit;
    const auto whole = [](std::string_view v) { return not_a_number(v, true); };
    const auto decimal = [](std::string_view v) { return not_a_number(v, false); };

    out.push_back(
        {name + "freq", "Hz", std::to_string(peq_min_freq) + " to " + std::to_string(peq_max_freq),
         whole,
         [=](page_context& ctx, std::string_view v) {
             return on_page(ctx, ch, whole(v), [&](peq_page_logic& page) {
                 return std::to_string(page.apply_frequency(band, *strict_number(v, true)));
             });
         },
         [=](const param_block& b) {
             return std::to_string(static_cast<int>(shown_peq_band(b, ch, band).frequency));
         }});

    out.push_back({name + "gain", "dB", tenths(-gain_limit) + " to " + tenths(gain_limit), decimal,
                   [=](page_context& ctx, std::string_view v) {
                       return on_page(ctx, ch, decimal(v), [&](peq_page_logic& page) {
                           return tenths(page.apply_gain(band, *strict_number(v, false)));
                       });
                   },
                   [=](const param_block& b) { return tenths(shown_peq_band(b, ch, band).gain); }});

    out.push_back(
        {name + "q", "", hundredths(peq_min_q) + " to " + hundredths(peq_max_q), decimal,
         [=](page_context& ctx, std::string_view v) {
             return on_page(ctx, ch, decimal(v), [&](peq_page_logic& page) {
                 return hundredths(page.apply_q(band, *strict_number(v, false)));
             });
         },
         [=](const param_block& b) { return hundredths(shown_peq_band(b, ch, band).q); }});

    out.push_back({name + "on", "", "on|off", not_on_off,
                   [=](page_context& ctx, std::string_view v) {
                       return on_page(ctx, ch, not_on_off(v), [&](peq_page_logic& page) {
                           page.apply_enable(band, v == "on");
                           return std::string(v);
                       });
                   },
                   [=](const param_block& b) {
                       return std::string(shown_peq_band(b, ch, band).enabled ? "on" : "off");
                   }});
}

}  // namespace

std::vector<setting_def> peq_setting_names() {
    std::vector<setting_def> out;
    for (amp_channel ch : {amp_channel::ch1, amp_channel::ch2}) {
        for (size_t band = 0; band < band_count; ++band)
            add_band(out, ch, band);
    }
    return out;
}

}  // namespace tavrin
