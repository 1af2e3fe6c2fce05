#include "play/play_answers_qt.h"

#include <QDir>
#include <QFileInfo>

#include "play/play_texts.h"

namespace tavrin {

bool answer_fits(box_answer answer, box_buttons buttons) {
    switch (buttons) {
        case box_buttons::ok:
            return answer == box_answer::ok;
        case box_buttons::ok_cancel:
            return answer == box_answer::ok || answer == box_answer::cancel;
        case box_buttons::yes_no:
            return answer == box_answer::yes || answer == box_answer::no;
    }
    return false;
}

const char* buttons_name(box_buttons buttons) {
    switch (buttons) {
        case box_buttons::ok:
            return "OK";
        case box_buttons::ok_cancel:
            return "OK and Cancel";
        case box_buttons::yes_no:
            return "Yes and No";
    }
    return "?";
}

dialog_answers::dialog_answers(play_session& session) : session_(session) {
    previous_presenter_ =
        set_box_presenter([this](QWidget*, const std::string& text, const std::string&, box_icon,
                                 box_buttons buttons) { return present_box(text, buttons); });
    previous_chooser_ =
        set_file_chooser([this](QWidget*, const open_file_request&) { return choose_file(); });
}

dialog_answers::~dialog_answers() {
    set_box_presenter(std::move(previous_presenter_));
    set_file_chooser(std::move(previous_chooser_));
}

play_outcome dialog_answers::unused() const {
    if (!answers_.empty())
        return {play_failed,
                session_.where(answers_.front().line) + "expected a message box to answer " +
                    answer_name(answers_.front().answer) + ", got none",
                {}};
    if (!files_.empty())
        return {play_failed,
                session_.where(files_.front().line) + "expected a file dialog for " +
                    in_quotes(files_.front().path) + ", got none",
                {}};
    return {play_done, {}, {}};
}

box_answer dialog_answers::present_box(const std::string& text, box_buttons buttons) {
    last_box_ = text;
    if (answers_.empty()) {
        const box_answer answer = default_answer(buttons);
        session_.err() << session_.where(session_.line_now())
                       << "no answer waiting for the message box " << in_quotes(text)
                       << "; answered " << answer_name(answer) << "\n";
        return answer;
    }
    const pending_answer next = answers_.front();
    answers_.pop_front();
    if (!answer_fits(next.answer, buttons)) {
        session_.fail_later({play_failed,
                             session_.where(next.line) + "expected a message box to answer " +
                                 answer_name(next.answer) + ", got " + in_quotes(text) + " with " +
                                 buttons_name(buttons),
                             {}});
        return default_answer(buttons);
    }
    return next.answer;
}

std::optional<std::string> dialog_answers::choose_file() {
    if (files_.empty()) {
        session_.err() << session_.where(session_.line_now())
                       << "no file waiting for the file dialog; cancelled\n";
        return std::nullopt;
    }
    const pending_file next = files_.front();
    files_.pop_front();
    QString path = qt(next.path);
    const std::string& files_dir = session_.options().files_dir;
    if (QFileInfo(path).isRelative() && !files_dir.empty())
        path = QDir(qt(files_dir)).filePath(path);
    if (!QFileInfo(path).isFile()) {
        session_.fail_later({play_failed,
                             session_.where(next.line) + "expected a file " + in_quotes(path) +
                                 " to choose, got none there",
                             {}});
        return std::nullopt;
    }
    return path.toStdString();
}

}  // namespace tavrin
