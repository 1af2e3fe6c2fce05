#pragma once
// A slider value sent once the slider has been still for 300 ms, with the poll
// stopped meanwhile so that no answer puts the old value back on the slider. The
// Input page's trims and the Power page's limits share it; `Key` names what waits
// (a channel, a limit), and moving another key first sends the one waiting.
#include <cstdint>
#include <functional>
#include <optional>

#include "app/page_context.h"

namespace tavrin {

// The page timer that sends a slider's value once it has been still this long.
constexpr int send_timer_id = 300;
constexpr uint32_t send_delay_ms = 300;

// The page's send timer: (re)armed to fire once in `ms`, or stopped.
class send_timer_view {
  public:
    virtual ~send_timer_view() = default;
    virtual void arm_send_timer(uint32_t ms) = 0;
    virtual void stop_send_timer() = 0;
};

template <typename Key>
class paused_send {
  public:
    // Queues the value of `key` as it now stands.
    using sender = std::function<void(const Key&)>;

    // `ctx` and `timer` must outlive this.
    paused_send(page_context& ctx, send_timer_view& timer, sender send)
        : ctx_(ctx), timer_(timer), send_(std::move(send)) {}

    // `key` was moved: its value goes out 300 ms after the last move.
    void moved(const Key& key) {
        if (waiting_ && !(*waiting_ == key))
            send_(*waiting_);  // another slider's value waits: send it rather than lose it
        waiting_ = key;
        moved_at_ = ctx_.time.now_ms();
        if (ctx_.session != nullptr)
            ctx_.session->pause_poll();
        timer_.arm_send_timer(send_delay_ms);
    }

    // The send timer fired: sends once the value has been still for 300 ms by the
    // clock, or re-arms for the rest of the wait.
    void timer_fired() {
        if (!waiting_) {
            timer_.stop_send_timer();
            return;
        }
        const uint32_t still = ctx_.time.now_ms() - moved_at_;
        if (still < send_delay_ms) {
            timer_.arm_send_timer(send_delay_ms - still);
            return;
        }
        send_now();
    }

    // Sends a waiting value at once and starts the poll again (the page is left, or
    // tavrin-cli, which has nothing to wait for).
    void flush() {
        if (waiting_)
            send_now();
    }

    bool waiting() const { return waiting_.has_value(); }

  private:
    void send_now() {
        const Key key = *waiting_;
        waiting_.reset();
        send_(key);
        timer_.stop_send_timer();
        if (ctx_.session != nullptr)
            ctx_.session->resume_poll();
    }

    page_context& ctx_;
    send_timer_view& timer_;
    sender send_;
    std::optional<Key> waiting_;
    uint32_t moved_at_ = 0;
};

}  // namespace tavrin
