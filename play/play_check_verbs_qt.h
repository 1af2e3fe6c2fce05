#pragma once
// The checks of what the window shows, read as a person reads the screen:
// `wait-for`, `expect`, `expect-log`, `expect-lamp` and `expect-box`.
#include "play/play_answers_qt.h"
#include "play/play_outcome.h"
#include "play/play_reach_qt.h"
#include "play/play_session_qt.h"

namespace tavrin {

class check_verbs {
  public:
    check_verbs(play_session& session, const dialog_answers& answers)
        : session_(session), reach_(session), answers_(answers) {}

    play_outcome wait_for(const play_step& s);
    play_outcome expect(const play_step& s);
    play_outcome expect_log(const play_step& s);
    play_outcome expect_lamp(const play_step& s);
    play_outcome expect_box(const play_step& s);

  private:
    play_session& session_;
    control_reach reach_;
    const dialog_answers& answers_;
};

}  // namespace tavrin
