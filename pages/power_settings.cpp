// The Power page's settings: power.class, pbtl and speaker (applied before every other
// setting: they decide which limits and which limiter set the others land in), then
// power.limit, ch1.power, ch2.power, pbtl.power, current.limit, current.threshold and
// current.release of the class in force.
#include <algorithm>
#include <cmath>

#include "pages/setting_table.h"

namespace tavrin {
namespace {

using namespace setting_table;

const std::vector<std::string> class_words{"auto", "poe", "poe+", "poe++", "dc"};
const std::string unknown_class = "the amplifier reports an unknown power class";

// The set of the class in force, if this tool knows the class.
std::optional<power_set> set_in_force(const amp_params& p) {
    if (p.power_class() >= power_class_count)
        return std::nullopt;
    return power_set_for_class(p.power_class());
}

// Reads a value of the class in force; nothing when the class is unknown.
template <typename Get>
reader of_class(Get get) {
    return [get](const param_block& b) {
        return with_params(b, [&](const amp_params& p) -> std::optional<std::string> {
            if (const std::optional<power_set> set = set_in_force(p))
                return get(p, *set);
            return std::nullopt;
        });
    };
}

// A click on the page that needs the class in force to be known.
template <typename Click>
apply_note class_click(setting_desk& desk, Click click) {
    power_page_logic& page = desk.power();
    if (!with_params(desk.block(), set_in_force))
        return {unknown_class, false};
    click(page);
    return {};
}

// A slider's position from a value in its units: the nearest step within its range.
int nearest(double value, double unit, slider_range r) {
    const double steps = std::clamp(value, 0.0, 1e6) / unit;
    return std::clamp(static_cast<int>(std::lround(steps)), r.min, r.max);
}

// The range of a power-limit slider. With the impedance byte neither 4 nor 8 the page's
// slider keeps whatever range it had; the 8 ohm range stands in.
slider_range limit_range(const amp_params& p, limit_slot slot) {
    const uint8_t impedance =
        slot == limit_slot::ch1 ? p.speaker_impedance() : p.speaker_impedance_2();
    if (const auto r = power_limit_range(p.power_class(), slot, impedance))
        return *r;
    return power_limit_range(p.power_class(), slot, 8).value_or(slider_range{1, 600});
}

setting_def limit(std::string name, limit_slot slot) {
    const std::string range =
        slot == limit_slot::pbtl
            ? "0.1 to 10.0 (PoE), 20.0 (PoE+), 30.0 at 8 ohm or 60.0 at 4 ohm (PoE++, DC In)"
            : "0.1 to 10.0 (PoE), 20.0 (PoE+), 40.0 at 8 ohm or 55.0 at 4 ohm (PoE++, DC In)";
    return number({std::move(name), "W", range, "0.1, the nearest; within the class budget"},
                  of_class([slot](const amp_params& p, power_set set) {
                      return fixed_text(p.power_limit(set, slot) / 10.0, 1);
                  }),
                  [slot](setting_desk& desk, double watts) {
                      power_page_logic& page = desk.power();
                      const int wanted =
                          nearest(watts, 0.1, with_params(desk.block(), [&](const amp_params& p) {
                                      return limit_range(p, slot);
                                  }));
                      const std::optional<int> kept = page.limit_scrolled(slot, wanted);
                      if (!kept)
                          return apply_note{unknown_class, false};
                      return apply_note{{}, *kept < wanted};
                  });
}

}  // namespace

std::vector<setting_def> power_page_settings() {
    std::vector<setting_def> out;

    setting_def power_class = words(
        "power.class", "", class_words,
        [](const param_block& b) -> std::optional<std::string> {
            const int source = field_value_in(b, param_field::power_source);
            const int c = source & 0x7F;
            // Detected by the amplifier ("Manual" off), whatever the class.
            if ((source & 0x80) == 0)
                return class_words[0];
            // Chosen, but no class this tool can name.
            if (c >= power_class_count)
                return std::nullopt;
            return class_words[c + 1];
        },
        [](setting_desk& desk, size_t word) {
            if (word == 0)
                desk.power().manual_clicked(false);
            else
                desk.power().class_chosen(static_cast<int>(word - 1));
            return apply_note{};
        });
    power_class.stage = 0;
    out.push_back(std::move(power_class));

    setting_def pbtl = on_off(
        "pbtl", [](const param_block& b) { return field_value_in(b, param_field::pbtl_mode) != 0; },
        [](setting_desk& desk, bool on) {
            desk.power().pbtl_clicked(on);
            return apply_note{};
        });
    pbtl.stage = 0;
    out.push_back(std::move(pbtl));

    setting_def speaker = words(
        "speaker", "ohm", {"4", "8"},
        // Any impedance but 4 is taken as 8.
        [](const param_block& b) -> std::optional<std::string> {
            return field_value_in(b, param_field::speaker_impedance) == 4 ? "4" : "8";
        },
        [](setting_desk& desk, size_t word) {
            desk.power().speaker_clicked(word == 0 ? 4 : 8);
            return apply_note{};
        });
    speaker.stage = 0;
    out.push_back(std::move(speaker));

    out.push_back(on_off(
        "power.limit",
        [](const param_block& b) {
            return with_params(b, [](const amp_params& p) -> std::optional<bool> {
                if (const std::optional<power_set> set = set_in_force(p))
                    return p.power_limit_enable(*set) != 0;
                return std::nullopt;
            });
        },
        [](setting_desk& desk, bool on) {
            return class_click(desk,
                               [on](power_page_logic& page) { page.limit_enable_clicked(on); });
        }));
    out.push_back(limit("ch1.power", limit_slot::ch1));
    out.push_back(limit("ch2.power", limit_slot::ch2));
    out.push_back(limit("pbtl.power", limit_slot::pbtl));
    out.push_back(on_off(
        "current.limit",
        [](const param_block& b) {
            return with_params(b, [](const amp_params& p) -> std::optional<bool> {
                if (const std::optional<power_set> set = set_in_force(p))
                    return p.current_limit_of(*set).enable != 0;
                return std::nullopt;
            });
        },
        [](setting_desk& desk, bool on) {
            return class_click(desk,
                               [on](power_page_logic& page) { page.current_enable_clicked(on); });
        }));
    out.push_back(number(
        {"current.threshold", "mA", "25 to 350 (PoE), 600 (PoE+), 1800 (PoE++, DC In)",
         "25, the nearest"},
        of_class([](const amp_params& p, power_set set) {
            return std::to_string(p.current_limit_of(set).threshold * 25);
        }),
        [](setting_desk& desk, double ma) {
            const int units =
                nearest(ma, 25, threshold_range(with_params(desk.block(), [](const amp_params& p) {
                            return p.power_class();
                        })));
            return class_click(desk,
                               [units](power_page_logic& page) { page.threshold_scrolled(units); });
        }));
    out.push_back(number({"current.release", "s", "1 to 30", "1, the nearest"},
                         of_class([](const amp_params& p, power_set set) {
                             return std::to_string(p.current_limit_of(set).release);
                         }),
                         [](setting_desk& desk, double s) {
                             const int seconds = nearest(s, 1, release_range());
                             return class_click(desk, [seconds](power_page_logic& page) {
                                 page.release_scrolled(seconds);
                             });
                         }));
    return out;
}

}  // namespace tavrin
