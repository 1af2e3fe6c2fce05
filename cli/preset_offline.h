#pragma once
// tavrin-cli preset show and preset edit: preset files read and changed without an
// amplifier (cmd_preset_offline.cpp).
#include <string>
#include <vector>

namespace tavrin::cli {

// The words after "preset show" and "preset edit"; the exit status.
int run_preset_show(const std::vector<std::string>& words);
int run_preset_edit(const std::vector<std::string>& words);

}  // namespace tavrin::cli
