#include "platform/ui/window_timers.h"

namespace tavrin {

void window_timers::set_timer(int id, int period_ms, std::function<void()> tick) {
    entry& e = timers_[id];
    if (e.timer == nullptr) {
        e.timer = new QTimer(owner_);
        QObject::connect(e.timer, &QTimer::timeout, owner_, [this, id] { fire(id); });
    }
    e.tick = std::move(tick);
    e.timer->start(period_ms);
}

void window_timers::kill_timer(int id) {
    const auto it = timers_.find(id);
    if (it != timers_.end() && it->second.timer != nullptr)
        it->second.timer->stop();
}

bool window_timers::running(int id) const {
    const auto it = timers_.find(id);
    return it != timers_.end() && it->second.timer != nullptr && it->second.timer->isActive();
}

int window_timers::period(int id) const {
    const auto it = timers_.find(id);
    return it == timers_.end() || it->second.timer == nullptr ? 0 : it->second.timer->interval();
}

void window_timers::fire(int id) {
    const auto it = timers_.find(id);
    if (it == timers_.end() || !it->second.tick)
        return;
    // A copy: the tick may set or kill its own timer.
    const std::function<void()> tick = it->second.tick;
    tick();
}

}  // namespace tavrin
