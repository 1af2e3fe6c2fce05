// tavrin-cli discover [--brand model|maker|all]
#include <cstdio>

#include "app/discovery_flow.h"
#include "cli/cli_args.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"

namespace tavrin::cli {
namespace {

int run(const global_options& options, const std::vector<std::string>& words) {
    brand_rule brand = brand_rule::model;
    std::vector<std::string> args;
    const std::string wrong = read_words(
        "discover", words, args,
        [&](const std::vector<std::string>& ws, size_t& i) -> std::optional<std::string> {
            if (ws[i] != "--brand")
                return std::nullopt;
            if (++i >= ws.size())
                return "--brand needs model, maker or all";
            if (ws[i] == "model")
                brand = brand_rule::model;
            else if (ws[i] == "maker")
                brand = brand_rule::maker;
            else if (ws[i] == "all")
                brand = brand_rule::all;
            else
                return "unknown brand '" + ws[i] + "' (model, maker or all)";
            return "";
        });
    if (!wrong.empty())
        return bad_arguments(discover_command, wrong);
    if (!args.empty())
        return bad_arguments(discover_command, "unexpected argument '" + args[0] + "'");

    cli_session session;
    session.log_to_stderr(options);
    std::vector<std::string> names;
    const reach_outcome reached = session.discover(options, brand, names);
    session.stop();
    // An empty list is no answer when nothing could be asked.
    if (!reached.ok())
        return report_refusal(reached);
    for (const std::string& name : names)
        std::printf("%s\n", name.c_str());
    return exit_done;
}

}  // namespace

const cli_command discover_command{
    "discover", "[--brand model|maker|all]", "list the amplifiers on the network",
    "  Restarts the Dante runtime, scans for 6 seconds, pings every device,\n"
    "  asks each for its manufacturer and model and prints the listed names,\n"
    "  one per line, sorted. --brand model (default): Varnoll AB TAVRIN-PA22\n"
    "  only; maker: every Varnoll AB device; all: every device.\n"
    "  Exit status: 0 listed (an empty list: nothing found), 9 avahi-daemon or the\n"
    "  ConMon server could not be reached (nothing is listed).\n",
    run};

}  // namespace tavrin::cli
