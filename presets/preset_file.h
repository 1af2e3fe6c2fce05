#pragma once
// The preset file: 0x55 0xD5, the firmware date the block was saved with, four zero
// bytes, the 512-byte parameter block and an 8-bit sum of everything before it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "protocol/amp_params.h"

namespace tavrin {

constexpr size_t preset_file_size = 523;
constexpr size_t preset_block_offset = 10;
constexpr size_t preset_checksum_offset = 522;
constexpr uint8_t preset_magic_0 = 0x55;
constexpr uint8_t preset_magic_1 = 0xD5;

using preset_bytes = std::array<uint8_t, preset_file_size>;

preset_bytes build_preset_file(const param_block& block);

enum class preset_status {
    ok,
    file_error,      // unreadable, wrong size or wrong first two bytes
    checksum_error,  // the last byte is not the sum of the others
};

struct preset_read {
    preset_status status = preset_status::file_error;
    param_block block{};  // the stored block when status is ok, zeros otherwise
};

// Checks the size, the two first bytes and the checksum; bytes 2 to 9 are not
// interpreted. `data` may be null when `size` is 0.
preset_read read_preset_file(const uint8_t* data, size_t size);

// The log line for a failed read ("File error." or "Load file error."); empty for ok.
std::string_view preset_status_text(preset_status status);

}  // namespace tavrin
