#pragma once
// Message boxes and file dialogs during a session: none really opens; each takes the
// answer or file the script queued for it (`answer`, `file`), else the safe answer
// said on standard error. What no box or dialog took fails the session at its end.
#include <deque>
#include <optional>
#include <string>

#include "platform/ui/file_dialog.h"
#include "platform/ui/message_box.h"
#include "play/play_outcome.h"
#include "play/play_session_qt.h"

namespace tavrin {

// Whether a box with `buttons` has a button for `answer`.
bool answer_fits(box_answer answer, box_buttons buttons);
// "OK", "OK and Cancel", "Yes and No", for messages.
const char* buttons_name(box_buttons buttons);

class dialog_answers {
  public:
    // Answers the window's boxes and dialogs from now until destroyed.
    explicit dialog_answers(play_session& session);
    ~dialog_answers();
    dialog_answers(const dialog_answers&) = delete;
    dialog_answers& operator=(const dialog_answers&) = delete;

    void queue_answer(const play_step& s) { answers_.push_back({s.answer, s.line}); }
    void queue_file(const play_step& s) { files_.push_back({s.text, s.line}); }

    // The text of the last message box of the session.
    const std::optional<std::string>& last_box() const { return last_box_; }
    // How the session ends once every step ran: a failure for the first answer or
    // file no box or dialog took.
    play_outcome unused() const;

  private:
    box_answer present_box(const std::string& text, box_buttons buttons);
    std::optional<std::string> choose_file();

    struct pending_answer {
        box_answer answer;
        int line;
    };
    struct pending_file {
        std::string path;
        int line;
    };

    play_session& session_;
    std::deque<pending_answer> answers_;
    std::deque<pending_file> files_;
    std::optional<std::string> last_box_;
    box_presenter previous_presenter_;
    file_chooser previous_chooser_;
};

}  // namespace tavrin
