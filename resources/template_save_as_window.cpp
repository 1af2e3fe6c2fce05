// The "Save As..." window.
#include "resources/page_templates.h"

namespace tavrin {
namespace {

using k = control_kind;

constexpr auto controls = std::to_array<dialog_control>({
    {1239, k::edit, "", 27, 17, 76, 14},
    {1240, k::button, "OK", 7, 46, 50, 14},
    {1241, k::button, "Cancel", 79, 46, 50, 14},
});

}  // namespace

const dialog_template save_as_window_template{
    save_as_template_id, template_kind::window, "Save As...", 135, 67, controls};

}  // namespace tavrin
