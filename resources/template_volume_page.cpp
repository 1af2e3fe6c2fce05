// The "Volume" page (template 103).
#include "resources/page_templates.h"

namespace tavrin {
namespace {

using k = control_kind;
constexpr int none = no_control_id;

// "Output Volume" on the left with three vertical faders; "Route" on the right, a
// diagram of the two Dante inputs, the five route buttons and the two speakers.
constexpr dialog_control controls[] = {
    {none, k::group_box, "Output Volume", 14, 6, 192, 137},
    {none, k::static_text, "Master", 40, 19, 23, 8},
    {1023, k::trackbar, "", 44, 28, 17, 94, style_vertical},
    {1024, k::static_text, "", 42, 126, 19, 8, style_centre},
    {1025, k::check_box, "Mute", 66, 70, 32, 10},
    {none, k::static_text, "CH 1", 100, 19, 16, 8},
    {none, k::static_text, "CH 2", 148, 19, 16, 8},
    {1026, k::trackbar, "", 100, 28, 17, 94, style_vertical},
    {1027, k::trackbar, "", 148, 28, 17, 94, style_vertical},
    {1312, k::edit, "", 95, 124, 25, 14, style_centre},
    {none, k::static_text, "dB", 122, 128, 9, 8},
    {1313, k::edit, "", 143, 124, 25, 14, style_centre},
    {none, k::static_text, "dB", 170, 128, 9, 8},
    {1325, k::check_box, "Invert", 170, 70, 30, 10},
    {none, k::group_box, "Route", 213, 7, 170, 137},
    {none, k::static_text, "Dante CH 1", 220, 35, 38, 8},
    {none, k::static_text, "Dante CH 2", 220, 95, 38, 8},
    {none, k::group_box, "", 276, 25, 48, 87},
    {1317, k::radio_button, "Bypass", 282, 34, 39, 10},
    {1318, k::radio_button, "CH 1", 282, 50, 31, 10},
    {1319, k::radio_button, "CH 2", 282, 66, 31, 10},
    {1320, k::radio_button, "Mixed", 282, 82, 35, 10},
    {1321, k::radio_button, "Swap", 282, 98, 33, 10},
    {none, k::static_text, "____", 258, 32, 17, 8},
    {none, k::static_text, "____", 258, 91, 17, 8},
    {none, k::static_text, "____", 325, 32, 17, 8},
    {none, k::static_text, "____", 326, 91, 17, 8},
    {none, k::static_text, "Speaker 1", 344, 35, 33, 8},
    {none, k::static_text, "Speaker 2", 344, 95, 33, 8},
};

}  // namespace

const dialog_template volume_page_template{103, template_kind::page, "", 400, 235, controls};

}  // namespace tavrin
