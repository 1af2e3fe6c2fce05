// tavrin-cli reset NAME [--yes]
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <iostream>

#include "cli/cli_args.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/utility_wait.h"
#include "utilities/utility_page.h"

namespace tavrin::cli {
namespace {

constexpr uint32_t send_wait_ms = 5000;

// Asks "Reset to default?" on the terminal; true on y or yes.
bool confirmed() {
    std::fprintf(stderr, "%s [y/N] ", reset_question_text);
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer))
        return false;
    for (char& c : answer)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return answer == "y" || answer == "yes";
}

int run(const global_options& options, const std::vector<std::string>& words) {
    std::string name;
    bool yes = false;
    const std::string wrong =
        read_name_and_options("reset", words, name, switches({{"--yes", &yes}, {"-y", &yes}}));
    if (!wrong.empty())
        return bad_arguments(reset_command, wrong);
    if (!yes && !::isatty(STDIN_FILENO))
        return bad_arguments(reset_command,
                             "reset asks \"Reset to default?\" on a terminal; give --yes to reset "
                             "without asking");
    if (!yes && !confirmed()) {
        std::fprintf(stderr, "tavrin-cli: not reset; nothing sent\n");
        return exit_bad_arguments;
    }

    cli_session session;
    session.log_to_stderr(options);
    if (const int status = open_and_wait_answer(session, options, name); status != exit_done) {
        session.stop();
        return status;
    }
    page_context ctx = session.pages();
    push_factory_reset(ctx.ring, session.events());
    const bool sent = wait_ring_drained(session, send_wait_ms);
    session.stop();
    if (!sent) {
        std::fprintf(stderr, "tavrin-cli: the reset could not be sent to %s\n", name.c_str());
        return exit_no_answer;
    }
    std::printf("%s\n", reset_log_text);
    return exit_done;
}

}  // namespace

const cli_command reset_command{
    "reset", "NAME [--yes]", "load an amplifier's factory settings and restart it",
    "  Asks \"Reset to default?\" on the terminal (--yes: does not ask), connects\n"
    "  to the amplifier NAME and sends the reset command (55 01 AA D5 34 00 02\n"
    "  C0 CB). The amplifier restarts with its factory settings and is silent\n"
    "  for a few seconds.\n"
    "  Exit status: 0 sent, 2 no answer, 3 firmware version error, 7 no such\n"
    "  device, 8 not a TAVRIN-PA22, 9 ConMon server or avahi-daemon unreachable,\n"
    "  64 not confirmed, or no terminal to ask and no --yes (nothing sent).\n",
    run};

}  // namespace tavrin::cli
