// The "Network Interface" window.
#include "resources/page_templates.h"

namespace tavrin {
namespace {

using k = control_kind;

// The secondary interface's controls and "Exit" exist but are never shown: the
// secondary interface is set only from the command line.
constexpr auto controls = std::to_array<dialog_control>({
    {no_control_id, k::static_text,
     "Select the network interface to communicate with Dante device.", 46, 10, 206, 8},
    {1209, k::radio_button, "Auto", 15, 24, 31, 10},
    {1210, k::radio_button, "Customer", 15, 38, 47, 10},
    {no_control_id, k::static_text, "Network Interface :", 15, 65, 90, 8},
    {1211, k::drop_down, "", 120, 60, 100, 30},
    {no_control_id, k::static_text, "IP :", 120, 75, 22, 8},
    {1215, k::static_text, "", 145, 75, 100, 8},
    {no_control_id, k::static_text, "MAC :", 120, 85, 22, 8},
    {1216, k::static_text, "", 145, 85, 100, 8},
    {no_control_id, k::static_text, "Secondary Interface :", 15, 105, 90, 8, style_none, true},
    {1212, k::drop_down, "", 120, 100, 100, 30, style_none, true},
    {no_control_id, k::static_text, "IP :", 120, 115, 22, 8, style_none, true},
    {1217, k::static_text, "", 145, 115, 100, 8, style_none, true},
    {no_control_id, k::static_text, "MAC :", 120, 125, 22, 8, style_none, true},
    {1218, k::static_text, "", 145, 125, 100, 8, style_none, true},
    {1213, k::button, "OK", 127, 155, 50, 14},
    {1214, k::button, "Exit", 190, 155, 50, 14, style_none, true},
});

}  // namespace

const dialog_template network_window_template{
    network_template_id, template_kind::window, "Network Interface", 309, 176, controls};

}  // namespace tavrin
