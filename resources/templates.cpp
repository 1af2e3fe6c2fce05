// The dialog templates. Pages and windows that are not built yet carry their frame
// only; their controls are added here as they come.
#include <array>

#include "resources/dialog_template.h"

namespace tavrin {
namespace {

using k = control_kind;

constexpr auto main_controls = std::to_array<dialog_control>({
    {no_control_id, k::group_box, "Device Information", 7, 4, 155, 59},
    {1002, k::static_text, "No Device", 23, 14, 133, 45},
    {no_control_id, k::group_box, "Device Connection", 7, 66, 155, 113},
    {1292, k::drop_down, "", 11, 78, 70, 30},
    {1003, k::button, "Discovery", 86, 76, 70, 14},
    {1005, k::list_box, "", 11, 95, 144, 59, style_sorted | style_notify | style_vscroll},
    {1219, k::button, "Network", 11, 158, 144, 14},
    {no_control_id, k::group_box, "Preset File", 6, 182, 155, 90},
    {1007, k::drop_down, "", 12, 194, 144, 30, style_sorted},
    {1008, k::button, "Load a File", 12, 213, 70, 14, style_disabled},
    {1009, k::button, "Delete a File", 86, 213, 70, 14, style_disabled},
    {1011, k::button, "Save", 12, 233, 70, 14, style_disabled},
    {1237, k::button, "Save As...", 85, 233, 70, 14},
    {1238, k::button, "Setting Summary", 12, 251, 144, 14},
    {102, k::tab_control, "", 167, 7, 421, 262},
    // Never shown: the window keeps them for their actions and the message list.
    {1014, k::list_box, "", 140, 178, 423, 92, style_vscroll | style_hscroll, true},
    {1004, k::button, "Connect", 359, 255, 50, 14, style_none, true},
    {1006, k::button, "Synchronize with Amplifier", 413, 255, 100, 14, style_none, true},
    {1012, k::button, "Clear", 517, 255, 40, 14, style_none, true},
    {1287, k::button, "Find Me", 300, 255, 50, 14, style_none, true},
    {1013, k::check_box, "Debug Msg", 240, 255, 50, 10, style_none, true},
    {1010, k::edit, "", 170, 255, 60, 14, style_none, true},
});

constexpr auto scan_controls = std::to_array<dialog_control>({
    {1220, k::static_text, "Scanning.", 7, 12, 125, 10, style_centre},
});

constexpr auto page_controls = std::array<dialog_control, 0>{};

constexpr std::array templates = {
    dialog_template{main_template_id, template_kind::window, "TAVRIN-PA22 Config Tool (V3.0R1)",
                    595, 279, main_controls},
    dialog_template{scan_template_id, template_kind::captionless, "", 139, 33, scan_controls},
    dialog_template{103, template_kind::page, "", 400, 235, page_controls},
    dialog_template{104, template_kind::page, "", 400, 235, page_controls},
    dialog_template{105, template_kind::page, "", 400, 235, page_controls},
    dialog_template{106, template_kind::page, "", 401, 235, page_controls},
    dialog_template{107, template_kind::page, "", 401, 235, page_controls},
    dialog_template{108, template_kind::page, "", 400, 235, page_controls},
    dialog_template{109, template_kind::page, "", 400, 235, page_controls},
    dialog_template{111, template_kind::page, "", 400, 235, page_controls},
    dialog_template{112, template_kind::page, "", 401, 235, page_controls},
    dialog_template{network_template_id, template_kind::window, "Network Interface", 309, 176,
                    page_controls},
    dialog_template{save_as_template_id, template_kind::window, "Save As...", 135, 67,
                    page_controls},
    dialog_template{summary_template_id, template_kind::window, "Setting Summary", 451, 264,
                    page_controls},
};

}  // namespace

const dialog_template* find_template(int id) {
    for (const dialog_template& t : templates) {
        if (t.id == id)
            return &t;
    }
    return nullptr;
}

}  // namespace tavrin
