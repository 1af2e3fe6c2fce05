// tavrin-cli watch NAME [--seconds S]
#include <signal.h>

#include <atomic>

#include "cli/cli_args.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"

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

int run(const global_options& options, const std::vector<std::string>& words) {
    std::string name;
    uint32_t seconds = 0;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w == "--seconds") {
            if (i + 1 >= words.size() || !parse_number(words[i + 1], seconds))
                return bad_arguments(watch_command, "--seconds needs a whole number");
            ++i;
        } else if (!w.empty() && w[0] == '-') {
            return bad_arguments(watch_command, "unknown option '" + w + "' for watch");
        } else if (name.empty()) {
            name = w;
        } else {
            return bad_arguments(watch_command, "unexpected argument '" + w + "'");
        }
    }
    if (name.empty())
        return bad_arguments(watch_command, "watch needs a device NAME");
    if (const std::string why = check_device_name(name); !why.empty())
        return bad_arguments(watch_command, why);

    install_interrupt_handler();
    cli_session session;
    session.log_to_stderr(options);
    session.events().on_line(print_stamped);
    session.open(options, name);
    const uint64_t limit_ms = uint64_t{seconds} * 1000;
    uint64_t waited = 0;
    while (!interrupted.load() && (limit_ms == 0 || waited < limit_ms)) {
        session.pump(100);
        waited += 100;
    }
    session.stop();
    return exit_done;
}

}  // namespace

const cli_command watch_command{
    "watch", "NAME [--seconds S]", "follow the connection's messages",
    "  Connects to the amplifier NAME and prints every message-list line\n"
    "  (HH:MM:SS, three blanks, text) until interrupted or S seconds passed\n"
    "  (0 or none: until interrupted).\n",
    run};

}  // namespace tavrin::cli
