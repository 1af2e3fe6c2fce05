#include "pages/log_sweep.h"

#include <cmath>

namespace tavrin {
namespace {

std::array<double, sweep_points> make_sweep() {
    std::array<double, sweep_points> out{};
    // The exponent grows by repeated addition, not i / 100: the rounding of the
    // running sum decides the last point (4.7499999..., included).
    double e = 1.0;
    size_t n = 0;
    while (e <= 4.75 && n < sweep_points) {
        out[n++] = std::pow(10.0, e);
        e += 0.01;
    }
    return out;
}

}  // namespace

const std::array<double, sweep_points>& log_sweep() {
    static const std::array<double, sweep_points> sweep = make_sweep();
    return sweep;
}

}  // namespace tavrin
