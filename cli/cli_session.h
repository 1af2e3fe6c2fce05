#pragma once
// The tool's core as tavrin-cli runs it, without a window: one Dante runtime with its
// ConMon client and the sessions' directory (tool_core), the checks of the services
// and of a device before anything is sent to it, and the amplifier the one-device
// commands talk to, its session driven by a thread of its own.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "app/amp_connection.h"
#include "app/brand_rule.h"
#include "app/tool_core.h"
#include "cli/cli_command.h"
#include "cli/reach.h"
#include "link/session_thread.h"
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

// The core's own lines (a lost server, the search), for whoever prints them.
class shell_lines : public session_events {
  public:
    using line_fn = std::function<void(const std::string& text)>;
    void log_line(const std::string& text) override;
    void on_line(line_fn fn);

  private:
    std::mutex mutex_;
    line_fn line_;
};

class cli_session {
  public:
    // Waits this long for a full answer after connecting.
    static constexpr uint32_t answer_wait_ms = 10000;
    static constexpr uint32_t server_return_ms = amp_connection::server_return_ms;

    cli_session();
    ~cli_session();

    tool_core& core() { return core_; }
    dante_wrapper& wrapper() { return core_.wrapper; }
    // The amplifier of the one-device commands.
    amp_connection& events() { return amp_; }
    amp_connection& amp() { return amp_; }
    const link_view& flags() const { return amp_.link(); }
    amp_params& params() { return amp_.params(); }
    command_ring& ring() { return amp_.ring(); }
    // Message-list lines, the core's and the amplifier's.
    void on_line(shell_lines::line_fn fn);

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
    // Connects to NAME (as reach() resolved it), as a double-click does.
    bool connect(const std::string& name);
    // The device's own spelling of NAME as reach() found it; NAME when not found.
    std::string spelled(const std::string& name) const;
    // Lets `ms` pass (the session works on its own thread), following avahi-daemon:
    // once it has stopped, the message list hears when it runs again.
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

    // What the preset and page logic works with; the preset folder lies below the
    // current directory.
    page_context pages();
    // The firmware transfer over the amplifier, made on first use.
    firmware_update& firmware();
    // The amplifier's waits (see amp_connection).
    bool wait_until(const std::function<bool()>& done, uint32_t ms) {
        return amp_.wait_until(done, ms);
    }
    bool wait_first_answer(uint32_t ms) { return amp_.wait_first_answer(ms); }
    bool wait_next_answer(uint32_t ms) { return amp_.wait_next_answer(ms); }
    bool wait_answer(uint64_t seen, uint32_t ms) { return amp_.wait_answer(seen, ms); }
    // Closes the connection with the amplifier connected so far, then connects to NAME.
    bool switch_to(const std::string& name);

  private:
    void mark(const char* step);
    void follow_dnssd();

    uint32_t created_ms_ = 0;
    bool print_timeline_ = false;
    mutable std::mutex timeline_mutex_;
    std::vector<std::pair<std::string, uint32_t>> marks_;
    bool dnssd_back_ = false;
    uint32_t dnssd_asked_at_ = 0;
    // Typed names and the devices' own spellings, as reach() resolved them (fleet
    // jobs reach their amplifiers side by side).
    mutable std::mutex spellings_mutex_;
    std::vector<std::pair<std::string, std::string>> spellings_;
    shell_lines shell_;
    tool_core core_;
    amp_connection amp_;
    session_thread driver_;
    // Ended by stop() before the session goes.
    std::unique_ptr<firmware_update> update_;
};

}  // namespace tavrin::cli
