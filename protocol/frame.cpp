#include "protocol/frame.h"

#include <algorithm>
#include <cstring>

#include "dante/runtime/byte_view.h"
#include "protocol/byte_view.h"

namespace tavrin {
namespace {

// Offsets within a segment frame.
constexpr size_t seg_transfer_id = 7;
constexpr size_t seg_total = 9;
constexpr size_t seg_offset = 11;

void put_be16(uint8_t* p, size_t value) {
    aud_put_be16(p, static_cast<uint16_t>(value));
}

}  // namespace

uint8_t frame_checksum(const uint8_t* bytes, size_t n) {
    uint8_t sum = 0;
    for (size_t i = 0; i < n; ++i)
        sum = static_cast<uint8_t>(sum + bytes[i]);
    return sum;
}

frame_status decode_frame(const uint8_t* bytes, size_t size, frame_view& out) {
    const byte_view view(bytes, size);
    uint16_t length = 0;
    if (view.size() < frame_header_size || !view.be16(5, length))
        return frame_status::too_short;
    if (view.size() != size_t{length} + frame_header_size)
        return frame_status::bad_length;
    if (size != frame_header_size && frame_checksum(bytes, size - 1) != bytes[size - 1])
        return frame_status::bad_checksum;
    out.sync = bytes[0];
    out.unit = bytes[1];
    out.marker_hi = bytes[2];
    out.marker_lo = bytes[3];
    out.code = bytes[4];
    out.length = length;
    out.data = bytes + frame_header_size;
    out.count = size == frame_header_size ? 0 : size - frame_overhead;
    return frame_status::ok;
}

bool is_amp_answer(const frame_view& frame) {
    const bool known_unit =
        frame.unit == 0x01 || frame.unit == 0x10 || frame.unit == 0x11 || frame.unit == 0x20;
    return (frame.sync == frame_sync || frame.sync == 0xFF) && known_unit &&
           frame.marker_lo == frame_marker_lo && frame.length <= 1024;
}

frame_status decode_command(const uint8_t* bytes, size_t size, frame_view& out) {
    if (bytes == nullptr || size < frame_overhead)
        return frame_status::too_short;
    if (bytes[0] != frame_sync || bytes[2] != frame_marker_hi || bytes[3] != frame_marker_lo)
        return frame_status::bad_header;
    return decode_frame(bytes, size, out);
}

frame_status decode_segment(const frame_view& frame, size_t max_total, segment_view& out) {
    // The piece follows the six bytes of segment fields that open the data.
    constexpr size_t fields = segment_header_size - frame_header_size;
    if (frame.code != segment_code || frame.data == nullptr || frame.count < fields)
        return frame_status::too_short;
    const uint8_t* head = frame.data - frame_header_size;
    const uint8_t transfer_id = head[seg_transfer_id];
    const uint16_t total = aud_get_be16(head + seg_total);
    const uint16_t offset = aud_get_be16(head + seg_offset);
    const size_t piece_size = frame.count - fields;
    if (transfer_id == 0 || total == 0 || total > max_total ||
        size_t{offset} + piece_size > total) {
        return frame_status::bad_segment;
    }
    out.transfer_id = transfer_id;
    out.total = total;
    out.offset = offset;
    out.piece = frame.data + fields;
    out.piece_size = piece_size;
    return frame_status::ok;
}

frame_status decode_sent_segment(const uint8_t* bytes, size_t size, size_t max_total,
                                 segment_view& out) {
    if (bytes == nullptr || size < segment_overhead + 1)
        return frame_status::too_short;
    if (!std::equal(segment_lead, segment_lead + 4, bytes) || bytes[4] != segment_code)
        return frame_status::bad_header;
    frame_view frame;
    const frame_status status = decode_frame(bytes, size, frame);
    if (status != frame_status::ok)
        return status;
    return decode_segment(frame, max_total, out);
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
    put_be16(out + 5, count + 1);
    if (count > 0)
        std::memcpy(out + 7, data, count);
    out[7 + count] = frame_checksum(out, 7 + count);
    return size;
}

std::vector<uint8_t> build_frame(uint8_t code, uint8_t unit, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out(data.size() + frame_overhead);
    out.resize(build_frame(code, unit, data.data(), data.size(), out.data(), out.size()));
    return out;
}

size_t build_segment(uint8_t transfer_id, const uint8_t* frame, size_t total, size_t offset,
                     size_t piece_size, uint8_t* out, size_t capacity) {
    const size_t size = piece_size + segment_overhead;
    if (frame == nullptr || out == nullptr || transfer_id == 0 || total == 0 || total > 0xFFFF ||
        offset >= total || piece_size == 0 || piece_size > total - offset || size > capacity) {
        return 0;
    }
    std::copy(segment_lead, segment_lead + 4, out);
    out[4] = segment_code;
    put_be16(out + 5, piece_size + 7);
    out[seg_transfer_id] = transfer_id;
    out[8] = 0;
    put_be16(out + seg_total, total);
    put_be16(out + seg_offset, offset);
    std::memcpy(out + segment_header_size, frame + offset, piece_size);
    out[segment_header_size + piece_size] = frame_checksum(out, segment_header_size + piece_size);
    return size;
}

std::vector<std::vector<uint8_t>> build_segments(const uint8_t* frame, size_t size,
                                                 uint8_t transfer_id, size_t piece_size) {
    std::vector<std::vector<uint8_t>> out;
    if (frame == nullptr || size == 0 || size > 0xFFFF || piece_size == 0 || transfer_id == 0)
        return out;
    for (size_t offset = 0; offset < size; offset += piece_size) {
        const size_t j = std::min(piece_size, size - offset);
        std::vector<uint8_t> segment(j + segment_overhead);
        build_segment(transfer_id, frame, size, offset, j, segment.data(), segment.size());
        out.push_back(std::move(segment));
    }
    return out;
}

}  // namespace tavrin
