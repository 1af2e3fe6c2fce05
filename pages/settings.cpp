#include "pages/settings.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tavrin {
namespace {

std::string_view first(std::string_view text, size_t width) {
    return text.substr(0, std::min(text.size(), width));
}

}  // namespace

const std::vector<setting_def>& all_settings() {
    static const std::vector<setting_def> all = [] {
        std::vector<setting_def> out;
        for (auto family : {volume_setting_names, input_setting_names, peq_setting_names,
                            filter_setting_names, power_setting_names}) {
            for (setting_def& def : family())
                out.push_back(std::move(def));
        }
        return out;
    }();
    return all;
}

const setting_def* find_setting(std::string_view name) {
    for (const setting_def& def : all_settings()) {
        if (def.name == name)
            return &def;
    }
    return nullptr;
}

std::vector<const setting_def*> apply_order(const std::vector<const setting_def*>& names) {
    const auto& all = all_settings();
    const auto index = [&](const setting_def* def) {
        // Settings from all_settings() compare by their place in it.
        if (def >= all.data() && def < all.data() + all.size())
            return static_cast<size_t>(def - all.data());
        return all.size();
    };
    std::vector<const setting_def*> out = names;
    std::stable_sort(out.begin(), out.end(), [&](const setting_def* a, const setting_def* b) {
        if (a->stage != b->stage)
            return a->stage < b->stage;
        return index(a) < index(b);
    });
    return out;
}

std::vector<setting_result> apply_settings(page_context& ctx,
                                           const std::vector<setting_request>& requests) {
    std::vector<const setting_def*> defs;
    for (const setting_request& r : requests)
        defs.push_back(r.def);
    const auto value_of = [&](const setting_def* def) -> const std::string& {
        for (const setting_request& r : requests) {
            if (r.def == def)
                return r.value;
        }
        static const std::string none;
        return none;
    };
    std::vector<setting_result> results;
    // The mirror right after each setting: a cut value is tried again only when the
    // settings after it changed something.
    std::vector<param_block> after;
    for (const setting_def* def : apply_order(defs)) {
        const std::string& value = value_of(def);
        results.push_back({def, value, def->apply(ctx, value)});
        after.push_back(ctx.params.snapshot());
    }
    for (size_t i = 0; i < results.size(); ++i) {
        setting_result& r = results[i];
        if (r.outcome.ok && r.outcome.cut_by_others && ctx.params.snapshot() != after[i])
            r.outcome = r.def->apply(ctx, r.typed);
    }
    return results;
}

std::string applied_line(const setting_result& result) {
    if (!result.outcome.ok)
        return result.def->name + ": " + result.outcome.error;
    std::string line = result.def->name + "=" + result.outcome.applied;
    const std::optional<double> typed = number_value(result.typed);
    const std::optional<double> applied = number_value(result.outcome.applied);
    const bool same =
        typed && applied ? *typed == *applied : lower_case(result.typed) == result.outcome.applied;
    if (!same)
        line += " (typed " + result.typed + ")";
    return line;
}

std::vector<std::string> disagreements(const std::vector<setting_result>& results,
                                       const param_block& answer) {
    std::vector<std::string> out;
    for (const setting_result& r : results) {
        if (!r.outcome.ok)
            continue;
        const std::string shown = r.def->show(answer);
        if (shown != r.outcome.applied)
            out.push_back(r.def->name + "=" + shown + " (set " + r.outcome.applied + ")");
    }
    return out;
}

std::optional<double> number_value(std::string_view text) {
    // A plus sign may lead ("+3" dB); from_chars takes only a minus.
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-')
            return std::nullopt;
    }
    double value = 0;
    const auto r =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double read_typed_decimal(std::string_view text, size_t width) {
    const std::string_view t = first(text, width);
    double value = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), value, std::chars_format::fixed);
    return r.ec == std::errc() && std::isfinite(value) ? value : 0.0;
}

long read_typed_int(std::string_view text, size_t width) {
    const std::string_view t = first(text, width);
    long value = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), value);
    return r.ec == std::errc() ? value : 0;
}

std::string lower_case(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::optional<bool> parse_on_off(std::string_view text) {
    const std::string t = lower_case(text);
    if (t == "on")
        return true;
    if (t == "off")
        return false;
    return std::nullopt;
}

std::function<std::optional<std::string>(std::string_view)> number_check(std::string name) {
    return [name = std::move(name)](std::string_view value) -> std::optional<std::string> {
        if (number_value(value))
            return std::nullopt;
        return name + " needs a number, not '" + std::string(value) + "'";
    };
}

std::function<std::optional<std::string>(std::string_view)> word_check(
    std::string name, std::vector<std::string> words) {
    return [name = std::move(name),
            words = std::move(words)](std::string_view value) -> std::optional<std::string> {
        const std::string v = lower_case(value);
        std::string list;
        for (const std::string& w : words) {
            if (v == w)
                return std::nullopt;
            list += (list.empty() ? "" : "|") + w;
        }
        return name + " takes " + list + ", not '" + std::string(value) + "'";
    };
}

std::string on_off_text(bool on) {
    return on ? "on" : "off";
}

setting_outcome applied_outcome(const amp_params& params, const setting_show_fn& show) {
    setting_outcome out;
    out.ok = true;
    out.applied = show(params.snapshot());
    return out;
}

setting_outcome refused_outcome(std::string error) {
    setting_outcome out;
    out.error = std::move(error);
    return out;
}

std::string fixed_text(double value, int digits) {
    // No "-0.0": a value that rounds to zero reads as zero.
    const double scale = std::pow(10.0, digits);
    if (std::round(value * scale) == 0)
        value = 0;
    char text[400];
    const auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, digits);
    return std::string(text, r.ptr);
}

}  // namespace tavrin
