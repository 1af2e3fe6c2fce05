#pragma once
// The text of `tavrin-cli response`: both channels' complete response at every point
// of the graphs' frequency grid.
#include <string>

#include "protocol/amp_params.h"

namespace tavrin::cli {

// "frequency ch1 ch2" per line (Hz, dB, dB), or CSV with a header line.
std::string response_table(const param_block& block, bool csv);

}  // namespace tavrin::cli
