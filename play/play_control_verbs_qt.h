#pragma once
// The verbs that act on controls with a click or the keyboard: `tab`, `click`, `type`,
// `key`, `focus` and `choose`.
#include <QComboBox>
#include <string>

#include "play/play_outcome.h"
#include "play/play_reach_qt.h"
#include "play/play_session_qt.h"

namespace tavrin {

class control_verbs {
  public:
    explicit control_verbs(play_session& session) : session_(session), reach_(session) {}

    play_outcome tab(const play_step& s);
    play_outcome click(const play_step& s);
    play_outcome type(const play_step& s);
    play_outcome key(const play_step& s);
    play_outcome focus(const play_step& s);
    play_outcome choose(const play_step& s);

  private:
    play_outcome closed(QComboBox* combo, const std::string& label) const;

    play_session& session_;
    control_reach reach_;
};

}  // namespace tavrin
