#include "sim/conmon_server_sockets.h"

#include <linux/errqueue.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace tavrin::sim {

int open_server_socket(uint32_t address, uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = address;
    a.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::vector<sockaddr_in> drain_socket_errors(int fd) {
    std::vector<sockaddr_in> about;
    for (;;) {
        // The queued datagram's destination comes back as the message's name.
        sockaddr_in to{};
        char control[512];
        uint8_t data[64];
        iovec iov{data, sizeof data};
        msghdr msg{};
        msg.msg_name = &to;
        msg.msg_namelen = sizeof to;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        if (::recvmsg(fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT) < 0) {
            return about;
        }
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR) {
                continue;
            }
            const auto* e = reinterpret_cast<const sock_extended_err*>(CMSG_DATA(c));
            if (e->ee_origin == SO_EE_ORIGIN_ICMP && e->ee_errno == ECONNREFUSED &&
                msg.msg_namelen >= sizeof to) {
                about.push_back(to);
            }
        }
    }
}

bool socket_port::send_checked(int fd, const sockaddr_in& to, const uint8_t* data, size_t size,
                               std::vector<sockaddr_in>* errors) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (::sendto(fd, data, size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) >= 0) {
            return true;
        }
        if (errno != ECONNREFUSED && errno != EHOSTUNREACH && errno != ENETUNREACH) {
            return false;
        }
        // An earlier datagram's ICMP error: the queue says whose it was.
        std::vector<sockaddr_in> found = drain_socket_errors(fd);
        if (errors) {
            errors->insert(errors->end(), found.begin(), found.end());
        }
    }
    return false;
}

void socket_port::send_to_client(const sockaddr_in& to, const uint8_t* data, size_t size) {
    send_checked(client_fd_, to, data, size, &vanished);
}

void socket_port::send_to_device(const sockaddr_in& to, const uint8_t* data, size_t size) {
    send_checked(device_fd_, to, data, size, nullptr);
}

void socket_port::collect_errors() {
    std::vector<sockaddr_in> found = drain_socket_errors(client_fd_);
    vanished.insert(vanished.end(), found.begin(), found.end());
}

}  // namespace tavrin::sim
