#pragma once
// The single-slot hand-over of one received frame from the network thread to the
// worker. A newer frame replaces one the worker has not taken yet.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace tavrin {

class answer_mailbox {
  public:
    static constexpr size_t capacity = 1024;

    // Stores a frame (network thread). A frame larger than the mailbox is dropped
    // and counted; returns whether it was stored.
    bool fill(const uint8_t* bytes, size_t size);
    // Moves the waiting frame into `out` (capacity bytes) and empties the mailbox
    // (worker). Returns its length, 0 when empty.
    size_t take(uint8_t* out);
    bool empty() const;
    uint64_t dropped() const { return dropped_.load(); }

  private:
    mutable std::mutex mutex_;
    std::array<uint8_t, capacity> buffer_{};
    size_t length_ = 0;
    std::atomic<uint64_t> dropped_{0};
};

}  // namespace tavrin
