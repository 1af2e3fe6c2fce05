// tavrin-cli set NAME[,NAME...]|--all SETTING=VALUE...
#include <algorithm>
#include <cstdio>
#include <set>

#include "app/discovery_flow.h"
#include "app/service_report.h"
#include "cli/cli_args.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "pages/settings.h"

namespace tavrin::cli {
namespace {

// Every frame waits up to one worker wake-up before it leaves.
constexpr uint32_t frame_pace_ms = 100;

struct set_words {
    bool all = false;
    bool list = false;
    std::vector<std::string> names;
    std::vector<setting_request> requests;
};

// Splits NAME,NAME...; empty when it names no device, with the reason in `why`.
std::vector<std::string> device_names(const std::string& word, std::string& why) {
    std::vector<std::string> out;
    std::set<std::string> seen;
    size_t from = 0;
    while (true) {
        const size_t comma = word.find(',', from);
        const std::string name =
            word.substr(from, comma == std::string::npos ? comma : comma - from);
        if (name.empty()) {
            why = "empty device name in '" + word + "'";
            return {};
        }
        if (const std::string bad = check_device_name(name); !bad.empty()) {
            why = bad;
            return {};
        }
        if (seen.insert(name).second)
            out.push_back(name);
        if (comma == std::string::npos)
            return out;
        from = comma + 1;
    }
}

// The words after `set`; an error text when they are not usable.
std::string parse(const std::vector<std::string>& words, set_words& out) {
    // --names lists the settings and takes nothing else.
    if (std::find(words.begin(), words.end(), "--names") != words.end()) {
        out.list = true;
        if (words.size() == 1)
            return {};
        return "--names takes nothing else (tavrin-cli set --names)";
    }
    bool have_target = false;
    bool options = true;  // until "--"
    for (const std::string& w : words) {
        if (options && w == "--") {
            options = false;
        } else if (options && w == "--all") {
            if (have_target)
                return "--all and a device NAME exclude each other";
            out.all = have_target = true;
        } else if (options && !w.empty() && w[0] == '-') {
            return "unknown option '" + w + "' for set";
        } else if (w.find('=') != std::string::npos) {
            if (std::string why = add_request(out.requests, w); !why.empty())
                return why;
        } else if (!have_target) {
            std::string why;
            out.names = device_names(w, why);
            if (out.names.empty())
                return why;
            have_target = true;
        } else {
            return "'" + w + "' is not SETTING=VALUE";
        }
    }
    if (!have_target)
        return "set needs a device NAME (or several, separated by commas) or --all";
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

// Connects to one amplifier, applies the settings through the page logic, then reads
// its settings back. One result line; the exit status of this amplifier.
int set_one(cli_session& session, const std::string& name,
            const std::vector<setting_request>& requests) {
    // Nothing goes to a device the server does not know or that is another model.
    if (const reach_outcome reached = session.reach(name); !reached.ok()) {
        print_line(reached.message);
        return reached.code;
    }
    const uint64_t before = session.events().answers();
    const uint64_t corrupted = session.amp().corrupted_answers();
    if (!session.switch_to(name) || !session.wait_answer(before, cli_session::answer_wait_ms)) {
        if (session.no_answer_code() != exit_no_answer) {
            print_line(session.no_answer(name));
            return session.no_answer_code();
        }
        print_line(name + ": no answer" +
                   corrupted_note(session.amp().corrupted_answers() - corrupted));
        return exit_no_answer;
    }
    if (session.flags().version_gate()) {
        print_line(name + ": " + session.events().info_text().value_or("firmware version error") +
                   ", nothing sent");
        return exit_firmware_gate;
    }

    // A ConMon server lost from here on takes with it whatever it had not delivered.
    const uint64_t losses = session.server_losses();
    page_context ctx = session.pages();
    const std::vector<setting_result> results = apply_settings(ctx, requests);
    std::vector<std::string> refused;
    for (const setting_result& r : results) {
        print_line(applied_line(r));
        if (!r.outcome.ok)
            refused.push_back(r.def->name);
    }

    // The poll goes out right after every command: its answer shows them all.
    const uint32_t wait = static_cast<uint32_t>(session.ring().waiting() + 1) * frame_pace_ms +
                          cli_session::answer_wait_ms;
    const bool answered = session.wait_next_answer(wait);
    if (session.server_lost_since(losses)) {
        // What the amplifier shows now says nothing of the settings.
        print_line(name + ": " + std::string(server_lost_text) +
                   " while the settings were sent; set them again");
        return exit_unreachable;
    }
    if (!answered) {
        print_line(name + ": no answer after the settings");
        return exit_no_answer;
    }
    if (session.flags().version_gate()) {
        print_line(name + ": " + session.events().info_text().value_or("firmware version error"));
        return exit_firmware_gate;
    }
    std::vector<std::string> differ = disagreements(results, session.params().snapshot());
    for (const std::string& n : refused)
        differ.push_back(n + " not applied");
    if (differ.empty()) {
        print_line(name + ": ok");
        return exit_done;
    }
    std::string line = name + ": disagrees:";
    for (const std::string& d : differ)
        line += " " + d + (&d == &differ.back() ? "" : ",");
    print_line(line);
    return exit_disagrees;
}

int run(const global_options& options, const std::vector<std::string>& words) {
    set_words w;
    if (const std::string why = parse(words, w); !why.empty())
        return bad_arguments(set_command, why);
    if (w.list) {
        list_settings();
        return exit_done;
    }

    cli_session session;
    session.log_to_stderr(options);
    std::vector<std::string> names = w.names;
    if (w.all) {
        const reach_outcome found = session.discover(options, brand_rule::model, names);
        if (!found.ok()) {
            session.stop();
            return report_refusal(found);
        }
        if (names.empty()) {
            std::fprintf(stderr, "tavrin-cli: no amplifiers found\n");
            session.stop();
            return exit_no_answer;
        }
    } else {
        session.start_runtime(options.primary, options.secondary);
        if (const reach_outcome up = session.check_services(); !up.ok()) {
            session.stop();
            return report_refusal(up);
        }
    }

    int worst = exit_done;
    for (const std::string& name : names)
        worst = std::max(worst, set_one(session, name, w.requests));
    session.stop();
    return worst;
}

}  // namespace

const cli_command set_command{
    "set", "NAME[,NAME...]|--all SETTING=VALUE... | --names",
    "change settings by name, on one or many amplifiers",
    "  Connects to each amplifier in turn (NAME, several separated by commas, or\n"
    "  --all: every TAVRIN-PA22 a Discovery finds), applies the settings as the\n"
    "  pages do (same limits, same commands), prints each as applied\n"
    "  (\"ch1.level=-3.8 (typed -3.75)\"), reads the amplifier's settings back and\n"
    "  prints one result line per amplifier (\"Amp-1: ok\"). Settings are checked\n"
    "  before anything is sent; a value the amplifier holds already is left alone,\n"
    "  so the output of `show` copies an amplifier exactly. --names (alone) lists\n"
    "  every setting with its unit, step and range (see also docs/cli.md).\n"
    "  Exit status (the highest over all amplifiers): 0 every amplifier shows the\n"
    "  values, 2 no answer, 3 firmware version error (nothing sent), 4 an amplifier\n"
    "  shows other values, 7 no such device, 8 not a TAVRIN-PA22 (nothing sent),\n"
    "  9 ConMon server or avahi-daemon unreachable, 64 unknown setting or\n"
    "  unreadable value (nothing sent).\n",
    run};

}  // namespace tavrin::cli
