#include "play/play_session_qt.h"

#include <utility>

#include "platform/ui/trackbar.h"
#include "play/play_input_qt.h"

namespace tavrin {

void held_button::let_go() {
    if (bar != nullptr && mouse_held())
        mouse_release(bar, bar->thumb_rect().center());
    else if (mouse_held() && page != nullptr)
        mouse_release(page, point);
}

play_session::play_session(main_window& window, const play_script& script,
                           const play_options& options, std::ostream& out, std::ostream& err)
    : window_(window), script_(script), options_(options), out_(out), err_(err) {}

std::string play_session::where(int line) const {
    return script_.name + ":" + std::to_string(line) + ": ";
}

play_outcome play_session::failed(const std::string& expected, const std::string& got) const {
    return {play_failed, where(step().line) + "expected " + expected + ", got " + got, {}};
}

play_outcome play_session::script_error(const std::string& problem) const {
    return {play_script_error, where(step().line) + problem + ": " + step().source, {}};
}

void play_session::fail_later(play_outcome failure) {
    if (!late_failure_)
        late_failure_ = std::move(failure);
}

std::optional<play_outcome> play_session::take_late_failure() {
    return std::exchange(late_failure_, std::nullopt);
}

}  // namespace tavrin
