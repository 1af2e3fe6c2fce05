#pragma once
// Message boxes with the tool's texts, captions, icons and buttons. Tests replace the
// presenter so that no modal loop runs.
#include <QWidget>
#include <functional>
#include <string>

#include "platform/question.h"

namespace tavrin {

using box_presenter =
    std::function<box_answer(QWidget* owner, const std::string& text, const std::string& caption,
                             box_icon icon, box_buttons buttons)>;

// Shows a modal box owned by `owner` (may be null) on the UI thread.
box_answer show_message_box(QWidget* owner, const std::string& text, const std::string& caption,
                            box_icon icon, box_buttons buttons);

// Replaces the real boxes; an empty presenter restores them. Returns the previous one.
box_presenter set_box_presenter(box_presenter presenter);

}  // namespace tavrin
