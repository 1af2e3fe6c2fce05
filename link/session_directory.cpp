#include "link/session_directory.h"

#include <algorithm>

namespace tavrin {

void session_directory::add(amp_session& session) {
    std::lock_guard lock(mutex_);
    if (std::find(sessions_.begin(), sessions_.end(), &session) == sessions_.end())
        sessions_.push_back(&session);
}

void session_directory::remove(amp_session& session) {
    std::lock_guard lock(mutex_);
    sessions_.erase(std::remove(sessions_.begin(), sessions_.end(), &session), sessions_.end());
}

receive_status session_directory::deliver(const char* sender, const uint8_t* body, size_t size,
                                          bool amp_vendor) {
    std::lock_guard lock(mutex_);
    receive_status result = receive_status::wrong_sender;
    for (amp_session* s : sessions_) {
        const receive_status r = s->on_amp_message(sender, body, size, amp_vendor);
        if (r != receive_status::wrong_sender)
            result = r;
    }
    return result;
}

void session_directory::server_lost() {
    std::lock_guard lock(mutex_);
    for (amp_session* s : sessions_)
        s->server_lost();
}

void session_directory::server_back() {
    std::lock_guard lock(mutex_);
    for (amp_session* s : sessions_)
        s->server_back();
}

size_t session_directory::size() const {
    std::lock_guard lock(mutex_);
    return sessions_.size();
}

}  // namespace tavrin
