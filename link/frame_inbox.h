#pragma once
// Frames received from one amplifier, handed from the network thread to the session's
// own thread: a bounded queue of whole, checked frames. When it is full the oldest
// frame makes room (answers are states, the newest one counts most) and is counted.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "protocol/frame.h"

namespace tavrin {

// One received frame, decoded once: its bytes and what the codec read from them.
struct inbox_frame {
    static constexpr size_t capacity = 1024;

    std::array<uint8_t, capacity> bytes{};
    size_t size = 0;
    // Its data pointer leads into `bytes`.
    frame_view view;
};

class frame_inbox {
  public:
    static constexpr size_t slot_count = 16;

    // Network thread: keeps a copy of a frame the codec accepted. False (and counted)
    // when it does not fit a slot.
    bool push(const uint8_t* frame, size_t size, const frame_view& view);
    // The session's thread: the oldest waiting frame, false when none waits.
    bool pop(inbox_frame& out);
    bool empty() const;
    size_t waiting() const;
    void clear();
    // Frames dropped: too long, or pushed out of a full queue.
    uint64_t dropped() const { return dropped_.load(); }

  private:
    mutable std::mutex mutex_;
    std::array<inbox_frame, slot_count> ring_{};
    size_t head_ = 0;  // oldest
    size_t count_ = 0;
    std::atomic<uint64_t> dropped_{0};
};

}  // namespace tavrin
