#pragma once
// A message box as data: its text, caption, icon and buttons, and the answers it can
// get. The window shows it with Qt; tavrin-cli and tests answer it themselves.
#include <string>

namespace tavrin {

enum class box_icon { none, error, warning, information, question };
enum class box_buttons { ok, ok_cancel, yes_no };
enum class box_answer { ok, cancel, yes, no };

struct question {
    std::string text;
    std::string caption;
    box_icon icon = box_icon::none;
    box_buttons buttons = box_buttons::ok;
};

// The answer a question gets when nobody can be asked: the safe choice.
constexpr box_answer default_answer(box_buttons buttons) {
    switch (buttons) {
        case box_buttons::yes_no:
            return box_answer::no;
        case box_buttons::ok_cancel:
            return box_answer::cancel;
        case box_buttons::ok:
            break;
    }
    return box_answer::ok;
}

}  // namespace tavrin
