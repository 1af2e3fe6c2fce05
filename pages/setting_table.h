#pragma once
// What the pages' settings tables are built from: a number, a choice of words, an
// on/off switch, each read from a block and applied through a page of the desk.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "pages/setting_desk.h"
#include "pages/settings.h"

namespace tavrin::setting_table {

using reader = std::function<std::optional<std::string>(const param_block&)>;

struct number_spec {
    std::string name, unit, range, step;
    bool whole = false;
};

// A number applied through `apply`(desk, value), which tells what came of it.
inline setting_def number(number_spec spec, reader read,
                          std::function<apply_note(setting_desk&, double)> apply) {
    setting_def def;
    def.name = std::move(spec.name);
    def.unit = std::move(spec.unit);
    def.range = std::move(spec.range);
    def.step = std::move(spec.step);
    def.whole = spec.whole;
    def.read = std::move(read);
    def.apply = [apply = std::move(apply)](setting_desk& desk, const setting_value& v) {
        return apply(desk, v.number);
    };
    return def;
}

// One of `words`, applied through `apply`(desk, index of the word).
inline setting_def words(std::string name, std::string unit, std::vector<std::string> choice,
                         reader read, std::function<apply_note(setting_desk&, size_t)> apply) {
    setting_def def;
    def.name = std::move(name);
    def.unit = std::move(unit);
    for (const std::string& w : choice)
        def.range += (def.range.empty() ? "" : "|") + w;
    def.words = std::move(choice);
    def.read = std::move(read);
    def.apply = [apply = std::move(apply)](setting_desk& desk, const setting_value& v) {
        return apply(desk, v.word);
    };
    return def;
}

inline std::string on_off_text(bool on) {
    return on ? "on" : "off";
}

// "on" or "off": `is_on` reads the block (nothing: no value), `apply` takes the new state.
inline setting_def on_off(std::string name,
                          std::function<std::optional<bool>(const param_block&)> is_on,
                          std::function<apply_note(setting_desk&, bool)> apply) {
    return words(
        std::move(name), "", {"on", "off"},
        [is_on = std::move(is_on)](const param_block& b) -> std::optional<std::string> {
            if (const std::optional<bool> on = is_on(b))
                return on_off_text(*on);
            return std::nullopt;
        },
        [apply = std::move(apply)](setting_desk& desk, size_t word) {
            return apply(desk, word == 0);
        });
}

// `read`(params) on a copy of the block, for the typed accessors of amp_params.
template <typename Read>
auto with_params(const param_block& block, Read read) {
    amp_params p;
    p.replace(block);
    return read(static_cast<const amp_params&>(p));
}

inline std::string channel_prefix(amp_channel ch) {
    return ch == amp_channel::ch1 ? "ch1." : "ch2.";
}

}  // namespace tavrin::setting_table
