// The "Power" page (template 108).
#include "resources/page_templates.h"

namespace tavrin {
namespace {

using k = control_kind;

// Filled in as the page is built.
constexpr std::array<dialog_control, 0> controls{};

}  // namespace

const dialog_template power_page_template{108, template_kind::page, "", 400, 235, controls};

}  // namespace tavrin
