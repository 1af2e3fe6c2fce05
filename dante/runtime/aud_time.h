#pragma once
// Library time: (seconds, microseconds) pairs. Additions carry microseconds above
// 999 999 into seconds.
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct aud_utime {
    int64_t tv_sec;
    int32_t tv_usec;  // 0 .. 999 999
} aud_utime_t;

// Reads "now" for an event loop. The default reads CLOCK_MONOTONIC, so a step of the
// wall clock neither fires timers early nor stalls them; tests install a fake.
typedef void aud_clock_fn(aud_utime_t* now, void* user);

void aud_clock_system(aud_utime_t* now, void* user);

aud_utime_t aud_utime_make(int64_t sec, int32_t usec);
aud_utime_t aud_utime_from_ms(uint64_t ms);
// a + b, normalised.
aud_utime_t aud_utime_add(aud_utime_t a, aud_utime_t b);
// a - b, normalised (may be negative in tv_sec with tv_usec in 0..999 999).
aud_utime_t aud_utime_sub(aud_utime_t a, aud_utime_t b);
// <0, 0, >0 like strcmp.
int aud_utime_compare(aud_utime_t a, aud_utime_t b);
int64_t aud_utime_to_ms(aud_utime_t t);

#ifdef __cplusplus
}
#endif
