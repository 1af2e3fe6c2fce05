#include "sim/amp_segments.h"

#include <cstring>

#include "protocol/frame.h"

namespace tavrin::sim {

void segment_reassembler::clear() {
    transfer_id_ = 0;
    total_ = 0;
    received_ = 0;
    have_.reset();
}

segment_reassembler::outcome segment_reassembler::accept(const segment_view& s, uint32_t now_ms,
                                                         byte_vector& frame) {
    if (s.piece == nullptr || s.total > max_segmented_frame ||
        static_cast<size_t>(s.offset) + s.piece_size > s.total) {
        return outcome::dropped;
    }
    const bool stale = static_cast<uint32_t>(now_ms - last_ms_) > segment_gap_ms;
    if (transfer_id_ == 0 || stale || s.transfer_id != transfer_id_ || s.total != total_) {
        clear();
        transfer_id_ = s.transfer_id;
        total_ = s.total;
    }
    last_ms_ = now_ms;
    std::memcpy(buffer_ + s.offset, s.piece, s.piece_size);
    for (size_t i = s.offset; i < s.offset + s.piece_size; ++i) {
        if (!have_[i]) {
            have_[i] = true;
            ++received_;
        }
    }
    if (received_ < total_)
        return outcome::incomplete;
    frame.assign(buffer_, buffer_ + total_);
    clear();
    return outcome::complete;
}

}  // namespace tavrin::sim
