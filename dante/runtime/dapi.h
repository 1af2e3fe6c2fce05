#pragma once
// The API handle: made first by the application, it owns the environment (log object
// and event loop), the runtime that exports the loop's sockets, and the domain
// handler. Everything else in the library hangs off these.
#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>
#include <sys/select.h>

#include "dante/runtime/aud_error.h"
#include "dante/runtime/aud_event_loop.h"
#include "dante/runtime/aud_log.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct dapi dapi_t;
typedef struct aud_env aud_env_t;
typedef struct dante_runtime dante_runtime_t;
typedef struct dapi_domain_handler dapi_domain_handler_t;
typedef struct dapi_domain_registration dapi_domain_registration_t;

// Platform start-up (shared, counted), environment with a new log and event loop,
// runtime, domain handler. Any failure frees what was made and returns the error.
aud_error_t dapi_new(dapi_t** out);
// Frees in reverse order. INVALIDSTATE while the event loop is processing. Null is
// harmless.
aud_error_t dapi_delete(dapi_t* api);

aud_env_t* dapi_get_env(dapi_t* api);
dante_runtime_t* dapi_get_runtime(dapi_t* api);
dapi_domain_handler_t* dapi_get_domain_handler(dapi_t* api);

// The process-wide default environment (log, no event loop), counted: each setup
// takes a reference, each aud_env_release drops one.
aud_error_t aud_env_setup(aud_env_t** out);
// For the default environment drops one reference (the last frees its log and stops
// the platform). An environment made by dapi_new is refused: INVALIDPARAMETER and
// "Error: This env cannot be cleaned up using aud_env_release!" on standard error.
aud_error_t aud_env_release(aud_env_t* env);
aud_log_t* aud_env_get_log(aud_env_t* env);
// Null for the default environment.
aud_event_loop_t* aud_env_get_event_loop(aud_env_t* env);
// Now on the environment's clock (the event loop's, or the system clock without one).
aud_utime_t aud_env_now(aud_env_t* env);

dante_runtime_t* dante_runtime_from_env(aud_env_t* env);
aud_env_t* dante_runtime_get_env(dante_runtime_t* runtime);

// Copies the watched sockets of set 0 into read_set and of set 1 into write_set
// (no duplicates, at most 1024 each) and raises *max_fd to one above the highest
// (select's first argument; start it at 0). timeout receives the wait: the earliest
// timer deadline or 60 s, zero when deferred work is pending or a timer is due.
// Sets may be null.
aud_error_t dante_runtime_get_sockets(dante_runtime_t* runtime, fd_set* read_set, fd_set* write_set,
                                      int* max_fd, struct timeval* timeout);
// Handles the ready sets (consuming them) then deferred work and timers.
// INVALIDPARAMETER without runtime; INVALIDSTATE without event loop or when called
// from inside processing.
aud_error_t dante_runtime_process_sockets(dante_runtime_t* runtime, fd_set* read_set,
                                          fd_set* write_set);
// One get_sockets + select (at most max_wait_ms) + process_sockets step; for tests,
// tools and benchmarks that do not run their own select.
aud_error_t dante_runtime_run_once(dante_runtime_t* runtime, uint32_t max_wait_ms);

// Domain identity: 16 bytes and a flags word. Sixteen 0xFF bytes are the ad-hoc
// domain (flags 3); sixteen zero bytes mean not yet known.
#define DAPI_DOMAIN_ID_SIZE 16
#define DAPI_DOMAIN_FLAGS_ADHOC 3u

typedef struct dapi_domain_identity {
    uint8_t id[DAPI_DOMAIN_ID_SIZE];
    uint32_t flags;
} dapi_domain_identity_t;

typedef enum dapi_domain_event {
    DAPI_DOMAIN_EVENT_BEFORE_CHANGE = 0,
    DAPI_DOMAIN_EVENT_AFTER_CHANGE = 1,
    DAPI_DOMAIN_EVENT_HANDLER_STATE = 2,
    DAPI_DOMAIN_EVENT_FLAGS_CHANGED = 3,
} dapi_domain_event_t;

typedef void dapi_domain_fn(dapi_domain_handler_t* handler, dapi_domain_event_t kind, void* user);

void dapi_domain_identity_adhoc(dapi_domain_identity_t* out);
bool dapi_domain_identity_is_adhoc(const dapi_domain_identity_t* identity);
bool dapi_domain_identity_is_unknown(const dapi_domain_identity_t* identity);

// The handler starts in the ad-hoc domain.
aud_error_t dapi_domain_handler_get_identity(const dapi_domain_handler_t* handler,
                                             dapi_domain_identity_t* out);
// A new id notifies kind 0 before and kind 1 after the change; the same id with new
// flags notifies kind 3; an identical identity notifies nothing.
aud_error_t dapi_domain_handler_set_identity(dapi_domain_handler_t* handler,
                                             const dapi_domain_identity_t* identity);
// Tells every registered component that the handler's own state changed (kind 2).
aud_error_t dapi_domain_handler_notify_state(dapi_domain_handler_t* handler);

// Components (ConMon client, browse, routing devices) register here. The API's
// information provider reports kind 2 to each registering component, from inside
// this call once *out is set. Unregistering during a notification is safe.
aud_error_t dapi_domain_handler_register(dapi_domain_handler_t* handler, dapi_domain_fn* fn,
                                         void* user, dapi_domain_registration_t** out);
aud_error_t dapi_domain_handler_unregister(dapi_domain_handler_t* handler,
                                           dapi_domain_registration_t* registration);
size_t dapi_domain_handler_registration_count(const dapi_domain_handler_t* handler);

#ifdef __cplusplus
}
#endif
