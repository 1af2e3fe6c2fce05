// The "Filter" page (template 106).
#include "resources/page_templates.h"

namespace tavrin {
namespace {

using k = control_kind;

// The graph fills the upper part; below it a column per filter and the two channel
// buttons. The gain edit and its two labels are never shown.
constexpr auto controls = std::to_array<dialog_control>({
    {1052, k::check_box, "High-Pass Filter", 124, 165, 65, 10},
    {1053, k::check_box, "Low-Pass Filter", 225, 165, 64, 10},
    {no_control_id, k::static_text, "Frequency(Hz)", 73, 182, 48, 8},
    {1054, k::edit, "", 124, 179, 48, 14, style_right},
    {1055, k::edit, "", 225, 179, 48, 14, style_right},
    {no_control_id, k::static_text, "Slope", 73, 199, 28, 8},
    {1056, k::drop_down, "", 124, 196, 48, 30},
    {1057, k::drop_down, "", 225, 196, 48, 30},
    {no_control_id, k::static_text, "Gain", 300, 182, 20, 8, style_none, true},
    {1058, k::edit, "", 322, 179, 30, 14, style_right, true},
    {no_control_id, k::static_text, "dB", 355, 182, 12, 8, style_none, true},
    {1207, k::radio_button, "CH 1", 93, 221, 31, 10},
    {1208, k::radio_button, "CH 2", 254, 221, 31, 10},
});

}  // namespace

const dialog_template filter_page_template{106, template_kind::page, "", 401, 235, controls};

}  // namespace tavrin
