#pragma once
// Builds the widgets of a dialog template at their absolute positions. Each control
// with an id is named "idc_<id>"; hidden controls exist but stay hidden.
#include <QWidget>
#include <map>

#include "platform/ui/dialog_units.h"
#include "resources/dialog_template.h"

namespace tavrin {

struct built_dialog {
    dialog_base_units units;
    std::map<int, QWidget*> controls;

    QWidget* control(int id) const;
    template <typename T>
    T* get(int id) const {
        return qobject_cast<T*>(control(id));
    }
};

// Sizes `host` to the template, gives it the caption and the dialog font, and
// creates every control as its child.
built_dialog build_dialog(const dialog_template& tmpl, QWidget* host);

// "idc_1005" for 1005.
QString control_name(int id);

}  // namespace tavrin
