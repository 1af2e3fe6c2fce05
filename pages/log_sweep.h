#pragma once
// The display frequency grid of the EQ and response graphs: 10^e for e = 1.00, 1.01,
// ... up to just below 4.75 by repeated addition of 0.01, so 10 Hz to about 56.2 kHz.
#include <array>
#include <cstddef>

namespace tavrin {

constexpr size_t sweep_points = 376;

const std::array<double, sweep_points>& log_sweep();

}  // namespace tavrin
