#pragma once
// The application core as the window assembles it, without a window: the wrapper
// over the real library, the connection flags, the command ring, the worker with the
// sender and parser, the receive path, and a user-interface port that keeps the info
// text, hands message-list lines to a callback and runs the 5-second poll timer on
// the thread that calls pump().
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "app/core/brand_rule.h"
#include "app/core/tool_core.h"
#include "cli/cli_command.h"
#include "cli/reach.h"
#include "protocol/amp_params.h"
#include "qxapi/dante_wrapper.h"

namespace tavrin {
class firmware_update;
}

namespace tavrin::cli {

// Prints "HH:MM:SS   text" on standard output (one line, flushed).
void print_stamped(const std::string& text);
// Prints "tavrin-cli: <message>" on standard error; returns the outcome's code.
int report_refusal(const reach_outcome& outcome);
// Serialises the lines of several threads on standard output and error.
std::mutex& output_mutex();

class cli_events : public app_events {
  public:
    using line_fn = std::function<void(const std::string& text)>;

    explicit cli_events(time_source& time) : time_(time) {}

    void log_line(const std::string& text) override;
    void link_changed(bool open) override;
    void info_changed(const std::string& text) override;
    void state_changed() override {}
    void poll_timer(poll_timer_action action) override;
    box_answer ask(const question& q) override;
    void update_running(bool running) override;
    void update_progress(uint32_t position, uint32_t total) override;
    void update_status(const std::string& text) override;

    void on_line(line_fn fn);
    // Called (without the lock) each time the info text is set.
    void on_info(std::function<void()> fn);
    // The latest info text once one has been set.
    std::optional<std::string> info_text() const;
    // How many times the info text was set: once per answer taken over (a changed
    // full answer, a wrong-size one, a location answer).
    uint64_t answers() const { return answers_.load(); }
    // True once an answer has come over the link as it stands: the connection is open
    // and answered since it opened. Until then the worker may still empty the ring
    // (the connect that follows an answered probe does), so nothing is queued yet.
    bool answered_since_open() const { return open_.load() && answers_.load() > at_open_.load(); }
    // True when the poll timer has expired; re-arms it like a periodic window timer.
    bool poll_due();

    // Who answers questions; without one they are printed on standard error and get
    // their safe answer.
    using question_fn = std::function<box_answer(const question& q)>;
    void on_question(question_fn fn);
    // Where a firmware transfer's reports go (any thread); null: nowhere.
    class update_sink {
      public:
        virtual ~update_sink() = default;
        virtual void running(bool on) = 0;
        virtual void progress(uint32_t position, uint32_t total) = 0;
        virtual void status(const std::string& text) = 0;
    };
    void on_update(update_sink* sink);
    // Forgets the info text, so that the next full answer sets it anew.
    void clear_info();

  private:
    void start_timer();

    time_source& time_;
    mutable std::mutex mutex_;
    line_fn line_;
    std::function<void()> info_fn_;
    question_fn question_;
    update_sink* update_ = nullptr;
    std::optional<std::string> info_;
    std::atomic<uint64_t> answers_{0};
    std::atomic<bool> open_{false};
    std::atomic<uint64_t> at_open_{0};
    std::atomic<bool> timer_on_{false};
    std::atomic<uint32_t> timer_start_{0};
};

class cli_session {
  public:
    // Waits this long for a full answer after connecting.
    static constexpr uint32_t answer_wait_ms = 10000;
    // How long a wait lets a lost ConMon server take to come back (the library
    // connects again every second) before the command gives up with 9.
    static constexpr uint32_t server_return_ms = 10000;

    cli_session();
    ~cli_session();

    dante_wrapper& wrapper() { return core_.wrapper; }
    cli_events& events() { return events_; }
    link_flags& flags() { return core_.flags; }
    amp_params& params() { return core_.params; }

    // Starts the runtime and the ConMon client on the given interfaces (a device
    // search: restart on the start-up thread, waited for).
    void start_runtime(uint32_t primary, uint32_t secondary);
    // Waits until the subscription to all devices' status messages is answered; false
    // at once when the ConMon server refused the connect or the runtime did not come up.
    bool wait_subscribed(uint32_t ms);
    // After the runtime started: avahi-daemon and the ConMon server answer (else 9).
    reach_outcome check_services(uint32_t subscribe_wait_ms = 3000);
    // One Discovery (restart, scan, pings, the manufacturer requests) into `names`;
    // told at once when avahi-daemon or the ConMon server cannot be reached (9), and
    // also when one of them went away during the scan.
    reach_outcome discover(const global_options& options, brand_rule rule,
                           std::vector<std::string>& names);
    // Asks the server for the device NAME before anything is sent to it: 7 no such
    // device, 8 another model, 9 the server lost; the model it told (see reach.h).
    // A NAME typed in another letter case is resolved to the device's own spelling
    // (from its answer, else from the browse), which connect() and switch_to() then
    // use: the amplifier's answers carry that spelling, and only it passes the check
    // of the sender.
    reach_outcome reach(const std::string& name);
    // Selects NAME (as reach() resolved it) and sets connect_flag, as a double-click
    // does; starts the worker.
    bool connect(const std::string& name);
    // The device's own spelling of NAME as reach() found it; NAME when not found.
    std::string spelled(const std::string& name) const;
    // The user-interface thread's share: runs the poll timer for `ms` milliseconds.
    void pump(uint32_t ms);
    void stop();

    // With --verbose, the wrapper's log goes to standard error, and at the end the
    // timeline of the connection (see timeline()).
    void log_to_stderr(const global_options& options);
    // When the steps of a connection happened, in milliseconds since the session was
    // made: "runtime up 10, subscribed 10, worker started 10, first poll sent 111,
    // answer segments in 111, answer taken 214" (steps not reached are left out).
    std::string timeline() const;
    // Starts the runtime, checks the services and the device NAME, then connects as a
    // double-click does, once the subscription is in place so that the first answer is
    // not lost. Nothing is sent to NAME when the outcome is not ok().
    reach_outcome open(const global_options& options, const std::string& name);
    // What NAME's first answer was missed for: "no answer from NAME", the broken
    // answers it sent, or the ConMon server that was lost and did not come back.
    std::string no_answer(const std::string& name) const;
    // The exit status that goes with it: 9 while the server is away, else 2.
    int no_answer_code() const;
    // How many times the ConMon server was lost so far; with server_lost_since(), a
    // command tells whether what it sent may have been lost with the server.
    uint64_t server_losses() const { return core_.wrapper.server_losses(); }
    bool server_lost_since(uint64_t losses) const { return server_losses() != losses; }

    // Presets, summary and firmware.
    // What the preset logic works with; the preset folder lies below the current
    // directory.
    page_context pages();
    command_ring& ring() { return core_.ring; }
    // The firmware transfer over this session's core, made on first use; answers go to
    // it while update_mode holds.
    firmware_update& firmware();
    // Pumps until `done`; false after `ms`. A ConMon server lost meanwhile takes with
    // it what the amplifier was asked: the wait goes on while the server is away (at
    // most server_return_ms), asks again once it is back and gives the amplifier `ms`
    // from then on. False too when the server stays away.
    bool wait_until(const std::function<bool()>& done, uint32_t ms);
    // Pumps until the first full answer has set the info text; false after `ms`.
    bool wait_first_answer(uint32_t ms);
    // Forgets the mirror and the info text, asks for a full answer and pumps until one
    // has come (a mirror that differs from the zeroed one counts as new); false after
    // `ms`.
    bool wait_next_answer(uint32_t ms);
    // Closes the connection with the amplifier connected so far (waiting for the
    // worker's disconnect transition, and dropping any answer of it still waiting),
    // then connects to NAME. False when the worker cannot run.
    bool switch_to(const std::string& name);
    // Runs the poll timer until an answer newer than answers() == `seen` has been
    // taken over, or `ms` have passed.
    bool wait_answer(uint64_t seen, uint32_t ms);

  private:
    void mark(const char* step);
    // On every pump: notes a lost server, and when it is back asks the amplifier
    // again at once, as the poll timer would later.
    void follow_server();
    // Once a second while the browse has stopped for want of avahi-daemon: says so
    // on the message list when the daemon answers again.
    void follow_dnssd();
    bool server_away() const { return away_; }

    uint32_t created_ms_ = 0;
    bool print_timeline_ = false;
    mutable std::mutex timeline_mutex_;
    std::vector<std::pair<std::string, uint32_t>> marks_;
    // The server as the pump follows it (pump's thread only).
    uint64_t losses_seen_ = 0;
    bool away_ = false;
    uint32_t away_since_ = 0;
    uint64_t returns_ = 0;
    uint32_t back_at_ = 0;
    bool dnssd_back_ = false;
    uint32_t dnssd_asked_at_ = 0;
    // Typed names and the devices' own spellings, as reach() resolved them.
    std::vector<std::pair<std::string, std::string>> spellings_;
    cli_events events_;
    tool_core core_;
    // Ended by stop() before the core goes.
    std::unique_ptr<firmware_update> update_;
};

}  // namespace tavrin::cli
