// tavrin-cli preset list | save NAME FILE | load NAME FILE | delete FILE  [--yes]
#include <cstdio>

#include "app/startup_args.h"
#include "cli/cli_args.h"
#include "cli/cli_output.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/fleet_cli.h"
#include "cli/preset_offline.h"
#include "presets/preset_batch.h"
#include "presets/preset_file.h"
#include "presets/preset_folder.h"
#include "presets/preset_name.h"
#include "presets/preset_texts.h"
#include "sites/fleet_jobs.h"

namespace tavrin::cli {
namespace {

struct preset_words {
    std::string action;
    std::vector<std::string> args;
    bool yes = false;
};

void print_err(const std::string& text) {
    std::lock_guard lock(output_mutex());
    std::fprintf(stderr, "tavrin-cli: %s\n", text.c_str());
}

void print_out(const std::string& text) {
    std::lock_guard lock(output_mutex());
    std::fprintf(stdout, "%s\n", text.c_str());
    std::fflush(stdout);
}

// The log lines of an action on standard output, what it told or refused on error.
void print_report(const batch_report& r) {
    for (const std::string& line : r.logs)
        print_out(line);
    for (const question& q : r.notices)
        print_err(q.text);
    for (const question& q : r.refused)
        print_err("refused \"" + q.text + "\" (give --yes to answer Yes)");
}

// The exit status of an action's outcome once it ran against the folder.
int status_of(preset_outcome outcome) {
    switch (outcome) {
        case preset_outcome::done:
            return exit_done;
        case preset_outcome::not_connected:
        case preset_outcome::ring_full:
            return exit_no_answer;
        case preset_outcome::ignored:
        case preset_outcome::refused:
        case preset_outcome::declined:
            return exit_bad_arguments;
        case preset_outcome::missing:
        case preset_outcome::folder_error:
        case preset_outcome::file_error:
        case preset_outcome::checksum_error:
        case preset_outcome::write_error:
        case preset_outcome::delete_error:
            break;
    }
    return exit_bad_input_file;
}

// A context for the actions that touch only the preset folder.
struct offline_context {
    link_view flags;
    selected_device device;
    command_ring ring{flags};
    amp_params params;
    session_events events;
    page_shared shared;
    page_context ctx{flags,  device,        ring,   params,
                     events, system_time(), shared, current_work_dir()};
};

std::string check_file_name(const std::string& file) {
    const name_check check = check_preset_name(file);
    if (check == name_check::ok)
        return {};
    if (check == name_check::empty)
        return "the preset FILE is empty";
    return "preset FILE '" + file + "': " + std::string(name_refusal_text(check));
}

int run_list(const preset_words& w) {
    if (!w.args.empty())
        return bad_arguments(preset_command, "preset list takes no arguments");
    offline_context off;
    const preset_folder folder(off.ctx.work_dir, system_files());
    for (const std::string& name : folder.listing())
        print_out(name);
    return exit_done;
}

int run_delete(const preset_words& w) {
    if (w.args.size() != 1)
        return bad_arguments(preset_command, "preset delete needs FILE");
    const std::string& file = w.args[0];
    if (const std::string why = check_file_name(file); !why.empty())
        return bad_arguments(preset_command, why);
    offline_context off;
    const preset_folder folder(off.ctx.work_dir, system_files());
    if (system_files().kind_of(folder.file_path(file)) != file_kind::regular) {
        print_err("no preset file '" + file + "' in " + folder.path());
        return exit_bad_input_file;
    }
    if (!w.yes) {
        return bad_arguments(preset_command, "deleting asks \"" +
                                                 preset_text::delete_question(file) +
                                                 "\": give --yes to answer Yes");
    }
    const batch_report r = run_preset_action(off.ctx, batch_action::remove, file, true);
    print_report(r);
    if (r.outcome == preset_outcome::delete_error)
        print_err("could not delete " + folder.file_path(file));
    return status_of(r.outcome);
}

// Connects and waits for the first full answer: exit_done, or the code it failed with
// (said on standard error).
int connect_and_wait(cli_session& session, const global_options& options, const std::string& name) {
    session.log_to_stderr(options);
    if (const reach_outcome reached = session.open(options, name); !reached.ok())
        return report_refusal(reached);
    if (session.wait_first_answer(cli_session::answer_wait_ms))
        return exit_done;
    print_err(session.no_answer(name));
    return session.no_answer_code();
}

int run_save(const global_options& options, const preset_words& w) {
    if (w.args.size() != 2)
        return bad_arguments(preset_command, "preset save needs NAME and FILE");
    const std::string& name = w.args[0];
    const std::string& file = w.args[1];
    if (const std::string why = check_device_name(name); !why.empty())
        return bad_arguments(preset_command, why);
    if (const std::string why = check_file_name(file); !why.empty())
        return bad_arguments(preset_command, why);
    const preset_folder folder(current_work_dir(), system_files());
    if (!w.yes && system_files().kind_of(folder.file_path(file)) != file_kind::missing) {
        return bad_arguments(preset_command, "saving over it asks \"" +
                                                 preset_text::overwrite_question(file) +
                                                 "\": give --yes to answer Yes");
    }

    cli_session session;
    if (const int code = connect_and_wait(session, options, name); code != exit_done)
        return code;
    // A refused firmware may have answered with a block of another layout, or none.
    if (session.flags().version_gate()) {
        print_out(session.events().info_text().value_or(""));
        print_err("nothing saved");
        return exit_firmware_gate;
    }
    page_context ctx = session.pages();
    const batch_report r = run_preset_action(ctx, batch_action::save_as, file, w.yes);
    session.stop();
    print_report(r);
    if (r.outcome == preset_outcome::folder_error)
        print_err("cannot make the preset folder " + folder.path());
    return status_of(r.outcome);
}

// Reads FILE the way a load does; the log text of a bad one.
std::string check_preset_file(const preset_folder& folder, const std::string& file) {
    const auto bytes = system_files().read_file(folder.file_path(file), preset_file_size + 1);
    preset_read read;
    if (bytes)
        read = read_preset_file(bytes->data(), bytes->size());
    return std::string(preset_status_text(read.status));
}

int run_load(const global_options& options, const preset_words& w) {
    if (w.args.size() != 2)
        return bad_arguments(preset_command, "preset load needs NAME and FILE");
    const std::string& name = w.args[0];
    const std::string& file = w.args[1];
    if (const std::string why = check_device_name(name); !why.empty())
        return bad_arguments(preset_command, why);
    if (const std::string why = check_file_name(file); !why.empty())
        return bad_arguments(preset_command, why);
    const preset_folder folder(current_work_dir(), system_files());
    if (const std::string bad = check_preset_file(folder, file); !bad.empty()) {
        print_err(bad + " (" + folder.file_path(file) + ")");
        return exit_bad_input_file;
    }
    if (!w.yes) {
        return bad_arguments(preset_command, "loading asks \"" + preset_text::load_question(file) +
                                                 "\": give --yes to answer Yes");
    }

    // As in the window, an amplifier whose firmware is refused still takes the write.
    cli_session session;
    if (const int code = connect_and_wait(session, options, name); code != exit_done)
        return code;
    page_context ctx = session.pages();
    const batch_report r = run_preset_action(ctx, batch_action::load, file, true);
    print_report(r);
    if (r.outcome != preset_outcome::done)
        return status_of(r.outcome);
    const param_block written = ctx.params.snapshot();

    // An answer to a poll sent before the write may still arrive first; the one after
    // it is the amplifier's word.
    std::vector<std::string> differences;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!session.wait_next_answer(cli_session::answer_wait_ms)) {
            print_err("no answer from " + name + " after the load");
            return exit_no_answer;
        }
        differences = block_differences(written, session.params().snapshot());
        if (differences.empty())
            break;
    }
    const std::string info = session.events().info_text().value_or("");
    const bool gated = session.flags().version_gate();
    const param_block answer = session.params().snapshot();
    session.stop();
    if (gated) {
        print_out(info);
        return exit_firmware_gate;
    }
    // The amplifier's answer as `show` prints it.
    std::string lines = setting_lines(answer);
    if (!lines.empty())
        lines.pop_back();
    print_out(lines);
    if (!differences.empty()) {
        std::string list;
        for (const std::string& d : differences)
            list += (list.empty() ? "" : ", ") + d;
        print_err("the amplifier answered other values than " + file + " holds: " + list);
        return exit_disagrees;
    }
    return exit_done;
}

// Settings to many amplifiers are a write and a poll each, as for `set`.
constexpr unsigned fleet_load_jobs = 32;

// preset load NAME[,NAME...] FILE | preset load FILE --all, --yes [--jobs N] [--json]
int run_load_fleet(const global_options& options, const std::vector<std::string>& words) {
    fleet_target target;
    bool yes = false;
    std::vector<std::string> args;
    if (const std::string wrong =
            read_words("preset", words, args,
                       fleet_options(target, switches({{"--yes", &yes}, {"-y", &yes}})));
        !wrong.empty())
        return bad_arguments(preset_command, wrong);
    if (args.size() != (target.all ? 1u : 2u))
        return bad_arguments(preset_command,
                             "preset load needs NAME[,NAME...] and FILE, or FILE and --all");
    const std::string& file = args.back();
    if (args.size() == 2) {
        if (const std::string why = read_targets(args[0], target); !why.empty())
            return bad_arguments(preset_command, why);
    }
    if (const std::string why = check_target("preset load", target); !why.empty())
        return bad_arguments(preset_command, why);
    if (const std::string why = check_file_name(file); !why.empty())
        return bad_arguments(preset_command, why);
    const preset_folder folder(current_work_dir(), system_files());
    // Read once for the whole fleet.
    const auto bytes = system_files().read_file(folder.file_path(file), preset_file_size + 1);
    preset_read read;
    if (bytes)
        read = read_preset_file(bytes->data(), bytes->size());
    if (read.status != preset_status::ok) {
        print_err(std::string(preset_status_text(read.status)) + " (" + folder.file_path(file) +
                  ")");
        return exit_bad_input_file;
    }
    if (!yes) {
        return bad_arguments(preset_command, "loading asks \"" + preset_text::load_question(file) +
                                                 "\": give --yes to answer Yes");
    }
    return run_fleet(
        options, target, fleet_load_jobs,
        [&](cli_session& session, amp_connection& amp, const std::string& name, bool found,
            job_report& report) {
            std::string line;
            // As in the window, refused firmware still takes the write.
            if (const int code = open_amplifier(session, amp, name, found, report, line, false);
                code != exit_done)
                return amp_result{name, code, {line}, {}};
            return load_preset_job(amp, name, read.block, report);
        });
}

// The load of several amplifiers: --all, --jobs, --json or a list of names.
bool fleet_load(const std::vector<std::string>& words) {
    if (words.empty() || words[0] != "load")
        return false;
    bool first = true;
    for (size_t i = 1; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w == "--all" || w == "--jobs" || w == "--json")
            return true;
        if (!w.empty() && w[0] != '-') {
            if (first && w.find(',') != std::string::npos)
                return true;
            first = false;
        }
    }
    return false;
}

int run(const global_options& options, const std::vector<std::string>& words) {
    if (fleet_load(words))
        return run_load_fleet(options, std::vector<std::string>(words.begin() + 1, words.end()));
    // The actions on a file alone take options of their own.
    if (!words.empty() && (words[0] == "show" || words[0] == "edit")) {
        const std::vector<std::string> rest(words.begin() + 1, words.end());
        return words[0] == "show" ? run_preset_show(rest) : run_preset_edit(rest);
    }
    preset_words w;
    std::vector<std::string> args;
    if (const std::string wrong =
            read_words("preset", words, args, switches({{"--yes", &w.yes}, {"-y", &w.yes}}));
        !wrong.empty())
        return bad_arguments(preset_command, wrong);
    if (!args.empty()) {
        w.action = args.front();
        w.args.assign(args.begin() + 1, args.end());
    }
    if (w.action == "list")
        return run_list(w);
    if (w.action == "save")
        return run_save(options, w);
    if (w.action == "load")
        return run_load(options, w);
    if (w.action == "delete")
        return run_delete(w);
    if (w.action.empty())
        return bad_arguments(preset_command, "preset needs list, show, edit, save, load or delete");
    return bad_arguments(preset_command, "unknown preset action '" + w.action +
                                             "' (list, show, edit, save, load or delete)");
}

}  // namespace

const cli_command preset_command{
    "preset",
    "list | show FILE | edit FILE SETTING=VALUE... | save NAME FILE | load NAME FILE | "
    "load NAME,NAME...|--all FILE [--jobs N] [--json] | delete FILE",
    "list, show, edit, save, load or delete preset files",
    "  Preset files live in the folder Preset below the current directory; for\n"
    "  show and edit a FILE with a '/' in it is a path as it stands.\n"
    "  list            prints the files of the folder, one per line.\n"
    "  show FILE       prints the file's settings as `show` prints an amplifier's\n"
    "                  (--raw, --json as there), the firmware date it was saved\n"
    "                  from on standard error; given to `set`, it copies them.\n"
    "  edit FILE SETTING=VALUE...  changes the file through the page logic, as\n"
    "                  `set` would, printing each setting as applied; every byte\n"
    "                  the tool does not interpret stays. --to NEWFILE writes the\n"
    "                  result there instead (replacing a file only with --yes).\n"
    "  save NAME FILE  connects to the amplifier NAME, waits for its full answer\n"
    "                  and saves its parameter block as FILE. An existing FILE is\n"
    "                  replaced only with --yes.\n"
    "  load NAME FILE  writes FILE to the amplifier NAME (with --yes), waits for\n"
    "                  its next full answer and prints it as `show` does.\n"
    "  load NAME,NAME... FILE | load FILE --all  the same on many amplifiers\n"
    "                  (FILE read once, --jobs N at once, default 32): each\n"
    "                  answer compared with FILE, one result line each and a\n"
    "                  summary (--json: one object per amplifier per line).\n"
    "  delete FILE     deletes FILE (with --yes).\n"
    "  Exit status: 0 done, 2 no answer, 3 firmware version error, 4 the amplifier\n"
    "  answered other values than FILE holds, 7 no such device, 8 not a\n"
    "  TAVRIN-PA22, 9 ConMon server or avahi-daemon unreachable, 64 bad arguments\n"
    "  or a question without --yes, 65 FILE missing or bad (\"File error.\",\n"
    "  \"Load file error.\") or not written.\n",
    run};

}  // namespace tavrin::cli
