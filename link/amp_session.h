#pragma once
// One amplifier's link, with one owner: amp_session is the only writer of its state
// (link_view), its outbox (the command ring), its inbox, its mirror of the
// amplifier's parameter block and its poll schedule. Any thread may post a request
// (choose a device, close, synchronize, pause the poll, a firmware transfer starting
// or ending); the session applies requests in order at its next wake-up, on the
// thread that drives it. Pages queue commands into the outbox and edit the mirror
// directly, as they always have: both have locks of their own.
//
// A wake-up (tick) does, in this order: the posted requests; the poll procedure when
// the 5 s poll timer is due; the connect transition, or the hand-over of received
// answers (to the mirror, or to a firmware transfer); the send of one queued frame;
// the firmware transfer's step; the disconnect transition. tick() never sleeps: it
// returns how long to wait before the next call, so one thread can drive one session
// at the amplifier's pacing (the window) or many sessions each on its own schedule
// (a fleet).
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "link/command_ring.h"
#include "link/field_mask.h"
#include "link/frame_inbox.h"
#include "link/link_view.h"
#include "link/session_events.h"
#include "link/session_receiver.h"
#include "link/update_port.h"
#include "platform/time_source.h"
#include "protocol/amp_params.h"
#include "protocol/amp_sender.h"
#include "protocol/control_sender.h"
#include "protocol/selected_device.h"

namespace tavrin {

struct session_parts {
    time_source& time;
    // The ConMon send, shared by every session.
    control_sender& link;
    // The send result lines (the wrapper's diagnostic log); empty: none.
    amp_sender::log_fn send_log = {};
    // Feeds the segments' transfer ids; empty: a default generator.
    amp_sender::random_fn random = {};
};

class amp_session {
  public:
    static constexpr uint32_t wake_period_ms = 100;
    // Update frames leave a little after the previous wake-up step, and the
    // amplifier needs a moment after each answer before the next request.
    static constexpr uint32_t update_gap_ms = 20;
    static constexpr uint32_t update_answer_pause_ms = 100;
    // The poll timer: a poll after 5 s without traffic; the fourth unanswered poll in
    // a row closes the link.
    static constexpr uint32_t poll_period_ms = 5000;
    static constexpr uint32_t max_missed_polls = 3;

    explicit amp_session(session_parts parts);
    ~amp_session();

    amp_session(const amp_session&) = delete;
    amp_session& operator=(const amp_session&) = delete;

    // Who hears of what happens (null: nobody). Any thread; takes effect at once.
    void set_events(session_events* events) { events_.store(events); }

    // The amplifier named on the command line, before anything drives the session:
    // its name (and the copy answers are matched against) without connecting.
    void preselect(const std::string& name) {
        device_.set_name(name);
        device_.renew_copy();
    }

    // ---- requests: any thread, applied in order at the next wake-up
    // The session starts working (the worker's run flag); until then wake-ups do
    // nothing.
    void start();
    // A device is chosen (the double-click): its name is taken and the link opens at
    // the next wake-up.
    void choose(const std::string& name);
    // The user's Disconnect: the link closes at the end of the next wake-up.
    void close();
    // Forget the mirror and read everything again.
    void synchronize();
    // The Input and Power pages hold the poll while a slider moves, and start it again
    // once its value went out.
    void pause_poll();
    void resume_poll();
    // The amplifier now carries `name` (a rename went through).
    void renamed(const std::string& name);
    // The ConMon server went away: an open link closes (not while updating); or it is
    // back. Listeners hear both.
    void server_lost();
    void server_back();
    // The poll procedure runs at the next wake-up, as if its timer fired: a poll over
    // an open link, a probe over a closed one.
    void poll_now();
    // A firmware transfer takes the link (its first frames are already in the outbox)
    // or gives it back. While it runs every answer goes to `update`.
    void begin_update(update_procedure* update);
    void end_update();

    // ---- what anyone may read or use
    const link_view& view() const { return view_; }
    command_ring& outbox() { return outbox_; }
    amp_params& params() { return params_; }
    const amp_params& params() const { return params_; }
    // The name answers are matched against (renewed when the link opens).
    const selected_device& device() const { return device_; }
    std::string name() const { return device_.name(); }
    // Full parameter answers taken over since the session was made.
    uint64_t answers() const { return answers_.load(); }
    uint64_t corrupted_answers() const { return receiver_.corrupted(); }
    uint64_t dropped_frames() const { return receiver_.dropped() + inbox_.dropped(); }
    // Whether the poll timer runs (the driving thread's state; for tests that step it).
    bool poll_timer_on() const { return poll_on_; }

    // ---- the receive path: the network thread
    receive_status on_amp_message(const char* sender, const uint8_t* body, size_t size,
                                  bool amp_vendor = true) {
        return receiver_.on_amp_message(sender, body, size, amp_vendor);
    }

    // ---- the thread that drives the session
    // One step of the wake-up; returns the milliseconds until the next step is due.
    uint32_t tick();

  private:
    enum class request_kind {
        start,
        choose,
        close,
        synchronize,
        pause_poll,
        resume_poll,
        renamed,
        server_lost,
        server_back,
        poll_now,
        begin_update,
        end_update,
    };
    struct request {
        request_kind kind;
        std::string name;
        update_procedure* update = nullptr;
    };
    // Where the current wake-up stands: its start, the pause after a firmware
    // answer, the gap before a firmware frame.
    enum class phase { wake, after_update_answer, before_update_send };

    void post(request r);
    void apply_requests();
    void apply(const request& r);

    void set_state(link_state state) { view_.state_.store(state); }
    void poll_timer_start();
    void poll_timer_stop();
    void run_poll_timer(uint32_t now);
    void poll_tick();
    void push_poll();

    void connect_transition();
    void disconnect_transition();
    // The answers waiting; true when a firmware answer was handed over and the
    // amplifier's pause begins.
    bool hand_over_answers();
    void apply_answer(const inbox_frame& frame);
    void apply_parameters(const frame_view& answer);
    void apply_location(const frame_view& answer);
    uint32_t send_step();
    void send_head();
    uint32_t finish_wake();

    session_events* events() const { return events_.load(); }
    void log_line(const std::string& text);

    session_parts parts_;
    std::atomic<session_events*> events_{nullptr};
    link_view view_;
    selected_device device_;
    command_ring outbox_{view_};
    frame_inbox inbox_;
    session_receiver receiver_;
    amp_params params_;
    amp_sender sender_;

    std::mutex requests_mutex_;
    std::vector<request> requests_;

    // Touched only by the driving thread.
    phase phase_ = phase::wake;
    update_procedure* update_ = nullptr;
    close_reason close_reason_ = close_reason::asked;
    bool poll_on_ = false;
    uint32_t poll_started_ = 0;
    std::atomic<uint64_t> answers_{0};
};

}  // namespace tavrin
