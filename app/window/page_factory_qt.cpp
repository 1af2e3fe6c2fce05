#include "app/window/page_factory_qt.h"

namespace tavrin {

page_factory make_page_factory(page_context context) {
    return [context](int tab, QWidget* parent) mutable -> QWidget* {
        (void)parent;
        switch (tab) {
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
