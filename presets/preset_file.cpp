#include "presets/preset_file.h"

#include <algorithm>

#include "protocol/byte_view.h"
#include "protocol/frame.h"

namespace tavrin {

namespace {
constexpr size_t fw_date_offset = 508;
constexpr size_t fw_date_size = 4;
}  // namespace

preset_bytes build_preset_file(const param_block& block) {
    preset_bytes out{};
    out[0] = preset_magic_0;
    out[1] = preset_magic_1;
    // The firmware date sits in front as well, so a file tells its version at a glance.
    std::copy_n(block.begin() + fw_date_offset, fw_date_size, out.begin() + 2);
    std::copy(block.begin(), block.end(), out.begin() + preset_block_offset);
    out[preset_checksum_offset] = frame_checksum(out.data(), preset_checksum_offset);
    return out;
}

preset_read read_preset_file(const uint8_t* data, size_t size) {
    preset_read result;
    const byte_view file(data, size);
    uint8_t b0 = 0, b1 = 0, stored_sum = 0;
    byte_view block(nullptr, 0);
    if (file.size() != preset_file_size || !file.u8(0, b0) || !file.u8(1, b1) ||
        b0 != preset_magic_0 || b1 != preset_magic_1 ||
        !file.sub(preset_block_offset, amp_params_size, block) ||
        !file.u8(preset_checksum_offset, stored_sum)) {
        return result;
    }
    if (frame_checksum(file.data(), preset_checksum_offset) != stored_sum) {
        result.status = preset_status::checksum_error;
        return result;
    }
    std::copy_n(block.data(), amp_params_size, result.block.begin());
    result.status = preset_status::ok;
    return result;
}

std::string_view preset_status_text(preset_status status) {
    switch (status) {
        case preset_status::file_error:
            return "File error.";
        case preset_status::checksum_error:
            return "Load file error.";
        case preset_status::ok:
            break;
    }
    return {};
}

}  // namespace tavrin
