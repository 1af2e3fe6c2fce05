#include "app/window/page_factory_qt.h"

#include "pages/filter_page_qt.h"
#include "pages/freq_respond_page_qt.h"
#include "pages/input_page_qt.h"
#include "pages/peq_page_qt.h"
#include "pages/power_page_qt.h"
#include "pages/volume_page_qt.h"

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
            default:
                break;
        }
        return nullptr;
    };
}

window_filler make_window_filler(page_context context) {
    return [context](int template_id, QWidget* window) mutable {
        (void)template_id;
        (void)window;
    };
}

}  // namespace tavrin
