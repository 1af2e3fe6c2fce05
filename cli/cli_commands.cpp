#include "cli/cli_commands.h"

#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include "cli/cli_output.h"
#include "cli/cli_session.h"

namespace tavrin::cli {
namespace {

std::atomic<bool> interrupted{false};

void on_interrupt(int) {
    interrupted.store(true);
}

void install_interrupt_handler() {
    struct sigaction sa {};
    sa.sa_handler = on_interrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

std::mutex output_mutex;

void attach_log(cli_session& session, const cli_args& args) {
    if (!args.verbose)
        return;
    session.wrapper().set_log_sink([](int level, const std::string& text) {
        if (level > 2)
            return;
        std::lock_guard lock(output_mutex);
        std::fprintf(stderr, "%s\n", text.c_str());
    });
}

void print_stamped(const std::string& text) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::string line = stamped_line(local, text);
    std::lock_guard lock(output_mutex);
    std::fprintf(stdout, "%s\n", line.c_str());
    std::fflush(stdout);
}

// Connects as a double-click does, once the subscription is in place so that the
// first answer is not lost.
void open_connection(cli_session& session, const cli_args& args) {
    session.start_runtime(args.primary, args.secondary);
    session.wait_subscribed(3000);
    session.connect(args.name);
}

}  // namespace

int run_discover(const cli_args& args) {
    cli_session session;
    attach_log(session, args);
    session.wrapper().select_interfaces(args.primary, args.secondary);
    const std::vector<std::string> names =
        discover_devices(session.wrapper(), system_time(), args.brand, session.events());
    for (const std::string& name : names)
        std::printf("%s\n", name.c_str());
    std::fflush(stdout);
    session.stop();
    return 0;
}

int run_show(const cli_args& args) {
    const auto started = std::chrono::steady_clock::now();
    cli_session session;
    attach_log(session, args);
    open_connection(session, args);
    const auto deadline = started + std::chrono::milliseconds(show_wait_ms);
    while (!session.events().info_text() && std::chrono::steady_clock::now() < deadline)
        session.pump(5);
    if (args.verbose && session.events().info_text()) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - started)
                            .count();
        std::lock_guard lock(output_mutex);
        std::fprintf(stderr, "first full answer after %lld ms\n", static_cast<long long>(ms));
    }
    const std::optional<std::string> info = session.events().info_text();
    const bool gated = session.flags().version_gate.load();
    const std::vector<field_value> fields = session.params().list_fields();
    session.stop();
    if (!info) {
        std::fprintf(stderr, "tavrin-cli: no answer from %s\n", args.name.c_str());
        return show_no_answer;
    }
    if (gated) {
        std::printf("%s\n", info->c_str());
        return show_gated;
    }
    if (args.json) {
        std::printf("%s", settings_json(fields).c_str());
    } else {
        std::printf("%s\n\n%s", info->c_str(), settings_lines(fields).c_str());
    }
    return show_connected;
}

int run_watch(const cli_args& args) {
    install_interrupt_handler();
    cli_session session;
    attach_log(session, args);
    session.events().on_line(print_stamped);
    open_connection(session, args);
    const uint64_t limit_ms = uint64_t{args.seconds} * 1000;
    uint64_t waited = 0;
    while (!interrupted.load() && (limit_ms == 0 || waited < limit_ms)) {
        session.pump(100);
        waited += 100;
    }
    session.stop();
    return 0;
}

int run_cli(int argc, char** argv) {
    std::vector<std::string> words(argv + (argc > 0 ? 1 : 0), argv + argc);
    const cli_args args = parse_args(words);
    if (!args.error.empty()) {
        std::fprintf(stderr, "tavrin-cli: %s\n%s", args.error.c_str(),
                     usage_text(args.what).c_str());
        return usage_exit;
    }
    if (args.help) {
        std::printf("%s", usage_text(args.what).c_str());
        return 0;
    }
    if (args.version) {
        std::printf("%s", version_text().c_str());
        return 0;
    }
    // Avahi's DNS-SD compatibility library warns on first use unless told not to.
    setenv("AVAHI_COMPAT_NOWARN", "1", 0);
    switch (args.what) {
        case command::discover:
            return run_discover(args);
        case command::show:
            return run_show(args);
        case command::watch:
            return run_watch(args);
        case command::none:
            break;
    }
    return usage_exit;
}

}  // namespace tavrin::cli
