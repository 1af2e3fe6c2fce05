#pragma once
// The amplifier frame: 0x55, unit, 0xAA, 0xD5, code, 16-bit big-endian length
// (data bytes + 1), data, and an 8-bit sum of every byte before it.
#include <cstddef>
#include <cstdint>

namespace tavrin {

constexpr uint8_t frame_sync = 0x55;
constexpr uint8_t frame_marker_hi = 0xAA;
constexpr uint8_t frame_marker_lo = 0xD5;
constexpr uint8_t segment_code = 0xD1;
// Total size of a frame carrying n data bytes is n + frame_overhead.
constexpr size_t frame_overhead = 8;

// 8-bit wrap-around sum of n bytes.
uint8_t frame_checksum(const uint8_t* bytes, size_t n);

// Writes the frame for `count` data bytes into `out`. Returns the frame size
// (count + 8), or 0 when it does not fit into `capacity` or count + 1 exceeds 16 bits.
size_t build_frame(uint8_t code, uint8_t unit, const uint8_t* data, size_t count, uint8_t* out,
                   size_t capacity);

}  // namespace tavrin
