// The product backend: Avahi's dns_sd.h compatibility library for browse and resolve,
// and Avahi's own client API for record queries (dt_dnssd_avahi_query.cpp).
#include <dns_sd.h>
#include <stdlib.h>

#include <mutex>
#include <new>

#include "dante/dnssd/dt_dnssd.h"
#include "dante/dnssd/dt_dnssd_avahi_query.h"

// Our names for the published values must be the published values.
static_assert(int{DT_DNSSD_FLAG_ADD} == int{kDNSServiceFlagsAdd});
static_assert(int{DT_DNSSD_ERR_UNSUPPORTED} == int{kDNSServiceErr_Unsupported});
static_assert(int{DT_DNSSD_ERR_BAD_STATE} == int{kDNSServiceErr_BadState});
static_assert(int{DT_DNSSD_ERR_BAD_PARAM} == int{kDNSServiceErr_BadParam});
static_assert(int{DT_DNSSD_TYPE_PTR} == int{kDNSServiceType_PTR});

namespace {

// The compatibility layer prints a warning at first use unless told not to; a value
// the user set stays.
void quiet_compat_layer() {
    static std::once_flag once;
    std::call_once(once, [] { setenv("AVAHI_COMPAT_NOWARN", "1", 0); });
}

struct compat_ref {
    dt_dnssd_ref_s base;
    DNSServiceRef sd;
    dt_dnssd_browse_reply browse_reply;
    dt_dnssd_resolve_reply resolve_reply;
    void* context;
    // The compatibility layer still uses its reference after the reply handler
    // returns, so a handler that deallocates its own reference only marks it here and
    // the reference is freed once processing is over.
    bool processing;
    bool release_pending;
};

const dt_dnssd_backend* backend();

compat_ref* new_ref(void* context) {
    compat_ref* r = new (std::nothrow) compat_ref{};
    if (r) {
        r->base.backend = backend();
        r->context = context;
    }
    return r;
}

void DNSSD_API on_browse(DNSServiceRef, DNSServiceFlags flags, uint32_t interface_index,
                         DNSServiceErrorType error, const char* name, const char* type,
                         const char* domain, void* context) {
    compat_ref* r = static_cast<compat_ref*>(context);
    if (!r->release_pending) {
        r->browse_reply(&r->base, flags, interface_index, error, name, type, domain, r->context);
    }
}

void DNSSD_API on_resolve(DNSServiceRef, DNSServiceFlags flags, uint32_t interface_index,
                          DNSServiceErrorType error, const char* full_name, const char* host_target,
                          uint16_t port, uint16_t txt_len, const unsigned char* txt,
                          void* context) {
    compat_ref* r = static_cast<compat_ref*>(context);
    if (!r->release_pending) {
        r->resolve_reply(&r->base, flags, interface_index, error, full_name, host_target, port,
                         txt_len, txt, r->context);
    }
}

dt_dnssd_error compat_browse(const dt_dnssd_backend*, dt_dnssd_ref* out, uint32_t flags,
                             uint32_t interface_index, const char* type, const char* domain,
                             dt_dnssd_browse_reply reply, void* context) {
    quiet_compat_layer();
    compat_ref* r = new_ref(context);
    if (!r) {
        return DT_DNSSD_ERR_NO_MEMORY;
    }
    r->browse_reply = reply;
    const DNSServiceErrorType e =
        DNSServiceBrowse(&r->sd, flags, interface_index, type, domain, on_browse, r);
    if (e != kDNSServiceErr_NoError) {
        delete r;
        return e;
    }
    *out = &r->base;
    return DT_DNSSD_NO_ERROR;
}

dt_dnssd_error compat_resolve(const dt_dnssd_backend*, dt_dnssd_ref* out, uint32_t flags,
                              uint32_t interface_index, const char* name, const char* type,
                              const char* domain, dt_dnssd_resolve_reply reply, void* context) {
    quiet_compat_layer();
    compat_ref* r = new_ref(context);
    if (!r) {
        return DT_DNSSD_ERR_NO_MEMORY;
    }
    r->resolve_reply = reply;
    const DNSServiceErrorType e =
        DNSServiceResolve(&r->sd, flags, interface_index, name, type, domain, on_resolve, r);
    if (e != kDNSServiceErr_NoError) {
        delete r;
        return e;
    }
    *out = &r->base;
    return DT_DNSSD_NO_ERROR;
}

// The compatibility layer rejects the long-lived and force-multicast flags and
// writes warning lines to standard error and syslog on every DNSServiceQueryRecord
// call; a tool that queries once per device must not do that to its user, so the
// query goes through Avahi's own client API behind the same one-socket contract.
// Queries for .local names are multicast anyway, and Avahi's record browser keeps
// following the record like a long-lived query.
dt_dnssd_error compat_query_record(const dt_dnssd_backend*, dt_dnssd_ref* out, uint32_t,
                                   uint32_t interface_index, const char* full_name, uint16_t rrtype,
                                   uint16_t rrclass, dt_dnssd_query_reply reply, void* context) {
    return dt_dnssd_avahi_query_new(out, interface_index, full_name, rrtype, rrclass, reply,
                                    context);
}

// Avahi keeps its cache itself and offers no reconfirm, neither in the compatibility
// layer (which would only print a warning) nor in its client API.
dt_dnssd_error compat_reconfirm_record(const dt_dnssd_backend*, uint32_t, uint32_t, const char*,
                                       uint16_t, uint16_t, uint16_t, const void*) {
    return DT_DNSSD_ERR_UNSUPPORTED;
}

int compat_sock_fd(dt_dnssd_ref ref) {
    compat_ref* r = reinterpret_cast<compat_ref*>(ref);
    return DNSServiceRefSockFD(r->sd);
}

void release(compat_ref* r) {
    DNSServiceRefDeallocate(r->sd);
    delete r;
}

dt_dnssd_error compat_process_result(dt_dnssd_ref ref) {
    compat_ref* r = reinterpret_cast<compat_ref*>(ref);
    if (r->processing) {
        return DT_DNSSD_ERR_BAD_STATE;
    }
    r->processing = true;
    const DNSServiceErrorType e = DNSServiceProcessResult(r->sd);
    r->processing = false;
    if (r->release_pending) {
        release(r);
    }
    return e;
}

void compat_deallocate(dt_dnssd_ref ref) {
    compat_ref* r = reinterpret_cast<compat_ref*>(ref);
    if (r->processing) {
        r->release_pending = true;
        return;
    }
    release(r);
}

const dt_dnssd_backend k_backend = {
    "avahi",
    nullptr,
    compat_browse,
    compat_resolve,
    compat_query_record,
    compat_reconfirm_record,
    compat_sock_fd,
    compat_process_result,
    compat_deallocate,
};

const dt_dnssd_backend* backend() {
    return &k_backend;
}

}  // namespace

extern "C" const dt_dnssd_backend* dt_dnssd_avahi_backend(void) {
    return backend();
}
