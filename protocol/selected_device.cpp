#include "protocol/selected_device.h"

#include <cstring>

#include "platform/utf8.h"

namespace tavrin {

void selected_device::set_name(const std::string& name) {
    std::lock_guard lock(mutex_);
    name_ = first_chars(name, max_name);
}

std::string selected_device::name() const {
    std::lock_guard lock(mutex_);
    return name_;
}

bool selected_device::empty() const {
    std::lock_guard lock(mutex_);
    return name_.empty();
}

void selected_device::renew_copy() {
    std::lock_guard lock(mutex_);
    copy_.fill(0);
    // Answers carry the name as the device reports it; a name of 31 characters may
    // need more bytes than the copy holds, so it ends on a whole character.
    const std::string fitted = first_bytes(name_, copy_.size() - 1);
    std::memcpy(copy_.data(), fitted.data(), fitted.size());
}

std::string selected_device::copy() const {
    std::lock_guard lock(mutex_);
    return std::string(copy_.data(), strnlen(copy_.data(), copy_.size()));
}

bool selected_device::matches_copy(const char* sender) const {
    if (sender == nullptr)
        return false;
    std::lock_guard lock(mutex_);
    return std::strncmp(sender, copy_.data(), copy_.size()) == 0 &&
           std::strlen(sender) < copy_.size();
}

}  // namespace tavrin
