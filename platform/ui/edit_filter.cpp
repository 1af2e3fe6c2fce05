#include "platform/ui/edit_filter.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QTimer>

namespace tavrin {

edit_filter::edit_filter(QLineEdit* edit, edit_rules rules)
    : QObject(edit), edit_(edit), rules_(std::move(rules)) {
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::textEdited, this, [this] { edited_ = true; });
}

edit_filter* install_edit_filter(QLineEdit* edit, edit_rules rules) {
    return new edit_filter(edit, std::move(rules));
}

void edit_filter::apply() {
    edited_ = false;
    if (rules_.apply)
        rules_.apply();
}

bool edit_filter::on_key(QKeyEvent* key) {
    switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            apply();
            return true;  // swallowed: the dialog must not see a default-button press
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            if (rules_.tab_applies && edited_)
                apply();
            return false;
        case Qt::Key_Backspace:
            return false;
        default:
            break;
    }
    const QString text = key->text();
    if (text.isEmpty() || !text.at(0).isPrint() || rules_.allowed.isEmpty())
        return false;
    for (const QChar c : text) {
        if (!rules_.allowed.contains(c))
            return true;
    }
    return false;
}

bool edit_filter::eventFilter(QObject* watched, QEvent* event) {
    if (watched != edit_)
        return false;
    switch (event->type()) {
        case QEvent::KeyPress:
            return on_key(static_cast<QKeyEvent*>(event));
        case QEvent::FocusOut:
            // Only typing not yet applied: Tab or Enter may have applied it already,
            // and an edit the focus only passed through holds nothing new.
            if (edited_ && rules_.page_current && rules_.page_current())
                apply();
            return false;
        case QEvent::MouseButtonPress:
            // After the press has placed the cursor, select the whole text.
            QTimer::singleShot(0, edit_, [e = edit_] { e->selectAll(); });
            return false;
        default:
            return false;
    }
}

}  // namespace tavrin
