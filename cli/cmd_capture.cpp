// tavrin-cli capture SITE [--all | NAME...] [--yes]
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <set>

#include "cli/amp_reading.h"
#include "cli/cli_args.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/site_steps.h"
#include "cli/site_summary.h"
#include "presets/file_layer.h"
#include "sites/site_file.h"
#include "sites/site_write.h"
#include "utilities/name_rules.h"

namespace tavrin::cli {
namespace {

struct capture_words {
    std::string site;
    bool all = false;
    bool yes = false;
    std::vector<std::string> names;
};

// NAME or NAME,NAME...: each a device name a site file can hold, each once in any case.
std::string add_names(const std::string& word, capture_words& w) {
    size_t from = 0;
    while (from <= word.size()) {
        const size_t comma = std::min(word.find(',', from), word.size());
        const std::string name = word.substr(from, comma - from);
        if (const std::string why = device_name_problem(name); !why.empty())
            return "'" + name + "': " + why;
        const bool known = std::any_of(w.names.begin(), w.names.end(), [&](const std::string& n) {
            return lower_case(n) == lower_case(name);
        });
        if (!known)
            w.names.push_back(name);
        from = comma + 1;
    }
    return {};
}

std::string parse(const std::vector<std::string>& words, capture_words& w) {
    for (const std::string& word : words) {
        if (word == "--all") {
            w.all = true;
        } else if (word == "--yes" || word == "-y") {
            w.yes = true;
        } else if (!word.empty() && word[0] == '-') {
            return "unknown option '" + word + "' for capture";
        } else if (w.site.empty()) {
            w.site = word;
        } else if (std::string why = add_names(word, w); !why.empty()) {
            return why;
        }
    }
    if (w.site.empty())
        return "capture needs the SITE file to write";
    if (w.all == !w.names.empty())
        return "capture needs --all or the amplifiers' NAMEs (not both)";
    return {};
}

std::string preset_name_of(const std::string& amp) {
    return amp + ".preset";
}

// The files a capture writes that exist already; empty when none does.
std::string existing(const capture_words& w, const std::vector<std::string>& names) {
    std::vector<std::string> paths{w.site};
    for (const std::string& n : names)
        paths.push_back(path_beside(w.site, preset_name_of(n)));
    for (const std::string& p : paths) {
        if (system_files().kind_of(p) != file_kind::missing)
            return p;
    }
    return {};
}

std::string today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

int run(const global_options& options, const std::vector<std::string>& words) {
    capture_words w;
    if (const std::string why = parse(words, w); !why.empty())
        return bad_arguments(capture_command, why);
    if (const std::string there = existing(w, w.names); !there.empty() && !w.yes)
        return bad_arguments(capture_command, there + " exists: give --yes to replace it");

    cli_session session;
    std::vector<std::string> names = w.names;
    if (w.all) {
        session.log_to_stderr(options);
        if (const reach_outcome found = session.discover(options, brand_rule::model, names);
            !found.ok()) {
            session.stop();
            return report_refusal(found);
        }
        if (names.empty()) {
            session.stop();
            std::fprintf(stderr, "tavrin-cli: no amplifiers found\n");
            return exit_no_answer;
        }
        if (const std::string there = existing(w, names); !there.empty() && !w.yes) {
            session.stop();
            return bad_arguments(capture_command, there + " exists: give --yes to replace it");
        }
    } else if (const int code = start_session(session, options); code != exit_done) {
        session.stop();
        return code;
    }

    site_tally tally("disagreeing");
    std::vector<captured_amp> captured;
    for (const std::string& name : names) {
        captured_amp c;
        const amp_result r = capture_amplifier(
            session, name, path_beside(w.site, preset_name_of(name)), preset_name_of(name), c);
        tally.add(r);
        if (r.code == exit_done)
            captured.push_back(std::move(c));
    }
    session.stop();
    int worst = tally.worst();
    if (!captured.empty()) {
        const std::string text =
            site_text(captured, "Captured by tavrin-cli capture on " + today() + ".");
        const std::string folder = folder_of(w.site);
        if (replace_file(system_files(), folder.empty() ? "." : folder, w.site,
                         reinterpret_cast<const uint8_t*>(text.data()), text.size())) {
            std::printf("wrote %s\n", w.site.c_str());
        } else {
            std::fprintf(stderr, "tavrin-cli: could not write %s\n", w.site.c_str());
            worst = std::max(worst, exit_bad_input_file);
        }
    }
    std::printf("%s\n", tally.summary().c_str());
    return worst;
}

}  // namespace

const cli_command capture_command{
    "capture", "SITE --all | SITE NAME... [--yes]",
    "write a site file from the amplifiers as they are",
    "  Reads each amplifier (NAME, several as words or separated by commas, or\n"
    "  --all: every TAVRIN-PA22 a Discovery finds), saves its parameter block as\n"
    "  the preset NAME.preset beside SITE and writes the site file SITE naming\n"
    "  each with its preset and location, so that `apply SITE --check` right\n"
    "  after reports nothing. Files are written whole or not at all; an existing\n"
    "  SITE or preset is replaced only with --yes. Amplifiers that cannot be read\n"
    "  are left out of SITE.\n"
    "  Exit status (the highest over all amplifiers): 0 every amplifier captured,\n"
    "  2 no answer, 3 firmware version error, 7 no such device, 8 not a\n"
    "  TAVRIN-PA22, 9 ConMon server or avahi-daemon unreachable, 64 bad\n"
    "  arguments or a file in the way without --yes, 65 a file not written.\n",
    run};

}  // namespace tavrin::cli
