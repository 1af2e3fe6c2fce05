// tavrin-cli preset show FILE [--raw] [--json]
// tavrin-cli preset edit FILE SETTING=VALUE... [--to NEWFILE] [--yes]
#include <cstdio>

#include "app/startup_args.h"
#include "cli/cli_output.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "cli/preset_offline.h"
#include "cli/preset_source.h"
#include "presets/file_layer.h"
#include "presets/preset_folder.h"
#include "sites/preset_edit.h"
#include "sites/site_file.h"

namespace tavrin::cli {
namespace {

void say(FILE* to, const std::string& text) {
    std::lock_guard lock(output_mutex());
    std::fprintf(to, "%s\n", text.c_str());
}

std::vector<field_value> fields_of(const param_block& block) {
    amp_params p;
    p.replace(block);
    return p.list_fields();
}

// The folder a preset file is written in: the preset folder for a plain name (made
// when missing), else the path's own folder.
std::string folder_for(const std::string& word, const std::string& path) {
    if (!is_preset_path(word)) {
        const preset_folder folder(current_work_dir(), system_files());
        folder.ensure();
        return folder.path();
    }
    const std::string folder = folder_of(path);
    return folder.empty() ? "." : folder;
}

}  // namespace

int run_preset_show(const std::vector<std::string>& words) {
    std::string file;
    bool raw = false, json = false;
    for (const std::string& w : words) {
        if (w == "--raw") {
            raw = true;
        } else if (w == "--json") {
            json = true;
        } else if (!w.empty() && w[0] == '-') {
            return bad_arguments(preset_command, "unknown option '" + w + "' for preset show");
        } else if (file.empty()) {
            file = w;
        } else {
            return bad_arguments(preset_command, "preset show takes one FILE, not '" + w + "'");
        }
    }
    if (file.empty())
        return bad_arguments(preset_command, "preset show needs FILE");
    if (const preset_place place = place_preset(file); !place.error.empty())
        return bad_arguments(preset_command, place.error);
    const preset_input in = read_preset_input(file);
    if (!in.error.empty()) {
        say(stderr, "tavrin-cli: " + in.error);
        return exit_bad_input_file;
    }
    if (json) {
        std::printf("%s", preset_json(in.path, in.block, fields_of(in.block)).c_str());
        return exit_done;
    }
    // Standard output stays in `set`'s grammar, so that it can be given to `set`.
    say(stderr, in.path + ": saved from firmware " + firmware_date_text(in.block));
    std::printf(
        "%s", raw ? settings_lines(fields_of(in.block)).c_str() : setting_lines(in.block).c_str());
    return exit_done;
}

int run_preset_edit(const std::vector<std::string>& words) {
    std::string file, to;
    bool yes = false;
    std::vector<setting_request> requests;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w == "--to") {
            if (i + 1 == words.size() || words[i + 1].empty())
                return bad_arguments(preset_command, "--to needs NEWFILE");
            to = words[++i];
        } else if (w == "--yes" || w == "-y") {
            yes = true;
        } else if (!w.empty() && w[0] == '-') {
            return bad_arguments(preset_command, "unknown option '" + w + "' for preset edit");
        } else if (file.empty()) {
            file = w;
        } else if (std::string why = add_request(requests, w); !why.empty()) {
            return bad_arguments(preset_command, why);
        }
    }
    if (file.empty())
        return bad_arguments(preset_command, "preset edit needs FILE");
    if (requests.empty())
        return bad_arguments(preset_command, "preset edit needs at least one SETTING=VALUE");
    const preset_place source = place_preset(file);
    if (!source.error.empty())
        return bad_arguments(preset_command, source.error);
    const std::string target_word = to.empty() ? file : to;
    const preset_place target = place_preset(target_word);
    if (!target.error.empty())
        return bad_arguments(preset_command, target.error);
    if (!to.empty() && !yes && system_files().kind_of(target.path) != file_kind::missing) {
        return bad_arguments(preset_command, target.path + " exists: give --yes to replace it");
    }

    const preset_input in = read_preset_input(file);
    if (!in.error.empty()) {
        say(stderr, "tavrin-cli: " + in.error);
        return exit_bad_input_file;
    }
    const preset_edit edit = edit_preset(in.bytes, requests);
    for (const setting_result& r : edit.results)
        say(stdout, applied_line(r));
    if (edit.refused) {
        say(stderr, "tavrin-cli: " + in.path + " is left as it was");
        return exit_bad_input_file;
    }
    if (!edit.changed && to.empty()) {
        say(stdout, "File unchanged.");
        return exit_done;
    }
    if (!replace_file(system_files(), folder_for(target_word, target.path), target.path,
                      edit.bytes.data(), edit.bytes.size())) {
        say(stderr, "tavrin-cli: could not write " + target.path);
        return exit_bad_input_file;
    }
    say(stdout, "File saved.");
    return exit_done;
}

}  // namespace tavrin::cli
