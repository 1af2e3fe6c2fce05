// The "Network Interface" window.
#include "resources/page_templates.h"

namespace tavrin {
namespace {

using k = control_kind;

// Filled in as the window is built.
constexpr std::array<dialog_control, 0> controls{};

}  // namespace

const dialog_template network_window_template{
    network_template_id, template_kind::window, "Network Interface", 309, 176, controls};

}  // namespace tavrin
