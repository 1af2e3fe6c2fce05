#include "sim/amp_segments.h"

#include <algorithm>
#include <cstring>

#include "protocol/frame.h"

namespace tavrin::sim {

std::vector<byte_vector> make_segments(const uint8_t* frame, size_t size, uint8_t transfer_id,
                                       size_t piece_size) {
    std::vector<byte_vector> out;
    if (frame == nullptr || size == 0 || size > 0xFFFF || piece_size == 0)
        return out;
    for (size_t offset = 0; offset < size; offset += piece_size) {
        const size_t j = std::min(piece_size, size - offset);
        byte_vector seg(j + 14);
        seg[0] = 0x55;
        seg[1] = 0x10;
        seg[2] = 0xA0;
        seg[3] = 0x7C;
        seg[4] = segment_code;
        seg[5] = static_cast<uint8_t>((j + 7) >> 8);
        seg[6] = static_cast<uint8_t>(j + 7);
        seg[7] = transfer_id;
        seg[8] = 0;
        seg[9] = static_cast<uint8_t>(size >> 8);
        seg[10] = static_cast<uint8_t>(size);
        seg[11] = static_cast<uint8_t>(offset >> 8);
        seg[12] = static_cast<uint8_t>(offset);
        std::memcpy(seg.data() + 13, frame + offset, j);
        seg[13 + j] = frame_checksum(seg.data(), 13 + j);
        out.push_back(std::move(seg));
    }
    return out;
}

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
