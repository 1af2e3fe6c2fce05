#pragma once
// The controls a scripted session names and what they show: a control id is found on
// the current tab's page, then in the open secondary windows, then among the main
// window's own controls; its text is read the way a person reads it off the screen.
#include <QString>
#include <QWidget>
#include <optional>
#include <string>

#include "play/play_script.h"

namespace tavrin {

class main_window;

// The widget named "idc_<id>" where a person would look for it; null when none.
QWidget* find_control(main_window& window, const std::string& id);

// What the control shows: an edit's or a static text's text, a button's caption,
// "checked" or "unchecked" for check boxes and radio buttons, the chosen entry of a
// drop-down ("" when none), a trackbar's position, the selected entry of a list, a
// progress bar's value, a group box's title, a tab control's current caption.
// Nothing for a widget that shows no text.
std::optional<QString> shown_text(QWidget* control);

// The lamp's colour as last drawn on the screen (a change that has not been painted
// yet does not count); nothing when it shows none of the three.
std::optional<lamp_state> lamp_shown(main_window& window);

// The message list's lines without their time stamps, newest first.
QStringList log_lines(main_window& window);

// "idc_1023" and its kind of control, for messages.
std::string control_label(const std::string& id);

}  // namespace tavrin
