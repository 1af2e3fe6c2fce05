#include "link/command_ring.h"

#include <cstring>

#include "protocol/frame.h"

namespace tavrin {

// Only the full flags need a value: a slot's bytes are written before they are read,
// and leaving them untouched keeps a new ring (one per amplifier) cheap.
command_ring::command_ring(const link_view& link)
    : link_(link),
      slots_(std::make_unique_for_overwrite<slot[]>(slot_count)),
      full_(std::make_unique<bool[]>(slot_count)) {}

void command_ring::advance_read_locked() {
    full_[read_] = false;
    read_ = next(read_);
    if (read_ == write_)
        read_ = write_ = 0;
}

void command_ring::commit_locked(size_t size) {
    uint8_t* s = slots_[write_];
    s[1] = static_cast<uint8_t>(size >> 8);
    s[2] = static_cast<uint8_t>(size);
    full_[write_] = true;
    write_ = next(write_);
}

push_status command_ring::ring_push(uint8_t code, uint8_t unit, const uint8_t* data, size_t count) {
    if (!link_.accepts_commands())
        return push_status::not_connected;
    if (link_.version_gate() && code != poll_code)
        return push_status::gated;
    if (count + frame_overhead > max_frame)
        return push_status::too_long;

    std::lock_guard lock(mutex_);
    if (full_locked()) {
        // Make room for later commands by dropping the oldest; this one is lost too.
        advance_read_locked();
        return push_status::ring_full;
    }
    const size_t size =
        build_frame(code, unit, data, count, slots_[write_] + slot_header, max_frame);
    if (size == 0)
        return push_status::too_long;
    commit_locked(size);
    return push_status::queued;
}

push_status command_ring::ring_put_frame(const uint8_t* frame, size_t size) {
    if (frame == nullptr || size == 0 || size > max_frame)
        return push_status::too_long;
    std::lock_guard lock(mutex_);
    // Writing past a full ring would overwrite the head frame while it waits.
    if (full_locked())
        return push_status::ring_full;
    std::memcpy(slots_[write_] + slot_header, frame, size);
    commit_locked(size);
    return push_status::queued;
}

void command_ring::ring_clear() {
    std::lock_guard lock(mutex_);
    for (size_t i = 0; i < slot_count; ++i)
        full_[i] = false;
    read_ = 0;
    write_ = 0;
}

bool command_ring::head_waiting() const {
    std::lock_guard lock(mutex_);
    return full_[read_];
}

size_t command_ring::ring_pop_into(uint8_t* out, size_t capacity) {
    std::lock_guard lock(mutex_);
    const uint8_t* s = slots_[read_];
    if (!full_[read_])
        return 0;
    const size_t size = (static_cast<size_t>(s[1]) << 8) | s[2];
    if (out == nullptr || size > capacity)
        return 0;
    std::memcpy(out, s + slot_header, size);
    advance_read_locked();
    return size;
}

size_t command_ring::waiting() const {
    std::lock_guard lock(mutex_);
    return (write_ + slot_count - read_) % slot_count;
}

size_t command_ring::read_index() const {
    std::lock_guard lock(mutex_);
    return read_;
}

size_t command_ring::write_index() const {
    std::lock_guard lock(mutex_);
    return write_;
}

}  // namespace tavrin
