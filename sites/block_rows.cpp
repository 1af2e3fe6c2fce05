#include "sites/block_rows.h"

#include <algorithm>

#include "pages/settings.h"
#include "utilities/name_rules.h"

namespace tavrin {
namespace {

std::string field_text(const field_value& f) {
    if (f.is_text) {
        // The location, one Latin-1 character a byte.
        location_field bytes{};
        std::copy_n(f.text.begin(), std::min(f.text.size(), bytes.size()), bytes.begin());
        return "\"" + location_text_of(bytes) + "\"";
    }
    std::string out;
    for (size_t i = 0; i < f.values.size(); ++i)
        out += (i ? "," : "") + std::to_string(f.values[i]);
    return out;
}

std::vector<field_value> fields_of(const param_block& block) {
    amp_params p;
    p.replace(block);
    return p.list_fields();
}

}  // namespace

std::vector<diff_row> setting_rows(const param_block& first, const param_block& second) {
    std::vector<diff_row> out;
    for (const setting_difference& d : compare_settings(first, second))
        out.push_back({d.def->name, d.first.value_or("-"), d.second.value_or("-")});
    return out;
}

std::vector<diff_row> field_rows(const param_block& first, const param_block& second) {
    const std::vector<field_value> a = fields_of(first);
    const std::vector<field_value> b = fields_of(second);
    std::vector<diff_row> out;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        const std::string ta = field_text(a[i]);
        const std::string tb = field_text(b[i]);
        if (ta != tb)
            out.push_back({a[i].name, ta, tb});
    }
    return out;
}

std::string aligned_rows(const std::vector<diff_row>& rows, const std::string& lead) {
    size_t name = 0, first = 0;
    for (const diff_row& r : rows) {
        name = std::max(name, r.name.size());
        first = std::max(first, r.first.size());
    }
    std::string out;
    for (const diff_row& r : rows) {
        std::string line = lead + r.name;
        line.resize(lead.size() + name + 2, ' ');
        line += r.first;
        line.resize(lead.size() + name + 2 + first + 2, ' ');
        out += line + r.second + "\n";
    }
    return out;
}

}  // namespace tavrin
