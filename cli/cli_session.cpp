#include "cli/cli_session.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "cli/cli_output.h"
#include "cli/exit_codes.h"
#include "cli/lab_hint.h"

#include "app/service_report.h"
#include "app/startup_args.h"
#include "firmware/firmware_update.h"
#include "qxapi/dnssd_probe.h"
#include "utilities/name_rules.h"

namespace tavrin::cli {

std::mutex& output_mutex() {
    static std::mutex m;
    return m;
}

void print_stamped(const std::string& text) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::string line = stamped_line(local, text);
    std::lock_guard lock(output_mutex());
    std::fprintf(stdout, "%s\n", line.c_str());
    std::fflush(stdout);
}

int report_refusal(const reach_outcome& outcome) {
    std::lock_guard lock(output_mutex());
    std::fprintf(stderr, "tavrin-cli: %s\n", outcome.message.c_str());
    if (!outcome.hint.empty())
        std::fprintf(stderr, "%s\n", outcome.hint.c_str());
    return outcome.code;
}

void shell_lines::log_line(const std::string& text) {
    line_fn fn;
    {
        std::lock_guard lock(mutex_);
        fn = line_;
    }
    if (fn)
        fn(text);
}

void shell_lines::on_line(line_fn fn) {
    std::lock_guard lock(mutex_);
    line_ = std::move(fn);
}

cli_session::cli_session()
    : core_(shell_, system_time()), amp_(core_), driver_(amp_.session(), core_.time) {
    created_ms_ = core_.time.now_ms();
    core_.work_dir = current_work_dir();
}

cli_session::~cli_session() {
    stop();
}

void cli_session::on_line(shell_lines::line_fn fn) {
    shell_.on_line(fn);
    amp_.on_line(std::move(fn));
}

void cli_session::start_runtime(uint32_t primary, uint32_t secondary) {
    core_.wrapper.select_interfaces(primary, secondary);
    core_.wrapper.start_restart_thread();
    core_.wrapper.join_restart_thread();
}

bool cli_session::wait_subscribed(uint32_t ms) {
    // Nothing more will come without the socket thread.
    if (!core_.wrapper.host().socket_thread_running())
        return false;
    return core_.wrapper.link().wait_subscribed(ms);
}

reach_outcome cli_session::check_services(uint32_t subscribe_wait_ms) {
    const bool subscribed = wait_subscribed(subscribe_wait_ms);
    mark("subscribed");
    dante_wrapper& w = core_.wrapper;
    reach_outcome out =
        services_outcome(w.browse_status(), w.server(), w.connect_error(), subscribed);
    if (!out.ok())
        out.hint = lab_hint(find_lab_place());
    return out;
}

reach_outcome cli_session::discover(const global_options& options, brand_rule rule,
                                    std::vector<std::string>& names) {
    names.clear();
    dante_wrapper& w = core_.wrapper;
    const uint32_t start = core_.time.now_ms();
    start_runtime(options.primary, options.secondary);
    reach_outcome out = check_services();
    if (!out.ok())
        return out;
    const uint32_t spent = core_.time.now_ms() - start;
    if (spent < discovery_scan_ms)
        core_.time.sleep_ms(discovery_scan_ms - spent);
    names = end_of_discovery(w, rule, shell_, core_.time);
    out = services_outcome(w.browse_status(), w.server(), w.connect_error(), true);
    if (!out.ok() && w.node_list().dnssd_lost())
        out.message = dnssd_lost_text;
    return out;
}

reach_outcome cli_session::reach(const std::string& name) {
    const device_probe probe = core_.wrapper.probe_device(name);
    reach_outcome out = device_outcome(name, probe);
    // A device that did not answer the probe may still be known to the browse.
    if (probe.own_name.empty()) {
        const std::vector<node_summary> nodes = core_.wrapper.nodes();
        const auto exact = std::find_if(nodes.begin(), nodes.end(),
                                        [&](const node_summary& n) { return n.name == name; });
        const auto alike = std::find_if(nodes.begin(), nodes.end(), [&](const node_summary& n) {
            return same_device_name(n.name, name);
        });
        if (exact == nodes.end() && alike != nodes.end())
            out.device = alike->name;
    }
    if (out.ok()) {
        std::lock_guard lock(spellings_mutex_);
        std::erase_if(spellings_, [&](const auto& s) { return s.first == name; });
        spellings_.emplace_back(name, out.device);
    }
    mark("device found");
    return out;
}

std::string cli_session::spelled(const std::string& name) const {
    std::lock_guard lock(spellings_mutex_);
    for (const auto& [typed, own] : spellings_) {
        if (typed == name)
            return own;
    }
    return name;
}

std::string cli_session::no_answer(const std::string& name) const {
    if (amp_.server_away())
        return name + ": " + std::string(server_lost_text) + " (not back within " +
               std::to_string(server_return_ms / 1000) + " s)";
    return no_answer_text(name, amp_.corrupted_answers());
}

int cli_session::no_answer_code() const {
    return amp_.server_away() ? exit_unreachable : exit_no_answer;
}

bool cli_session::connect(const std::string& name) {
    amp_.open(spelled(name));
    return driver_.start();
}

void cli_session::pump(uint32_t ms) {
    constexpr uint32_t slice_ms = 100;
    const uint32_t start = core_.time.now_ms();
    for (uint32_t now = start; now - start < ms; now = core_.time.now_ms()) {
        follow_dnssd();
        core_.time.sleep_ms(std::min(slice_ms, ms - (now - start)));
    }
}

void cli_session::follow_dnssd() {
    constexpr uint32_t ask_every_ms = 1000;
    if (dnssd_back_ || !core_.wrapper.node_list().dnssd_lost())
        return;
    const uint32_t now = core_.time.now_ms();
    if (now - dnssd_asked_at_ < ask_every_ms)
        return;
    dnssd_asked_at_ = now;
    if (!dnssd_service_answers())
        return;
    dnssd_back_ = true;
    shell_.log_line(dnssd_back_text);
}

void cli_session::stop() {
    driver_.stop();
    core_.stop();
    if (print_timeline_) {
        print_timeline_ = false;
        std::lock_guard lock(output_mutex());
        std::fprintf(stderr, "timeline (ms): %s\n", timeline().c_str());
    }
}

void cli_session::log_to_stderr(const global_options& options) {
    if (!options.verbose)
        return;
    print_timeline_ = true;
    wrapper().set_log_sink([this](const std::string& text) {
        if (text.rfind("send ", 0) == 0)
            mark("first poll sent");
        else if (text.rfind("Receive STATUS", 0) == 0)
            mark("answer segments in");
        std::lock_guard lock(output_mutex());
        std::fprintf(stderr, "%s\n", text.c_str());
    });
    amp_.on_info([this] { mark("answer taken"); });
}

bool cli_session::switch_to(const std::string& name) {
    amp_.switch_to(spelled(name));
    return driver_.start();
}

reach_outcome cli_session::open(const global_options& options, const std::string& name) {
    start_runtime(options.primary, options.secondary);
    mark("runtime up");
    reach_outcome out = check_services();
    if (out.ok())
        out = reach(name);
    if (!out.ok())
        return out;
    connect(name);
    mark("worker started");
    return out;
}

void cli_session::mark(const char* step) {
    const uint32_t at = core_.time.now_ms() - created_ms_;
    std::lock_guard lock(timeline_mutex_);
    for (const auto& m : marks_) {
        if (m.first == step)
            return;
    }
    marks_.emplace_back(step, at);
}

std::string cli_session::timeline() const {
    std::lock_guard lock(timeline_mutex_);
    std::string out;
    for (const auto& [step, at] : marks_)
        out += (out.empty() ? "" : ", ") + step + " " + std::to_string(at);
    return out;
}

page_context cli_session::pages() {
    page_context ctx = amp_.pages();
    ctx.firmware = update_.get();
    return ctx;
}

firmware_update& cli_session::firmware() {
    if (!update_)
        update_ = std::make_unique<firmware_update>(
            update_parts{amp_.session(), amp_.events(), core_.time});
    return *update_;
}

}  // namespace tavrin::cli
