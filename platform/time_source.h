#pragma once
// One clock and one sleeper for everything that waits or compares tick counts, so
// that tests of seconds-long timeouts run in milliseconds with a fake.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace tavrin {

class time_source {
  public:
    virtual ~time_source() = default;
    // Monotonic milliseconds, wrapping at 32 bits like a tick count.
    virtual uint32_t now_ms() = 0;
    virtual void sleep_ms(uint32_t ms) = 0;

    // Waits until `done` holds or `ms` have passed by this clock; `changed` is notified
    // (its mutex held in `lock`) by whoever makes `done` true. Whether `done` held.
    // The real clock sleeps on `changed`; a test clock has no real time to wait for,
    // so it checks `done` between sleeps of its own, with `lock` released.
    virtual bool wait_for(std::condition_variable& changed, std::unique_lock<std::mutex>& lock,
                          uint32_t ms, const std::function<bool()>& done);
};

// The steady clock and a real sleep.
time_source& system_time();

// A clock that only moves when told to, or when someone sleeps on it.
class fake_time : public time_source {
  public:
    explicit fake_time(uint32_t start = 0) : now_(start) {}
    uint32_t now_ms() override { return now_.load(); }
    void sleep_ms(uint32_t ms) override { now_.fetch_add(ms); }
    void advance(uint32_t ms) { now_.fetch_add(ms); }
    void set(uint32_t ms) { now_.store(ms); }

  private:
    std::atomic<uint32_t> now_;
};

}  // namespace tavrin
