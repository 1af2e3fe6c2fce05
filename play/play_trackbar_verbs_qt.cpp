#include "play/play_trackbar_verbs_qt.h"

#include <cstdlib>

#include "platform/ui/trackbar.h"
#include "play/play_controls_qt.h"
#include "play/play_input_qt.h"

namespace tavrin {

play_outcome trackbar_verbs::slide(const play_step& s) {
    play_outcome error;
    QWidget* w = reach_.find(s, error);
    if (w == nullptr)
        return error;
    auto* bar = qobject_cast<trackbar*>(w);
    if (bar == nullptr)
        return session_.script_error(control_label(s.id) + " is not a trackbar");
    const std::string label = control_label(s.id);
    if (s.number < bar->minimum() || s.number > bar->maximum())
        return session_.failed("a position of " + label + " within " +
                                   std::to_string(bar->minimum()) + " ... " +
                                   std::to_string(bar->maximum()),
                               std::to_string(s.number));
    switch (s.slide) {
        case slide_kind::line:
        case slide_kind::page:
            return step_keys(bar, s.number, s.slide == slide_kind::page, label);
        case slide_kind::track:
            return drag_thumb(bar, s.number, label, false);
        case slide_kind::thumb:
        case slide_kind::drag:
        case slide_kind::end:
            return drag_thumb(bar, s.number, label, true);
    }
    return proceed();
}

play_outcome trackbar_verbs::step_keys(trackbar* bar, int pos, bool pages,
                                       const std::string& label) {
    if (auto refused = reach_.give_focus(bar, label))
        return *refused;
    const int size = pages ? bar->pageStep() : bar->singleStep();
    const char* unit = pages ? " by pages" : " by lines";
    for (int guard = 0; bar->value() != pos; ++guard) {
        const int now = bar->value();
        const bool up = pos > now;  // towards the maximum
        const bool at_end = pos == (up ? bar->maximum() : bar->minimum());
        if (size <= 0 || guard > bar->maximum() - bar->minimum() ||
            (std::abs(pos - now) < size && !at_end))
            return session_.failed(label + " to reach " + std::to_string(pos) + unit,
                                   std::to_string(now));
        int key = 0;
        if (pages)
            key = (up != bar->invertedControls()) ? Qt::Key_PageUp : Qt::Key_PageDown;
        else
            key = (up != bar->invertedControls()) ? Qt::Key_Up : Qt::Key_Down;
        key_click(bar, key);
        if (bar->value() == now)
            return session_.failed(label + " to move" + unit, "it stuck at " + std::to_string(now));
    }
    return proceed();
}

play_outcome trackbar_verbs::drag_thumb(trackbar* bar, int pos, const std::string& label,
                                        bool let_go) {
    held_button& held = session_.held();
    if (held.bar != bar) {
        const QPoint grip = bar->thumb_rect().center();
        if (auto refused = reach_.clickable(bar, grip, label))
            return *refused;
        mouse_press(bar, grip);
        held.bar = bar;
        if (!bar->isSliderDown()) {
            held.bar = nullptr;
            mouse_release(bar, grip);
            return session_.failed(label + "'s thumb held", "it not grabbed");
        }
    }
    if (bar->sliderPosition() != pos) {
        mouse_move(bar, bar->thumb_centre_at(pos));
        // More positions than pixels: the last move lands on the exact position.
        if (bar->sliderPosition() != pos)
            bar->setSliderPosition(pos);
    }
    if (let_go) {
        mouse_release(bar, bar->thumb_centre_at(pos));
        held.bar = nullptr;
    }
    if (bar->sliderPosition() != pos)
        return session_.failed(label + " at " + std::to_string(pos),
                               std::to_string(bar->sliderPosition()));
    return proceed();
}

}  // namespace tavrin
