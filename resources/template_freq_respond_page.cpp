// The "Frequency Respond" page (template 107).
#include "resources/page_templates.h"

namespace tavrin {
namespace {

using k = control_kind;

// Three boxes per channel at the top; the graph fills the rest of the page.
constexpr std::array<dialog_control, 6> controls{{
    {1059, k::check_box, "CH 1", 20, 10, 31, 10},
    {1060, k::check_box, "PEQ", 60, 10, 29, 10},
    {1061, k::check_box, "Filter", 100, 10, 32, 10},
    {1062, k::check_box, "CH 2", 270, 10, 31, 10},
    {1063, k::check_box, "PEQ", 310, 10, 29, 8},
    {1064, k::check_box, "Filter", 350, 10, 32, 10},
}};

}  // namespace

const dialog_template freq_respond_page_template{107, template_kind::page, "", 401, 235, controls};

}  // namespace tavrin
