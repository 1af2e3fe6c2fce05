#pragma once
// `press`, `move`, `release` and `drag`: the left mouse button on the current page, at
// page pixels or graph coordinates.
#include <QPoint>
#include <QWidget>

#include "play/play_outcome.h"
#include "play/play_reach_qt.h"
#include "play/play_session_qt.h"

namespace tavrin {

class pointer_verbs {
  public:
    explicit pointer_verbs(play_session& session) : session_(session), reach_(session) {}

    play_outcome pointer(const play_step& s);

  private:
    // They keep where the button is down, to let it go there if the script ends first.
    void press(QWidget* page, QPoint at);
    void move(QWidget* page, QPoint at);
    void release(QWidget* page, QPoint at);

    play_session& session_;
    control_reach reach_;
};

}  // namespace tavrin
