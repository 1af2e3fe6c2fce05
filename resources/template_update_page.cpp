// The "Update" page (template 111).
#include "resources/page_templates.h"

namespace tavrin {
namespace {

using k = control_kind;

// Filled in as the page is built.
constexpr std::array<dialog_control, 0> controls{};

}  // namespace

const dialog_template update_page_template{111, template_kind::page, "", 400, 235, controls};

}  // namespace tavrin
