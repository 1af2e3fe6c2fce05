// The "Utility" page (template 109).
#include "resources/page_templates.h"

namespace tavrin {
namespace {

using k = control_kind;

// Each group box comes before its controls, so that they lie on top of it.
constexpr auto controls = std::to_array<dialog_control>({
    {no_control_id, k::group_box, "Device Rename", 5, 5, 180, 40},
    {1288, k::edit, "", 20, 20, 65, 14},
    {1289, k::button, "OK", 110, 20, 50, 14},
    {no_control_id, k::group_box, "Location Name", 215, 5, 180, 40},
    {1290, k::edit, "", 230, 20, 65, 14},
    {1291, k::button, "OK", 320, 20, 50, 14},
    {no_control_id, k::group_box, "Load default  setting in amplifier device", 5, 49, 180, 40},
    {1091, k::button, "Reset", 63, 65, 50, 14},
    {no_control_id, k::group_box, "Audible Find Me", 215, 49, 180, 40},
    {1293, k::button, "Start", 273, 65, 50, 14},
});

}  // namespace

const dialog_template utility_page_template{109, template_kind::page, "", 400, 235, controls};

}  // namespace tavrin
