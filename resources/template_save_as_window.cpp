// The "Save As..." window.
#include "resources/page_templates.h"

namespace tavrin {
namespace {

using k = control_kind;

// Filled in as the window is built.
constexpr std::array<dialog_control, 0> controls{};

}  // namespace

const dialog_template save_as_window_template{
    save_as_template_id, template_kind::window, "Save As...", 135, 67, controls};

}  // namespace tavrin
