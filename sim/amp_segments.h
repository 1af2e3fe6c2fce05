#pragma once
// Long frames in both directions: cutting an answer into segment frames, and
// joining the tool's segments back into the frame they carry.
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "protocol/frame.h"

namespace tavrin::sim {

using byte_vector = std::vector<uint8_t>;

constexpr size_t segment_threshold = 400;
constexpr size_t segment_piece = 400;
constexpr uint32_t segment_gap_ms = 1500;
// Largest frame the amplifier reassembles from segments.
constexpr size_t max_segmented_frame = 1024;

// One segment frame per piece of at most piece_size bytes, all with the same
// transfer id (1 to 255). Frames larger than 0xFFFF bytes give no segments.
inline std::vector<byte_vector> make_segments(const uint8_t* frame, size_t size,
                                              uint8_t transfer_id,
                                              size_t piece_size = segment_piece) {
    return build_segments(frame, size, transfer_id, piece_size);
}

// Joins the pieces of one transfer. Unlike a plain byte count, it records which
// bytes arrived, so a repeated piece neither completes nor spoils a transfer.
class segment_reassembler {
  public:
    enum class outcome { incomplete, complete, dropped };

    // A segment of another transfer, one with a different total, or one arriving
    // more than segment_gap_ms after the last accepted piece starts a new
    // reassembly. On `complete`, `frame` holds the carried frame.
    outcome accept(const segment_view& segment, uint32_t now_ms, byte_vector& frame);

    void clear();

  private:
    uint8_t transfer_id_ = 0;  // 0: none in progress
    uint16_t total_ = 0;
    size_t received_ = 0;
    uint32_t last_ms_ = 0;
    uint8_t buffer_[max_segmented_frame] = {};
    std::bitset<max_segmented_frame> have_;
};

}  // namespace tavrin::sim
