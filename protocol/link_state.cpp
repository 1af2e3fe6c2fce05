#include "protocol/link_state.h"

#include <cstring>

namespace tavrin {

void selected_device::set_name(const std::string& name) {
    std::lock_guard lock(mutex_);
    name_ = name.substr(0, max_name);
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
    std::memcpy(copy_.data(), name_.data(), std::min(name_.size(), copy_.size() - 1));
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
