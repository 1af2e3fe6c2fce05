#pragma once
// The outbox of one amplifier's session: the queue of prebuilt amplifier frames
// between whoever sends (pages, presets, the firmware transfer) and the session's
// wake-ups. 1000 slots of 1024 bytes (full flag, big-endian size, frame), so at most
// 999 frames wait at a time.
//
// A fleet holds one ring per amplifier, so a ring costs only the pages its frames
// touch: the full flags lie apart from the slots, and a ring that empties starts
// again at slot 0 (the frames waiting at any time are few, so a long-lived session
// keeps reusing its first pages instead of walking through the whole megabyte).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "link/link_view.h"
#include "protocol/catalogue.h"

namespace tavrin {

enum class push_status {
    queued,
    not_connected,  // neither connected nor probing
    gated,          // version_gate holds and the command is not the poll
    ring_full,      // nothing queued (ring_push also discarded the oldest frame)
    too_long,       // the frame does not fit a slot
};

class command_ring {
  public:
    static constexpr size_t slot_count = 1000;
    static constexpr size_t slot_size = 1024;
    static constexpr size_t slot_header = 3;
    static constexpr size_t max_frame = slot_size - slot_header;
    static constexpr uint8_t poll_code = 0xE3;

    // The ring reads the link's state to decide whether a command may be queued.
    explicit command_ring(const link_view& link);

    command_ring(const command_ring&) = delete;
    command_ring& operator=(const command_ring&) = delete;

    // Builds the frame of a catalogue command and queues it.
    push_status ring_push(const amp_command& command) {
        return ring_push(command.code, command.unit, command.data.data(), command.data.size());
    }
    push_status ring_push(uint8_t code, uint8_t unit, const uint8_t* data, size_t count);

    // Queues a frame the caller has built, without the connection checks. Unlike
    // ring_push it never discards a waiting frame: on a full ring it refuses.
    push_status ring_put_frame(const uint8_t* frame, size_t size);

    // Frees every slot and sets both indices to 0.
    void ring_clear();

    // True when the slot at the read index holds a frame.
    bool head_waiting() const;
    // Copies the head frame into `out`, frees its slot and advances the read index.
    // Returns the frame size, 0 when nothing waits or `capacity` is too small.
    size_t ring_pop_into(uint8_t* out, size_t capacity);

    size_t waiting() const;
    size_t read_index() const;
    size_t write_index() const;

  private:
    using slot = uint8_t[slot_size];

    static size_t next(size_t index) { return index + 1 == slot_count ? 0 : index + 1; }
    void advance_read_locked();
    bool full_locked() const { return next(write_) == read_; }
    void commit_locked(size_t size);

    const link_view& link_;
    mutable std::mutex mutex_;
    std::unique_ptr<slot[]> slots_;
    std::unique_ptr<bool[]> full_;
    size_t read_ = 0;
    size_t write_ = 0;
};

}  // namespace tavrin
