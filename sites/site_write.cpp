#include "sites/site_write.h"

#include <sstream>

#include "sites/toml.h"

namespace tavrin {

std::string site_text(const std::vector<captured_amp>& amps, const std::string& comment) {
    toml::table table;
    for (const captured_amp& a : amps) {
        toml::table amp{{"preset", a.preset}};
        if (a.location)
            amp.insert("location", *a.location);
        table.insert(a.name, std::move(amp));
    }
    const toml::table root{{"amp", std::move(table)}};
    std::ostringstream out;
    out << "# " << comment << "\n\n"
        << toml::toml_formatter(root, toml::format_flags::allow_unicode_strings) << "\n";
    return out.str();
}

}  // namespace tavrin
