#pragma once
// Dialog templates as data: each window and page is a list of controls with their
// ids, texts and rectangles in dialog units. platform/ui turns them into widgets.
#include <cstdint>
#include <span>
#include <string_view>

namespace tavrin {

enum class control_kind : uint8_t {
    group_box,
    static_text,
    button,
    check_box,
    radio_button,
    edit,
    list_box,
    drop_down,
    tab_control,
    trackbar,
    progress_bar,
};

// Style bits that change how a control is built.
enum control_style : uint32_t {
    style_none = 0,
    style_disabled = 1u << 0,
    style_sorted = 1u << 1,
    style_notify = 1u << 2,
    style_vscroll = 1u << 3,
    style_hscroll = 1u << 4,
    style_vertical = 1u << 5,
    style_right = 1u << 6,
    style_centre = 1u << 7,
};

// Controls without an id of their own (labels, frames).
constexpr int no_control_id = -1;

struct dialog_control {
    int id;
    control_kind kind;
    std::string_view text;
    int x, y, w, h;  // dialog units
    uint32_t style = style_none;
    bool hidden = false;
};

// Window kinds: a top-level window with caption, one without (the scan window), and a
// page created inside the tab control.
enum class template_kind : uint8_t { window, captionless, page };

struct dialog_template {
    int id;
    template_kind kind;
    std::string_view caption;
    int w, h;  // dialog units
    std::span<const dialog_control> controls;
    // The dialog font, "MS Shell Dlg" 8 point on the original platform.
    int font_points = 8;
};

// Template ids used by the main window.
constexpr int main_template_id = 101;
constexpr int scan_template_id = 143;
constexpr int network_template_id = 141;
constexpr int save_as_template_id = 145;
constexpr int summary_template_id = 147;

// The template with this id, or nullptr.
const dialog_template* find_template(int id);

}  // namespace tavrin
