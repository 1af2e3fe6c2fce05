#pragma once
// Preset files named on the command line by `preset show`, `preset edit` and `diff`.
// A plain name is a file of the preset folder (Preset below the current directory),
// as for the other preset commands; a word with a '/' in it is a path as it stands
// (`./hall-b`, `Preset/hall-b`, `/srv/presets/hall-b`). Device names never hold a
// '/', so `diff` takes such a word for a preset and any other for an amplifier.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/amp_params.h"

namespace tavrin::cli {

bool is_preset_path(const std::string& word);

struct preset_place {
    std::string path;   // where the file is, or is to be
    std::string error;  // why the word names no preset file (a bad plain name)
};
preset_place place_preset(const std::string& word);

struct preset_input {
    std::string path;
    std::vector<uint8_t> bytes;  // the whole file as read
    param_block block{};
    std::string error;  // empty: a sound preset; else "File error. (PATH: ...)"
};
// Reads and checks the file the way a load does.
preset_input read_preset_input(const std::string& word);

}  // namespace tavrin::cli
