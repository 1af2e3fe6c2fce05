#include "protocol/frame.h"

#include <cstring>

namespace tavrin {

uint8_t frame_checksum(const uint8_t* bytes, size_t n) {
    uint8_t sum = 0;
    for (size_t i = 0; i < n; ++i)
        sum = static_cast<uint8_t>(sum + bytes[i]);
    return sum;
}

size_t build_frame(uint8_t code, uint8_t unit, const uint8_t* data, size_t count, uint8_t* out,
                   size_t capacity) {
    const size_t size = count + frame_overhead;
    if (out == nullptr || size > capacity || count + 1 > 0xFFFF)
        return 0;
    if (count > 0 && data == nullptr)
        return 0;
    out[0] = frame_sync;
    out[1] = unit;
    out[2] = frame_marker_hi;
    out[3] = frame_marker_lo;
    out[4] = code;
    out[5] = static_cast<uint8_t>((count + 1) >> 8);
    out[6] = static_cast<uint8_t>(count + 1);
    if (count > 0)
        std::memcpy(out + 7, data, count);
    out[7 + count] = frame_checksum(out, 7 + count);
    return size;
}

}  // namespace tavrin
