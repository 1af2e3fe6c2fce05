// tavrin-cli watch NAME [--seconds S]
#include <poll.h>
#include <unistd.h>

#include <cstdio>

#include "cli/cli_args.h"
#include "cli/cli_output.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/interrupt.h"

namespace tavrin::cli {
namespace {

// Whoever read standard output went away: a pipe whose reader closed, a socket shut
// down. It shows as an error or hang-up on the descriptor even while nothing is
// written, so that a quiet watch does not run on for nobody.
bool output_hung_up() {
    pollfd out{STDOUT_FILENO, 0, 0};
    return ::poll(&out, 1, 0) > 0 && (out.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
}

int run(const global_options& options, const std::vector<std::string>& words) {
    std::string name;
    uint32_t seconds = 0;
    const std::string wrong = read_name_and_options(
        "watch", words, name,
        [&](const std::vector<std::string>& ws, size_t& i) -> std::optional<std::string> {
            if (ws[i] != "--seconds")
                return std::nullopt;
            if (++i >= ws.size() || !parse_number(ws[i], seconds))
                return "--seconds needs a whole number";
            return "";
        });
    if (!wrong.empty())
        return bad_arguments(watch_command, wrong);

    catch_interrupts();
    cli_session session;
    session.log_to_stderr(options);
    session.on_line(print_stamped);
    if (const reach_outcome reached = session.open(options, name); !reached.ok()) {
        session.stop();
        return report_refusal(reached);
    }
    const uint64_t limit_ms = uint64_t{seconds} * 1000;
    uint64_t waited = 0;
    bool lost = false;
    while (!interrupted() && (limit_ms == 0 || waited < limit_ms)) {
        // Nobody reads what a closed output would be given: stop at once.
        if (output_failed() || output_hung_up()) {
            lost = true;
            break;
        }
        session.pump(100);
        waited += 100;
    }
    const bool answered = session.events().answers() > 0;
    const bool gated = session.flags().version_gate();
    const std::string silent = session.no_answer(name);
    session.stop();
    if (lost) {
        std::fprintf(stderr, "tavrin-cli: standard output was closed: nobody reads the lines\n");
        return exit_output_failed;
    }
    if (!answered) {
        std::fprintf(stderr, "tavrin-cli: %s\n", silent.c_str());
        return session.no_answer_code();
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
    "  server, a stopped or restarted avahi-daemon.\n"
    "  Exit status: 0 the amplifier answered, 2 it never answered, 3 its firmware\n"
    "  is refused, 7 no such device, 8 not a TAVRIN-PA22, 9 ConMon server or\n"
    "  avahi-daemon unreachable, 74 standard output closed (at once, even while\n"
    "  no line is due).\n",
    run};

}  // namespace tavrin::cli
