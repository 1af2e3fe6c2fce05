#pragma once
// One thread that drives one session at its own pace: the window's worker. It sleeps
// what the session's last step asked for (100 ms between wake-ups) and stops after
// the step under way.
#include <atomic>
#include <thread>

#include "link/amp_session.h"

namespace tavrin {

class session_thread {
  public:
    session_thread(amp_session& session, time_source& time) : session_(session), time_(time) {}
    ~session_thread() { stop(); }

    session_thread(const session_thread&) = delete;
    session_thread& operator=(const session_thread&) = delete;

    // False when the thread cannot be made. Starting a running thread does nothing.
    [[nodiscard]] bool start();
    // Ends the thread after its current step and joins it. Harmless when stopped.
    void stop();
    bool running() const { return thread_.joinable(); }

  private:
    amp_session& session_;
    time_source& time_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace tavrin
