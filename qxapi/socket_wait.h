#pragma once
// How long the socket thread waits in one step: the runtime's time-out, but never
// more than one second, so that a stop request or a new socket is noticed soon.
#include <sys/time.h>

#include <cstdint>

namespace tavrin {

constexpr uint32_t socket_wait_cap_ms = 1000;

// The runtime's time-out capped at one second; zero stays zero.
inline timeval cap_socket_wait(timeval timeout) {
    if (timeout.tv_sec < 0 || (timeout.tv_sec == 0 && timeout.tv_usec < 0))
        return timeval{0, 0};
    if (timeout.tv_sec >= 1)
        return timeval{1, 0};
    return timeout;
}

inline bool is_zero_wait(const timeval& t) {
    return t.tv_sec == 0 && t.tv_usec == 0;
}

// Milliseconds, rounded up (a 0.1 ms time-out still sleeps 1 ms).
inline uint32_t wait_ms_rounded_up(const timeval& t) {
    const int64_t us = static_cast<int64_t>(t.tv_sec) * 1000000 + t.tv_usec;
    return us <= 0 ? 0 : static_cast<uint32_t>((us + 999) / 1000);
}

}  // namespace tavrin
