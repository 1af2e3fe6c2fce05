#include "link/frame_inbox.h"

#include <cstring>

namespace tavrin {

bool frame_inbox::push(const uint8_t* frame, size_t size, const frame_view& view) {
    if (frame == nullptr || size > inbox_frame::capacity || size < frame_header_size) {
        dropped_.fetch_add(1);
        return false;
    }
    std::lock_guard lock(mutex_);
    if (count_ == slot_count) {
        head_ = (head_ + 1) % slot_count;
        --count_;
        dropped_.fetch_add(1);
    }
    inbox_frame& slot = ring_[(head_ + count_) % slot_count];
    std::memcpy(slot.bytes.data(), frame, size);
    slot.size = size;
    slot.view = view;
    slot.view.data = slot.bytes.data() + frame_header_size;
    ++count_;
    return true;
}

bool frame_inbox::pop(inbox_frame& out) {
    std::lock_guard lock(mutex_);
    if (count_ == 0)
        return false;
    const inbox_frame& slot = ring_[head_];
    std::memcpy(out.bytes.data(), slot.bytes.data(), slot.size);
    out.size = slot.size;
    out.view = slot.view;
    out.view.data = out.bytes.data() + frame_header_size;
    head_ = (head_ + 1) % slot_count;
    --count_;
    return true;
}

bool frame_inbox::empty() const {
    std::lock_guard lock(mutex_);
    return count_ == 0;
}

size_t frame_inbox::waiting() const {
    std::lock_guard lock(mutex_);
    return count_;
}

void frame_inbox::clear() {
    std::lock_guard lock(mutex_);
    head_ = 0;
    count_ = 0;
}

}  // namespace tavrin
