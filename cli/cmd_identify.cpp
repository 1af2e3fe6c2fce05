// tavrin-cli identify NAME [--seconds S]

#include <cstdio>

#include "cli/cli_args.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "cli/utility_wait.h"
#include "protocol/catalogue.h"
#include "utilities/utility_page.h"

namespace tavrin::cli {
namespace {

constexpr uint32_t default_seconds = 10;
constexpr uint32_t max_seconds = 3600;

int run(const global_options& options, const std::vector<std::string>& words) {
    std::string name;
    uint32_t seconds = default_seconds;
    const std::string wrong = read_name_and_options(
        "identify", words, name,
        [&](const std::vector<std::string>& ws, size_t& i) -> std::optional<std::string> {
            if (ws[i] != "--seconds")
                return std::nullopt;
            if (++i >= ws.size() || !parse_number(ws[i], seconds) || seconds == 0 ||
                seconds > max_seconds)
                return "--seconds needs a whole number from 1 to 3600";
            return "";
        });
    if (!wrong.empty())
        return bad_arguments(identify_command, wrong);

    catch_interrupts();
    cli_session session;
    session.log_to_stderr(options);
    if (const int status = open_and_wait_answer(session, options, name); status != exit_done) {
        session.stop();
        return status;
    }
    page_context ctx = session.pages();
    unsigned sent = 0;
    bool lost = false;
    // As the Utility page does, every 2 s, starting at once.
    for (uint64_t at = 0; at < uint64_t{seconds} * 1000 && !interrupted();
         at += find_me_period_ms) {
        if (!ctx.flags.connect_flag() || ctx.flags.update_mode()) {
            lost = true;
            break;
        }
        ctx.ring.ring_push(cmd::find_me());
        ++sent;
        session.pump(find_me_period_ms);
    }
    wait_ring_drained(session, find_me_period_ms);
    session.stop();
    if (lost) {
        std::fprintf(stderr, "tavrin-cli: the connection to %s was lost after %u Find Me\n",
                     name.c_str(), sent);
        return exit_no_answer;
    }
    std::printf("Find Me sent %u times\n", sent);
    return exit_done;
}

}  // namespace

const cli_command identify_command{
    "identify", "NAME [--seconds S]", "have an amplifier identify itself (Find Me)",
    "  Connects to the amplifier NAME and sends the Find Me command at once and\n"
    "  then every 2 seconds for S seconds (default 10, at most 3600), or until\n"
    "  interrupted.\n"
    "  Exit status: 0 done, 2 no answer or the connection was lost, 3 firmware\n"
    "  version error, 7 no such device, 8 not a TAVRIN-PA22, 9 ConMon server or\n"
    "  avahi-daemon unreachable.\n",
    run};

}  // namespace tavrin::cli
