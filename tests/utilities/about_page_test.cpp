// The About page's two version texts.
#include "utilities/about_page.h"

#include <gtest/gtest.h>

#include <map>

namespace tavrin {
namespace {

class recording_about_view : public about_view {
  public:
    void set_item_text(int item, const std::string& text) override { texts[item] = text; }
    void invalidate() override {}
    std::map<int, std::string> texts;
};

TEST(about_page, firmware_texts) {
    EXPECT_EQ(firmware_version_text(21, 11, 17, 1), "V21.11.17.1");
    EXPECT_EQ(firmware_version_text(0, 0, 0, 0), "");
    // Hour 0 shows nothing, although the firmware check has weighed the date.
    EXPECT_EQ(firmware_version_text(21, 11, 17, 0), "");
    EXPECT_EQ(firmware_version_text(255, 255, 255, 255), "V255.255.255.255");
    EXPECT_EQ(firmware_version_text(255, 255, 255, 255).size(), 16u);
    EXPECT_EQ(firmware_version_text(3, 1, 2, 9), "V3.1.2.9");
}

TEST(about_page, page_follows_the_mirror) {
    amp_params params;
    recording_about_view view;
    about_page_logic logic(params, view);
    logic.init();
    EXPECT_EQ(view.texts[idc_app_version], "V3.0R1");
    EXPECT_EQ(view.texts[idc_amp_version], "");

    params.set_fw_date(21, 11, 17, 1);
    logic.params_changed(field_bit(param_field::location));
    EXPECT_EQ(view.texts[idc_amp_version], "") << "reloads only when the date changed";
    logic.params_changed(field_bit(param_field::fw_day));
    EXPECT_EQ(view.texts[idc_amp_version], "V21.11.17.1");

    // A block whose hour is 0 leaves the field as it was.
    params.set_fw_date(22, 1, 2, 0);
    logic.params_changed(field_range(param_field::fw_year, param_field::fw_hour));
    EXPECT_EQ(view.texts[idc_amp_version], "V21.11.17.1");
}

}  // namespace
}  // namespace tavrin
