#pragma once
// One amplifier as a command works with it, without a window: its session (joined to
// the core's directory, so it hears its amplifier), what the session has told so far
// (the info text, how many answers came, the link opened or not), and waits that end
// on the session's events, not on polling. tavrin-cli makes one per amplifier it
// talks to; many of them run side by side over one core (a fleet).
//
// A ConMon server lost during a wait takes with it what the amplifier was asked: the
// wait goes on while the server is away (at most server_return_ms), asks the
// amplifier again once the server is back, and gives it its whole wait from then on.
//
// Events arrive on the session's thread; the waits run on the caller's.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "app/page_context.h"
#include "app/tool_core.h"
#include "link/amp_session.h"
#include "link/session_events.h"

namespace tavrin {

class amp_connection : public session_events {
  public:
    // How long a wait lets a lost ConMon server take to come back (the library
    // connects again every second) before it gives up.
    static constexpr uint32_t server_return_ms = 10000;

    explicit amp_connection(tool_core& core);
    // The session must no longer be driven (its thread stopped, or out of the pool).
    ~amp_connection() override;

    amp_connection(const amp_connection&) = delete;
    amp_connection& operator=(const amp_connection&) = delete;

    amp_session& session() { return session_; }
    const link_view& link() const { return session_.view(); }
    amp_params& params() { return session_.params(); }
    command_ring& ring() { return session_.outbox(); }
    // What the page logic works with, over this amplifier (its lines and questions go
    // where on_line() and on_question() say).
    page_context pages();
    // The port this connection listens on, for what reports to it besides the session
    // (a firmware transfer over this amplifier).
    session_events& events() { return *this; }
    // The clock its waits and its session run on.
    time_source& time() const { return core_.time; }

    // The session starts working and connects to NAME (the device's own spelling), as
    // a double-click does.
    void open(const std::string& name);
    // Closes the link opened so far (waited for, bounded) and forgets what the session
    // told, so that nothing of this amplifier passes for the next one's; then opens
    // NAME.
    void switch_to(const std::string& name);

    // ---- what the session told
    // Full parameter answers (of any size) taken over since the connection was made.
    uint64_t answers() const;
    std::optional<std::string> info_text() const;
    bool firmware_refused() const { return session_.view().gated(); }
    uint64_t corrupted_answers() const { return session_.corrupted_answers(); }
    // The server went away during a wait and did not come back within its bound.
    bool server_away() const;

    // ---- waits
    // Until a full answer newer than answers() == `seen` came over the link as it
    // stands (not one over a link the server's return reopened before it came).
    bool wait_answer(uint64_t seen, uint32_t ms);
    // Until the first full answer since open() or switch_to().
    bool wait_first_answer(uint32_t ms);
    // Asks for the full answer now (a poll behind whatever is queued) and waits for it:
    // what a command checks its writes against.
    bool wait_next_answer(uint32_t ms);
    // Until the device information shows `expected` (a location answer came).
    bool wait_info(const std::string& expected, uint32_t ms);
    // Until everything queued for the amplifier has gone out.
    bool wait_outbox_empty(uint32_t ms);
    // Until `done` holds (checked whenever the session tells something), with the
    // lost-server rule above; false after `ms`.
    bool wait_until(const std::function<bool()>& done, uint32_t ms);

    // ---- where what the session tells goes on
    using line_fn = std::function<void(const std::string& text)>;
    // Message-list lines (any thread).
    void on_line(line_fn fn);
    // Called each time the info text is set.
    void on_info(std::function<void()> fn);
    // Who answers questions; without one they are printed on standard error and get
    // their safe answer.
    using question_fn = std::function<box_answer(const question& q)>;
    void on_question(question_fn fn);
    // Where a firmware transfer's reports go; null: nowhere.
    class update_sink {
      public:
        virtual ~update_sink() = default;
        virtual void running(bool on) = 0;
        virtual void progress(uint32_t position, uint32_t total) = 0;
        virtual void status(const std::string& text) = 0;
    };
    void on_update(update_sink* sink);

  private:
    // session_events, on the session's thread.
    void log_line(const std::string& text) override;
    void link_changed(bool open) override;
    void answered(answer_kind kind) override;
    void info_changed(const std::string& text) override;
    void server_changed(bool reachable) override;
    void frame_sent() override;
    box_answer ask(const question& q) override;
    void update_running(bool running) override;
    void update_progress(uint32_t position, uint32_t total) override;
    void update_status(const std::string& text) override;

    template <typename F>
    void tell(F&& change);

    tool_core& core_;
    amp_session session_;
    page_shared shared_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    line_fn line_;
    std::function<void()> info_fn_;
    question_fn question_;
    update_sink* update_sink_ = nullptr;
    std::optional<std::string> info_;
    uint64_t answers_ = 0;
    // Counts every change told, so that a wait knows it was woken for one.
    uint64_t told_ = 0;
    bool open_ = false;
    uint64_t at_open_ = 0;
    // The server as the waits follow it.
    bool away_ = false;
    uint32_t away_since_ = 0;
    uint64_t returns_ = 0;
    uint32_t back_at_ = 0;
};

}  // namespace tavrin
