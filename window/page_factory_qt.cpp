#include "window/page_factory_qt.h"

#include "firmware/update_page_qt.h"
#include "pages/filter_page_qt.h"
#include "pages/freq_respond_page_qt.h"
#include "pages/input_page_qt.h"
#include "pages/peq_page_qt.h"
#include "pages/power_page_qt.h"
#include "pages/volume_page_qt.h"
#include "presets/preset_controls_qt.h"
#include "presets/save_as_window_qt.h"
#include "presets/summary_window_qt.h"
#include "utilities/about_page_qt.h"
#include "utilities/network_window_qt.h"
#include "utilities/utility_page_qt.h"

namespace tavrin {

page_factory make_page_factory(page_context context) {
    return [context](int tab, QWidget* parent) mutable -> QWidget* {
        switch (tab) {
            case 0:
                return make_volume_page(context, parent);
            case 1:
                return make_input_page(context, parent);
            case 2:
                return make_peq_page(context, parent);
            case 3:
                return make_filter_page(context, parent);
            case 4:
                return make_freq_respond_page(context, parent);
            case 5:
                return make_power_page(context, parent);
            case 6:
                return make_utility_page(context, parent);
            case 7:
                return make_update_page(context, parent);
            case 8:
                return make_about_page(context, parent);
            default:
                break;
        }
        return nullptr;
    };
}

window_filler make_window_filler(page_context context) {
    return [context](int template_id, QWidget* window) mutable {
        switch (template_id) {
            case main_template_id:
                if (auto* main = qobject_cast<main_window*>(window))
                    wire_preset_controls(context, main->controls(), main);
                break;
            case network_template_id:
                fill_network_window(context, window);
                break;
            case save_as_template_id:
                fill_save_as_window(context, window);
                break;
            case summary_template_id:
                fill_summary_window(context, window);
                break;
            default:
                break;
        }
    };
}

}  // namespace tavrin
