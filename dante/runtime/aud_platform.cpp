#include "dante/runtime/internal/aud_platform.h"

#include <stdlib.h>
#include <time.h>

#include <mutex>

namespace {
// Guarded: two threads making their first API handle at once must not both start up.
std::mutex platform_mutex;
int platform_users = 0;
}  // namespace

aud_error_t aud_platform_startup() {
    std::lock_guard lock(platform_mutex);
    if (platform_users++ == 0) {
        // POSIX sockets need no start-up; the power monitor and event-log source of
        // other platforms have no counterpart here. Seed the generator used for
        // random ports and transaction ids.
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        srandom(static_cast<unsigned>(ts.tv_sec ^ ts.tv_nsec));
    }
    return AUD_SUCCESS;
}

void aud_platform_shutdown() {
    std::lock_guard lock(platform_mutex);
    if (platform_users > 0) {
        --platform_users;
    }
}

int aud_platform_users() {
    std::lock_guard lock(platform_mutex);
    return platform_users;
}
