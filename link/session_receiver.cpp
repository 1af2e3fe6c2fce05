#include "link/session_receiver.h"

#include <algorithm>

namespace tavrin {

session_receiver::session_receiver(const selected_device& device, frame_inbox& inbox,
                                   time_source& clock)
    : device_(device), inbox_(inbox), clock_(clock) {}

receive_status session_receiver::on_amp_message(const char* sender_name, const uint8_t* body,
                                                size_t size, bool amp_vendor) {
    if (!device_.matches_copy(sender_name))
        return receive_status::wrong_sender;
    frame_view frame;
    switch (decode_frame(body, size, frame)) {
        case frame_status::ok:
            break;
        case frame_status::bad_length:
            corrupted_.fetch_add(amp_vendor ? 1 : 0);
            return receive_status::bad_length;
        case frame_status::bad_checksum:
            corrupted_.fetch_add(amp_vendor ? 1 : 0);
            return receive_status::bad_checksum;
        default:
            return receive_status::too_short;
    }
    if (frame.code == segment_code)
        accept_segment(frame);
    else
        deliver(body, size, frame);
    return receive_status::accepted;
}

void session_receiver::deliver(const uint8_t* frame, size_t size, const frame_view& view) {
    if (!inbox_.push(frame, size, view))
        dropped_.fetch_add(1);
}

void session_receiver::reset_transfer(uint8_t transfer_id) {
    state_.transfer_id = transfer_id;
    state_.received = 0;
    covered_.reset();
}

void session_receiver::accept_segment(const frame_view& frame) {
    // A piece that would not fit segment_buffer is dropped before it touches the
    // reassembly state; so is a segment with id 0, which means "no transfer".
    segment_view segment;
    if (decode_segment(frame, segment_buffer_size, segment) != frame_status::ok) {
        dropped_.fetch_add(1);
        return;
    }

    const uint32_t now = clock_.now_ms();
    if (static_cast<uint32_t>(now - state_.last_tick) > segment_gap_ms) {
        reset_transfer(segment.transfer_id);
    } else if (state_.transfer_id == 0) {
        reset_transfer(segment.transfer_id);
    } else if (state_.transfer_id != segment.transfer_id) {
        return;
    }
    state_.last_tick = now;

    std::copy(segment.piece, segment.piece + segment.piece_size,
              segment_buffer_.begin() + segment.offset);
    for (size_t i = 0; i < segment.piece_size; ++i)
        covered_.set(segment.offset + i);
    state_.received += static_cast<uint32_t>(segment.piece_size);

    if (state_.received != segment.total)
        return;
    // The count alone would accept overlapping pieces that leave a gap; deliver the
    // frame only when every byte of it arrived in this transfer.
    bool complete = true;
    for (size_t i = 0; i < segment.total && complete; ++i)
        complete = covered_.test(i);
    frame_view whole;
    if (!complete ||
        decode_frame(segment_buffer_.data(), segment.total, whole) != frame_status::ok) {
        dropped_.fetch_add(1);
    } else {
        deliver(segment_buffer_.data(), segment.total, whole);
    }
    reset_transfer(0);
}

}  // namespace tavrin
