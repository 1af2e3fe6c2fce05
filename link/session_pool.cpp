#include "link/session_pool.h"

#include <algorithm>
#include <chrono>

namespace tavrin {
namespace {

// Whether tick count `a` lies before `b` (32-bit wrap-around).
bool before(uint32_t a, uint32_t b) {
    return static_cast<int32_t>(a - b) < 0;
}

}  // namespace

session_pool::session_pool(time_source& time, unsigned threads) : time_(time) {
    threads = std::max(threads, 1u);
    for (unsigned i = 0; i < threads; ++i) {
        workers_.push_back(std::make_unique<worker>());
        worker& w = *workers_.back();
        w.thread = std::thread([this, &w] { run(w); });
    }
}

session_pool::~session_pool() {
    stop();
}

void session_pool::add(amp_session& session) {
    // The least busy thread takes it.
    worker* best = nullptr;
    size_t fewest = SIZE_MAX;
    for (auto& w : workers_) {
        std::lock_guard lock(w->mutex);
        if (w->entries.size() < fewest) {
            fewest = w->entries.size();
            best = w.get();
        }
    }
    {
        std::lock_guard lock(best->mutex);
        best->entries.push_back({&session, time_.now_ms() + amp_session::wake_period_ms});
    }
    best->changed.notify_one();
}

void session_pool::remove(amp_session& session) {
    for (auto& w : workers_) {
        std::unique_lock lock(w->mutex);
        auto it = std::find_if(w->entries.begin(), w->entries.end(),
                               [&](const entry& e) { return e.session == &session; });
        if (it == w->entries.end())
            continue;
        w->entries.erase(it);
        w->changed.wait(lock, [&] { return w->ticking != &session; });
        return;
    }
}

size_t session_pool::size() const {
    size_t n = 0;
    for (const auto& w : workers_) {
        std::lock_guard lock(w->mutex);
        n += w->entries.size();
    }
    return n;
}

void session_pool::stop() {
    for (auto& w : workers_) {
        {
            // Under the worker's lock, so that it cannot miss the wake-up between its
            // check and its wait.
            std::lock_guard lock(w->mutex);
            stopping_.store(true);
        }
        w->changed.notify_all();
        if (w->thread.joinable())
            w->thread.join();
    }
}

void session_pool::run(worker& w) {
    std::unique_lock lock(w.mutex);
    while (!stopping_.load()) {
        if (w.entries.empty()) {
            w.changed.wait(lock);
            continue;
        }
        auto next =
            std::min_element(w.entries.begin(), w.entries.end(),
                             [](const entry& a, const entry& b) { return before(a.due, b.due); });
        const uint32_t now = time_.now_ms();
        if (before(now, next->due)) {
            w.changed.wait_for(lock, std::chrono::milliseconds(next->due - now));
            continue;
        }
        amp_session* session = next->session;
        w.ticking = session;
        lock.unlock();
        const uint32_t delay = session->tick();
        lock.lock();
        w.ticking = nullptr;
        // It may have been removed meanwhile.
        for (entry& e : w.entries) {
            if (e.session == session) {
                e.due = time_.now_ms() + delay;
                break;
            }
        }
        w.changed.notify_all();
    }
}

}  // namespace tavrin
