// The "About" page (template 112).
#include "resources/page_templates.h"

namespace tavrin {
namespace {

using k = control_kind;

// Filled in as the page is built.
constexpr std::array<dialog_control, 0> controls{};

}  // namespace

const dialog_template about_page_template{112, template_kind::page, "", 401, 235, controls};

}  // namespace tavrin
