// tavrin-cli response NAME [--csv]
#include <cstdio>

#include "cli/cli_args.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/response_table.h"

namespace tavrin::cli {
namespace {

int run(const global_options& options, const std::vector<std::string>& words) {
    std::string name;
    bool csv = false;
    const std::string wrong =
        read_name_and_options("response", words, name, switches({{"--csv", &csv}}));
    if (!wrong.empty())
        return bad_arguments(response_command, wrong);

    cli_session session;
    session.log_to_stderr(options);
    if (const reach_outcome reached = session.open(options, name); !reached.ok()) {
        session.stop();
        return report_refusal(reached);
    }
    session.wait_first_answer(cli_session::answer_wait_ms);
    const bool answered = session.events().info_text().has_value();
    const bool gated = session.flags().version_gate();
    const param_block block = session.params().snapshot();
    const std::string silent = session.no_answer(name);
    session.stop();
    if (!answered) {
        std::fprintf(stderr, "tavrin-cli: %s\n", silent.c_str());
        return session.no_answer_code();
    }
    if (gated) {
        std::fprintf(stderr, "tavrin-cli: %s: Firmware Version Error\n", name.c_str());
        return exit_firmware_gate;
    }
    std::printf("%s", response_table(block, csv).c_str());
    return exit_done;
}

}  // namespace

const cli_command response_command{
    "response", "NAME [--csv]", "print both channels' frequency response",
    "  Connects to the amplifier NAME, takes its first full answer and prints,\n"
    "  for each of the 376 frequencies of the response graphs, the frequency (Hz)\n"
    "  and the complete response of channel 1 and channel 2 (dB, equaliser and\n"
    "  filters together), one line per frequency; --csv: comma-separated with a\n"
    "  header line. It is what the Frequency Respond tab draws.\n"
    "  Exit status: 0 printed, 2 no answer, 3 firmware version error, 7 no such\n"
    "  device, 8 not a TAVRIN-PA22, 9 ConMon server or avahi-daemon unreachable.\n",
    run};

}  // namespace tavrin::cli
