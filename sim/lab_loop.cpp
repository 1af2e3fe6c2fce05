#include "sim/lab_loop.h"

#include <poll.h>

#include <cerrno>
#include <chrono>

namespace tavrin::sim {

uint64_t lab_loop::now_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void lab_loop::watch(int fd, fd_callback callback, short events) {
    watches_[fd] = watch_entry{std::move(callback), events};
}

void lab_loop::unwatch(int fd) {
    watches_.erase(fd);
}

lab_loop::timer_id lab_loop::after(uint32_t delay_ms, timer_callback callback) {
    timer_id id = next_timer_++;
    timers_.emplace(std::make_pair(now_ms() + delay_ms, id), std::move(callback));
    return id;
}

void lab_loop::cancel(timer_id id) {
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->first.second == id) {
            timers_.erase(it);
            return;
        }
    }
}

void lab_loop::run() {
    running_ = true;
    while (running_) {
        run_once(1000);
    }
}

void lab_loop::run_once(int max_wait_ms) {
    int wait = max_wait_ms;
    if (!timers_.empty()) {
        uint64_t now = now_ms();
        uint64_t due = timers_.begin()->first.first;
        int until = due <= now ? 0 : static_cast<int>(due - now);
        if (until < wait) {
            wait = until;
        }
    }
    std::vector<pollfd> fds;
    fds.reserve(watches_.size());
    for (const auto& [fd, entry] : watches_) {
        fds.push_back(pollfd{fd, entry.events, 0});
    }
    int n = ::poll(fds.data(), fds.size(), wait);
    if (n > 0) {
        for (const pollfd& p : fds) {
            if (p.revents == 0) {
                continue;
            }
            // A callback earlier in this pass may have removed this watch.
            auto it = watches_.find(p.fd);
            if (it == watches_.end()) {
                continue;
            }
            fd_callback callback = it->second.callback;
            callback(p.fd, p.revents);
        }
    }
    uint64_t now = now_ms();
    while (!timers_.empty() && timers_.begin()->first.first <= now) {
        timer_callback callback = std::move(timers_.begin()->second);
        timers_.erase(timers_.begin());
        callback();
    }
}

}  // namespace tavrin::sim
