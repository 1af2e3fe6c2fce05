#pragma once
// The amplifier frame and its codec, used by every side that reads or writes one:
// the tool's sender and receiver, the lab's virtual amplifier, the benchmarks and the
// tests.
//
// Frame: 0x55, unit, 0xAA, 0xD5, code, 16-bit big-endian length (data bytes + 1),
// data, and an 8-bit sum of every byte before it. An answer whose length is 0 is 7
// bytes long and has no checksum.
// Segment: a frame with code 0xD1 that carries one piece of a longer frame:
// header (4), 0xD1, length = piece + 7, transfer id, reserved, total, offset, piece,
// checksum.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavrin {

constexpr uint8_t frame_sync = 0x55;
constexpr uint8_t frame_marker_hi = 0xAA;
constexpr uint8_t frame_marker_lo = 0xD5;
constexpr uint8_t segment_code = 0xD1;
// Total size of a frame carrying n data bytes is n + frame_overhead.
constexpr size_t frame_overhead = 8;
// The smallest body that can be an answer: the header with a length of 0.
constexpr size_t frame_header_size = 7;
// A segment carrying j piece bytes is j + segment_overhead bytes long.
constexpr size_t segment_overhead = 14;
constexpr size_t segment_header_size = 13;
// The four bytes a segment starts with when the tool (or the lab) sends it.
constexpr uint8_t segment_lead[4] = {0x55, 0x10, 0xA0, 0x7C};

// 8-bit wrap-around sum of n bytes.
uint8_t frame_checksum(const uint8_t* bytes, size_t n);

enum class frame_status {
    ok,
    too_short,
    bad_header,  // sync or markers (commands and the tool's segments only)
    bad_length,  // the length field disagrees with the size
    bad_checksum,
    bad_segment,  // transfer id 0, or total and offset describe no piece of a frame
};

// A decoded frame; the pointers lead into the caller's bytes.
struct frame_view {
    uint8_t sync = 0;
    uint8_t unit = 0;
    uint8_t marker_hi = 0;
    uint8_t marker_lo = 0;
    uint8_t code = 0;
    uint16_t length = 0;  // the length field: data bytes + 1, or 0
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

// The check every received body passes: at least 7 bytes, a length field that agrees
// with the size and, unless the size is 7, a matching checksum. Header bytes are not
// examined (answers may carry other unit and marker values).
frame_status decode_frame(const uint8_t* bytes, size_t size, frame_view& out);

// Whether a checked frame is an answer the tool takes: sync 0x55 (or 0xFF), one of
// the amplifier's unit bytes, 0xD5 before the code, and at most 1024 length.
bool is_amp_answer(const frame_view& frame);

// A command as the tool sends it: decode_frame plus 0x55, 0xAA, 0xD5 and a checksum.
frame_status decode_command(const uint8_t* bytes, size_t size, frame_view& out);

// The segment inside a decoded frame of code 0xD1: a non-zero transfer id and a piece
// that lies inside a carried frame of `total` bytes, at most `max_total`.
frame_status decode_segment(const frame_view& frame, size_t max_total, segment_view& out);

// True when the body is a segment (code 0xD1); it says nothing about validity.
inline bool is_segment(const uint8_t* bytes, size_t size) {
    return bytes != nullptr && size > 4 && bytes[4] == segment_code;
}

// A segment as the tool and the lab send it: the four lead bytes, then decode_frame
// and decode_segment.
frame_status decode_sent_segment(const uint8_t* bytes, size_t size, size_t max_total,
                                 segment_view& out);

// Writes the frame for `count` data bytes into `out`. Returns the frame size
// (count + 8), or 0 when it does not fit into `capacity` or count + 1 exceeds 16 bits.
size_t build_frame(uint8_t code, uint8_t unit, const uint8_t* data, size_t count, uint8_t* out,
                   size_t capacity);
std::vector<uint8_t> build_frame(uint8_t code, uint8_t unit, const std::vector<uint8_t>& data);

// Writes the segment carrying bytes [offset, offset + piece_size) of a `total`-byte
// frame; returns its size, or 0 when it does not fit or the numbers are out of range.
size_t build_segment(uint8_t transfer_id, const uint8_t* frame, size_t total, size_t offset,
                     size_t piece_size, uint8_t* out, size_t capacity);

// Every segment of a frame, pieces of at most piece_size bytes, one transfer id.
// Empty when the frame cannot be segmented (empty, over 0xFFFF bytes, id 0).
std::vector<std::vector<uint8_t>> build_segments(const uint8_t* frame, size_t size,
                                                 uint8_t transfer_id, size_t piece_size);

}  // namespace tavrin
