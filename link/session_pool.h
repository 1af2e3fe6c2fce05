#pragma once
// A few threads that drive many sessions, each on its own schedule (a fleet): a
// session belongs to one thread of the pool, so its state is only ever touched by
// that thread, and no thread sleeps inside a session's step. Sessions may be added
// and removed while the pool runs.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "link/amp_session.h"

namespace tavrin {

class session_pool {
  public:
    // `threads` at least 1.
    session_pool(time_source& time, unsigned threads);
    ~session_pool();

    session_pool(const session_pool&) = delete;
    session_pool& operator=(const session_pool&) = delete;

    // The session's first step comes one wake-up period from now.
    void add(amp_session& session);
    // Returns once the session is out of the pool and no step of it runs.
    void remove(amp_session& session);
    // Ends every thread after the steps under way; the sessions stay where they are.
    void stop();

    size_t size() const;

  private:
    struct entry {
        amp_session* session;
        uint32_t due;
    };
    struct worker {
        std::mutex mutex;
        std::condition_variable changed;
        std::vector<entry> entries;
        amp_session* ticking = nullptr;
        std::thread thread;
    };

    void run(worker& w);

    time_source& time_;
    std::vector<std::unique_ptr<worker>> workers_;
    std::atomic<bool> stopping_{false};
};

}  // namespace tavrin
