#pragma once
// The preset actions for a caller with nobody to ask (tavrin-cli): a question the
// actions ask gets Yes when the caller said so beforehand and is refused otherwise,
// and what they log or tell is collected for the caller to print. The actions
// themselves are those of the window, so both write the same files.
#include <string>
#include <string_view>
#include <vector>

#include "app/page_context.h"
#include "platform/question.h"
#include "presets/file_layer.h"
#include "presets/preset_actions.h"

namespace tavrin {

enum class batch_action { load, remove, save, save_as };

struct batch_report {
    preset_outcome outcome = preset_outcome::ignored;
    std::vector<std::string> logs;  // the action's log lines, in order
    // Yes/No questions answered No because no Yes was given beforehand.
    std::vector<question> refused;
    // Boxes that only inform ("No connection.", why a name is refused).
    std::vector<question> notices;
};

batch_report run_preset_action(page_context& ctx, batch_action action, std::string_view name,
                               bool yes, file_layer& files = system_files());

// The fields of the block whose bytes differ between what a load wrote and what the
// amplifier answered, by name ("location", "peq_ch1_freq_hi"), or "byte N" for a byte
// no field covers. The firmware date is left out: a parameter write keeps it.
std::vector<std::string> block_differences(const param_block& written, const param_block& answered);

}  // namespace tavrin
