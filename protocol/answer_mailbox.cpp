#include "protocol/answer_mailbox.h"

#include <cstring>

namespace tavrin {

bool answer_mailbox::fill(const uint8_t* bytes, size_t size) {
    if (size == 0 || size > capacity || bytes == nullptr) {
        dropped_.fetch_add(1);
        return false;
    }
    std::lock_guard lock(mutex_);
    std::memcpy(buffer_.data(), bytes, size);
    length_ = size;
    return true;
}

size_t answer_mailbox::take(uint8_t* out) {
    std::lock_guard lock(mutex_);
    const size_t n = length_;
    if (n > 0)
        std::memcpy(out, buffer_.data(), n);
    buffer_.fill(0);
    length_ = 0;
    return n;
}

bool answer_mailbox::empty() const {
    std::lock_guard lock(mutex_);
    return length_ == 0;
}

}  // namespace tavrin
