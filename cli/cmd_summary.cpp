// tavrin-cli summary NAME
#include <cstdio>

#include "cli/cli_args.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "presets/summary.h"

namespace tavrin::cli {
namespace {

int run(const global_options& options, const std::vector<std::string>& words) {
    std::string name;
    if (const std::string wrong = read_name_and_options("summary", words, name); !wrong.empty())
        return bad_arguments(summary_command, wrong);

    cli_session session;
    session.log_to_stderr(options);
    if (const reach_outcome reached = session.open(options, name); !reached.ok()) {
        session.stop();
        return report_refusal(reached);
    }
    const bool answered = session.wait_first_answer(cli_session::answer_wait_ms);
    const std::optional<std::string> info = session.events().info_text();
    const bool gated = session.flags().version_gate();
    const param_block block = session.params().snapshot();
    const std::string silent = session.no_answer(name);
    session.stop();
    if (!answered) {
        std::fprintf(stderr, "tavrin-cli: %s\n", silent.c_str());
        return session.no_answer_code();
    }
    if (gated) {
        std::printf("%s\n", info.value_or("").c_str());
        return exit_firmware_gate;
    }
    for (const summary_field& f : summary_fields(block, name))
        std::printf("%s\n", summary_line(f).c_str());
    return exit_done;
}

}  // namespace

const cli_command summary_command{
    "summary", "NAME", "print the Setting Summary window's texts",
    "  Connects to the amplifier NAME, waits up to 10 seconds for its full\n"
    "  parameter answer and prints every field of the Setting Summary window as\n"
    "  \"Label: text\" (\"Label CH1: text\" in the two-column rows), one per line.\n"
    "  Exit status: 0 done, 2 no answer, 3 firmware version error, 7 no such\n"
    "  device, 8 not a TAVRIN-PA22, 9 ConMon server or avahi-daemon unreachable.\n",
    run};

}  // namespace tavrin::cli
