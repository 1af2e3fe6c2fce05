#include "app/brand_rule.h"

#include <algorithm>
#include <cctype>

namespace tavrin {

bool brand_admits(brand_rule rule, std::string_view manufacturer, std::string_view model) {
    switch (rule) {
        case brand_rule::all:
            return true;
        case brand_rule::maker:
            return manufacturer == brand_manufacturer;
        case brand_rule::model:
            return manufacturer == brand_manufacturer && model == brand_model;
    }
    return false;
}

void sort_device_names(std::vector<std::string>& names) {
    const auto folded_less = [](const std::string& a, const std::string& b) {
        const size_t n = std::min(a.size(), b.size());
        for (size_t i = 0; i < n; ++i) {
            const int ca = std::tolower(static_cast<unsigned char>(a[i]));
            const int cb = std::tolower(static_cast<unsigned char>(b[i]));
            if (ca != cb)
                return ca < cb;
        }
        if (a.size() != b.size())
            return a.size() < b.size();
        return a < b;
    };
    std::sort(names.begin(), names.end(), folded_less);
}

}  // namespace tavrin
