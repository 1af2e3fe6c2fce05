#pragma once
// The lab processes' event loop: poll() over a few sockets plus one-shot timers.
// Callbacks may add or remove watches and timers, including their own.
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace tavrin::sim {

class lab_loop {
  public:
    using fd_callback = std::function<void(int fd, short revents)>;
    using timer_callback = std::function<void()>;
    using timer_id = uint64_t;

    // Watches fd for the given poll events (POLLIN by default); replaces an earlier watch.
    void watch(int fd, fd_callback callback, short events = 0x001);
    void unwatch(int fd);

    // Runs callback once, delay_ms from now.
    timer_id after(uint32_t delay_ms, timer_callback callback);
    void cancel(timer_id id);

    // Processes events until stop() is called.
    void run();
    // One wait of at most max_wait_ms and the callbacks it makes due.
    void run_once(int max_wait_ms);
    void stop() { running_ = false; }

    static uint64_t now_ms();

  private:
    struct watch_entry {
        fd_callback callback;
        short events;
    };
    std::map<int, watch_entry> watches_;
    // Keyed by (deadline, id) so that equal deadlines fire in creation order.
    std::map<std::pair<uint64_t, timer_id>, timer_callback> timers_;
    timer_id next_timer_ = 1;
    bool running_ = false;
};

}  // namespace tavrin::sim
