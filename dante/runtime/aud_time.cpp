#include "dante/runtime/aud_time.h"

#include <time.h>

namespace {
constexpr int32_t usec_per_sec = 1000000;

aud_utime_t normalise(int64_t sec, int64_t usec) {
    sec += usec / usec_per_sec;
    usec %= usec_per_sec;
    if (usec < 0) {
        usec += usec_per_sec;
        sec -= 1;
    }
    return aud_utime_t{sec, static_cast<int32_t>(usec)};
}
}  // namespace

void aud_clock_system(aud_utime_t* now, void*) {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    now->tv_sec = ts.tv_sec;
    now->tv_usec = static_cast<int32_t>(ts.tv_nsec / 1000);
}

aud_utime_t aud_utime_make(int64_t sec, int32_t usec) {
    return normalise(sec, usec);
}

aud_utime_t aud_utime_from_ms(uint64_t ms) {
    return normalise(static_cast<int64_t>(ms / 1000), static_cast<int64_t>(ms % 1000) * 1000);
}

aud_utime_t aud_utime_add(aud_utime_t a, aud_utime_t b) {
    return normalise(a.tv_sec + b.tv_sec, static_cast<int64_t>(a.tv_usec) + b.tv_usec);
}

aud_utime_t aud_utime_sub(aud_utime_t a, aud_utime_t b) {
    return normalise(a.tv_sec - b.tv_sec, static_cast<int64_t>(a.tv_usec) - b.tv_usec);
}

int aud_utime_compare(aud_utime_t a, aud_utime_t b) {
    if (a.tv_sec != b.tv_sec) {
        return a.tv_sec < b.tv_sec ? -1 : 1;
    }
    if (a.tv_usec != b.tv_usec) {
        return a.tv_usec < b.tv_usec ? -1 : 1;
    }
    return 0;
}

int64_t aud_utime_to_ms(aud_utime_t t) {
    return t.tv_sec * 1000 + t.tv_usec / 1000;
}
