// The "Setting Summary" window: row labels on the left of each group, the CH1 and
// CH2 value fields in two columns under their headings.
#include "resources/page_templates.h"

namespace tavrin {
namespace {

using k = control_kind;
constexpr int none = no_control_id;

constexpr auto controls = std::to_array<dialog_control>({
    // The device, above the groups.
    {none, k::static_text, "Device Name:", 12, 10, 55, 8},
    {1244, k::static_text, "", 70, 10, 140, 8},
    {none, k::static_text, "Location:", 12, 22, 55, 8},
    {1245, k::static_text, "", 70, 22, 140, 8},
    {none, k::static_text, "Speaker:", 12, 34, 55, 8},
    {1246, k::static_text, "", 70, 34, 35, 8},
    {none, k::static_text, "PBTL Mode:", 112, 34, 45, 8},
    {1247, k::static_text, "", 160, 34, 50, 8},
    {none, k::static_text, "PoE Type:", 12, 46, 55, 8},
    {1248, k::static_text, "", 70, 46, 35, 8},

    {none, k::group_box, "Volume", 7, 60, 208, 50},
    {none, k::static_text, "Master Volume:", 14, 72, 55, 8},
    {1249, k::static_text, "", 72, 72, 35, 8},
    {none, k::static_text, "Mute:", 112, 72, 45, 8},
    {1250, k::static_text, "", 160, 72, 50, 8},
    {none, k::static_text, "CH1", 100, 84, 50, 8, style_centre},
    {none, k::static_text, "CH2", 155, 84, 50, 8, style_centre},
    {none, k::static_text, "Gain(dB)", 14, 96, 80, 8},
    {1265, k::static_text, "", 100, 96, 50, 8, style_centre},
    {1266, k::static_text, "", 155, 96, 50, 8, style_centre},

    {none, k::group_box, "Input", 7, 114, 208, 143},
    {none, k::static_text, "CH1", 100, 125, 50, 8, style_centre},
    {none, k::static_text, "CH2", 155, 125, 50, 8, style_centre},
    {none, k::static_text, "dB Match Gain", 14, 137, 80, 8},
    {1251, k::static_text, "", 100, 137, 50, 8, style_centre},
    {1252, k::static_text, "", 155, 137, 50, 8, style_centre},
    {none, k::static_text, "Threshold(dB)", 14, 153, 80, 8},
    {1253, k::static_text, "", 100, 153, 50, 8, style_centre},
    {1254, k::static_text, "", 155, 153, 50, 8, style_centre},
    {none, k::static_text, "Ratio", 14, 169, 80, 8},
    {1255, k::static_text, "", 100, 169, 50, 8, style_centre},
    {1256, k::static_text, "", 155, 169, 50, 8, style_centre},
    {none, k::static_text, "Knee", 14, 185, 80, 8},
    {1257, k::static_text, "", 100, 185, 50, 8, style_centre},
    {1258, k::static_text, "", 155, 185, 50, 8, style_centre},
    {none, k::static_text, "Attack Time(ms)", 14, 201, 80, 8},
    {1259, k::static_text, "", 100, 201, 50, 8, style_centre},
    {1260, k::static_text, "", 155, 201, 50, 8, style_centre},
    {none, k::static_text, "Release Time(ms)", 14, 217, 80, 8},
    {1261, k::static_text, "", 100, 217, 50, 8, style_centre},
    {1262, k::static_text, "", 155, 217, 50, 8, style_centre},
    {none, k::static_text, "Hold Time(ms)", 14, 233, 80, 8},
    {1263, k::static_text, "", 100, 233, 50, 8, style_centre},
    {1264, k::static_text, "", 155, 233, 50, 8, style_centre},

    {none, k::group_box, "Parametric EQ", 222, 4, 222, 100},
    {none, k::static_text, "CH1", 258, 15, 90, 8, style_centre},
    {none, k::static_text, "CH2", 350, 15, 90, 8, style_centre},
    {none, k::static_text, "Set 1", 229, 28, 26, 8},
    {1271, k::static_text, "", 258, 28, 90, 8, style_centre},
    {1276, k::static_text, "", 350, 28, 90, 8, style_centre},
    {none, k::static_text, "Set 2", 229, 42, 26, 8},
    {1272, k::static_text, "", 258, 42, 90, 8, style_centre},
    {1277, k::static_text, "", 350, 42, 90, 8, style_centre},
    {none, k::static_text, "Set 3", 229, 56, 26, 8},
    {1273, k::static_text, "", 258, 56, 90, 8, style_centre},
    {1278, k::static_text, "", 350, 56, 90, 8, style_centre},
    {none, k::static_text, "Set 4", 229, 70, 26, 8},
    {1274, k::static_text, "", 258, 70, 90, 8, style_centre},
    {1279, k::static_text, "", 350, 70, 90, 8, style_centre},
    {none, k::static_text, "Set 5", 229, 84, 26, 8},
    {1275, k::static_text, "", 258, 84, 90, 8, style_centre},
    {1280, k::static_text, "", 350, 84, 90, 8, style_centre},

    {none, k::group_box, "Filter", 222, 108, 222, 52},
    {none, k::static_text, "CH1", 292, 118, 72, 8, style_centre},
    {none, k::static_text, "CH2", 368, 118, 72, 8, style_centre},
    {none, k::static_text, "Low Pass Filter", 229, 130, 60, 8},
    {1267, k::static_text, "", 292, 130, 72, 8, style_centre},
    {1268, k::static_text, "", 368, 130, 72, 8, style_centre},
    {none, k::static_text, "High Pass Filter", 229, 144, 60, 8},
    {1269, k::static_text, "", 292, 144, 72, 8, style_centre},
    {1270, k::static_text, "", 368, 144, 72, 8, style_centre},

    {none, k::group_box, "Output Limit", 222, 164, 222, 72},
    {none, k::static_text, "CH1", 332, 174, 50, 8, style_centre},
    {none, k::static_text, "CH2", 388, 174, 50, 8, style_centre},
    {none, k::static_text, "Power Limit", 229, 186, 100, 8},
    {1281, k::static_text, "", 332, 186, 50, 8, style_centre},
    {1284, k::static_text, "", 388, 186, 50, 8, style_centre},
    {none, k::static_text, "Current Limit Threshold", 229, 200, 100, 8},
    {1282, k::static_text, "", 332, 200, 106, 8, style_centre},
    {none, k::static_text, "Current Limit Release Time", 229, 214, 100, 8},
    {1283, k::static_text, "", 332, 214, 106, 8, style_centre},

    {1242, k::button, "OK", 394, 243, 50, 14},
});

}  // namespace

const dialog_template summary_window_template{
    summary_template_id, template_kind::window, "Setting Summary", 451, 264, controls};

}  // namespace tavrin
