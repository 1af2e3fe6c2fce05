#include "sites/site_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>

#include "presets/preset_file.h"
#include "sites/toml.h"
#include "utilities/name_rules.h"

namespace tavrin {
namespace {

// Beyond every setting's range (23000 Hz, 2000 ms, 1800 mA are the largest).
constexpr double far_out = 1e6;

text_place place_of(const toml::source_region& region) {
    return {region.begin.line, region.begin.column};
}

bool before(const text_place& a, const text_place& b) {
    return a.line != b.line ? a.line < b.line : a.column < b.column;
}

std::string place_text(const text_place& at) {
    return std::to_string(at.line) + ":" + std::to_string(at.column);
}

// A TOML float as `set` takes it: fixed notation, as short as reads back the same.
std::optional<std::string> number_text(double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    char text[400];
    const auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    if (r.ec != std::errc())
        return std::nullopt;
    return std::string(text, r.ptr);
}

// A setting's value as `set` takes it: numbers, words, and true or false for on or off.
std::optional<std::string> value_text(const toml::node& node) {
    if (const auto* i = node.as_integer())
        return std::to_string(i->get());
    if (const auto* f = node.as_floating_point())
        return number_text(f->get());
    if (const auto* s = node.as_string())
        return s->get();
    if (const auto* b = node.as_boolean())
        return std::string(b->get() ? "on" : "off");
    return std::nullopt;
}

struct named_value {
    std::string name;
    text_place key_at;
    const toml::node* value = nullptr;
};

// `settings = { ch1.level = -3 }` is a nested table in TOML; its keys joined by
// dots name the setting, as `"ch1.level" = -3` does.
void flatten(const toml::table& table, const std::string& prefix, const text_place* outer,
             std::vector<named_value>& out) {
    for (auto&& [key, node] : table) {
        const std::string name = prefix + std::string(key.str());
        const text_place at = outer ? *outer : place_of(key.source());
        if (const toml::table* inner = node.as_table())
            flatten(*inner, name + ".", &at, out);
        else
            out.push_back({name, at, &node});
    }
}

class site_reader {
  public:
    site_reader(const std::string& site_path, const preset_reader& presets)
        : site_path_(site_path), presets_(presets) {}

    site_read read(std::string_view text) {
        toml::table root;
        try {
            root = toml::parse(text, std::string_view(site_path_));
        } catch (const toml::parse_error& e) {
            problem(place_of(e.source()), std::string(e.description()));
            return std::move(out_);
        }
        for (auto&& [key, node] : root) {
            if (key.str() != "amp") {
                problem(place_of(key.source()), "unknown key '" + std::string(key.str()) +
                                                    "' (a site file holds [amp.\"NAME\"] tables)");
                continue;
            }
            const toml::table* amps = node.as_table();
            if (amps == nullptr) {
                problem(place_of(node.source()), "amp must be tables: [amp.\"NAME\"]");
                continue;
            }
            for (auto&& [name, amp] : *amps)
                read_amp(name, amp);
        }
        std::stable_sort(out_.site.amps.begin(), out_.site.amps.end(),
                         [](const site_amp& a, const site_amp& b) { return before(a.at, b.at); });
        check_names_once();
        if (out_.site.amps.empty() && out_.problems.empty())
            problem({}, "names no amplifier ([amp.\"NAME\"] tables)");
        std::stable_sort(
            out_.problems.begin(), out_.problems.end(),
            [](const site_problem& a, const site_problem& b) { return before(a.at, b.at); });
        return std::move(out_);
    }

  private:
    void problem(text_place at, std::string what) {
        out_.problems.push_back({at, std::move(what)});
    }

    void read_amp(const toml::key& key, const toml::node& node) {
        site_amp amp;
        amp.name = std::string(key.str());
        amp.at = place_of(key.source());
        if (const std::string why = device_name_problem(amp.name); !why.empty())
            problem(amp.at, "amplifier '" + amp.name + "': " + why);
        const toml::table* table = node.as_table();
        if (table == nullptr) {
            problem(place_of(node.source()),
                    "amplifier '" + amp.name + "' must be a table (preset, location, settings)");
            return;
        }
        const size_t problems_before = out_.problems.size();
        bool have_preset = false;
        bool preset_read = false;
        const toml::table* settings = nullptr;
        for (auto&& [k, v] : *table) {
            const text_place value_at = place_of(v.source());
            if (k.str() == "preset") {
                have_preset = true;
                preset_read = read_preset(amp, v, value_at);
            } else if (k.str() == "location") {
                read_location(amp, v, value_at);
            } else if (k.str() == "settings") {
                settings = v.as_table();
                if (settings == nullptr)
                    problem(value_at, "settings must be a table: settings = { master = 80 }");
            } else {
                problem(place_of(k.source()),
                        "unknown key '" + std::string(k.str()) +
                            "' (an amplifier takes preset, location and settings)");
            }
        }
        if (!have_preset)
            problem(amp.at, "amplifier '" + amp.name + "' names no preset (preset = \"FILE\")");
        if (settings != nullptr)
            read_settings(amp, *settings);
        // Values are weighed against the preset they land on.
        if (preset_read && out_.problems.size() == problems_before)
            check_values(amp);
        out_.site.amps.push_back(std::move(amp));
    }

    bool read_preset(site_amp& amp, const toml::node& v, text_place at) {
        const auto* s = v.as_string();
        if (s == nullptr) {
            problem(at, "preset must be the preset file's name, in quotes");
            return false;
        }
        amp.preset = s->get();
        if (amp.preset.empty()) {
            problem(at, "preset is empty");
            return false;
        }
        amp.preset_path = path_beside(site_path_, amp.preset);
        const std::optional<std::vector<uint8_t>> bytes = presets_(amp.preset_path);
        if (!bytes) {
            problem(at, "preset '" + amp.preset + "': cannot read " + amp.preset_path);
            return false;
        }
        const preset_read read = read_preset_file(bytes->data(), bytes->size());
        if (read.status != preset_status::ok) {
            problem(at, "preset '" + amp.preset +
                            "': " + std::string(preset_status_text(read.status)) +
                            (read.status == preset_status::checksum_error
                                 ? " (its checksum does not match)"
                                 : " (not a preset file: wrong size or first bytes)"));
            return false;
        }
        amp.preset_block = read.block;
        return true;
    }

    void read_location(site_amp& amp, const toml::node& v, text_place at) {
        const auto* s = v.as_string();
        if (s == nullptr) {
            problem(at, "location must be a text, in quotes");
            return;
        }
        if (const std::string why = location_problem(s->get()); !why.empty()) {
            problem(at, "location: " + why);
            return;
        }
        amp.location = s->get();
    }

    void read_settings(site_amp& amp, const toml::table& table) {
        std::vector<named_value> values;
        flatten(table, "", nullptr, values);
        std::stable_sort(
            values.begin(), values.end(),
            [](const named_value& a, const named_value& b) { return before(a.key_at, b.key_at); });
        std::vector<setting_request> requests;
        for (const named_value& nv : values) {
            const text_place value_at = place_of(nv.value->source());
            if (find_setting(nv.name) == nullptr) {
                problem(nv.key_at,
                        "unknown setting '" + nv.name + "' (tavrin-cli set --names lists them)");
                continue;
            }
            const std::optional<std::string> text = value_text(*nv.value);
            if (!text) {
                problem(value_at, nv.name + " takes a number, a word or true/false");
                continue;
            }
            const size_t had = requests.size();
            if (const std::string why = add_request(requests, nv.name + "=" + *text);
                !why.empty()) {
                const bool twice =
                    std::any_of(requests.begin(), requests.end(),
                                [&](const setting_request& r) { return r.def->name == nv.name; });
                problem(twice ? nv.key_at : value_at, why);
                continue;
            }
            if (requests.size() > had)
                amp.settings.push_back({requests.back(), value_at});
        }
    }

    // Each setting through the page logic on the preset, as `set` would apply it. A
    // number the block takes otherwise is out of range when a value still further
    // out would come to the same: it was held at a limit (or by the power budget),
    // not rounded to a step.
    void check_values(const site_amp& amp) {
        const std::vector<setting_request> requests = amp.requests();
        param_block block = amp.preset_block;
        for (const setting_result& r : apply_to_block(block, requests)) {
            const text_place at = place_of_setting(amp, r.def);
            if (!r.outcome.ok) {
                problem(at, r.def->name + ": " + r.outcome.error);
                continue;
            }
            if (r.outcome.left_alone || !r.def->words.empty())
                continue;
            const std::optional<double> typed = number_value(r.typed);
            const std::optional<double> applied = number_value(r.outcome.applied);
            if (!typed || !applied || *typed == *applied)
                continue;
            std::vector<setting_request> probe = requests;
            for (setting_request& p : probe) {
                if (p.def == r.def)
                    p.value = fixed_text(*typed > *applied ? far_out : -far_out, 0);
            }
            param_block further = amp.preset_block;
            apply_to_block(further, probe);
            if (r.def->read(further) == r.outcome.applied) {
                problem(at, r.def->name + " = " + r.typed + " is out of range (" + r.def->range +
                                "): the amplifier would hold " + r.outcome.applied);
            }
        }
    }

    static text_place place_of_setting(const site_amp& amp, const setting_def* def) {
        for (const site_setting& s : amp.settings) {
            if (s.request.def == def)
                return s.at;
        }
        return amp.at;
    }

    // DNS-SD names are the same in any case: "Stage-L" and "stage-l" are one device.
    void check_names_once() {
        std::map<std::string, text_place> seen;
        for (const site_amp& amp : out_.site.amps) {
            const auto [first, fresh] = seen.emplace(lower_case(amp.name), amp.at);
            if (!fresh) {
                problem(amp.at, "amplifier '" + amp.name + "' is named twice (first at " +
                                    place_text(first->second) +
                                    "; a device name is the same in any case)");
            }
        }
    }

    const std::string& site_path_;
    const preset_reader& presets_;
    site_read out_;
};

}  // namespace

std::string problem_line(const std::string& site, const site_problem& problem) {
    if (problem.at.line == 0)
        return site + ": " + problem.what;
    return site + ":" + place_text(problem.at) + ": " + problem.what;
}

std::vector<setting_request> site_amp::requests() const {
    std::vector<setting_request> out;
    for (const site_setting& s : settings)
        out.push_back(s.request);
    return out;
}

std::string folder_of(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string path_beside(const std::string& site_path, const std::string& name) {
    if (!name.empty() && name.front() == '/')
        return name;
    const std::string folder = folder_of(site_path);
    if (folder.empty())
        return name;
    return folder == "/" ? "/" + name : folder + "/" + name;
}

site_read read_site(std::string_view text, const std::string& site_path,
                    const preset_reader& presets) {
    return site_reader(site_path, presets).read(text);
}

}  // namespace tavrin
