// The main window and the scan window; the pages and secondary windows have a file
// each (page_templates.h).
#include <array>

#include "resources/page_templates.h"
#include "resources/version_record.h"

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

constexpr dialog_template main_template{
    main_template_id, template_kind::window, version_record::window_caption, 595, 279,
    main_controls};
constexpr dialog_template scan_template{scan_template_id, template_kind::captionless, "", 139, 33,
                                        scan_controls};

}  // namespace

const dialog_template* find_template(int id) {
    static const dialog_template* const all[] = {
        &main_template,
        &scan_template,
        &volume_page_template,
        &input_page_template,
        &peq_page_template,
        &filter_page_template,
        &freq_respond_page_template,
        &power_page_template,
        &utility_page_template,
        &update_page_template,
        &about_page_template,
        &network_window_template,
        &save_as_window_template,
        &summary_window_template,
    };
    for (const dialog_template* t : all) {
        if (t->id == id)
            return t;
    }
    return nullptr;
}

}  // namespace tavrin
