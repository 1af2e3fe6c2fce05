#pragma once
// A person's pointer and keyboard for scripted sessions: every press, move and key
// enters through the widget's window as the window system would deliver it, so Qt
// picks the widget under the pointer, moves the focus on a click, keeps the mouse
// with the widget that got the press, makes double-clicks from close presses and
// hands keys to the focus widget (event filters, popups and all).
#include <QPoint>
#include <QString>
#include <QWidget>

namespace tavrin {

// The widget a pointer at `pos` (in `w`'s pixels) would reach: the deepest one in
// w's window that takes mouse events; null outside the window.
QWidget* widget_under(QWidget* w, QPoint pos);

// Makes w's window the active one, as a click on its frame would.
void activate_window_of(QWidget* w);

void mouse_press(QWidget* w, QPoint pos);
void mouse_move(QWidget* w, QPoint pos);
void mouse_release(QWidget* w, QPoint pos);
void mouse_click(QWidget* w, QPoint pos);
void mouse_double_click(QWidget* w, QPoint pos);
// Whether the left button is down since a mouse_press.
bool mouse_held();

// One key pressed and let go in w's window; `text` is what it types.
void key_click(QWidget* w, int key, const QString& text = QString());
// Types `text` key by key into whatever has the focus in w's window.
void type_keys(QWidget* w, const QString& text);

}  // namespace tavrin
