#pragma once
// The receive path on the network thread: the check applied to every body from the
// amplifier, segment reassembly, and the hand-over into the answer mailbox.
#include <array>
#include <atomic>
#include <bitset>
#include <cstddef>
#include <cstdint>

#include "platform/time_source.h"
#include "protocol/answer_mailbox.h"
#include "protocol/frame.h"
#include "protocol/link_state.h"

namespace tavrin {

constexpr size_t segment_buffer_size = 1024;
constexpr uint32_t segment_gap_ms = 1500;

struct segment_state {
    uint8_t transfer_id = 0;  // 0 = no transfer in progress
    uint32_t received = 0;    // piece bytes received so far
    uint32_t last_tick = 0;   // tick of the last accepted piece
};

enum class receive_status {
    accepted,  // handed to accept_answer
    wrong_sender,
    too_short,
    bad_length,
    bad_checksum,
};

class amp_receiver {
  public:
    amp_receiver(selected_device& device, answer_mailbox& mailbox, time_source& clock);

    // The receive callback. The caller keeps ownership of `sender_name`.
    receive_status on_amp_message(const char* sender_name, const uint8_t* body, size_t size);
    // Reassembles a segment or fills the mailbox with a whole frame.
    void accept_answer(const uint8_t* body, size_t size);

    // Bodies or pieces dropped because they do not fit the fixed buffers, segments
    // without a transfer id, and reassembled frames whose pieces left a gap.
    uint64_t dropped() const { return dropped_.load(); }
    segment_state state() const { return state_; }

  private:
    void accept_segment(const frame_view& frame);
    void reset_transfer(uint8_t transfer_id);

    selected_device& device_;
    answer_mailbox& mailbox_;
    time_source& clock_;
    segment_state state_;
    std::array<uint8_t, segment_buffer_size> segment_buffer_{};
    std::bitset<segment_buffer_size> covered_;
    std::atomic<uint64_t> dropped_{0};
};

}  // namespace tavrin
