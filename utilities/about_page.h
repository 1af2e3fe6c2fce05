#pragma once
// The "About" page: the tool's own version and the connected amplifier's firmware
// version from the parameter block.
#include <string>

#include "link/field_mask.h"
#include "protocol/amp_params.h"

namespace tavrin {

enum about_control : int {
    idc_app_version = 1109,
    idc_amp_version = 1110,
};

// "V3.0R1".
std::string app_version_text();
// "V21.11.17.1" from the firmware bytes (year, month, day, hour); empty while the
// hour byte is 0, which is what an amplifier that has not answered holds.
std::string firmware_version_text(uint8_t year, uint8_t month, uint8_t day, uint8_t hour);
std::string firmware_version_text(const amp_params& params);

class about_view {
  public:
    virtual ~about_view() = default;
    virtual void set_item_text(int item, const std::string& text) = 0;
    virtual void invalidate() = 0;
};

class about_page_logic {
  public:
    about_page_logic(amp_params& params, about_view& view) : params_(params), view_(view) {}

    void init() { fill(); }
    // An answer changed fields of the mirror: the page reloads when it shows one.
    void params_changed(field_mask changed);

  private:
    void fill();

    amp_params& params_;
    about_view& view_;
};

}  // namespace tavrin
