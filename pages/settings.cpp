#include "pages/settings.h"

namespace tavrin {

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

}  // namespace tavrin
