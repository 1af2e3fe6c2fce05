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

#include "app/core/tool_core.h"
#include "protocol/amp_params.h"
#include "qxapi/dante_wrapper.h"

namespace tavrin::cli {

class cli_ui : public ui_port {
  public:
    using line_fn = std::function<void(const std::string& text)>;

    explicit cli_ui(time_source& time) : time_(time) {}

    void log_message(const std::string& text) override;
    void set_info_text(const std::string& text) override;
    void invalidate_main_window() override {}
    void invalidate_status_lamp() override {}
    void set_connect_caption(const std::string&) override {}
    void start_poll_timer() override;
    void stop_poll_timer() override;
    void restart_poll_timer() override;
    box_answer message_box(const std::string& text, const std::string& caption, box_icon,
                           box_buttons) override;

    void on_line(line_fn fn);
    // The latest info text once one has been set.
    std::optional<std::string> info_text() const;
    // True when the poll timer has expired; re-arms it like a periodic window timer.
    bool poll_due();

  private:
    time_source& time_;
    mutable std::mutex mutex_;
    line_fn line_;
    std::optional<std::string> info_;
    std::atomic<bool> timer_on_{false};
    std::atomic<uint32_t> timer_start_{0};
};

class cli_session {
  public:
    cli_session();
    ~cli_session();

    dante_wrapper& wrapper() { return core_.wrapper; }
    cli_ui& ui() { return ui_; }
    link_flags& flags() { return core_.flags; }
    amp_params& params() { return core_.params; }

    // Starts the runtime and the ConMon client on the given interfaces (a device
    // search: restart on the start-up thread, waited for).
    void start_runtime(uint32_t primary, uint32_t secondary);
    // Waits until the subscription to all devices' status messages is answered.
    bool wait_subscribed(uint32_t ms);
    // Selects NAME and sets connect_flag, as a double-click does; starts the worker.
    bool connect(const std::string& name);
    // The user-interface thread's share: runs the poll timer for `ms` milliseconds.
    void pump(uint32_t ms);
    void stop();

  private:
    cli_ui ui_;
    tool_core core_;
};

}  // namespace tavrin::cli
