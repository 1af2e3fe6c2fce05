#pragma once
// `shot` and `shot-window`: PNG pictures of the main window or of an open secondary
// window, under the session's shots folder.
#include <QImage>

#include "play/play_outcome.h"
#include "play/play_session_qt.h"

namespace tavrin {

// The main window as shown, with the scan window drawn over it while it is open.
QImage window_picture(main_window& window);

class picture_verbs {
  public:
    explicit picture_verbs(play_session& session) : session_(session) {}

    play_outcome shot(const play_step& s);
    // A picture of an open secondary window (Network 141, Save As 145, Setting Summary
    // 147), for guides that show them.
    play_outcome shot_window(const play_step& s);

  private:
    play_outcome save(const play_step& s, const QImage& picture);

    play_session& session_;
};

}  // namespace tavrin
