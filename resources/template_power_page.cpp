// The "Power" page (template 108).
#include "resources/page_templates.h"

namespace tavrin {
namespace {

using k = control_kind;
constexpr int none = no_control_id;

// Class, PBTL and speaker across the top; "Dynamic Power Limit" and "Current Limit"
// below. The 2 ohm button, the "DC DC :" choice, the class text and a second set of
// limit controls are never shown.
constexpr dialog_control controls[] = {
    {none, k::static_text, "PoE Type :", 11, 5, 36, 8},
    {1316, k::drop_down, "", 53, 5, 48, 30},
    {1315, k::check_box, "Manual", 13, 15, 39, 10},
    {1066, k::check_box, "PBTL Mode", 135, 5, 51, 10},
    {none, k::static_text, "Speaker :", 203, 5, 32, 8},
    {1233, k::radio_button, "2\u03a9", 304, 5, 25, 10, style_none, true},
    {1234, k::radio_button, "4\u03a9", 244, 5, 25, 10},
    {1235, k::radio_button, "8\u03a9", 274, 5, 25, 10},
    {none, k::group_box, "Dynamic Power Limit", 5, 27, 390, 50},
    {1067, k::check_box, "Enable", 15, 40, 37, 10},
    {none, k::static_text, "CH 1", 70, 35, 20, 8},
    {none, k::static_text, "CH 2", 70, 49, 20, 8},
    {none, k::static_text, "PBTL", 70, 65, 20, 8},
    {1068, k::trackbar, "", 100, 35, 220, 12},
    {1069, k::trackbar, "", 100, 49, 220, 12},
    {1070, k::trackbar, "", 100, 63, 220, 12},
    {1071, k::static_text, "", 345, 33, 30, 8, style_right},
    {1072, k::static_text, "", 345, 48, 30, 8, style_right},
    {1073, k::static_text, "", 345, 63, 30, 8, style_right},
    {none, k::group_box, "Current Limit", 5, 82, 390, 45},
    {1074, k::check_box, "Enable", 15, 95, 37, 10},
    {none, k::static_text, "Threshold", 65, 90, 32, 8},
    {1075, k::trackbar, "", 100, 90, 220, 12},
    {1077, k::static_text, "", 339, 90, 35, 8, style_right},
    {none, k::static_text, "Release Time", 54, 110, 43, 8},
    {1076, k::trackbar, "", 100, 110, 220, 12},
    {1078, k::static_text, "", 339, 110, 35, 8, style_right},
    {none, k::static_text, "DC DC :", 11, 135, 30, 8, style_none, true},
    {1314, k::drop_down, "", 53, 135, 48, 30, style_none, true},
    {1065, k::static_text, "", 135, 135, 60, 8, style_none, true},
    {none, k::group_box, "PoE Dynamic Power Limit", 5, 147, 390, 40, style_none, true},
    {1079, k::check_box, "Enable", 15, 160, 37, 10, style_none, true},
    {1080, k::trackbar, "", 100, 152, 220, 12, style_none, true},
    {1081, k::trackbar, "", 100, 163, 220, 12, style_none, true},
    {1082, k::trackbar, "", 100, 174, 220, 12, style_none, true},
    {1083, k::static_text, "", 345, 152, 30, 8, style_right, true},
    {1084, k::static_text, "", 345, 163, 30, 8, style_right, true},
    {1085, k::static_text, "", 345, 174, 30, 8, style_right, true},
    {none, k::group_box, "PoE Current Limit", 5, 190, 390, 40, style_none, true},
    {1086, k::check_box, "Enable", 15, 203, 37, 10, style_none, true},
    {1087, k::trackbar, "", 100, 198, 220, 12, style_none, true},
    {1088, k::trackbar, "", 100, 213, 220, 12, style_none, true},
    {1089, k::static_text, "", 339, 198, 35, 8, style_right, true},
    {1090, k::static_text, "", 339, 213, 35, 8, style_right, true},
};

}  // namespace

const dialog_template power_page_template{108, template_kind::page, "", 400, 235, controls};

}  // namespace tavrin
