// tavrin-cli watch NAME [--seconds S]
#include <signal.h>

#include <atomic>
#include <cstdio>

#include "cli/cli_args.h"
#include "cli/cli_output.h"
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
    if (const reach_outcome reached = session.open(options, name); !reached.ok()) {
        session.stop();
        return report_refusal(reached);
    }
    const uint64_t limit_ms = uint64_t{seconds} * 1000;
    uint64_t waited = 0;
    // Nobody reads what a closed output would be given: stop at once.
    while (!interrupted.load() && (limit_ms == 0 || waited < limit_ms) && !output_failed()) {
        session.pump(100);
        waited += 100;
    }
    const bool answered = session.events().answers() > 0;
    const bool gated = session.flags().version_gate.load();
    const std::string silent = session.no_answer(name);
    session.stop();
    if (!answered) {
        std::fprintf(stderr, "tavrin-cli: %s\n", silent.c_str());
        return exit_no_answer;
    }
    return gated ? exit_firmware_gate : exit_done;
}

}  // namespace

const cli_command watch_command{
    "watch", "NAME [--seconds S]", "follow the connection's messages",
    "  Connects to the amplifier NAME and prints every message-list line\n"
    "  (HH:MM:SS, three blanks, text) until interrupted or S seconds passed\n"
    "  (0 or none: until interrupted), as the window's message list shows them:\n"
    "  \"Connected to NAME\", \"Disconnected from NAME\", a lost or restored ConMon\n"
    "  server.\n"
    "  Exit status: 0 the amplifier answered, 2 it never answered, 3 its firmware\n"
    "  is refused, 7 no such device, 8 not a TAVRIN-PA22, 9 ConMon server or\n"
    "  avahi-daemon unreachable.\n",
    run};

}  // namespace tavrin::cli
