#include "protocol/amp_receiver.h"

#include <algorithm>

#include "protocol/byte_view.h"
#include "protocol/frame.h"

namespace tavrin {
namespace {

// Offsets within a segment frame.
constexpr size_t seg_length = 5;
constexpr size_t seg_transfer_id = 7;
constexpr size_t seg_total = 9;
constexpr size_t seg_offset = 11;
constexpr size_t seg_piece = 13;
constexpr uint16_t seg_length_overhead = 7;

}  // namespace

amp_receiver::amp_receiver(selected_device& device, answer_mailbox& mailbox, time_source& clock)
    : device_(device), mailbox_(mailbox), clock_(clock) {}

receive_status amp_receiver::on_amp_message(const char* sender_name, const uint8_t* body,
                                            size_t size) {
    if (!device_.matches_copy(sender_name))
        return receive_status::wrong_sender;
    const byte_view view(body, size);
    uint16_t length = 0;
    if (view.size() < 7 || !view.be16(5, length))
        return receive_status::too_short;
    if (view.size() != size_t{length} + 7)
        return receive_status::bad_length;
    if (size != 7 && frame_checksum(body, size - 1) != body[size - 1]) {
        return receive_status::bad_checksum;
    }
    accept_answer(body, size);
    return receive_status::accepted;
}

void amp_receiver::accept_answer(const uint8_t* body, size_t size) {
    const byte_view view(body, size);
    uint8_t code = 0;
    if (!view.u8(4, code)) {
        dropped_.fetch_add(1);
        return;
    }
    if (code == segment_code) {
        accept_segment(body, size);
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

void amp_receiver::accept_segment(const uint8_t* body, size_t size) {
    const byte_view view(body, size);
    uint16_t length = 0, total = 0, offset = 0;
    uint8_t transfer_id = 0;
    byte_view piece(nullptr, 0);
    // A piece that would not fit segment_buffer is dropped before it touches the
    // reassembly state; so is a segment with id 0, which means "no transfer".
    if (!view.be16(seg_length, length) || length < seg_length_overhead ||
        !view.u8(seg_transfer_id, transfer_id) || transfer_id == 0 ||
        !view.be16(seg_total, total) || !view.be16(seg_offset, offset) ||
        !view.sub(seg_piece, length - seg_length_overhead, piece) || total == 0 ||
        total > segment_buffer_size || size_t{offset} + piece.size() > segment_buffer_size) {
        dropped_.fetch_add(1);
        return;
    }

    const uint32_t now = clock_.now_ms();
    if (static_cast<uint32_t>(now - state_.last_tick) > segment_gap_ms) {
        reset_transfer(transfer_id);
    } else if (state_.transfer_id == 0) {
        reset_transfer(transfer_id);
    } else if (state_.transfer_id != transfer_id) {
        return;
    }
    state_.last_tick = now;

    std::copy(piece.data(), piece.data() + piece.size(), segment_buffer_.begin() + offset);
    for (size_t i = 0; i < piece.size(); ++i)
        covered_.set(offset + i);
    state_.received += static_cast<uint32_t>(piece.size());

    if (state_.received != total)
        return;
    // The count alone would accept overlapping pieces that leave a gap; deliver the
    // frame only when every byte of it arrived in this transfer.
    bool complete = true;
    for (size_t i = 0; i < total && complete; ++i)
        complete = covered_.test(i);
    if (!complete) {
        dropped_.fetch_add(1);
    } else if (!mailbox_.fill(segment_buffer_.data(), total)) {
        dropped_.fetch_add(1);
    }
    reset_transfer(0);
}

}  // namespace tavrin
