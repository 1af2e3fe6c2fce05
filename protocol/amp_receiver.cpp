#include "protocol/amp_receiver.h"

#include <algorithm>

#include "protocol/frame.h"

namespace tavrin {

amp_receiver::amp_receiver(selected_device& device, answer_mailbox& mailbox, time_source& clock)
    : device_(device), mailbox_(mailbox), clock_(clock) {}

receive_status amp_receiver::on_amp_message(const char* sender_name, const uint8_t* body,
                                            size_t size) {
    if (!device_.matches_copy(sender_name))
        return receive_status::wrong_sender;
    frame_view frame;
    switch (decode_frame(body, size, frame)) {
        case frame_status::ok:
            break;
        case frame_status::bad_length:
            return receive_status::bad_length;
        case frame_status::bad_checksum:
            return receive_status::bad_checksum;
        default:
            return receive_status::too_short;
    }
    accept_answer(body, size);
    return receive_status::accepted;
}

void amp_receiver::accept_answer(const uint8_t* body, size_t size) {
    frame_view frame;
    if (decode_frame(body, size, frame) != frame_status::ok) {
        dropped_.fetch_add(1);
        return;
    }
    if (frame.code == segment_code) {
        accept_segment(frame);
        return;
    }
    if (!mailbox_.fill(body, size))
        dropped_.fetch_add(1);
}

void amp_receiver::reset_transfer(uint8_t transfer_id) {
    state_.transfer_id = transfer_id;
    state_.received = 0;
    covered_.reset();
}

void amp_receiver::accept_segment(const frame_view& frame) {
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
    if (!complete) {
        dropped_.fetch_add(1);
    } else if (!mailbox_.fill(segment_buffer_.data(), segment.total)) {
        dropped_.fetch_add(1);
    }
    reset_transfer(0);
}

}  // namespace tavrin
