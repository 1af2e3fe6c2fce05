// The "Filter" page (template 106).
#include "resources/page_templates.h"

namespace tavrin {
namespace {

using k = control_kind;

// Filled in as the page is built.
constexpr std::array<dialog_control, 0> controls{};

}  // namespace

const dialog_template filter_page_template{106, template_kind::page, "", 401, 235, controls};

}  // namespace tavrin
