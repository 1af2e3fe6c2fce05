#include "platform/ui/message_box.h"

#include <QMessageBox>

namespace tavrin {
namespace {

box_presenter& presenter() {
    static box_presenter p;
    return p;
}

QMessageBox::Icon icon_of(box_icon icon) {
    switch (icon) {
        case box_icon::error:
            return QMessageBox::Critical;
        case box_icon::warning:
            return QMessageBox::Warning;
        case box_icon::information:
            return QMessageBox::Information;
        case box_icon::question:
            return QMessageBox::Question;
        case box_icon::none:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons buttons_of(box_buttons buttons) {
    switch (buttons) {
        case box_buttons::ok:
            return QMessageBox::Ok;
        case box_buttons::ok_cancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case box_buttons::yes_no:
            return QMessageBox::Yes | QMessageBox::No;
    }
    return QMessageBox::Ok;
}

box_answer answer_of(int button, box_buttons buttons) {
    switch (button) {
        case QMessageBox::Ok:
            return box_answer::ok;
        case QMessageBox::Cancel:
            return box_answer::cancel;
        case QMessageBox::Yes:
            return box_answer::yes;
        case QMessageBox::No:
            return box_answer::no;
        default:
            // Closed by Escape or the close box.
            return buttons == box_buttons::yes_no ? box_answer::no
                   : buttons == box_buttons::ok   ? box_answer::ok
                                                  : box_answer::cancel;
    }
}

}  // namespace

box_answer show_message_box(QWidget* owner, const std::string& text, const std::string& caption,
                            box_icon icon, box_buttons buttons) {
    if (presenter())
        return presenter()(owner, text, caption, icon, buttons);
    QMessageBox box(icon_of(icon), QString::fromStdString(caption), QString::fromStdString(text),
                    buttons_of(buttons), owner);
    return answer_of(box.exec(), buttons);
}

box_presenter set_box_presenter(box_presenter p) {
    box_presenter previous = std::move(presenter());
    presenter() = std::move(p);
    return previous;
}

}  // namespace tavrin
