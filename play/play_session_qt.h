#pragma once
// What the verbs of one scripted session share: the window, the script and the step
// that runs, the messages naming that step, a failure found while a message box or
// file dialog was being answered, and the mouse button a verb left down.
#include <QPointer>
#include <QWidget>
#include <cstddef>
#include <optional>
#include <ostream>
#include <string>

#include "play/play_driver_qt.h"
#include "play/play_outcome.h"
#include "play/play_script.h"

namespace tavrin {

class trackbar;

// The left button a verb left down, let go when the session ends: on a trackbar's
// thumb (`slide … track`) or on the page (`press`).
struct held_button {
    QPointer<trackbar> bar;
    QPointer<QWidget> page;
    QPoint point;  // where the pointer is on `page`

    void let_go();
};

class play_session {
  public:
    play_session(main_window& window, const play_script& script, const play_options& options,
                 std::ostream& out, std::ostream& err);

    main_window& window() const { return window_; }
    const play_options& options() const { return options_; }
    std::ostream& out() const { return out_; }
    std::ostream& err() const { return err_; }
    held_button& held() { return held_; }

    // The step that runs; past the last one when the script has ended.
    const play_step& step() const { return script_.steps[index_]; }
    bool ended() const { return index_ >= script_.steps.size(); }
    void next() { ++index_; }
    // The line of the step that runs, 0 once the script has ended.
    int line_now() const { return ended() ? 0 : step().line; }

    // "NAME:LINE: ", the start of every message.
    std::string where(int line) const;
    // "expected …, got …" at the step that runs.
    play_outcome failed(const std::string& expected, const std::string& got) const;
    // "problem: the line" at the step that runs.
    play_outcome script_error(const std::string& problem) const;

    // A box or dialog answered inside a step (or a wait) cannot end it from there: the
    // first failure found waits for the step to return.
    void fail_later(play_outcome failure);
    bool failed_later() const { return late_failure_.has_value(); }
    std::optional<play_outcome> take_late_failure();

  private:
    main_window& window_;
    const play_script& script_;
    const play_options& options_;
    std::ostream& out_;
    std::ostream& err_;
    size_t index_ = 0;
    std::optional<play_outcome> late_failure_;
    held_button held_;
};

}  // namespace tavrin
