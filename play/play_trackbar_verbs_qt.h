#pragma once
// `slide`: a trackbar moved by the gesture the script names (a drag of the thumb,
// arrow keys, page keys, a thumb held between steps), so the page gets that gesture's
// notifications.
#include <string>

#include "play/play_outcome.h"
#include "play/play_reach_qt.h"
#include "play/play_session_qt.h"

namespace tavrin {

class trackbar;

class trackbar_verbs {
  public:
    explicit trackbar_verbs(play_session& session) : session_(session), reach_(session) {}

    play_outcome slide(const play_step& s);

  private:
    // Arrow or page keys until the bar is at `pos`; a step that would pass it fails.
    play_outcome step_keys(trackbar* bar, int pos, bool pages, const std::string& label);
    // Presses the thumb (unless it is held already), moves it to `pos` in one move and,
    // when `let_go`, releases it.
    play_outcome drag_thumb(trackbar* bar, int pos, const std::string& label, bool let_go);

    play_session& session_;
    control_reach reach_;
};

}  // namespace tavrin
