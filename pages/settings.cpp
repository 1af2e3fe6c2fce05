#include "pages/settings.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "pages/setting_desk.h"

namespace tavrin {
namespace {

std::string_view first(std::string_view text, size_t width) {
    return text.substr(0, std::min(text.size(), width));
}

std::string word_list(const setting_def& def) {
    std::string list;
    for (const std::string& w : def.words)
        list += (list.empty() ? "" : "|") + w;
    return list;
}

// The typed value equals what the block holds: same word, or the same number.
bool holds(const setting_def& def, const std::optional<std::string>& now,
           const setting_value& given) {
    if (!now)
        return false;
    const std::optional<setting_value> held = parse_value(def, *now);
    if (!held)
        return false;
    return def.words.empty() ? held->number == given.number : held->word == given.word;
}

setting_outcome refused(std::string error) {
    setting_outcome out;
    out.error = std::move(error);
    return out;
}

// One value through the page logic, unless the block holds it already.
setting_outcome apply_one(setting_desk& desk, const setting_def& def, std::string_view typed,
                          bool& cut_by_others) {
    cut_by_others = false;
    std::string why;
    const std::optional<setting_value> value = parse_value(def, typed, &why);
    if (!value)
        return refused(why);
    setting_outcome out;
    const std::optional<std::string> now = def.read(desk.block());
    if (holds(def, now, *value)) {
        out.ok = out.left_alone = true;
        out.applied = *now;
        return out;
    }
    const apply_note note = def.apply(desk, *value);
    // A slider's value goes out at once rather than after the page's pause.
    desk.flush();
    if (!note.refused.empty())
        return refused(note.refused);
    cut_by_others = note.cut_by_others;
    out.ok = true;
    out.applied = def.read(desk.block()).value_or("");
    return out;
}

std::vector<setting_result> apply_on(setting_desk& desk,
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
    std::vector<bool> cut;
    // The block right after each setting: a cut value is tried again only when the
    // settings after it changed something.
    std::vector<param_block> after;
    for (const setting_def* def : apply_order(defs)) {
        bool was_cut = false;
        const std::string& value = value_of(def);
        results.push_back({def, value, apply_one(desk, *def, value, was_cut)});
        cut.push_back(was_cut);
        after.push_back(desk.block());
    }
    for (size_t i = 0; i < results.size(); ++i) {
        setting_result& r = results[i];
        bool again = false;
        if (cut[i] && desk.block() != after[i])
            r.outcome = apply_one(desk, *r.def, r.typed, again);
    }
    return results;
}

}  // namespace

const std::vector<setting_def>& all_settings() {
    static const std::vector<setting_def> all = [] {
        std::vector<setting_def> out;
        for (auto page : {volume_page_settings, input_page_settings, peq_page_settings,
                          filter_page_settings, power_page_settings}) {
            for (setting_def& def : page())
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

std::optional<setting_value> parse_value(const setting_def& def, std::string_view text,
                                         std::string* error) {
    const auto fail = [&](const std::string& why) -> std::optional<setting_value> {
        if (error)
            *error = def.name + " " + why + ", not '" + std::string(text) + "'";
        return std::nullopt;
    };
    setting_value v;
    if (!def.words.empty()) {
        const std::string t = lower_case(text);
        for (v.word = 0; v.word < def.words.size(); ++v.word) {
            if (def.words[v.word] == t)
                return v;
        }
        return fail("takes " + word_list(def));
    }
    const std::optional<double> n = number_value(text);
    if (!n || (def.whole && std::trunc(*n) != *n))
        return fail(def.whole ? "needs a whole number" : "needs a number");
    v.number = *n;
    return v;
}

std::string add_request(std::vector<setting_request>& requests, std::string_view word) {
    const size_t eq = word.find('=');
    if (eq == std::string_view::npos)
        return std::string("'").append(word).append("' is not SETTING=VALUE");
    const std::string name(word.substr(0, eq));
    const std::string value(word.substr(eq + 1));
    const setting_def* def = find_setting(name);
    if (def == nullptr)
        return "unknown setting '" + name + "' (tavrin-cli set --names lists them)";
    std::string why;
    if (!parse_value(*def, value, &why))
        return why;
    for (const setting_request& r : requests) {
        if (r.def == def)
            return name + " is given twice";
    }
    requests.push_back({def, value});
    return {};
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
    setting_desk desk(ctx);
    return apply_on(desk, requests);
}

std::vector<setting_result> apply_to_block(param_block& block,
                                           const std::vector<setting_request>& requests) {
    setting_desk desk(block);
    std::vector<setting_result> results = apply_on(desk, requests);
    block = desk.block();
    return results;
}

std::string applied_line(const setting_result& result) {
    if (!result.outcome.ok)
        return result.def->name + ": " + result.outcome.error;
    std::string line = result.def->name + "=" + result.outcome.applied;
    const std::optional<setting_value> typed = parse_value(*result.def, result.typed);
    if (!typed || !holds(*result.def, result.outcome.applied, *typed))
        line += " (typed " + result.typed + ")";
    return line;
}

std::vector<std::string> disagreements(const std::vector<setting_result>& results,
                                       const param_block& answer) {
    std::vector<std::string> out;
    for (const setting_result& r : results) {
        if (!r.outcome.ok)
            continue;
        const std::string shown = r.def->read(answer).value_or("");
        if (shown != r.outcome.applied)
            out.push_back(r.def->name + "=" + shown + " (set " + r.outcome.applied + ")");
    }
    return out;
}

std::vector<setting_reading> read_settings(const param_block& block) {
    std::vector<setting_reading> out;
    for (const setting_def& def : all_settings())
        out.push_back({&def, def.read(block)});
    return out;
}

std::vector<setting_difference> compare_settings(const param_block& first,
                                                 const param_block& second) {
    std::vector<setting_difference> out;
    for (const setting_def& def : all_settings()) {
        std::optional<std::string> a = def.read(first);
        std::optional<std::string> b = def.read(second);
        if (a != b)
            out.push_back({&def, std::move(a), std::move(b)});
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
