#include "cli/preset_source.h"

#include "app/startup_args.h"
#include "presets/file_layer.h"
#include "presets/preset_file.h"
#include "presets/preset_folder.h"
#include "presets/preset_name.h"

namespace tavrin::cli {

bool is_preset_path(const std::string& word) {
    return word.find('/') != std::string::npos;
}

preset_place place_preset(const std::string& word) {
    if (is_preset_path(word))
        return {word, {}};
    const name_check check = check_preset_name(word);
    if (check == name_check::empty)
        return {{}, "the preset FILE is empty"};
    if (check != name_check::ok)
        return {{}, "preset FILE '" + word + "': " + std::string(name_refusal_text(check))};
    return {preset_folder(current_work_dir(), system_files()).file_path(word), {}};
}

preset_input read_preset_input(const std::string& word) {
    preset_input in;
    const preset_place place = place_preset(word);
    in.path = place.path;
    if (!place.error.empty()) {
        in.error = place.error;
        return in;
    }
    // One byte more than a preset, so that a longer file shows as the wrong size.
    const std::optional<std::vector<uint8_t>> bytes =
        system_files().read_file(in.path, preset_file_size + 1);
    if (!bytes) {
        in.error = "File error. (" + in.path + ": cannot be read)";
        return in;
    }
    in.bytes = *bytes;
    const preset_read read = read_preset_file(in.bytes.data(), in.bytes.size());
    if (read.status != preset_status::ok) {
        in.error = std::string(preset_status_text(read.status)) + " (" + in.path +
                   (read.status == preset_status::checksum_error
                        ? ": the checksum does not match)"
                        : ": not a preset file, wrong size or first bytes)");
        return in;
    }
    in.block = read.block;
    return in;
}

}  // namespace tavrin::cli
