#include "link/session_thread.h"

#include <system_error>

namespace tavrin {

bool session_thread::start() {
    if (thread_.joinable())
        return true;
    stop_.store(false);
    try {
        thread_ = std::thread([this] {
            uint32_t delay = amp_session::wake_period_ms;
            while (!stop_.load()) {
                time_.sleep_ms(delay);
                if (stop_.load())
                    break;
                delay = session_.tick();
            }
        });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void session_thread::stop() {
    stop_.store(true);
    if (thread_.joinable())
        thread_.join();
}

}  // namespace tavrin
