#pragma once
// Library log object: a name, an overall level and one level per destination. A
// message is written when its level is at or below the overall level, and to each
// destination whose own level is at or above it. All levels start at NONE, so
// nothing is logged until a level is raised. Library lines start with the
// operation's name and a colon.
#include <netinet/in.h>
#include <stdarg.h>
#include <stdbool.h>
#include <stddef.h>
#include <time.h>

#include "dante/runtime/aud_error.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef enum aud_log_level {
    AUD_LOG_NONE = 0,
    AUD_LOG_CRITICAL = 1,
    AUD_LOG_ERROR = 2,
    AUD_LOG_WARNING = 3,
    AUD_LOG_NOTICE = 4,
    AUD_LOG_INFO = 5,
    AUD_LOG_DEBUG = 6,
    AUD_LOG_VERBOSE = 7,
} aud_log_level_t;

typedef enum aud_log_dest {
    AUD_LOG_DEST_NETWORK = 0,
    AUD_LOG_DEST_STDOUT = 1,
    AUD_LOG_DEST_STDERR = 2,
    AUD_LOG_DEST_FILE = 3,
    AUD_LOG_DEST_DEBUGGER = 4,  // syslog-free stand-in: written to standard error
    AUD_LOG_DEST_CALLBACK = 5,
    AUD_LOG_DEST_COUNT = 6,
} aud_log_dest_t;

// Largest formatted message; longer ones are cut.
#define AUD_LOG_MESSAGE_MAX 16384
// Largest network log datagram; a longer line continues in further datagrams.
#define AUD_LOG_DATAGRAM_MAX 1458
#define AUD_LOG_NETWORK_DESTS 2
// "%15.15s" of ctime characters 5 to 19, plus the terminator.
#define AUD_LOG_TIMESTAMP_SIZE 16

typedef struct aud_log aud_log_t;

// timestamp is null when the callback destination has timestamps off.
typedef void aud_log_fn(aud_log_t* log, const char* timestamp, aud_log_level_t level,
                        const char* message, size_t length, void* user);

// name may be null (a log without a name).
aud_error_t aud_log_new(const char* name, aud_log_t** out);
// Null is harmless.
aud_error_t aud_log_delete(aud_log_t* log);

const char* aud_log_get_name(const aud_log_t* log);
// "None" .. "Verbose"; "Undef" above Verbose.
const char* aud_log_level_name(int level);

aud_error_t aud_log_set_level(aud_log_t* log, aud_log_level_t level);
aud_log_level_t aud_log_get_level(const aud_log_t* log);
aud_error_t aud_log_set_dest_level(aud_log_t* log, aud_log_dest_t dest, aud_log_level_t level);
aud_log_level_t aud_log_get_dest_level(const aud_log_t* log, aud_log_dest_t dest);
// Timestamps are on by default for standard output, standard error and file.
aud_error_t aud_log_set_timestamp(aud_log_t* log, aud_log_dest_t dest, bool enabled);

// Appends to path (null closes the file).
aud_error_t aud_log_set_file(aud_log_t* log, const char* path);
aud_error_t aud_log_set_callback(aud_log_t* log, aud_log_fn* fn, void* user);
// slot 0 or 1; dest null clears the slot. The log owns one UDP socket for both.
aud_error_t aud_log_set_network_dest(aud_log_t* log, unsigned slot, const struct sockaddr_in* dest);

// True when a message of this level would reach at least one destination; lets
// callers skip expensive formatting.
bool aud_log_enabled(const aud_log_t* log, aud_log_level_t level);

void aud_log_printf(aud_log_t* log, aud_log_level_t level, const char* fmt, ...)
    __attribute__((format(printf, 3, 4)));
void aud_log_vprintf(aud_log_t* log, aud_log_level_t level, const char* fmt, va_list args)
    __attribute__((format(printf, 3, 0)));

// The 15-character timestamp of t ("Jun  3 21:49:08"), into out[16].
void aud_log_format_timestamp(time_t t, char out[AUD_LOG_TIMESTAMP_SIZE]);

#ifdef __cplusplus
}
#endif
