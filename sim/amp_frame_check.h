#pragma once
// Checks a body received by the virtual amplifier: a command frame or a segment
// of a longer one. Both views point into the caller's bytes.
#include <cstddef>
#include <cstdint>

namespace tavrin::sim {

enum class frame_status {
    ok,
    too_short,
    bad_header,  // sync, markers or segment header bytes
    bad_length,  // length field disagrees with the body size
    bad_checksum,
    bad_segment,  // total or offset do not describe a piece of a frame
};

struct frame_view {
    uint8_t unit = 0;
    uint8_t code = 0;
    const uint8_t* data = nullptr;
    size_t count = 0;  // data bytes
};

struct segment_view {
    uint8_t transfer_id = 0;
    uint16_t total = 0;
    uint16_t offset = 0;
    const uint8_t* piece = nullptr;
    size_t piece_size = 0;
};

// Largest frame the amplifier reassembles from segments.
constexpr size_t max_segmented_frame = 1024;

// True when the body is a segment (code 0xD1); it says nothing about validity.
bool is_segment(const uint8_t* body, size_t size);

// A command frame: 0x55, unit, 0xAA, 0xD5, code, length = size - 7, data, sum.
frame_status check_frame(const uint8_t* body, size_t size, frame_view& out);

// A segment as the tool sends it: 0x55 0x10 0xA0 0x7C, 0xD1, length = size - 7,
// transfer id, reserved, total, offset, piece, sum; the piece must lie inside
// a frame of `total` <= max_segmented_frame bytes.
frame_status check_segment(const uint8_t* body, size_t size, segment_view& out);

}  // namespace tavrin::sim
