// The "Parametric EQ" page (template 105).
#include "resources/page_templates.h"

namespace tavrin {
namespace {

using k = control_kind;

// The graph fills the page above y 160; below it one column per band (enable box,
// frequency, gain and Q edits) and the two channel buttons.
constexpr auto controls = std::to_array<dialog_control>({
    {no_control_id, k::static_text, "Frequency (Hz)", 16, 172, 50, 8},
    {no_control_id, k::static_text, "Gain (dB)", 16, 187, 30, 8},
    {no_control_id, k::static_text, "Q-factor", 16, 202, 28, 8},
    {1030, k::check_box, "Enable", 66, 160, 40, 10},
    {1031, k::check_box, "Enable", 136, 160, 40, 10},
    {1032, k::check_box, "Enable", 206, 160, 40, 10},
    {1033, k::check_box, "Enable", 276, 160, 40, 10},
    {1034, k::check_box, "Enable", 346, 160, 37, 10},
    {1035, k::edit, "", 66, 170, 40, 14, style_right},
    {1036, k::edit, "", 136, 170, 40, 14, style_right},
    {1037, k::edit, "", 206, 170, 40, 14, style_right},
    {1038, k::edit, "", 276, 170, 40, 14, style_right},
    {1039, k::edit, "", 346, 170, 40, 14, style_right},
    {1040, k::edit, "", 66, 185, 40, 14, style_right},
    {1041, k::edit, "", 136, 185, 40, 14, style_right},
    {1042, k::edit, "", 206, 185, 40, 14, style_right},
    {1043, k::edit, "", 276, 185, 40, 14, style_right},
    {1044, k::edit, "", 346, 185, 40, 14, style_right},
    {1045, k::edit, "", 66, 200, 40, 14, style_right},
    {1046, k::edit, "", 136, 200, 40, 14, style_right},
    {1047, k::edit, "", 206, 200, 40, 14, style_right},
    {1048, k::edit, "", 276, 200, 40, 14, style_right},
    {1049, k::edit, "", 346, 200, 40, 14, style_right},
    {1050, k::radio_button, "CH 1", 93, 221, 31, 10},
    {1051, k::radio_button, "CH 2", 254, 221, 31, 10},
});

}  // namespace

const dialog_template peq_page_template{105, template_kind::page, "", 400, 235, controls};

}  // namespace tavrin
