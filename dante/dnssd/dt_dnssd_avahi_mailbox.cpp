#include "dante/dnssd/internal/dt_dnssd_avahi_mailbox.h"

#include <errno.h>
#include <sys/socket.h>
#include <unistd.h>

dt_avahi_mailbox::~dt_avahi_mailbox() {
    for (int fd : fds_) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

bool dt_avahi_mailbox::open() {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds_) != 0) {
        fds_[0] = fds_[1] = -1;
        return false;
    }
    return true;
}

// One byte stands for a non-empty queue, so the socket never fills up however many
// replies wait, and a reader peeking at it finds the byte while replies are queued.
void dt_avahi_mailbox::post(dt_avahi_reply&& reply) {
    std::lock_guard<std::mutex> g(lock_);
    const bool was_empty = queue_.empty();
    queue_.push_back(std::move(reply));
    if (was_empty) {
        const char one = 1;
        ssize_t n;
        do {
            n = send(fds_[1], &one, 1, MSG_DONTWAIT | MSG_NOSIGNAL);
        } while (n < 0 && errno == EINTR);
    }
}

std::deque<dt_avahi_reply> dt_avahi_mailbox::take() {
    std::deque<dt_avahi_reply> out;
    std::lock_guard<std::mutex> g(lock_);
    if (queue_.empty()) {
        return out;
    }
    out.swap(queue_);
    char bytes[16];
    ssize_t n;
    do {
        n = recv(fds_[0], bytes, sizeof bytes, MSG_DONTWAIT);
    } while (n > 0 || (n < 0 && errno == EINTR));
    return out;
}
