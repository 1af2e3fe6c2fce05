#pragma once
// A DNS-SD backend that wraps the real one and times what the browse does through it:
// how long the loop thread is held by starting a resolve, processing a reply and
// deallocating a reference, how long each resolve waits for its answer, and when the
// last browse answer arrived. It changes nothing that passes through it.
#include <algorithm>
#include <chrono>
#include <new>
#include <vector>

#include "dante/dnssd/dt_dnssd.h"

namespace browse_lab {

using timing_clock = std::chrono::steady_clock;

inline double ms_between(timing_clock::time_point a, timing_clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

struct call_stat {
    int count = 0;
    double total_ms = 0;
    double max_ms = 0;
    void add(double ms) {
        ++count;
        total_ms += ms;
        max_ms = std::max(max_ms, ms);
    }
};

struct dnssd_timing {
    timing_clock::time_point start;
    call_stat resolve_start;        // dt_dnssd_resolve
    call_stat process;              // process_result, browse and resolve references
    call_stat deallocate;           // ref_deallocate of resolves
    std::vector<double> answer_ms;  // resolve start to its first answer
    int browse_adds = 0;
    double last_add_ms = -1;  // last browse answer with the add flag
};

inline dnssd_timing& timing() {
    static dnssd_timing t;
    return t;
}

struct timed_ref {
    dt_dnssd_ref_s base;
    dt_dnssd_ref inner = nullptr;
    bool is_resolve = false;
    bool answered = false;
    timing_clock::time_point started;
    dt_dnssd_browse_reply browse_reply = nullptr;
    dt_dnssd_resolve_reply resolve_reply = nullptr;
    void* context = nullptr;
    // The browse deallocates a resolve from inside its own reply.
    bool processing = false;
    bool release_pending = false;
};

inline const dt_dnssd_backend*& inner_backend() {
    static const dt_dnssd_backend* b = nullptr;
    return b;
}

inline void timed_on_browse(dt_dnssd_ref, uint32_t flags, uint32_t iface, dt_dnssd_error error,
                            const char* name, const char* type, const char* domain, void* ctx) {
    timed_ref* t = static_cast<timed_ref*>(ctx);
    if (error == DT_DNSSD_NO_ERROR && (flags & DT_DNSSD_FLAG_ADD)) {
        ++timing().browse_adds;
        timing().last_add_ms = ms_between(timing().start, timing_clock::now());
    }
    t->browse_reply(&t->base, flags, iface, error, name, type, domain, t->context);
}

inline void timed_on_resolve(dt_dnssd_ref, uint32_t flags, uint32_t iface, dt_dnssd_error error,
                             const char* full_name, const char* host, uint16_t port,
                             uint16_t txt_len, const unsigned char* txt, void* ctx) {
    timed_ref* t = static_cast<timed_ref*>(ctx);
    if (!t->answered) {
        t->answered = true;
        timing().answer_ms.push_back(ms_between(t->started, timing_clock::now()));
    }
    t->resolve_reply(&t->base, flags, iface, error, full_name, host, port, txt_len, txt,
                     t->context);
}

const dt_dnssd_backend* timed_backend();

inline dt_dnssd_error timed_browse(const dt_dnssd_backend*, dt_dnssd_ref* out, uint32_t flags,
                                   uint32_t iface, const char* type, const char* domain,
                                   dt_dnssd_browse_reply reply, void* context) {
    timed_ref* t = new (std::nothrow) timed_ref{};
    if (!t) {
        return DT_DNSSD_ERR_NO_MEMORY;
    }
    t->base.backend = timed_backend();
    t->browse_reply = reply;
    t->context = context;
    const dt_dnssd_backend* b = inner_backend();
    const dt_dnssd_error e =
        b->browse(b, &t->inner, flags, iface, type, domain, timed_on_browse, t);
    if (e != DT_DNSSD_NO_ERROR) {
        delete t;
        return e;
    }
    *out = &t->base;
    return e;
}

inline dt_dnssd_error timed_resolve(const dt_dnssd_backend*, dt_dnssd_ref* out, uint32_t flags,
                                    uint32_t iface, const char* name, const char* type,
                                    const char* domain, dt_dnssd_resolve_reply reply,
                                    void* context) {
    timed_ref* t = new (std::nothrow) timed_ref{};
    if (!t) {
        return DT_DNSSD_ERR_NO_MEMORY;
    }
    t->base.backend = timed_backend();
    t->is_resolve = true;
    t->resolve_reply = reply;
    t->context = context;
    const dt_dnssd_backend* b = inner_backend();
    const timing_clock::time_point before = timing_clock::now();
    const dt_dnssd_error e =
        b->resolve(b, &t->inner, flags, iface, name, type, domain, timed_on_resolve, t);
    t->started = timing_clock::now();
    timing().resolve_start.add(ms_between(before, t->started));
    if (e != DT_DNSSD_NO_ERROR) {
        delete t;
        return e;
    }
    *out = &t->base;
    return e;
}

inline dt_dnssd_error timed_query(const dt_dnssd_backend*, dt_dnssd_ref* out, uint32_t flags,
                                  uint32_t iface, const char* full_name, uint16_t rrtype,
                                  uint16_t rrclass, dt_dnssd_query_reply reply, void* context) {
    const dt_dnssd_backend* b = inner_backend();
    return b->query_record(b, out, flags, iface, full_name, rrtype, rrclass, reply, context);
}

inline dt_dnssd_error timed_reconfirm(const dt_dnssd_backend*, uint32_t flags, uint32_t iface,
                                      const char* full_name, uint16_t rrtype, uint16_t rrclass,
                                      uint16_t rdlen, const void* rdata) {
    const dt_dnssd_backend* b = inner_backend();
    return b->reconfirm_record(b, flags, iface, full_name, rrtype, rrclass, rdlen, rdata);
}

inline int timed_sock_fd(dt_dnssd_ref ref) {
    return dt_dnssd_ref_sock_fd(reinterpret_cast<timed_ref*>(ref)->inner);
}

inline void timed_free(timed_ref* t) {
    const timing_clock::time_point before = timing_clock::now();
    dt_dnssd_ref_deallocate(t->inner);
    if (t->is_resolve) {
        timing().deallocate.add(ms_between(before, timing_clock::now()));
    }
    delete t;
}

inline dt_dnssd_error timed_process(dt_dnssd_ref ref) {
    timed_ref* t = reinterpret_cast<timed_ref*>(ref);
    if (t->processing) {
        return DT_DNSSD_ERR_BAD_STATE;
    }
    t->processing = true;
    const timing_clock::time_point before = timing_clock::now();
    const dt_dnssd_error e = dt_dnssd_process_reply(t->inner);
    timing().process.add(ms_between(before, timing_clock::now()));
    t->processing = false;
    if (t->release_pending) {
        timed_free(t);
    }
    return e;
}

inline void timed_deallocate(dt_dnssd_ref ref) {
    timed_ref* t = reinterpret_cast<timed_ref*>(ref);
    if (t->processing) {
        t->release_pending = true;
        return;
    }
    timed_free(t);
}

inline const dt_dnssd_backend* timed_backend() {
    static const dt_dnssd_backend b = {
        "timed",         nullptr,       timed_browse,  timed_resolve,    timed_query,
        timed_reconfirm, timed_sock_fd, timed_process, timed_deallocate,
    };
    return &b;
}

// Puts the timing backend in front of the current one and clears the figures; the
// start of the clock is the caller's.
inline void install_timing(timing_clock::time_point start) {
    if (!inner_backend()) {
        inner_backend() = dt_dnssd_get_backend();
        dt_dnssd_set_backend(timed_backend());
    }
    timing() = dnssd_timing{};
    timing().start = start;
}

}  // namespace browse_lab
