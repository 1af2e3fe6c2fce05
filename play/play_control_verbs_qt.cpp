#include "play/play_control_verbs_qt.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTabBar>
#include <QTabWidget>

#include "play/play_controls_qt.h"
#include "play/play_input_qt.h"
#include "play/play_texts.h"
#include "window/main_window_qt.h"

namespace tavrin {
namespace {

struct key_stroke {
    int key;
    QString text;
};

key_stroke stroke_of(play_key key) {
    switch (key) {
        case play_key::enter:
            return {Qt::Key_Return, QStringLiteral("\r")};
        case play_key::tab:
            return {Qt::Key_Tab, QStringLiteral("\t")};
        case play_key::backspace:
            return {Qt::Key_Backspace, QStringLiteral("\b")};
        case play_key::escape:
            return {Qt::Key_Escape, QStringLiteral("\x1b")};
        case play_key::del:
            return {Qt::Key_Delete, QStringLiteral("\x7f")};
        case play_key::up:
            return {Qt::Key_Up, {}};
        case play_key::down:
            return {Qt::Key_Down, {}};
        case play_key::left:
            return {Qt::Key_Left, {}};
        case play_key::right:
            return {Qt::Key_Right, {}};
        case play_key::page_up:
            return {Qt::Key_PageUp, {}};
        case play_key::page_down:
            return {Qt::Key_PageDown, {}};
        case play_key::home:
            return {Qt::Key_Home, {}};
        case play_key::end:
            return {Qt::Key_End, {}};
    }
    return {Qt::Key_unknown, {}};
}

}  // namespace

play_outcome control_verbs::tab(const play_step& s) {
    QTabWidget* tabs = session_.window().tabs();
    int index = -1;
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->tabText(i) == qt(s.text))
            index = i;
    }
    if (index < 0)
        return session_.script_error("no tab " + in_quotes(s.text));
    QTabBar* bar = tabs->tabBar();
    const QPoint at = bar->tabRect(index).center();
    if (auto refused = reach_.clickable(bar, at, "the tab " + in_quotes(s.text)))
        return *refused;
    mouse_click(bar, at);
    if (tabs->currentIndex() != index)
        return session_.failed("the tab " + in_quotes(s.text) + " chosen",
                               in_quotes(tabs->tabText(tabs->currentIndex())));
    return proceed();
}

play_outcome control_verbs::click(const play_step& s) {
    play_outcome error;
    QWidget* w = reach_.find(s, error);
    if (w == nullptr)
        return error;
    const QPoint at = click_point(w);
    if (auto refused = reach_.clickable(w, at, control_label(s.id)))
        return *refused;
    mouse_click(w, at);
    return proceed();
}

play_outcome control_verbs::type(const play_step& s) {
    play_outcome error;
    QWidget* w = reach_.find(s, error);
    if (w == nullptr)
        return error;
    if (qobject_cast<QLineEdit*>(w) == nullptr)
        return session_.script_error(control_label(s.id) + " is not an edit");
    const QPoint at = w->rect().center();
    if (auto refused = reach_.clickable(w, at, control_label(s.id)))
        return *refused;
    QPointer<QWidget> edit = w;
    mouse_click(w, at);
    if (edit.isNull() || QApplication::focusWidget() != edit)
        return session_.failed(control_label(s.id) + " to have the focus after a click",
                               widget_label(QApplication::focusWidget()));
    for (const QChar c : qt(s.text)) {
        if (edit.isNull())
            return session_.failed(control_label(s.id) + " while typing", "it gone");
        type_keys(edit, QString(c));
    }
    return proceed();
}

play_outcome control_verbs::focus(const play_step& s) {
    play_outcome error;
    QWidget* w = reach_.find(s, error);
    if (w == nullptr)
        return error;
    if (auto refused = reach_.give_focus(w, control_label(s.id)))
        return *refused;
    return proceed();
}

play_outcome control_verbs::key(const play_step& s) {
    play_outcome error;
    QWidget* w = reach_.find(s, error);
    if (w == nullptr)
        return error;
    if (auto refused = reach_.give_focus(w, control_label(s.id)))
        return *refused;
    const key_stroke stroke = stroke_of(s.key);
    key_click(w, stroke.key, stroke.text);
    return proceed();
}

play_outcome control_verbs::choose(const play_step& s) {
    play_outcome error;
    QWidget* w = reach_.find(s, error);
    if (w == nullptr)
        return error;
    auto* combo = qobject_cast<QComboBox*>(w);
    if (combo == nullptr)
        return session_.script_error(control_label(s.id) + " is not a drop-down");
    const std::string label = control_label(s.id);
    const QPoint at = combo->rect().center();
    if (auto refused = reach_.clickable(combo, at, label))
        return *refused;
    mouse_click(combo, at);
    QAbstractItemView* view = combo->view();
    if (!view->isVisible())
        return session_.failed(label + " open", "it closed");
    QWidget* popup = view->window();
    // The list as it is now: opening may have refilled it.
    int index = -1;
    if (s.entry_index)
        index = *s.entry_index < combo->count() ? *s.entry_index : -1;
    else if (s.has_text)
        index = combo->findText(qt(s.text), Qt::MatchExactly);
    if (index < 0) {
        key_click(popup, Qt::Key_Escape, QStringLiteral("\x1b"));
        if (!s.entry_index && !s.has_text)
            return closed(combo, label);
        QStringList entries;
        for (int i = 0; i < combo->count(); ++i)
            entries << combo->itemText(i);
        const std::string wanted = s.entry_index ? "entry " + std::to_string(*s.entry_index)
                                                 : "the entry " + in_quotes(s.text);
        return session_.failed(wanted + " in " + label, joined(entries));
    }
    // The pointer goes over the entry, which marks it, and Enter takes it.
    const QModelIndex entry =
        combo->model()->index(index, combo->modelColumn(), combo->rootModelIndex());
    view->scrollTo(entry);
    mouse_move(view->viewport(), view->visualRect(entry).center());
    if (view->currentIndex() != entry)
        view->setCurrentIndex(entry);  // as the arrow keys would
    key_click(popup, Qt::Key_Return, QStringLiteral("\r"));
    return closed(combo, label);
}

play_outcome control_verbs::closed(QComboBox* combo, const std::string& label) const {
    if (combo->view()->isVisible())
        return session_.failed(label + " closed", "it open");
    return proceed();
}

}  // namespace tavrin
