// The ad-hoc browse: DNS-SD browses, the resolve queue and the processing pass.
#include "dante/browse/internal/db_adhoc_browse.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <new>
#include <string>

#include "dante/runtime/aud_interface.h"

namespace {

const char k_domain[] = "local";

void on_socket(int sock, aud_socket_set_t, int, void* user);
void on_timer(aud_timer_t*, int, void* user);
void run_pass(void* user);

void schedule_pass(db_adhoc_browse* adhoc) {
    if (adhoc->pass_scheduled) {
        return;
    }
    if (aud_event_loop_defer(adhoc->browse->loop, run_pass, adhoc, &adhoc->pass_token) ==
        AUD_SUCCESS) {
        adhoc->pass_scheduled = true;
    }
}

void on_socket(int sock, aud_socket_set_t, int, void* user) {
    db_adhoc_browse* adhoc = static_cast<db_adhoc_browse*>(user);
    FD_SET(sock, &adhoc->ready);
    schedule_pass(adhoc);
}

void on_timer(aud_timer_t*, int, void* user) {
    schedule_pass(static_cast<db_adhoc_browse*>(user));
}

aud_error_t watch(db_adhoc_browse* adhoc, int sock) {
    adhoc->sockets_changed = true;
    return aud_event_loop_watch_socket(adhoc->browse->loop, sock, AUD_SOCKET_SET_READ, on_socket,
                                       adhoc, AUD_WATCH_ADD_OR_CHANGE);
}

void unwatch(db_adhoc_browse* adhoc, int sock) {
    if (sock >= 0) {
        aud_event_loop_watch_socket(adhoc->browse->loop, sock, AUD_SOCKET_SET_READ, nullptr,
                                    nullptr, AUD_WATCH_ADD_OR_CHANGE);
        if (sock < FD_SETSIZE) {
            FD_CLR(sock, &adhoc->ready);
        }
        adhoc->sockets_changed = true;
    }
}

uint32_t network_interface(const db_adhoc_browse* adhoc, unsigned network) {
    if (network < adhoc->config.num_networks) {
        return adhoc->config.interface_indexes[network];
    }
    return network == adhoc->config.num_networks ? adhoc->loopback_index : 0;
}

// Ends a resolve: its reference is deallocated, its socket leaves the loop and the
// record waits for the end of the pass.
void release(db_resolve* r) {
    db_adhoc_browse* adhoc = r->adhoc;
    if (r->state == DB_RESOLVE_FINISHED) {
        return;
    }
    if (r->state == DB_RESOLVE_ACTIVE) {
        unwatch(adhoc, r->sock);
        dt_dnssd_ref_deallocate(r->ref);
        r->ref = nullptr;
        r->sock = -1;
        adhoc->active.erase(std::find(adhoc->active.begin(), adhoc->active.end(), r));
    } else if (r->state == DB_RESOLVE_WAITING) {
        adhoc->waiting.erase(std::find(adhoc->waiting.begin(), adhoc->waiting.end(), r));
    } else {
        adhoc->pending.erase(std::find(adhoc->pending.begin(), adhoc->pending.end(), r));
    }
    r->state = DB_RESOLVE_FINISHED;
    adhoc->finished.push_back(r);
}

db_resolve* find_waiting(db_adhoc_browse* adhoc, unsigned network, const db_service_type* type,
                         const char* name) {
    for (db_resolve* r : adhoc->waiting) {
        if (r->network == network && r->type == type && strcmp(r->name, name) == 0) {
            return r;
        }
    }
    return nullptr;
}

db_resolve* find_record(db_adhoc_browse* adhoc, unsigned network, const db_service_type* type,
                        const char* name, bool pending) {
    auto match = [&](const db_resolve* r) {
        return r->network == network && r->type == type && strcmp(r->name, name) == 0;
    };
    if (pending) {
        auto it = std::find_if(adhoc->pending.begin(), adhoc->pending.end(), match);
        return it == adhoc->pending.end() ? nullptr : *it;
    }
    auto it = std::find_if(adhoc->active.begin(), adhoc->active.end(), match);
    return it == adhoc->active.end() ? nullptr : *it;
}

db_resolve* new_record(db_adhoc_browse* adhoc, unsigned network, const db_service_type* type,
                       const char* name) {
    db_resolve* r = nullptr;
    if (!adhoc->spare.empty()) {
        r = adhoc->spare.back();
        adhoc->spare.pop_back();
    } else {
        r = new (std::nothrow) db_resolve();
        if (!r) {
            return nullptr;
        }
    }
    *r = db_resolve{};
    r->adhoc = adhoc;
    r->network = network;
    r->type = type;
    strncpy(r->name, name, sizeof r->name - 1);
    r->sock = -1;
    return r;
}

aud_error_t queue_resolve(db_adhoc_browse* adhoc, unsigned network, const db_service_type* type,
                          const char* name) {
    // DNS-SD may announce an instance again; one resolve of it at a time is enough.
    if (find_record(adhoc, network, type, name, true) ||
        find_record(adhoc, network, type, name, false)) {
        return AUD_SUCCESS;
    }
    // Announced again while waiting to be retried: no reason to wait any longer.
    if (db_resolve* w = find_waiting(adhoc, network, type, name)) {
        try {
            adhoc->pending.push_back(w);
        } catch (const std::bad_alloc&) {
            return AUD_ERR_NOMEMORY;
        }
        adhoc->waiting.erase(std::find(adhoc->waiting.begin(), adhoc->waiting.end(), w));
        w->state = DB_RESOLVE_PENDING;
        w->backoff_sec = 0;
        return AUD_SUCCESS;
    }
    db_resolve* r = new_record(adhoc, network, type, name);
    if (!r) {
        return AUD_ERR_NOMEMORY;
    }
    r->state = DB_RESOLVE_PENDING;
    try {
        adhoc->pending.push_back(r);
    } catch (const std::bad_alloc&) {
        delete r;
        return AUD_ERR_NOMEMORY;
    }
    return AUD_SUCCESS;
}

// The DNS-SD service went away; said once, acted on at the end of the pass.
void lose_service(db_adhoc_browse* adhoc, const char* fn) {
    adhoc->pass_error = AUD_ERR_NOTRUNNING;
    if (adhoc->service_lost) {
        return;
    }
    adhoc->service_lost = true;
    DB_LOG(adhoc, AUD_LOG_ERROR,
           "%s: DNS-SD service not running (dnssd err=%d); browsing stops until it is started "
           "again",
           fn, static_cast<int>(DT_DNSSD_ERR_SERVICE_NOT_RUNNING));
}

bool map_network(db_adhoc_browse* adhoc, uint32_t iface, unsigned* network) {
    db_browse_config_t& c = adhoc->config;
    for (unsigned n = 0; n < c.num_networks; ++n) {
        if ((c.network_mask & (1u << n)) && c.interface_indexes[n] == iface) {
            *network = n;
            return true;
        }
    }
    // The loopback interface is the extra network, never a real one.
    const bool loopback = adhoc->loopback_index != 0 && iface == adhoc->loopback_index;
    for (unsigned n = 0; n < c.num_networks && !loopback; ++n) {
        if ((c.network_mask & (1u << n)) && c.interface_indexes[n] == 0) {
            DB_LOG(adhoc, AUD_LOG_NOTICE,
                   "%s: No interface index filter defined for network %u, setting interface "
                   "index to %d",
                   "db_dnssd_browse", n, static_cast<int>(iface));
            c.interface_indexes[n] = iface;
            *network = n;
            return true;
        }
    }
    if (loopback && c.accept_loopback) {
        *network = c.num_networks;
        return true;
    }
    return false;
}

void db_dnssd_browse(dt_dnssd_ref, uint32_t flags, uint32_t iface, dt_dnssd_error error,
                     const char* name, const char* type_name, const char* domain, void* context) {
    db_adhoc_browse* adhoc = static_cast<db_adhoc_browse*>(context);
    name = name ? name : "";
    type_name = type_name ? type_name : "";
    domain = domain ? domain : "";
    if (error == DT_DNSSD_ERR_SERVICE_NOT_RUNNING) {
        lose_service(adhoc, __func__);
        return;
    }
    if (error != DT_DNSSD_NO_ERROR) {
        DB_LOG(adhoc, AUD_LOG_ERROR, "%s: browse %s.%s.%s failed: %d", __func__, name, type_name,
               domain, static_cast<int>(error));
        adhoc->pass_error = AUD_ERR_DNSSDFAIL;
        return;
    }
    unsigned network = 0;
    if (!map_network(adhoc, iface, &network)) {
        DB_LOG(adhoc, AUD_LOG_DEBUG,
               "%s: Ignoring advertisement %s.%s.%s flags=0x%08x on invalid interface index %d",
               __func__, name, type_name, domain, flags, static_cast<int>(iface));
        return;
    }
    const db_service_type* type = db_service_type_by_name(type_name);
    if (!type) {
        DB_LOG(adhoc, AUD_LOG_WARNING, "%s: unknown service type %s", __func__, type_name);
        return;
    }
    const size_t len = strnlen(name, DT_DNSSD_MAX_SERVICE_NAME);
    if (len == 0 || len > type->longest_name) {
        DB_LOG(adhoc, AUD_LOG_WARNING, "%s: Ignoring invalid name \"%s\" for service type %s",
               __func__, name, type_name);
        return;
    }
    if (flags & DT_DNSSD_FLAG_ADD) {
        const aud_error_t e = queue_resolve(adhoc, network, type, name);
        if (e != AUD_SUCCESS) {
            adhoc->pass_error = e;
        }
        return;
    }
    if (type->bit == DB_TYPE_CONMON_DEVICE) {
        db_adhoc_browse_conmon_device_lost(adhoc, network, name);
    }
    if (db_resolve* r = find_record(adhoc, network, type, name, false)) {
        release(r);
    }
    // A queued resolve of a vanished instance would only run into its timeout.
    if (db_resolve* r = find_record(adhoc, network, type, name, true)) {
        release(r);
    }
    if (db_resolve* r = find_waiting(adhoc, network, type, name)) {
        release(r);
    }
}

void db_dnssd_resolve(dt_dnssd_ref, uint32_t, uint32_t iface, dt_dnssd_error error, const char*,
                      const char* host_target, uint16_t port, uint16_t txt_len,
                      const unsigned char* txt, void* context) {
    db_resolve* r = static_cast<db_resolve*>(context);
    db_adhoc_browse* adhoc = r->adhoc;
    if (r->state != DB_RESOLVE_ACTIVE) {
        return;
    }
    if (error == DT_DNSSD_ERR_SERVICE_NOT_RUNNING) {
        lose_service(adhoc, __func__);
        release(r);
        return;
    }
    if (error != DT_DNSSD_NO_ERROR) {
        DB_LOG(adhoc, AUD_LOG_ERROR, "%s: Error resolving '%s' using socket %d (dns error=%d)",
               __func__, r->name, r->sock, static_cast<int>(error));
        adhoc->pass_error = AUD_ERR_DNSSDFAIL;
        release(r);
        return;
    }
    const uint32_t expected = network_interface(adhoc, r->network);
    if (iface != expected) {
        DB_LOG(adhoc, AUD_LOG_DEBUG, "%s: ignoring resolve for %s on interface %u (not %u)",
               __func__, r->name, iface, expected);
        return;
    }
    char host[DB_HOST_NAME_SIZE];
    size_t n = 0;
    for (const char* p = host_target ? host_target : ""; *p && *p != '.' && n < sizeof host - 1;
         ++p) {
        host[n++] = *p;
    }
    host[n] = '\0';
    const uint16_t host_port = static_cast<uint16_t>((port & 0xFF) << 8 | port >> 8);
    DB_LOG(adhoc, AUD_LOG_INFO,
           "%s: Resolved '%s' on network %u using socket %d (hosttarget=%s port=%d)", __func__,
           r->name, r->network, r->sock, host, host_port);
    if (r->type->bit == DB_TYPE_CONMON_DEVICE) {
        db_adhoc_browse_conmon_device_resolved(adhoc, r, host, host_port, txt_len, txt);
    }
    release(r);
}

aud_error_t db_resolve_resolve(db_resolve* r, aud_utime_t now) {
    db_adhoc_browse* adhoc = r->adhoc;
    if (r->state == DB_RESOLVE_ACTIVE) {
        DB_LOG(adhoc, AUD_LOG_ERROR, "Error resolving %s: already resolving", r->name);
        return AUD_ERR_INVALIDSTATE;
    }
    dt_dnssd_ref ref = nullptr;
    const dt_dnssd_error e =
        dt_dnssd_resolve(&ref, 0, network_interface(adhoc, r->network), r->name,
                         r->type->dnssd_type, k_domain, db_dnssd_resolve, r);
    if (e == DT_DNSSD_ERR_SERVICE_NOT_RUNNING) {
        lose_service(adhoc, __func__);
        return AUD_ERR_NOTRUNNING;
    }
    if (e != DT_DNSSD_NO_ERROR) {
        DB_LOG(adhoc, AUD_LOG_ERROR, "Error resolving %s: %d", r->name, static_cast<int>(e));
        return AUD_ERR_DNSSDFAIL;
    }
    const int sock = dt_dnssd_ref_sock_fd(ref);
    if (sock < 0 || watch(adhoc, sock) != AUD_SUCCESS) {
        DB_LOG(adhoc, AUD_LOG_ERROR, "Error resolving %s: %d", r->name, sock);
        dt_dnssd_ref_deallocate(ref);
        return AUD_ERR_DNSSDFAIL;
    }
    adhoc->pending.erase(std::find(adhoc->pending.begin(), adhoc->pending.end(), r));
    adhoc->active.push_back(r);
    r->ref = ref;
    r->sock = sock;
    r->state = DB_RESOLVE_ACTIVE;
    const aud_utime_t timeout =
        aud_utime_make(adhoc->config.resolve_timeout_sec,
                       static_cast<int32_t>(adhoc->config.resolve_timeout_usec % 1000000));
    r->deadline = aud_utime_add(now, timeout);
    DB_LOG(adhoc, AUD_LOG_INFO, "%s: resolve '%s' initiated using socket %d", __func__, r->name,
           sock);
    return AUD_SUCCESS;
}

// Waits before resolving again an instance whose resolve timed out, doubling up to
// a limit while it stays silent.
const uint32_t k_first_retry_sec = 2;
const uint32_t k_longest_retry_sec = 60;

void time_out(db_resolve* r, aud_utime_t now) {
    db_adhoc_browse* adhoc = r->adhoc;
    DB_LOG(adhoc, AUD_LOG_WARNING, "%s: Resolve %s/%s (%s) timed out, removing and reconfirming",
           "db_adhoc_browse_process_fdset", r->name, r->type->dnssd_type, r->type->description);
    const uint32_t iface = network_interface(adhoc, r->network);
    char full_name[DT_DNSSD_MAX_DOMAIN_NAME];
    std::string name(r->name);
    const db_service_type* type = r->type;
    const unsigned network = r->network;
    const uint32_t backoff = r->backoff_sec;
    release(r);
    if (dt_dnssd_construct_full_name(full_name, name.c_str(), type->dnssd_type, k_domain) != 0) {
        return;
    }
    const dt_dnssd_error e = dt_dnssd_reconfirm_record(0, iface, full_name, DT_DNSSD_TYPE_PTR,
                                                       DT_DNSSD_CLASS_IN, 0, nullptr);
    if (e == DT_DNSSD_NO_ERROR) {
        return;  // the daemon drops the record, or announces it again
    }
    // Avahi offers no reconfirm and would keep the instance in its cache (for the
    // PTR record's lifetime) without announcing it again: resolve it again later.
    db_resolve* w = new_record(adhoc, network, type, name.c_str());
    if (!w) {
        adhoc->pass_error = AUD_ERR_NOMEMORY;
        return;
    }
    w->backoff_sec = backoff ? std::min(backoff * 2, k_longest_retry_sec) : k_first_retry_sec;
    w->retry_at = aud_utime_add(now, aud_utime_make(w->backoff_sec, 0));
    w->state = DB_RESOLVE_WAITING;
    try {
        adhoc->waiting.push_back(w);
    } catch (const std::bad_alloc&) {
        delete w;
        adhoc->pass_error = AUD_ERR_NOMEMORY;
        return;
    }
    DB_LOG(adhoc, AUD_LOG_INFO,
           "%s: reconfirm of %s not done (dnssd err=%d), resolving again in %u s",
           "db_adhoc_browse_process_fdset", full_name, static_cast<int>(e),
           static_cast<unsigned>(w->backoff_sec));
}

// Ends every browse and resolve once the DNS-SD service is gone: their references
// would only fail again. The tree stays as it was.
void halt(db_adhoc_browse* adhoc) {
    for (db_type_browse& tb : adhoc->type_browses) {
        unwatch(adhoc, tb.sock);
        dt_dnssd_ref_deallocate(tb.ref);
    }
    adhoc->type_browses.clear();
    while (!adhoc->active.empty()) {
        release(adhoc->active.back());
    }
    while (!adhoc->pending.empty()) {
        release(adhoc->pending.back());
    }
    while (!adhoc->waiting.empty()) {
        release(adhoc->waiting.back());
    }
    adhoc->halted = true;
}

bool take_ready(db_adhoc_browse* adhoc, int sock) {
    if (sock < 0 || sock >= FD_SETSIZE || !FD_ISSET(sock, &adhoc->ready)) {
        return false;
    }
    FD_CLR(sock, &adhoc->ready);
    return true;
}

// One processing pass over ready sockets, timeouts and the queue.
aud_error_t db_adhoc_browse_process_fdset(db_adhoc_browse* adhoc) {
    db_browse* browse = adhoc->browse;
    aud_log_t* log = browse->log;
    aud_error_t result = AUD_SUCCESS;
    adhoc->pass_error = AUD_SUCCESS;
    adhoc->tree_changed = false;
    adhoc->sockets_changed = false;
    bool failed = false;

    // 1. Replies of running resolves.
    std::vector<db_resolve*> ready;
    for (db_resolve* r : adhoc->active) {
        if (take_ready(adhoc, r->sock)) {
            ready.push_back(r);
        }
    }
    for (db_resolve* r : ready) {
        if (r->state != DB_RESOLVE_ACTIVE) {
            continue;
        }
        if (dt_dns_sd_process_result(log, r->sock, r->ref) != 0) {
            // Dropped: a broken reference would report readable on every pass.
            release(r);
            failed = true;
            break;
        }
    }

    // 2. Resolves nobody answered.
    const aud_utime_t now = aud_env_now(browse->env);
    if (!failed) {
        std::vector<db_resolve*> expired;
        for (db_resolve* r : adhoc->active) {
            if (aud_utime_compare(r->deadline, now) <= 0) {
                expired.push_back(r);
            }
        }
        for (db_resolve* r : expired) {
            time_out(r, now);
        }
        // Timed-out instances whose wait is over queue up again.
        std::vector<db_resolve*> due;
        for (db_resolve* r : adhoc->waiting) {
            if (aud_utime_compare(r->retry_at, now) <= 0) {
                due.push_back(r);
            }
        }
        for (db_resolve* r : due) {
            adhoc->waiting.erase(std::find(adhoc->waiting.begin(), adhoc->waiting.end(), r));
            r->state = DB_RESOLVE_PENDING;
            adhoc->pending.push_back(r);
        }
    }

    // 3. Browse answers.
    for (size_t i = 0; i < adhoc->type_browses.size() && !failed; ++i) {
        db_type_browse& tb = adhoc->type_browses[i];
        if (take_ready(adhoc, tb.sock) && dt_dns_sd_process_result(log, tb.sock, tb.ref) != 0) {
            failed = true;
        }
    }

    // 4. Start queued resolves while there is room.
    bool start_failed = false;
    while (!failed && !adhoc->service_lost && adhoc->active.size() < adhoc->max_resolves &&
           !adhoc->pending.empty()) {
        db_resolve* r = adhoc->pending.front();
        const aud_error_t e = db_resolve_resolve(r, now);
        if (e == AUD_ERR_INVALIDSTATE) {
            adhoc->pending.pop_front();
            continue;
        }
        if (e != AUD_SUCCESS) {
            result = e;
            start_failed = true;
            break;
        }
    }

    // The service went away during this pass: stop, and tell the application once.
    const bool just_lost = adhoc->service_lost && !adhoc->halted;
    if (just_lost) {
        halt(adhoc);
        result = AUD_ERR_NOTRUNNING;
        start_failed = false;
    }

    // 5. Finished records are kept for reuse.
    for (db_resolve* r : adhoc->finished) {
        adhoc->spare.push_back(r);
    }
    adhoc->finished.clear();

    // 6. Tell the application.
    if (adhoc->tree_changed && browse->network_changed) {
        browse->network_changed(browse);
    }
    if (adhoc->sockets_changed && !browse->loop && browse->sockets_changed) {
        browse->sockets_changed(browse);
    }

    // 7. Wake up for the earliest deadline, or soon when a start failed with work left.
    bool armed = false;
    aud_utime_t earliest{};
    for (const db_resolve* r : adhoc->active) {
        if (!armed || aud_utime_compare(r->deadline, earliest) < 0) {
            earliest = r->deadline;
            armed = true;
        }
    }
    for (const db_resolve* r : adhoc->waiting) {
        if (!armed || aud_utime_compare(r->retry_at, earliest) < 0) {
            earliest = r->retry_at;
            armed = true;
        }
    }
    if (start_failed && !adhoc->pending.empty() && adhoc->active.size() < adhoc->max_resolves) {
        const aud_utime_t retry = aud_utime_add(now, aud_utime_make(1, 0));
        if (!armed || aud_utime_compare(retry, earliest) < 0) {
            earliest = retry;
            armed = true;
        }
    }
    if (armed) {
        aud_timer_start_at(adhoc->timer, &earliest, nullptr);
    } else {
        aud_timer_cancel(adhoc->timer);
    }
    // Readiness not handled in a failed pass is reported again by the next wait.
    FD_ZERO(&adhoc->ready);

    if (just_lost) {
        result = AUD_ERR_NOTRUNNING;
    } else if (failed) {
        result = AUD_ERR_DNSSDFAIL;
    } else if (result == AUD_SUCCESS && adhoc->pass_error != AUD_ERR_NOTRUNNING) {
        result = adhoc->pass_error;
    }
    if (just_lost && browse->event) {
        const db_browse_event_t ev = {browse, DB_BROWSE_EVENT_SERVICE_LOST};
        browse->event(&ev);
    }
    return result;
}

void run_pass(void* user) {
    db_adhoc_browse* adhoc = static_cast<db_adhoc_browse*>(user);
    adhoc->pass_scheduled = false;
    const aud_error_t e = db_adhoc_browse_process_fdset(adhoc);
    if (e != AUD_SUCCESS) {
        aud_errbuf_t buf;
        DB_LOG(adhoc, AUD_LOG_ERROR, "Error processing fdset: %s",
               aud_error_format(e, buf, sizeof buf));
    }
}

void stop_all(db_adhoc_browse* adhoc) {
    for (db_type_browse& tb : adhoc->type_browses) {
        unwatch(adhoc, tb.sock);
        dt_dnssd_ref_deallocate(tb.ref);
    }
    adhoc->type_browses.clear();
    while (!adhoc->active.empty()) {
        release(adhoc->active.back());
    }
    while (!adhoc->pending.empty()) {
        release(adhoc->pending.back());
    }
    while (!adhoc->waiting.empty()) {
        release(adhoc->waiting.back());
    }
    for (db_resolve* r : adhoc->finished) {
        delete r;
    }
    adhoc->finished.clear();
    for (db_resolve* r : adhoc->spare) {
        delete r;
    }
    adhoc->spare.clear();
}

}  // namespace

aud_error_t db_adhoc_browse_new(db_browse* browse, db_adhoc_browse** out) {
    db_adhoc_browse* adhoc = new (std::nothrow) db_adhoc_browse();
    if (!adhoc) {
        return AUD_ERR_NOMEMORY;
    }
    adhoc->browse = browse;
    FD_ZERO(&adhoc->ready);
    const aud_error_t e = aud_timer_new(browse->loop, on_timer, adhoc, &adhoc->timer);
    if (e != AUD_SUCCESS) {
        delete adhoc;
        return e;
    }
    DB_LOG(adhoc, AUD_LOG_INFO, "%s: creating new browse (types=0x%08x)", __func__, browse->types);
    *out = adhoc;
    return AUD_SUCCESS;
}

aud_error_t db_adhoc_browse_start_config(db_adhoc_browse* adhoc, const db_browse_config_t* config) {
    db_browse* browse = adhoc->browse;
    adhoc->config = *config;
    adhoc->loopback_index = aud_interface_loopback_index(browse->env);
    adhoc->max_resolves = browse->max_sockets - browse->type_count;

    char list[DB_MAX_NETWORKS * 11 + 1] = "";
    size_t used = 0;
    for (unsigned n = 0; n < adhoc->config.num_networks && n < DB_MAX_NETWORKS; ++n) {
        used += static_cast<size_t>(snprintf(list + used, sizeof list - used, "%s%u", n ? "," : "",
                                             adhoc->config.interface_indexes[n]));
    }
    DB_LOG(adhoc, AUD_LOG_INFO, "%s: starting browse on %d interfaces: %s", __func__,
           static_cast<int>(adhoc->config.num_networks), list);

    for (uint32_t bit = 1; bit <= DB_TYPE_AES67_DEVICE; bit <<= 1) {
        const db_service_type* type = db_service_type_by_bit(bit);
        if (!(browse->types & bit) || !type) {
            continue;
        }
        if (!type->dnssd_type) {
            DB_LOG(adhoc, AUD_LOG_WARNING, "%s: %s browse not supported", __func__,
                   type->description);
            continue;
        }
        db_type_browse tb = {type, nullptr, -1};
        const dt_dnssd_error e =
            dt_dnssd_browse(&tb.ref, 0, 0, type->dnssd_type, k_domain, db_dnssd_browse, adhoc);
        tb.sock = e == DT_DNSSD_NO_ERROR ? dt_dnssd_ref_sock_fd(tb.ref) : -1;
        if (e != DT_DNSSD_NO_ERROR || tb.sock < 0 || watch(adhoc, tb.sock) != AUD_SUCCESS) {
            dt_dnssd_ref_deallocate(tb.ref);
            stop_all(adhoc);
            DB_LOG(adhoc, AUD_LOG_ERROR, "Error starting %s (%s) browse (dnssd err=%d)",
                   type->dnssd_type, type->description, static_cast<int>(e));
            return e == DT_DNSSD_ERR_SERVICE_NOT_RUNNING ? AUD_ERR_NOTRUNNING : AUD_ERR_DNSSDFAIL;
        }
        adhoc->type_browses.push_back(tb);
        DB_LOG(adhoc, AUD_LOG_INFO, "%s: Started browsing for type %s (%s) using socket %d",
               __func__, type->dnssd_type, type->description, tb.sock);
    }
    return AUD_SUCCESS;
}

aud_error_t db_adhoc_browse_delete(db_adhoc_browse* adhoc) {
    if (!adhoc) {
        return AUD_SUCCESS;
    }
    stop_all(adhoc);
    if (adhoc->pass_scheduled) {
        aud_event_loop_cancel_defer(adhoc->browse->loop, adhoc->pass_token);
    }
    aud_timer_delete(adhoc->timer);
    delete adhoc;
    return AUD_SUCCESS;
}

uint32_t db_adhoc_browse_network_interface(const db_adhoc_browse* adhoc, unsigned network) {
    return adhoc ? network_interface(adhoc, network) : 0;
}
