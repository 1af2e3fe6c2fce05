#pragma once
// One amplifier's receive path, on the network thread: the sender check, the frame
// check, segment reassembly, and the hand-over of each whole frame into the
// session's inbox. Every body is decoded once here; what crosses to the session's
// thread is the decoded frame.
#include <array>
#include <atomic>
#include <bitset>
#include <cstddef>
#include <cstdint>

#include "link/frame_inbox.h"
#include "platform/time_source.h"
#include "protocol/frame.h"
#include "protocol/selected_device.h"

namespace tavrin {

constexpr size_t segment_buffer_size = 1024;
constexpr uint32_t segment_gap_ms = 1500;

struct segment_state {
    uint8_t transfer_id = 0;  // 0 = no transfer in progress
    uint32_t received = 0;    // piece bytes received so far
    uint32_t last_tick = 0;   // tick of the last accepted piece
};

enum class receive_status {
    accepted,  // a whole frame went to the inbox, or a piece to the reassembly
    wrong_sender,
    too_short,
    bad_length,
    bad_checksum,
};

class session_receiver {
  public:
    session_receiver(const selected_device& device, frame_inbox& inbox, time_source& clock);

    // A body some device sent; the caller keeps `sender_name`. `amp_vendor` tells
    // whether it came with the amplifier's vendor id: only those count as corrupted
    // when they fail the check (the amplifier's Audinate bodies pass here too).
    receive_status on_amp_message(const char* sender_name, const uint8_t* body, size_t size,
                                  bool amp_vendor = true);

    // Bodies or pieces dropped because they do not fit, segments without a transfer
    // id, and reassembled frames whose pieces left a gap.
    uint64_t dropped() const { return dropped_.load(); }
    // The amplifier's own bodies that failed the frame check (bad checksum or length):
    // a silent amplifier and one whose answers arrive broken are told apart by it.
    uint64_t corrupted() const { return corrupted_.load(); }
    segment_state state() const { return state_; }

  private:
    void accept_segment(const frame_view& frame);
    void reset_transfer(uint8_t transfer_id);
    void deliver(const uint8_t* frame, size_t size, const frame_view& view);

    const selected_device& device_;
    frame_inbox& inbox_;
    time_source& clock_;
    segment_state state_;
    std::array<uint8_t, segment_buffer_size> segment_buffer_{};
    std::bitset<segment_buffer_size> covered_;
    std::atomic<uint64_t> dropped_{0};
    std::atomic<uint64_t> corrupted_{0};
};

}  // namespace tavrin
