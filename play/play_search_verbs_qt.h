#pragma once
// `discover` and `connect`: the search with the Discovery button, again while what the
// script wants is not listed, and a double-click on a listed device until the lamp
// shows the connection.
#include <QStringList>

#include "play/play_outcome.h"
#include "play/play_reach_qt.h"
#include "play/play_session_qt.h"

namespace tavrin {

class search_verbs {
  public:
    explicit search_verbs(play_session& session) : session_(session), reach_(session) {}

    play_outcome discover(const play_step& s);
    play_outcome connect(const play_step& s);

  private:
    play_outcome search(const play_step& s);
    bool wanted_listed(const play_step& s) const;
    QStringList listed() const;

    play_session& session_;
    control_reach reach_;
    int searches_ = 0;  // of the `discover` that runs
};

}  // namespace tavrin
