// tavrin-cli apply SITE [--check] [--jobs N]
#include <cstdio>

#include "cli/amp_reading.h"
#include "cli/cli_args.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/site_input.h"
#include "cli/site_steps.h"
#include "cli/site_summary.h"

namespace tavrin::cli {
namespace {

constexpr uint32_t max_jobs = 64;

int run(const global_options& options, const std::vector<std::string>& words) {
    std::string path;
    bool check = false;
    uint32_t jobs = 1;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w == "--check") {
            check = true;
        } else if (w == "--jobs") {
            if (i + 1 == words.size() || !parse_number(words[i + 1], jobs) || jobs == 0 ||
                jobs > max_jobs)
                return bad_arguments(apply_command, "--jobs needs a number from 1 to 64");
            ++i;
        } else if (!w.empty() && w[0] == '-') {
            return bad_arguments(apply_command, "unknown option '" + w + "' for apply");
        } else if (path.empty()) {
            path = w;
        } else {
            return bad_arguments(apply_command, "apply takes one SITE, not '" + w + "'");
        }
    }
    if (path.empty())
        return bad_arguments(apply_command, "apply needs the SITE file");
    site_file site;
    if (!load_site(path, site))
        return exit_bad_input_file;

    // The amplifiers are taken one after the other for now; --jobs is the bound a
    // parallel run keeps to.
    cli_session session;
    if (const int code = start_session(session, options); code != exit_done) {
        session.stop();
        return code;
    }
    site_tally tally(check ? "drifted" : "disagreeing");
    for (const site_amp& amp : site.amps)
        tally.add(check ? check_amplifier(session, amp) : apply_amplifier(session, amp));
    session.stop();
    std::printf("%s\n", tally.summary().c_str());
    return tally.worst();
}

}  // namespace

const cli_command apply_command{
    "apply", "SITE [--check] [--jobs N]",
    "bring every amplifier of a site file to its state, or check it for drift",
    "  Reads the site file SITE whole and checks it before anything is sent (its\n"
    "  faults as SITE:LINE:COLUMN: what is wrong, exit 65). Each amplifier's\n"
    "  state is its preset (a file beside SITE) with the site's settings on top,\n"
    "  through the page logic, and its location when the site names one.\n"
    "  apply connects to each amplifier, sends only what differs (the settings by\n"
    "  name, or the whole block once where that alone is exact, keeping the\n"
    "  amplifier's own location and bytes the tool does not interpret), reads it\n"
    "  back and prints a line per amplifier and a summary.\n"
    "  --check sends nothing: it prints, per amplifier, what drifted from the site\n"
    "  (the amplifier's value, then the site's), as diff does.\n"
    "  --jobs N bounds how many amplifiers are worked on at once (1 to 64).\n"
    "  Exit status (the highest over all amplifiers): 0 every amplifier holds its\n"
    "  state, 2 no answer, 3 firmware version error (nothing sent), 4 an amplifier\n"
    "  drifted (--check) or disagrees after the apply, 7 no such device, 8 not a\n"
    "  TAVRIN-PA22, 9 ConMon server or avahi-daemon unreachable, 64 bad\n"
    "  arguments, 65 a bad site file or preset (nothing sent).\n",
    run};

}  // namespace tavrin::cli
