// The "Setting Summary" window.
#include "resources/page_templates.h"

namespace tavrin {
namespace {

using k = control_kind;

// Filled in as the window is built.
constexpr std::array<dialog_control, 0> controls{};

}  // namespace

const dialog_template summary_window_template{
    summary_template_id, template_kind::window, "Setting Summary", 451, 264, controls};

}  // namespace tavrin
