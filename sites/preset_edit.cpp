#include "sites/preset_edit.h"

#include <algorithm>

#include "protocol/frame.h"
#include "sites/block_rows.h"

namespace tavrin {

preset_edit edit_preset(const std::vector<uint8_t>& file,
                        const std::vector<setting_request>& requests) {
    preset_edit out;
    const preset_read read = read_preset_file(file.data(), file.size());
    out.status = read.status;
    if (read.status != preset_status::ok)
        return out;
    param_block block = read.block;
    out.results = apply_to_block(block, requests);
    for (const setting_result& r : out.results)
        out.refused = out.refused || !r.outcome.ok;
    out.bytes = file;
    // Only the settings are taken from the edited block.
    std::copy_n(block.begin(), settings_bytes_end(), out.bytes.begin() + preset_block_offset);
    out.bytes[preset_checksum_offset] = frame_checksum(out.bytes.data(), preset_checksum_offset);
    out.changed = out.bytes != file;
    return out;
}

}  // namespace tavrin
