// tavrin-cli set NAME[,NAME...]|--all SETTING=VALUE...
#include <algorithm>
#include <cstdio>

#include "app/discovery_flow.h"
#include "app/service_report.h"
#include "cli/cli_args.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/fleet_cli.h"
#include "pages/settings.h"

namespace tavrin::cli {
namespace {

// Every frame waits up to one worker wake-up before it leaves.
constexpr uint32_t frame_pace_ms = 100;

// The default of --jobs: every amplifier's settings are a handful of frames at the
// worker's pace, so 32 at once keep 200 amplifiers within seconds while the server
// and the network carry a few hundred small messages a second.
constexpr unsigned default_jobs = 32;

struct set_words {
    bool list = false;
    fleet_target target;
    std::vector<setting_request> requests;
};

// The words after `set`; an error text when they are not usable.
std::string parse(const std::vector<std::string>& words, set_words& out) {
    // --names lists the settings and takes nothing else.
    if (std::find(words.begin(), words.end(), "--names") != words.end()) {
        out.list = true;
        if (words.size() == 1)
            return {};
        return "--names takes nothing else (tavrin-cli set --names)";
    }
    std::vector<std::string> args;
    if (std::string why = read_words("set", words, args, fleet_options(out.target)); !why.empty())
        return why;
    for (const std::string& w : args) {
        if (w.find('=') != std::string::npos) {
            if (std::string why = add_request(out.requests, w); !why.empty())
                return why;
        } else if (out.target.names.empty() && !out.target.all) {
            if (std::string why = read_targets(w, out.target); !why.empty())
                return why;
        } else {
            return "'" + w + "' is not SETTING=VALUE";
        }
    }
    if (std::string why = check_target("set", out.target); !why.empty())
        return why;
    if (out.requests.empty())
        return "set needs at least one SETTING=VALUE";
    return {};
}

void print_line(const std::string& line) {
    std::lock_guard lock(output_mutex());
    std::fprintf(stdout, "%s\n", line.c_str());
    std::fflush(stdout);
}

// NAME, UNIT, STEP and RANGE in columns as wide as their widest entry.
void list_settings() {
    size_t name = 0, unit = 0, step = 0;
    for (const setting_def& def : all_settings()) {
        name = std::max(name, def.name.size());
        unit = std::max(unit, def.unit.size());
        step = std::max(step, def.step.size());
    }
    const auto column = [](std::string text, size_t width) {
        text.resize(width + 2, ' ');
        return text;
    };
    for (const setting_def& def : all_settings()) {
        print_line(column(def.name, name) + column(def.unit, unit) + column(def.step, step) +
                   def.range);
    }
}

// One amplifier: connects, applies the settings through the page logic, then asks at
// once for the full answer and compares it. The lines and the exit status of it.
amp_result set_one(cli_session& session, amp_connection& amp, const std::string& name, bool found,
                   job_report& report, const std::vector<setting_request>& requests) {
    amp_result out;
    std::string line;
    if ((out.code = open_amplifier(session, amp, name, found, report, line)) != exit_done) {
        out.lines = {line};
        return out;
    }
    if (report.interrupted()) {
        out.code = exit_interrupted;
        out.lines = {name + ": nothing sent (interrupted)"};
        return out;
    }

    // A ConMon server lost from here on takes with it whatever it had not delivered.
    const uint64_t losses = session.server_losses();
    report.step("sending the settings");
    page_context ctx = amp.pages();
    const std::vector<setting_result> results = apply_settings(ctx, requests);
    std::vector<std::string> refused;
    for (const setting_result& r : results) {
        out.lines.push_back(applied_line(r));
        if (!r.outcome.ok)
            refused.push_back(r.def->name);
    }

    // The poll goes out right after every command: its answer shows them all.
    report.step("reading the settings back");
    const uint32_t wait = static_cast<uint32_t>(amp.ring().waiting() + 1) * frame_pace_ms +
                          cli_session::answer_wait_ms;
    const bool answered = amp.wait_next_answer(wait);
    if (session.server_lost_since(losses)) {
        // What the amplifier shows now says nothing of the settings.
        out.lines.push_back(name + ": " + std::string(server_lost_text) +
                            " while the settings were sent; set them again");
        out.code = exit_unreachable;
        return out;
    }
    if (!answered) {
        out.lines.push_back(name + ": no answer after the settings");
        out.code = exit_no_answer;
        return out;
    }
    if (amp.firmware_refused()) {
        out.lines.push_back(name + ": " + amp.info_text().value_or("firmware version error"));
        out.code = exit_firmware_gate;
        return out;
    }
    std::vector<std::string> differ = disagreements(results, amp.params().snapshot());
    for (const std::string& n : refused)
        differ.push_back(n + " not applied");
    if (differ.empty()) {
        out.lines.push_back(name + ": ok");
        return out;
    }
    line = name + ": disagrees:";
    for (const std::string& d : differ)
        line += " " + d + (&d == &differ.back() ? "" : ",");
    out.lines.push_back(line);
    out.code = exit_disagrees;
    return out;
}

int run(const global_options& options, const std::vector<std::string>& words) {
    set_words w;
    if (const std::string why = parse(words, w); !why.empty())
        return bad_arguments(set_command, why);
    if (w.list) {
        list_settings();
        return exit_done;
    }
    return run_fleet(
        options, w.target, default_jobs,
        [&](cli_session& session, amp_connection& amp, const std::string& name, bool found,
            job_report& report) { return set_one(session, amp, name, found, report, w.requests); });
}

}  // namespace

const cli_command set_command{
    "set", "NAME[,NAME...]|--all SETTING=VALUE... [--jobs N] [--json] | --names",
    "change settings by name, on one or many amplifiers",
    "  Connects to the amplifiers (NAME, several separated by commas, or --all:\n"
    "  every TAVRIN-PA22 a Discovery finds), up to --jobs N at once (default 32),\n"
    "  applies the settings as the pages do (same limits, same commands), prints\n"
    "  each as applied (\"ch1.level=-3.8 (typed -3.75)\"), asks each amplifier for\n"
    "  its settings right after and prints one result line per amplifier\n"
    "  (\"Amp-1: ok\"), and for several a summary. --json prints one object per\n"
    "  amplifier per line instead. Settings are checked before anything is sent;\n"
    "  a value the amplifier holds already is left alone, so the output of `show`\n"
    "  copies an amplifier exactly. --names (alone) lists every setting with its\n"
    "  unit, step and range (see also docs/cli.md). Ctrl-C starts no more\n"
    "  amplifiers and lets the others finish what they send (exit 130).\n"
    "  Exit status (the highest over all amplifiers): 0 every amplifier shows the\n"
    "  values, 2 no answer, 3 firmware version error (nothing sent), 4 an amplifier\n"
    "  shows other values, 7 no such device, 8 not a TAVRIN-PA22 (nothing sent),\n"
    "  9 ConMon server or avahi-daemon unreachable, 64 unknown setting or\n"
    "  unreadable value (nothing sent).\n",
    run};

}  // namespace tavrin::cli
