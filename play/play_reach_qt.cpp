#include "play/play_reach_qt.h"

#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>

#include "play/play_controls_qt.h"
#include "play/play_input_qt.h"
#include "play/play_texts.h"

namespace tavrin {

QWidget* control_reach::find(const play_step& s, play_outcome& error) const {
    QWidget* w = find_control(session_.window(), s.id);
    if (w == nullptr)
        error = missing(s.id);
    return w;
}

play_outcome control_reach::missing(const std::string& id) const {
    return session_.script_error("no control " + control_label(id) +
                                 " on the window, its page or an open window");
}

std::optional<play_outcome> control_reach::usable(QWidget* w, const std::string& label) const {
    if (!w->isVisible())
        return session_.failed(label + " shown", "hidden");
    if (!w->isEnabled())
        return session_.failed(label + " enabled", "disabled");
    activate_window_of(w);
    return std::nullopt;
}

std::optional<play_outcome> control_reach::reachable(QWidget* w, QPoint pos,
                                                     const std::string& label) const {
    QWidget* under = widget_under(w, pos);
    if (under != w && (under == nullptr || !w->isAncestorOf(under)))
        return session_.failed(label + " under the pointer", widget_label(under));
    return std::nullopt;
}

std::optional<play_outcome> control_reach::clickable(QWidget* w, QPoint pos,
                                                     const std::string& label) const {
    if (auto refused = usable(w, label))
        return refused;
    return reachable(w, pos, label);
}

std::optional<play_outcome> control_reach::give_focus(QWidget* w, const std::string& label) const {
    if (auto refused = usable(w, label))
        return refused;
    if (w->focusPolicy() == Qt::NoFocus)
        return session_.script_error(label + " cannot take the focus");
    if (QApplication::focusWidget() != w) {
        w->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
    }
    if (QApplication::focusWidget() != w)
        return session_.failed(label + " to have the focus",
                               widget_label(QApplication::focusWidget()));
    return std::nullopt;
}

QPoint click_point(QWidget* control) {
    const bool check = qobject_cast<QCheckBox*>(control) != nullptr;
    const bool radio = qobject_cast<QRadioButton*>(control) != nullptr;
    if (check || radio) {
        QStyleOptionButton option;
        option.initFrom(control);
        const QRect box = control->style()->subElementRect(
            check ? QStyle::SE_CheckBoxIndicator : QStyle::SE_RadioButtonIndicator, &option,
            control);
        if (box.isValid())
            return box.center();
    }
    return control->rect().center();
}

}  // namespace tavrin
