#pragma once
// A preset file changed without an amplifier, through the same page logic as `set`:
// the same clamps, budget and dependent fields. Every byte the tool does not
// interpret stays as it was: the file's bytes 2 to 9, the block's bytes after the
// settings and its firmware date; only the settings and the checksum change.
#include <cstdint>
#include <vector>

#include "pages/settings.h"
#include "presets/preset_file.h"

namespace tavrin {

struct preset_edit {
    preset_status status = preset_status::file_error;  // of the file as read
    std::vector<uint8_t> bytes;                        // the edited file, when status is ok
    std::vector<setting_result> results;               // in the order applied
    bool changed = false;                              // bytes differ from the file read
    // A setting the block's state does not allow (a power class this tool does not know).
    bool refused = false;
};

preset_edit edit_preset(const std::vector<uint8_t>& file,
                        const std::vector<setting_request>& requests);

}  // namespace tavrin
