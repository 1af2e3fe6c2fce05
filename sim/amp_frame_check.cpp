#include "sim/amp_frame_check.h"

#include "protocol/frame.h"

namespace tavrin::sim {

namespace {

constexpr size_t segment_overhead = 14;

bool length_matches(const uint8_t* body, size_t size) {
    return static_cast<size_t>(body[5] << 8 | body[6]) + 7 == size;
}

bool sum_matches(const uint8_t* body, size_t size) {
    return frame_checksum(body, size - 1) == body[size - 1];
}

}  // namespace

bool is_segment(const uint8_t* body, size_t size) {
    return body != nullptr && size > 4 && body[4] == segment_code;
}

frame_status check_frame(const uint8_t* body, size_t size, frame_view& out) {
    if (body == nullptr || size < frame_overhead)
        return frame_status::too_short;
    if (body[0] != frame_sync || body[2] != frame_marker_hi || body[3] != frame_marker_lo) {
        return frame_status::bad_header;
    }
    if (!length_matches(body, size))
        return frame_status::bad_length;
    if (!sum_matches(body, size))
        return frame_status::bad_checksum;
    out.unit = body[1];
    out.code = body[4];
    out.data = body + 7;
    out.count = size - frame_overhead;
    return frame_status::ok;
}

frame_status check_segment(const uint8_t* body, size_t size, segment_view& out) {
    if (body == nullptr || size < segment_overhead + 1)
        return frame_status::too_short;
    if (body[0] != 0x55 || body[1] != 0x10 || body[2] != 0xA0 || body[3] != 0x7C ||
        body[4] != segment_code) {
        return frame_status::bad_header;
    }
    if (!length_matches(body, size))
        return frame_status::bad_length;
    if (!sum_matches(body, size))
        return frame_status::bad_checksum;
    const auto total = static_cast<uint16_t>(body[9] << 8 | body[10]);
    const auto offset = static_cast<uint16_t>(body[11] << 8 | body[12]);
    const size_t piece_size = size - segment_overhead;
    if (body[7] == 0 || total < frame_overhead || total > max_segmented_frame ||
        static_cast<size_t>(offset) + piece_size > total) {
        return frame_status::bad_segment;
    }
    out.transfer_id = body[7];
    out.total = total;
    out.offset = offset;
    out.piece = body + 13;
    out.piece_size = piece_size;
    return frame_status::ok;
}

}  // namespace tavrin::sim
