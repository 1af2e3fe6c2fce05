// The "About" page (template 112).
#include "resources/page_templates.h"

namespace tavrin {
namespace {

using k = control_kind;

constexpr auto controls = std::to_array<dialog_control>({
    {no_control_id, k::group_box, "App Version", 5, 5, 391, 28},
    {1109, k::static_text, "", 92, 17, 99, 8},
    {no_control_id, k::group_box, "Amplifier Version", 5, 42, 391, 28},
    {1110, k::static_text, "", 92, 54, 99, 8},
});

}  // namespace

const dialog_template about_page_template{112, template_kind::page, "", 401, 235, controls};

}  // namespace tavrin
