#pragma once
// What each setting command of the catalogue does to the parameter block. The
// poll, the full write, the reset and the firmware-update frames are handled by
// virtual_amp itself.
#include <cstddef>
#include <cstdint>

#include "sim/amp_block.h"

namespace tavrin::sim {

enum class command_result {
    applied,   // the block now holds the command's values
    identify,  // "Find Me": nothing stored, the amplifier beeps
    rejected,  // a known command with a wrong size or an out-of-range selector
    unknown,   // not a setting command
};

// Applies one setting command (code plus its data bytes) to `block`. A rejected
// or unknown command leaves the block untouched.
command_result apply_command(amp_block& block, uint8_t code, const uint8_t* data, size_t count);

}  // namespace tavrin::sim
