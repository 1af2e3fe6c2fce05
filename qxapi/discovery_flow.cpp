#include "qxapi/discovery_flow.h"

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

std::vector<std::string> fill_device_list(const dante_wrapper& wrapper, brand_rule rule) {
    std::vector<std::string> names;
    for (const node_summary& node : wrapper.nodes()) {
        if (node.active && brand_admits(rule, node.manufacturer_name, node.model_name))
            names.push_back(node.name);
    }
    sort_device_names(names);
    return names;
}

std::vector<std::string> end_of_discovery(dante_wrapper& wrapper, brand_rule rule) {
    wrapper.ping_all();
    std::string name = wrapper.first_active_name();
    while (!name.empty()) {
        wrapper.request_manf_versions(name);
        wrapper.request_interface(name);
        const std::string previous = name;
        wrapper.next_active_name(name);
        // A node removed meanwhile leaves the name unchanged; walking on would never end.
        if (name == previous)
            break;
    }
    return fill_device_list(wrapper, rule);
}

std::vector<std::string> discover_devices(dante_wrapper& wrapper, time_source& time,
                                          brand_rule rule, uint32_t scan_ms) {
    wrapper.start_restart_thread();
    time.sleep_ms(scan_ms);
    wrapper.join_restart_thread();
    return end_of_discovery(wrapper, rule);
}

}  // namespace tavrin
