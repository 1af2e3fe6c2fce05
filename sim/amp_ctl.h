#pragma once
// The amplifier faults that the lab's ctl switches at run time:
//   corrupt [on|off]            answers carry wrong checksums
//   wrong-size [on|off]         the poll is answered with a short 0xE3
//   firmware YY MM DD HH        the firmware date bytes of the block
#include <string>
#include <vector>

#include "sim/virtual_amp.h"

namespace tavrin::sim {

enum class ctl_result {
    done,
    not_mine,  // not an amplifier action (silence, drop, delay are the transport's)
    bad_arguments,
};

// `args` is the action followed by its arguments.
ctl_result apply_amp_ctl(virtual_amp& amp, const std::vector<std::string>& args);

}  // namespace tavrin::sim
