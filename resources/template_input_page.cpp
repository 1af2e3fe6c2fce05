// The "Input" page (template 104).
#include "resources/page_templates.h"

namespace tavrin {
namespace {

using k = control_kind;
constexpr int none = no_control_id;

// "dB Match Gain" across the top, one row per channel; "Input Limit" below left with a
// column per channel and the row labels between them. The rows of fixed-step buttons
// and the two edits at the end are never shown.
constexpr dialog_control controls[] = {
    {none, k::group_box, "dB Match Gain", 16, 9, 368, 74},
    {none, k::group_box, "CH 1", 22, 18, 355, 30},
    {none, k::group_box, "CH 2", 22, 50, 356, 30},
    {1322, k::trackbar, "", 50, 29, 250, 12},
    {1323, k::trackbar, "", 50, 60, 250, 12},
    {1324, k::static_text, "", 325, 31, 30, 8, style_right},
    {1325, k::static_text, "", 325, 63, 30, 8, style_right},
    {none, k::group_box, "Input Limit", 16, 87, 205, 137},
    {none, k::static_text, "CH 1", 44, 100, 16, 8},
    {none, k::static_text, "CH 2", 173, 100, 16, 8},
    {1221, k::edit, "", 33, 111, 40, 14},
    {1222, k::edit, "", 162, 110, 40, 14},
    {1223, k::edit, "", 33, 130, 40, 14},
    {1224, k::edit, "", 162, 129, 40, 14},
    {1231, k::edit, "", 33, 148, 40, 14},
    {1232, k::edit, "", 162, 148, 40, 14},
    {1225, k::edit, "", 33, 168, 40, 14},
    {1226, k::edit, "", 162, 167, 40, 14},
    {1227, k::edit, "", 33, 187, 40, 14},
    {1228, k::edit, "", 162, 186, 40, 14},
    {1229, k::edit, "", 33, 206, 40, 14},
    {1230, k::edit, "", 162, 205, 40, 14},
    {none, k::static_text, "Threshold(dB)", 87, 114, 60, 8, style_centre},
    {none, k::static_text, "Ratio(1 : X)", 87, 133, 60, 8, style_centre},
    {none, k::static_text, "Knee", 87, 150, 60, 8, style_centre},
    {none, k::static_text, "Attack Time(ms)", 87, 171, 60, 8, style_centre},
    {none, k::static_text, "Hold Time(ms)", 87, 190, 60, 8, style_centre},
    {none, k::static_text, "Release Time(ms)", 87, 209, 60, 8, style_centre},
    {1294, k::radio_button, "-9dB", 230, 100, 30, 10, style_none, true},
    {1295, k::radio_button, "-6dB", 230, 112, 30, 10, style_none, true},
    {1296, k::radio_button, "-3dB", 230, 124, 30, 10, style_none, true},
    {2015, k::radio_button, "0dB", 230, 136, 30, 10, style_none, true},
    {1298, k::radio_button, "+3dB", 230, 148, 30, 10, style_none, true},
    {1299, k::radio_button, "+6dB", 230, 160, 30, 10, style_none, true},
    {1300, k::radio_button, "+9dB", 230, 172, 30, 10, style_none, true},
    {1301, k::radio_button, "-9dB", 270, 100, 30, 10, style_none, true},
    {1302, k::radio_button, "-6dB", 270, 112, 30, 10, style_none, true},
    {1303, k::radio_button, "-3dB", 270, 124, 30, 10, style_none, true},
    {2020, k::radio_button, "0dB", 270, 136, 30, 10, style_none, true},
    {1305, k::radio_button, "+3dB", 270, 148, 30, 10, style_none, true},
    {1306, k::radio_button, "+6dB", 270, 160, 30, 10, style_none, true},
    {1307, k::radio_button, "+9dB", 270, 172, 30, 10, style_none, true},
    {none, k::static_text, "CH 1", 310, 100, 16, 8, style_none, true},
    {1310, k::edit, "", 310, 110, 40, 14, style_none, true},
    {none, k::static_text, "CH 2", 310, 130, 16, 8, style_none, true},
    {1311, k::edit, "", 310, 140, 40, 14, style_none, true},
};

}  // namespace

const dialog_template input_page_template{104, template_kind::page, "", 400, 235, controls};

}  // namespace tavrin
