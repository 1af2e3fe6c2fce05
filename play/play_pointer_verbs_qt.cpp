#include "play/play_pointer_verbs_qt.h"

#include <vector>

#include "play/play_input_qt.h"
#include "play/play_page_points_qt.h"
#include "window/main_window_qt.h"

namespace tavrin {

play_outcome pointer_verbs::pointer(const play_step& s) {
    QWidget* page = session_.window().page_window();
    if (page == nullptr)
        return session_.script_error("no page is shown");
    std::vector<QPoint> at;
    for (const play_point& p : s.points) {
        const std::optional<QPoint> point = page_point(page, p);
        if (!point)
            return session_.script_error("the page draws no graph to place the point on");
        at.push_back(*point);
    }
    if (s.verb == play_verb::press || s.verb == play_verb::drag) {
        if (auto refused = reach_.usable(page, "the page"))
            return *refused;
        if (widget_under(page, at.front()) == nullptr)
            return session_.failed("the point " + std::to_string(at.front().x()) + ", " +
                                       std::to_string(at.front().y()) + " on the window",
                                   "it outside");
    }
    switch (s.verb) {
        case play_verb::press:
            press(page, at.front());
            break;
        case play_verb::move:
            move(page, at.front());
            break;
        case play_verb::release:
            release(page, at.front());
            break;
        case play_verb::drag: {
            press(page, at[0]);
            const QPoint from = at[0], to = at[1];
            for (int i = 1; i <= s.number; ++i) {
                if (session_.window().page_window() != page)
                    return session_.failed("the page to stay while dragging", "another page");
                move(page, from + (to - from) * i / s.number);
            }
            release(page, to);
            break;
        }
        default:
            break;
    }
    return proceed();
}

void pointer_verbs::press(QWidget* page, QPoint at) {
    mouse_press(page, at);
    session_.held().page = page;
    session_.held().point = at;
}

void pointer_verbs::move(QWidget* page, QPoint at) {
    mouse_move(page, at);
    session_.held().point = at;
}

void pointer_verbs::release(QWidget* page, QPoint at) {
    mouse_release(page, at);
    session_.held().page = nullptr;
}

}  // namespace tavrin
