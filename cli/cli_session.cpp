#include "cli/cli_session.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "cli/cli_output.h"
#include "cli/exit_codes.h"
#include "cli/lab_hint.h"

#include "app/core/poll_tick.h"
#include "app/core/service_report.h"
#include "app/core/startup_args.h"
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

void cli_events::log_line(const std::string& text) {
    line_fn fn;
    {
        std::lock_guard lock(mutex_);
        fn = line_;
    }
    if (fn)
        fn(text);
}

void cli_events::link_changed(bool open) {
    if (open)
        at_open_.store(answers_.load());
    open_.store(open);
}

void cli_events::info_changed(const std::string& text) {
    std::function<void()> fn;
    {
        std::lock_guard lock(mutex_);
        info_ = text;
        answers_.fetch_add(1);
        fn = info_fn_;
    }
    if (fn)
        fn();
}

void cli_events::on_info(std::function<void()> fn) {
    std::lock_guard lock(mutex_);
    info_fn_ = std::move(fn);
}

void cli_events::start_timer() {
    timer_start_.store(time_.now_ms());
    timer_on_.store(true);
}

void cli_events::poll_timer(poll_timer_action action) {
    if (action == poll_timer_action::stop)
        timer_on_.store(false);
    else
        start_timer();
}

box_answer cli_events::ask(const question& q) {
    question_fn fn;
    {
        std::lock_guard lock(mutex_);
        fn = question_;
    }
    if (fn)
        return fn(q);
    if (q.caption.empty())
        std::fprintf(stderr, "%s\n", q.text.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", q.caption.c_str(), q.text.c_str());
    return default_answer(q.buttons);
}

void cli_events::on_question(question_fn fn) {
    std::lock_guard lock(mutex_);
    question_ = std::move(fn);
}

void cli_events::on_update(update_sink* sink) {
    std::lock_guard lock(mutex_);
    update_ = sink;
}

void cli_events::update_running(bool running) {
    std::lock_guard lock(mutex_);
    if (update_ != nullptr)
        update_->running(running);
}

void cli_events::update_progress(uint32_t position, uint32_t total) {
    std::lock_guard lock(mutex_);
    if (update_ != nullptr)
        update_->progress(position, total);
}

void cli_events::update_status(const std::string& text) {
    std::lock_guard lock(mutex_);
    if (update_ != nullptr)
        update_->status(text);
}

void cli_events::clear_info() {
    std::lock_guard lock(mutex_);
    info_.reset();
}

void cli_events::on_line(line_fn fn) {
    std::lock_guard lock(mutex_);
    line_ = std::move(fn);
}

std::optional<std::string> cli_events::info_text() const {
    std::lock_guard lock(mutex_);
    return info_;
}

bool cli_events::poll_due() {
    if (!timer_on_.load())
        return false;
    uint32_t start = timer_start_.load();
    if (time_.now_ms() - start < poll_period_ms)
        return false;
    // A window timer fires again one period later; a restart in between wins.
    timer_start_.compare_exchange_strong(start, time_.now_ms());
    return true;
}

cli_session::cli_session() : events_(system_time()), core_(system_time()) {
    created_ms_ = core_.time.now_ms();
    core_.attach_events(&events_);
}

cli_session::~cli_session() {
    stop();
}

void cli_session::start_runtime(uint32_t primary, uint32_t secondary) {
    core_.wrapper.select_interfaces(primary, secondary);
    core_.wrapper.start_restart_thread();
    core_.wrapper.join_restart_thread();
}

bool cli_session::wait_subscribed(uint32_t ms) {
    const uint32_t start = core_.time.now_ms();
    while (!core_.wrapper.subscribed()) {
        // Nothing more will come: the server refused, or the runtime is not running.
        if (core_.wrapper.server() == server_state::refused ||
            !core_.wrapper.host().socket_thread_running())
            return false;
        if (core_.time.now_ms() - start >= ms)
            return false;
        core_.time.sleep_ms(10);
    }
    return true;
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
    names = end_of_discovery(w, rule, events_, core_.time);
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
        std::erase_if(spellings_, [&](const auto& s) { return s.first == name; });
        spellings_.emplace_back(name, out.device);
    }
    mark("device found");
    return out;
}

std::string cli_session::spelled(const std::string& name) const {
    for (const auto& [typed, own] : spellings_) {
        if (typed == name)
            return own;
    }
    return name;
}

std::string cli_session::no_answer(const std::string& name) const {
    if (server_away())
        return name + ": " + std::string(server_lost_text) + " (not back within " +
               std::to_string(server_return_ms / 1000) + " s)";
    return no_answer_text(name, core_.wrapper.corrupted_answers());
}

int cli_session::no_answer_code() const {
    return server_away() ? exit_unreachable : exit_no_answer;
}

bool cli_session::connect(const std::string& name) {
    core_.device.set_name(spelled(name));
    core_.device.renew_copy();
    core_.flags.run_flag.store(true);
    core_.flags.connect_flag.store(true);
    return core_.start_worker();
}

void cli_session::pump(uint32_t ms) {
    const uint32_t start = core_.time.now_ms();
    while (core_.time.now_ms() - start < ms) {
        follow_server();
        follow_dnssd();
        if (events_.poll_due())
            poll_tick(core_.flags, core_.device, core_.ring);
        core_.time.sleep_ms(std::min<uint32_t>(ms, 10));
    }
}

void cli_session::follow_server() {
    const uint64_t losses = server_losses();
    if (losses != losses_seen_) {
        losses_seen_ = losses;
        if (!away_)
            away_since_ = core_.time.now_ms();
        away_ = true;
    }
    if (!away_ || core_.wrapper.server() != server_state::connected || !core_.wrapper.subscribed())
        return;
    away_ = false;
    ++returns_;
    back_at_ = core_.time.now_ms();
    // The lost server took the amplifier's answer with it; the core closed the link,
    // and this probe opens it again (or, over a link still open, asks again).
    link_flags& f = core_.flags;
    if (!f.disconnect_request.load() && !f.update_mode.load())
        poll_tick(f, core_.device, core_.ring);
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
    events_.log_line(dnssd_back_text);
}

bool cli_session::wait_until(const std::function<bool()>& done, uint32_t ms) {
    uint32_t start = core_.time.now_ms();
    const uint64_t returns_before = returns_;
    uint64_t returns = returns_;
    // After a reconnect only an answer over the link opened again counts: until then
    // the worker may still empty the ring, and what the caller queued next would go.
    const auto finished = [&] {
        return done() && (returns_ == returns_before || events_.answered_since_open());
    };
    while (!finished()) {
        const uint32_t now = core_.time.now_ms();
        if (away_) {
            if (now - away_since_ >= server_return_ms)
                return false;
        } else if (now - start >= ms) {
            return false;
        }
        pump(5);
        if (returns_ != returns) {
            returns = returns_;
            start = back_at_;
        }
    }
    return true;
}

void cli_session::stop() {
    core_.stop();
    core_.attach_events(nullptr);
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
    events_.on_info([this] { mark("answer taken"); });
}

bool cli_session::switch_to(const std::string& name) {
    link_flags& f = core_.flags;
    if (f.link_open.load()) {
        f.connect_flag.store(false);
        f.disconnect_request.store(true);
        const uint32_t start = core_.time.now_ms();
        while (f.link_open.load() && core_.time.now_ms() - start < 2000)
            core_.time.sleep_ms(10);
        // An answer of the amplifier left behind must not pass for the next one's.
        uint8_t stale[answer_mailbox::capacity];
        core_.mailbox.take(stale);
    }
    f.probe_flag.store(false);
    return connect(name);
}

bool cli_session::wait_answer(uint64_t seen, uint32_t ms) {
    return wait_until([&] { return events_.answers() != seen; }, ms);
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
    if (core_.work_dir.empty())
        core_.work_dir = current_work_dir();
    return core_.pages();
}

firmware_update& cli_session::firmware() {
    if (!update_) {
        update_ = std::make_unique<firmware_update>(
            update_parts{core_.flags, core_.ring, core_.relay, core_.time});
        core_.firmware = update_.get();
        core_.attach_update(update_.get());
    }
    return *update_;
}

bool cli_session::wait_first_answer(uint32_t ms) {
    return wait_until([&] { return events_.info_text().has_value(); }, ms);
}

bool cli_session::wait_next_answer(uint32_t ms) {
    events_.clear_info();
    core_.params.clear_params();
    push_poll(core_.ring);
    return wait_first_answer(ms);
}

}  // namespace tavrin::cli
