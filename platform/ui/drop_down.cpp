#include "platform/ui/drop_down.h"

#include <QTimer>

namespace tavrin {

drop_down::drop_down(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    connect(this, &QComboBox::activated, this, [this](int) { chosen_ = true; });
}

void drop_down::showPopup() {
    // The list may be refilled here, before it is shown.
    emit about_to_open();
    chosen_ = false;
    open_ = true;
    QComboBox::showPopup();
}

void drop_down::hidePopup() {
    QComboBox::hidePopup();
    if (!open_)
        return;
    open_ = false;
    // The popup hides before the chosen item is activated; report after that.
    QTimer::singleShot(0, this, [this] { emit closed(chosen_); });
}

}  // namespace tavrin
