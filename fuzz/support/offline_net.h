#pragma once
// Keeps a fuzz target off the network: the library code it drives sends and lists
// adapters through these instead of the system's. Every datagram "leaves" at once
// (nothing answers it) and the machine has no adapter, so that listing them opens no
// netlink socket.
// Include it in exactly one file of a target: the definitions here take the place of
// the C library's (and of the sanitizers' weak interceptors) for the whole binary.
#include <ifaddrs.h>
#include <sys/socket.h>
#include <sys/types.h>

extern "C" {

ssize_t sendto(int, const void*, size_t size, int, const struct sockaddr*, socklen_t) {
    return static_cast<ssize_t>(size);
}

ssize_t send(int, const void*, size_t size, int) {
    return static_cast<ssize_t>(size);
}

int getifaddrs(struct ifaddrs** out) noexcept {
    *out = nullptr;
    return 0;
}

void freeifaddrs(struct ifaddrs*) noexcept {}

}  // extern "C"
