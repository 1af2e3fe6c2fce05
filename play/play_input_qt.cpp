#include "play/play_input_qt.h"

#include <QApplication>
#include <QTest>
#include <QWindow>

namespace tavrin {
namespace {

bool held = false;

QWindow* window_of(QWidget* w) {
    QWidget* top = w->window();
    return top->windowHandle();
}

QPoint in_window(QWidget* w, QPoint pos) {
    return w->mapTo(w->window(), pos);
}

// The key a character is typed with: letters and digits have codes of their own,
// other Latin-1 characters use their upper-case code point, the rest none.
int key_of(QChar c) {
    const QChar upper = c.toUpper();
    if (upper.unicode() >= 0x20 && upper.unicode() <= 0xff)
        return upper.unicode();
    return Qt::Key_unknown;
}

}  // namespace

QWidget* widget_under(QWidget* w, QPoint pos) {
    QWidget* top = w->window();
    const QPoint at = in_window(w, pos);
    if (!top->rect().contains(at))
        return nullptr;
    QWidget* child = top->childAt(at);
    return child != nullptr ? child : top;
}

void activate_window_of(QWidget* w) {
    QWidget* top = w->window();
    if (QApplication::activeWindow() == top || (top->windowFlags() & Qt::Popup) == Qt::Popup)
        return;
    top->activateWindow();
    QCoreApplication::processEvents();
}

void mouse_press(QWidget* w, QPoint pos) {
    held = true;
    QTest::mousePress(window_of(w), Qt::LeftButton, Qt::NoModifier, in_window(w, pos));
}

void mouse_move(QWidget* w, QPoint pos) {
    QTest::mouseMove(window_of(w), in_window(w, pos));
}

void mouse_release(QWidget* w, QPoint pos) {
    held = false;
    QTest::mouseRelease(window_of(w), Qt::LeftButton, Qt::NoModifier, in_window(w, pos));
}

void mouse_click(QWidget* w, QPoint pos) {
    held = false;
    QTest::mouseClick(window_of(w), Qt::LeftButton, Qt::NoModifier, in_window(w, pos));
}

void mouse_double_click(QWidget* w, QPoint pos) {
    held = false;
    QTest::mouseDClick(window_of(w), Qt::LeftButton, Qt::NoModifier, in_window(w, pos));
}

bool mouse_held() {
    return held;
}

void key_click(QWidget* w, int key, const QString& text) {
    QTest::sendKeyEvent(QTest::Click, window_of(w), static_cast<Qt::Key>(key), text,
                        Qt::NoModifier);
}

void type_keys(QWidget* w, const QString& text) {
    for (const QChar c : text)
        key_click(w, key_of(c), QString(c));
}

}  // namespace tavrin
