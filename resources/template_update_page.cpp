// The "Update" page (template 111).
#include "resources/page_templates.h"

namespace tavrin {
namespace {

using k = control_kind;

constexpr auto controls = std::to_array<dialog_control>({
    {no_control_id, k::group_box, "Amplifier", 5, 7, 390, 55},
    {1106, k::static_text, "Select a firmware file to update.", 27, 23, 221, 8},
    {1107, k::button, "Browse", 325, 22, 50, 14},
    {1105, k::progress_bar, "", 27, 37, 259, 14},
});

}  // namespace

const dialog_template update_page_template{111, template_kind::page, "", 400, 235, controls};

}  // namespace tavrin
