// tavrin-cli diff A B [--raw]
#include <cstdio>

#include "cli/amp_reading.h"
#include "cli/cli_args.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/preset_source.h"
#include "sites/block_rows.h"

namespace tavrin::cli {
namespace {

struct side {
    std::string word;
    bool preset = false;
    param_block block{};
};

int run(const global_options& options, const std::vector<std::string>& words) {
    std::vector<side> sides;
    bool raw = false;
    for (const std::string& w : words) {
        if (w == "--raw")
            raw = true;
        else if (!w.empty() && w[0] == '-')
            return bad_arguments(diff_command, "unknown option '" + w + "' for diff");
        else
            sides.push_back({w, is_preset_path(w)});
    }
    if (sides.size() != 2)
        return bad_arguments(diff_command, "diff needs two sides, A and B");
    for (side& s : sides) {
        if (!s.preset) {
            if (const std::string why = check_device_name(s.word); !why.empty())
                return bad_arguments(diff_command, why);
        }
    }
    // The files first: a bad one ends the command before any amplifier is asked.
    for (side& s : sides) {
        if (!s.preset)
            continue;
        const preset_input in = read_preset_input(s.word);
        if (!in.error.empty()) {
            std::fprintf(stderr, "tavrin-cli: %s\n", in.error.c_str());
            return exit_bad_input_file;
        }
        s.block = in.block;
    }
    if (!sides[0].preset || !sides[1].preset) {
        cli_session session;
        if (const int code = start_session(session, options); code != exit_done) {
            session.stop();
            return code;
        }
        for (side& s : sides) {
            if (s.preset)
                continue;
            const amp_reading r = read_amplifier(session, s.word);
            if (r.code != exit_done) {
                session.stop();
                std::fprintf(stderr, "tavrin-cli: %s\n", r.message.c_str());
                return r.code;
            }
            s.block = r.block;
        }
        session.stop();
    }
    const std::vector<diff_row> rows = raw ? field_rows(sides[0].block, sides[1].block)
                                           : setting_rows(sides[0].block, sides[1].block);
    std::printf("%s", aligned_rows(rows).c_str());
    return rows.empty() ? exit_done : exit_differs;
}

}  // namespace

const cli_command diff_command{
    "diff", "A B [--raw]", "compare two amplifiers or preset files, setting by setting",
    "  Each side is an amplifier NAME or a preset file: a word with a '/' in it\n"
    "  is a preset file (./hall-b, Preset/hall-b, /srv/presets/hall-b), since no\n"
    "  device name holds one. Prints one line per setting the two hold\n"
    "  differently, in the order of `show`: the name, A's value, B's value\n"
    "  (\"ch1.level  -3.5  0.0\"); nothing when they match. --raw compares every\n"
    "  field of the parameter block instead, the firmware date among them.\n"
    "  An amplifier is read as `show` reads it; nothing but the poll is sent.\n"
    "  Exit status: 0 they match, 1 they differ, 2 no answer, 3 firmware version\n"
    "  error, 7 no such device, 8 not a TAVRIN-PA22, 9 ConMon server or\n"
    "  avahi-daemon unreachable, 64 bad arguments, 65 a preset file missing or bad.\n",
    run};

}  // namespace tavrin::cli
