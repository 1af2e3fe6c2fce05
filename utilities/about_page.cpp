#include "utilities/about_page.h"

#include <cstdio>

#include "resources/version_record.h"

namespace tavrin {

std::string app_version_text() {
    return version_record::caption_version;
}

std::string firmware_version_text(uint8_t year, uint8_t month, uint8_t day, uint8_t hour) {
    if (hour == 0)
        return {};
    char text[24];
    std::snprintf(text, sizeof text, "V%d.%d.%d.%d", year, month, day, hour);
    return text;
}

std::string firmware_version_text(const amp_params& params) {
    // One snapshot, so that the four bytes come from the same answer.
    const param_block block = params.snapshot();
    const auto byte = [&](param_field f) { return static_cast<uint8_t>(field_value_in(block, f)); };
    return firmware_version_text(byte(param_field::fw_year), byte(param_field::fw_month),
                                 byte(param_field::fw_day), byte(param_field::fw_hour));
}

void about_page_logic::params_changed(field_mask changed) {
    if ((changed & field_range(param_field::fw_year, param_field::fw_hour)) != 0)
        fill();
}

void about_page_logic::fill() {
    view_.set_item_text(idc_app_version, app_version_text());
    // A block without a firmware hour leaves the field as it was (empty on a new page).
    if (const std::string text = firmware_version_text(params_); !text.empty())
        view_.set_item_text(idc_amp_version, text);
    view_.invalidate();
}

}  // namespace tavrin
