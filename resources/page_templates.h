#pragma once
// The templates of the nine pages and the three secondary windows, one file each
// (resources/template_*.cpp), so that each page's controls live beside nothing else.
#include <array>

#include "resources/dialog_template.h"

namespace tavrin {

extern const dialog_template volume_page_template;        // 103
extern const dialog_template input_page_template;         // 104
extern const dialog_template peq_page_template;           // 105
extern const dialog_template filter_page_template;        // 106
extern const dialog_template freq_respond_page_template;  // 107
extern const dialog_template power_page_template;         // 108
extern const dialog_template utility_page_template;       // 109
extern const dialog_template update_page_template;        // 111
extern const dialog_template about_page_template;         // 112
extern const dialog_template network_window_template;     // 141
extern const dialog_template save_as_window_template;     // 145
extern const dialog_template summary_window_template;     // 147

}  // namespace tavrin
