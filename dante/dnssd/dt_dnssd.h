#pragma once
// The library's only way to DNS-SD. Browse and routing reach the service discovery
// component through these calls, which dispatch to a replaceable backend: Avahi's
// client API in the product, a scripted fake in tests.
//
// Error values are those of the published DNS Service Discovery interface: 0 or a
// negative kDNSServiceErr_* value. Every reference owns one pollable socket; its
// replies are delivered only inside dt_dnssd_process_reply, on the caller's thread.
#include <stddef.h>
#include <stdint.h>

#include "dante/runtime/aud_log.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t dt_dnssd_error;

enum {
    DT_DNSSD_NO_ERROR = 0,
    DT_DNSSD_ERR_UNKNOWN = -65537,
    DT_DNSSD_ERR_NO_SUCH_NAME = -65538,
    DT_DNSSD_ERR_NO_MEMORY = -65539,
    DT_DNSSD_ERR_BAD_PARAM = -65540,
    DT_DNSSD_ERR_BAD_REFERENCE = -65541,
    DT_DNSSD_ERR_BAD_STATE = -65542,
    DT_DNSSD_ERR_BAD_FLAGS = -65543,
    DT_DNSSD_ERR_UNSUPPORTED = -65544,
    DT_DNSSD_ERR_NOT_INITIALIZED = -65545,
    DT_DNSSD_ERR_INVALID = -65549,
    DT_DNSSD_ERR_BAD_INTERFACE_INDEX = -65552,
    DT_DNSSD_ERR_NO_SUCH_RECORD = -65554,
    // The DNS-SD daemon is not running (it stopped, or never started).
    DT_DNSSD_ERR_SERVICE_NOT_RUNNING = -65563,
};

enum {
    DT_DNSSD_FLAG_MORE_COMING = 0x1,
    DT_DNSSD_FLAG_ADD = 0x2,
    DT_DNSSD_FLAG_LONG_LIVED_QUERY = 0x100,
    DT_DNSSD_FLAG_FORCE_MULTICAST = 0x400,
};

enum {
    DT_DNSSD_TYPE_A = 1,
    DT_DNSSD_TYPE_PTR = 12,
    DT_DNSSD_CLASS_IN = 1,
};

// Size of a buffer for dt_dnssd_construct_full_name.
#define DT_DNSSD_MAX_DOMAIN_NAME 1009
// Size of an instance name buffer, terminator included.
#define DT_DNSSD_MAX_SERVICE_NAME 64

typedef struct dt_dnssd_backend dt_dnssd_backend;

// Every reference starts with this header, so that calls on a reference reach the
// backend that made it even if the current backend has been replaced since.
typedef struct dt_dnssd_ref_s {
    const dt_dnssd_backend* backend;
} dt_dnssd_ref_s;
typedef dt_dnssd_ref_s* dt_dnssd_ref;

// flags: DT_DNSSD_FLAG_ADD set when the instance appeared, clear when it went away.
typedef void (*dt_dnssd_browse_reply)(dt_dnssd_ref ref, uint32_t flags, uint32_t interface_index,
                                      dt_dnssd_error error, const char* name, const char* type,
                                      const char* domain, void* context);
// port is in network byte order.
typedef void (*dt_dnssd_resolve_reply)(dt_dnssd_ref ref, uint32_t flags, uint32_t interface_index,
                                       dt_dnssd_error error, const char* full_name,
                                       const char* host_target, uint16_t port, uint16_t txt_len,
                                       const unsigned char* txt, void* context);
typedef void (*dt_dnssd_query_reply)(dt_dnssd_ref ref, uint32_t flags, uint32_t interface_index,
                                     dt_dnssd_error error, const char* full_name, uint16_t rrtype,
                                     uint16_t rrclass, uint16_t rdlen, const void* rdata,
                                     uint32_t ttl, void* context);

// A DNS-SD implementation. `self` is handed back to the creating operations.
struct dt_dnssd_backend {
    const char* name;
    void* self;
    dt_dnssd_error (*browse)(const dt_dnssd_backend* b, dt_dnssd_ref* out, uint32_t flags,
                             uint32_t interface_index, const char* type, const char* domain,
                             dt_dnssd_browse_reply reply, void* context);
    dt_dnssd_error (*resolve)(const dt_dnssd_backend* b, dt_dnssd_ref* out, uint32_t flags,
                              uint32_t interface_index, const char* name, const char* type,
                              const char* domain, dt_dnssd_resolve_reply reply, void* context);
    dt_dnssd_error (*query_record)(const dt_dnssd_backend* b, dt_dnssd_ref* out, uint32_t flags,
                                   uint32_t interface_index, const char* full_name, uint16_t rrtype,
                                   uint16_t rrclass, dt_dnssd_query_reply reply, void* context);
    dt_dnssd_error (*reconfirm_record)(const dt_dnssd_backend* b, uint32_t flags,
                                       uint32_t interface_index, const char* full_name,
                                       uint16_t rrtype, uint16_t rrclass, uint16_t rdlen,
                                       const void* rdata);
    int (*ref_sock_fd)(dt_dnssd_ref ref);
    dt_dnssd_error (*process_result)(dt_dnssd_ref ref);
    void (*ref_deallocate)(dt_dnssd_ref ref);
};

// The backend in use: Avahi's unless a test installed another. Returns the previous.
const dt_dnssd_backend* dt_dnssd_set_backend(const dt_dnssd_backend* backend);
const dt_dnssd_backend* dt_dnssd_get_backend(void);
const dt_dnssd_backend* dt_dnssd_avahi_backend(void);

dt_dnssd_error dt_dnssd_browse(dt_dnssd_ref* out, uint32_t flags, uint32_t interface_index,
                               const char* type, const char* domain, dt_dnssd_browse_reply reply,
                               void* context);
dt_dnssd_error dt_dnssd_resolve(dt_dnssd_ref* out, uint32_t flags, uint32_t interface_index,
                                const char* name, const char* type, const char* domain,
                                dt_dnssd_resolve_reply reply, void* context);
dt_dnssd_error dt_dnssd_query_record(dt_dnssd_ref* out, uint32_t flags, uint32_t interface_index,
                                     const char* full_name, uint16_t rrtype, uint16_t rrclass,
                                     dt_dnssd_query_reply reply, void* context);
dt_dnssd_error dt_dnssd_reconfirm_record(uint32_t flags, uint32_t interface_index,
                                         const char* full_name, uint16_t rrtype, uint16_t rrclass,
                                         uint16_t rdlen, const void* rdata);
// -1 for a null reference.
int dt_dnssd_ref_sock_fd(dt_dnssd_ref ref);
// Runs the handlers of the replies waiting (DNSServiceProcessResult).
dt_dnssd_error dt_dnssd_process_reply(dt_dnssd_ref ref);
// Null is ignored.
void dt_dnssd_ref_deallocate(dt_dnssd_ref ref);

// "instance.type.domain." with the instance's dots and backslashes escaped; service
// may be null. `full_name` holds DT_DNSSD_MAX_DOMAIN_NAME bytes. 0 on success, -1 when
// an argument is missing or the name does not fit.
int dt_dnssd_construct_full_name(char* full_name, const char* service, const char* type,
                                 const char* domain);

// Reads the reply waiting on a reference's socket, as the event loop reports it:
// checks that `socket` is the reference's own (else logs and returns
// DT_DNSSD_ERR_BAD_PARAM), peeks one byte without removing it (a read error returns
// the mapped library error, nothing to read returns DT_DNSSD_ERR_BAD_STATE) and then
// processes the reply. Any non-zero result means the DNS-SD system failed.
int32_t dt_dns_sd_process_result(aud_log_t* log, int socket, dt_dnssd_ref ref);

#ifdef __cplusplus
}
#endif
