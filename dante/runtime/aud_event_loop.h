#pragma once
// The library's event loop: socket watches, timers and deferred callbacks, driven by
// one thread through dante_runtime_get_sockets / dante_runtime_process_sockets
// (dapi.h). The loop takes no locks; callers on other threads must serialise.
//
// A processing pass runs its phases in this fixed order:
//   1. ready sockets of set 0 (read), then set 1 (write), each watch at most once
//   2. deferred callbacks that were pending when the pass started
//   3. due timers in deadline order (timers armed during this step wait a pass)
//   4. deferred callbacks added by socket and timer callbacks of this pass; those
//      added by a deferred callback wait for the next pass, so self-deferral
//      cannot spin
// Any callback may remove its own or another watch or timer; removed entries are
// only marked during the pass and freed after it, and a removed watch is not called.
#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>
#include <sys/select.h>

#include "dante/runtime/aud_error.h"
#include "dante/runtime/aud_log.h"
#include "dante/runtime/aud_time.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct aud_event_loop aud_event_loop_t;
typedef struct aud_timer aud_timer_t;

typedef enum aud_socket_set {
    AUD_SOCKET_SET_READ = 0,
    AUD_SOCKET_SET_WRITE = 1,
    AUD_SOCKET_SET_EXCEPTION = 2,
} aud_socket_set_t;

typedef enum aud_watch_mode {
    AUD_WATCH_ADD_OR_CHANGE = 0,
    AUD_WATCH_CHANGE_ONLY = 1,  // NOTFOUND when the socket is not watched in that set
    AUD_WATCH_ADD_ONLY = 2,     // ALREADY when it is
} aud_watch_mode_t;

// Causes passed to socket and timer callbacks.
#define AUD_EVENT_CAUSE_READY 0
#define AUD_TIMER_CAUSE_FIRED 0

// At most this many sockets per set, and a socket number must be below it: select's
// fd_set cannot hold more.
#define AUD_EVENT_LOOP_MAX_SOCKETS_PER_SET 1024
// The computed wait never exceeds this, so timers are looked at once a minute.
#define AUD_EVENT_LOOP_MAX_WAIT_SEC 60

// Like every callback of the library: the object first, then the event, user data last.
typedef void aud_socket_fn(int sock, aud_socket_set_t set, int cause, void* user);
typedef void aud_timer_fn(aud_timer_t* timer, int cause, void* user);
typedef void aud_defer_fn(void* user);
typedef uint64_t aud_defer_token_t;

// Loops are normally made by dapi_new (see dapi.h); standalone ones serve tests.
// log may be null.
aud_error_t aud_event_loop_new(aud_log_t* log, aud_event_loop_t** out);
// Refused (INVALIDSTATE) while the loop is processing. Null is harmless.
aud_error_t aud_event_loop_delete(aud_event_loop_t* loop);

// Installs the clock (null restores the system monotonic clock).
void aud_event_loop_set_clock(aud_event_loop_t* loop, aud_clock_fn* fn, void* user);
aud_utime_t aud_event_loop_now(const aud_event_loop_t* loop);

// callback null removes the watch. set above 2 or sock < 0: INVALIDPARAMETER;
// sock >= 1024 or a full set: RANGE.
aud_error_t aud_event_loop_watch_socket(aud_event_loop_t* loop, int sock, aud_socket_set_t set,
                                        aud_socket_fn* callback, void* user, aud_watch_mode_t mode);
// Number of live watches in a set (removed ones excluded).
size_t aud_event_loop_watch_count(const aud_event_loop_t* loop, aud_socket_set_t set);

// Runs callback once at the start of the next processing pass. token (optional)
// can cancel it before then.
aud_error_t aud_event_loop_defer(aud_event_loop_t* loop, aud_defer_fn* callback, void* user,
                                 aud_defer_token_t* token);
aud_error_t aud_event_loop_cancel_defer(aud_event_loop_t* loop, aud_defer_token_t token);
bool aud_event_loop_has_deferred(const aud_event_loop_t* loop);

// Loop-level socket export and processing (dante_runtime_* forward here).
// max_fd is raised to one above the highest socket added (select's first argument;
// start it at 0). sets may be null. timeout receives the wait: zero with deferred
// work pending, else up to the earliest timer, at most 60 s.
aud_error_t aud_event_loop_get_sockets(aud_event_loop_t* loop, fd_set* read_set, fd_set* write_set,
                                       int* max_fd, struct timeval* timeout);
// The ready sets are consumed: each handled socket is cleared from them.
// INVALIDSTATE when called from inside processing.
aud_error_t aud_event_loop_process(aud_event_loop_t* loop, fd_set* read_set, fd_set* write_set);
bool aud_event_loop_is_processing(const aud_event_loop_t* loop);

// Timers. A timer belongs to its loop; deleting the loop deletes its timers.
aud_error_t aud_timer_new(aud_event_loop_t* loop, aud_timer_fn* callback, void* user,
                          aud_timer_t** out);
// Safe from inside any callback, including the timer's own. Null is harmless.
aud_error_t aud_timer_delete(aud_timer_t* timer);
// Arms at an absolute time of the loop's clock. period null or zero: one-shot.
// A periodic timer re-arms at the processing time plus its period. Restarting an
// armed timer moves it.
aud_error_t aud_timer_start_at(aud_timer_t* timer, const aud_utime_t* when,
                               const aud_utime_t* period);
aud_error_t aud_timer_start_after(aud_timer_t* timer, const aud_utime_t* interval,
                                  const aud_utime_t* period);
// Convenience: milliseconds; period_ms 0 is one-shot.
aud_error_t aud_timer_start_ms(aud_timer_t* timer, uint32_t after_ms, uint32_t period_ms);
// Disarms; cancelling a disarmed timer is harmless.
aud_error_t aud_timer_cancel(aud_timer_t* timer);
bool aud_timer_is_armed(const aud_timer_t* timer);
// Deadline of an armed timer.
aud_error_t aud_timer_get_deadline(const aud_timer_t* timer, aud_utime_t* out);
void* aud_timer_get_user(const aud_timer_t* timer);

#ifdef __cplusplus
}
#endif
