#include "sim/amp_wire_log.h"

namespace tavrin::sim {

std::string wire_log_line(const uint8_t* frame, size_t size) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string line;
    if (frame == nullptr || size == 0)
        return line;
    line.reserve(size * 3);
    for (size_t i = 0; i < size; ++i) {
        if (i > 0)
            line.push_back(' ');
        line.push_back(digits[frame[i] >> 4]);
        line.push_back(digits[frame[i] & 0x0F]);
    }
    return line;
}

}  // namespace tavrin::sim
