#pragma once
// Runs a session's steps one after another through the window's event loop: a step
// that waits is looked at again every poll until it is done or its time is up, and the
// first step that ends the session ends the loop with its exit code.
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

#include "play/play_outcome.h"
#include "play/play_session_qt.h"

namespace tavrin {

class step_runner : public QObject {
  public:
    using perform_step = std::function<play_outcome(const play_step&)>;
    using end_check = std::function<play_outcome()>;  // what the script left undone

    step_runner(play_session& session, perform_step perform, end_check at_end);

    // The exit code of the session.
    int run();

  private:
    void run_next();
    void follow(play_outcome o);
    void poll();
    void finish(const play_outcome& o);

    play_session& session_;
    perform_step perform_;
    end_check at_end_;
    QEventLoop loop_;
    QTimer step_timer_;
    QTimer poll_timer_;
    std::optional<play_outcome::wait_spec> wait_;
    QDeadlineTimer deadline_;
};

}  // namespace tavrin
