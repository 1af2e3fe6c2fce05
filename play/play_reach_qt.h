#pragma once
// What a person can act on: the control a step names, shown, enabled and not covered
// where the pointer goes, or able to take the focus. A refusal is the step's outcome.
#include <QPoint>
#include <QWidget>
#include <optional>
#include <string>

#include "play/play_outcome.h"
#include "play/play_session_qt.h"

namespace tavrin {

class control_reach {
  public:
    explicit control_reach(play_session& session) : session_(session) {}

    // The control the step names; null with `error` set to the script error.
    QWidget* find(const play_step& s, play_outcome& error) const;
    // The script error for a control id found nowhere.
    play_outcome missing(const std::string& id) const;

    // Shown and enabled; its window then becomes the active one, as a click makes it.
    std::optional<play_outcome> usable(QWidget* w, const std::string& label) const;
    // The pointer at `pos` reaches `w` (or a part of it), not a control on top.
    std::optional<play_outcome> reachable(QWidget* w, QPoint pos, const std::string& label) const;
    std::optional<play_outcome> clickable(QWidget* w, QPoint pos, const std::string& label) const;
    // Gives `w` the focus as Tab would.
    std::optional<play_outcome> give_focus(QWidget* w, const std::string& label) const;

  private:
    play_session& session_;
};

// Where a pointer clicks a control: a check box or radio button on its box, anything
// else in its middle.
QPoint click_point(QWidget* control);

}  // namespace tavrin
