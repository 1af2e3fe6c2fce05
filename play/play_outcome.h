#pragma once
// What a step of a scripted session leads to: the next step, a wait, or the end of
// the session with its exit code and message.
#include <functional>
#include <optional>
#include <string>

namespace tavrin {

struct play_outcome {
    int code = -1;  // -1 goes on
    std::string message;

    struct wait_spec {
        std::function<bool()> done;
        int limit_ms = 0;
        std::function<play_outcome()> then;        // when done
        std::function<play_outcome()> on_timeout;  // when the time is up first
    };
    std::optional<wait_spec> wait;
};

inline play_outcome proceed() {
    return {};
}

inline play_outcome waiting(std::function<bool()> done, int limit_ms,
                            std::function<play_outcome()> then,
                            std::function<play_outcome()> on_timeout) {
    play_outcome o;
    o.wait =
        play_outcome::wait_spec{std::move(done), limit_ms, std::move(then), std::move(on_timeout)};
    return o;
}

}  // namespace tavrin
