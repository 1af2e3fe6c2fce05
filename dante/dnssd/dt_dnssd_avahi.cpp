// The product backend: browses, resolves and record queries as Avahi browsers and
// resolvers on the process' one Avahi client (internal/dt_dnssd_avahi_client.h). Avahi answers
// on its poll thread; each reference queues its replies in its own mailbox, whose
// socket the caller's loop watches, and hands them out on the caller's thread.
#include <arpa/inet.h>
#include <avahi-client/lookup.h>
#include <avahi-common/error.h>
#include <avahi-common/strlst.h>

#include <algorithm>
#include <map>
#include <new>
#include <string>
#include <tuple>
#include <vector>

#include "dante/dnssd/dt_dnssd.h"
#include "dante/dnssd/internal/dt_dnssd_avahi_client.h"
#include "dante/dnssd/internal/dt_dnssd_avahi_mailbox.h"

namespace {

enum class ref_kind { browse, resolve, query };

struct avahi_ref {
    dt_dnssd_ref_s base;
    dt_avahi_listener listener;
    ref_kind kind;
    dt_avahi_mailbox box;
    AvahiClient* client = nullptr;
    AvahiServiceBrowser* browser = nullptr;
    AvahiServiceResolver* resolver = nullptr;
    AvahiRecordBrowser* records = nullptr;
    dt_dnssd_browse_reply browse_reply = nullptr;
    dt_dnssd_resolve_reply resolve_reply = nullptr;
    dt_dnssd_query_reply query_reply = nullptr;
    void* context = nullptr;
    // Browse, poll thread only: the transports (IPv4, IPv6) an instance is seen over
    // per interface. DNS-SD reports an instance once per interface.
    std::map<std::tuple<AvahiIfIndex, std::string, std::string, std::string>, unsigned> seen;
    // Owner's thread only: a reply handler may deallocate its own reference, which is
    // then freed once the handler has returned.
    bool processing = false;
    bool release_pending = false;
};

const dt_dnssd_backend* backend();

uint32_t dnssd_interface(AvahiIfIndex i) {
    return i < 0 ? 0u : static_cast<uint32_t>(i);
}

AvahiIfIndex avahi_interface(uint32_t i) {
    return i == 0 ? AVAHI_IF_UNSPEC : static_cast<AvahiIfIndex>(i);
}

// Avahi names types and domains without the trailing dot of the DNS-SD form.
std::string undotted(const char* s) {
    std::string out = s ? s : "";
    if (!out.empty() && out.back() == '.') {
        out.pop_back();
    }
    return out;
}

std::string dotted(const char* s) {
    std::string out = s ? s : "";
    if (out.empty() || out.back() != '.') {
        out += '.';
    }
    return out;
}

dt_dnssd_error failure_of(AvahiClient* client) {
    const dt_dnssd_error e = map_avahi_error(avahi_client_errno(client));
    return e ? e : DT_DNSSD_ERR_UNKNOWN;
}

void post_error(avahi_ref* r, dt_dnssd_error e) {
    dt_avahi_reply reply;
    reply.error = e;
    r->box.post(std::move(reply));
}

void on_client_failed(dt_avahi_listener* l, dt_dnssd_error e) {
    post_error(static_cast<avahi_ref*>(l->owner), e);
}

void on_browse(AvahiServiceBrowser* b, AvahiIfIndex interface, AvahiProtocol,
               AvahiBrowserEvent event, const char* name, const char* type, const char* domain,
               AvahiLookupResultFlags, void* userdata) {
    avahi_ref* r = static_cast<avahi_ref*>(userdata);
    if (event == AVAHI_BROWSER_FAILURE) {
        post_error(r, failure_of(avahi_service_browser_get_client(b)));
        return;
    }
    if (event != AVAHI_BROWSER_NEW && event != AVAHI_BROWSER_REMOVE) {
        return;  // end-of-cache notices have no DNS-SD counterpart
    }
    auto key =
        std::make_tuple(interface, std::string(name), std::string(type), std::string(domain));
    if (event == AVAHI_BROWSER_NEW) {
        if (r->seen[key]++ > 0) {
            return;
        }
    } else {
        auto it = r->seen.find(key);
        if (it == r->seen.end() || --it->second > 0) {
            return;
        }
        r->seen.erase(it);
    }
    dt_avahi_reply reply;
    reply.flags = event == AVAHI_BROWSER_NEW ? DT_DNSSD_FLAG_ADD : 0;
    reply.interface_index = dnssd_interface(interface);
    reply.name = name;
    reply.type = dotted(type);
    reply.domain = dotted(domain);
    r->box.post(std::move(reply));
}

void on_resolve(AvahiServiceResolver* s, AvahiIfIndex interface, AvahiProtocol,
                AvahiResolverEvent event, const char* name, const char* type, const char* domain,
                const char* host_name, const AvahiAddress*, uint16_t port, AvahiStringList* txt,
                AvahiLookupResultFlags, void* userdata) {
    avahi_ref* r = static_cast<avahi_ref*>(userdata);
    if (event == AVAHI_RESOLVER_FAILURE) {
        const int e = avahi_client_errno(avahi_service_resolver_get_client(s));
        // A DNS-SD resolve never gives up by itself; the caller times it out.
        if (e != AVAHI_ERR_TIMEOUT) {
            post_error(r, failure_of(avahi_service_resolver_get_client(s)));
        }
        return;
    }
    dt_avahi_reply reply;
    reply.interface_index = dnssd_interface(interface);
    char full[DT_DNSSD_MAX_DOMAIN_NAME];
    if (dt_dnssd_construct_full_name(full, name, dotted(type).c_str(), dotted(domain).c_str()) ==
        0) {
        reply.name = full;
    }
    reply.type = dotted(host_name);
    reply.port = htons(port);
    // The list holds the entries in the record's order; avahi_string_list_serialize
    // would write them last first. An empty TXT record is one empty string on the wire.
    for (AvahiStringList* e = txt; e; e = avahi_string_list_get_next(e)) {
        const size_t n = std::min<size_t>(avahi_string_list_get_size(e), 255);
        if (reply.bytes.size() + 1 + n > UINT16_MAX) {
            break;
        }
        reply.bytes.push_back(static_cast<uint8_t>(n));
        const uint8_t* text = avahi_string_list_get_text(e);
        reply.bytes.insert(reply.bytes.end(), text, text + n);
    }
    if (reply.bytes.empty()) {
        reply.bytes.assign(1, 0);
    }
    r->box.post(std::move(reply));
}

void on_record(AvahiRecordBrowser* b, AvahiIfIndex interface, AvahiProtocol,
               AvahiBrowserEvent event, const char* name, uint16_t clazz, uint16_t type,
               const void* rdata, size_t size, AvahiLookupResultFlags, void* userdata) {
    avahi_ref* r = static_cast<avahi_ref*>(userdata);
    if (event == AVAHI_BROWSER_FAILURE) {
        post_error(r, failure_of(avahi_record_browser_get_client(b)));
        return;
    }
    if (event != AVAHI_BROWSER_NEW && event != AVAHI_BROWSER_REMOVE) {
        return;
    }
    dt_avahi_reply reply;
    reply.flags = event == AVAHI_BROWSER_NEW ? DT_DNSSD_FLAG_ADD : 0;
    reply.interface_index = dnssd_interface(interface);
    reply.name = name ? name : "";
    reply.rrtype = type;
    reply.rrclass = clazz;
    if (rdata && size <= UINT16_MAX) {
        const uint8_t* p = static_cast<const uint8_t*>(rdata);
        reply.bytes.assign(p, p + size);
    }
    r->box.post(std::move(reply));
}

// Frees the Avahi object first, under the lock: after that no callback can reach r.
void destroy(avahi_ref* r) {
    if (r->client) {
        dt_avahi_lock();
        if (r->browser) {
            avahi_service_browser_free(r->browser);
        }
        if (r->resolver) {
            avahi_service_resolver_free(r->resolver);
        }
        if (r->records) {
            avahi_record_browser_free(r->records);
        }
        dt_avahi_unlisten(&r->listener);
        dt_avahi_unlock();
        dt_avahi_release();
    }
    delete r;
}

// A reference with its mailbox and a hold on the shared client, not yet listening.
dt_dnssd_error new_ref(ref_kind kind, void* context, avahi_ref** out) {
    avahi_ref* r = new (std::nothrow) avahi_ref();
    if (!r) {
        return DT_DNSSD_ERR_NO_MEMORY;
    }
    r->base.backend = backend();
    r->listener.client_failed = on_client_failed;
    r->listener.owner = r;
    r->kind = kind;
    r->context = context;
    if (!r->box.open()) {
        delete r;
        return DT_DNSSD_ERR_UNKNOWN;
    }
    const dt_dnssd_error e = dt_avahi_acquire(&r->client);
    if (e != DT_DNSSD_NO_ERROR) {
        r->client = nullptr;
        delete r;
        return e;
    }
    *out = r;
    return DT_DNSSD_NO_ERROR;
}

// Called with the lock held once the Avahi object exists (or failed to).
dt_dnssd_error finish(avahi_ref* r, bool made, dt_dnssd_ref* out) {
    if (!made) {
        const dt_dnssd_error e = failure_of(r->client);
        dt_avahi_unlock();
        destroy(r);
        return e;
    }
    dt_avahi_listen(&r->listener);
    dt_avahi_unlock();
    *out = &r->base;
    return DT_DNSSD_NO_ERROR;
}

dt_dnssd_error avahi_browse(const dt_dnssd_backend*, dt_dnssd_ref* out, uint32_t,
                            uint32_t interface_index, const char* type, const char* domain,
                            dt_dnssd_browse_reply reply, void* context) {
    avahi_ref* r = nullptr;
    if (const dt_dnssd_error e = new_ref(ref_kind::browse, context, &r)) {
        return e;
    }
    r->browse_reply = reply;
    const std::string t = undotted(type);
    const std::string d = undotted(domain);
    dt_avahi_lock();
    r->browser = avahi_service_browser_new(
        r->client, avahi_interface(interface_index), AVAHI_PROTO_UNSPEC, t.c_str(),
        d.empty() ? nullptr : d.c_str(), static_cast<AvahiLookupFlags>(0), on_browse, r);
    return finish(r, r->browser != nullptr, out);
}

dt_dnssd_error avahi_resolve(const dt_dnssd_backend*, dt_dnssd_ref* out, uint32_t,
                             uint32_t interface_index, const char* name, const char* type,
                             const char* domain, dt_dnssd_resolve_reply reply, void* context) {
    avahi_ref* r = nullptr;
    if (const dt_dnssd_error e = new_ref(ref_kind::resolve, context, &r)) {
        return e;
    }
    r->resolve_reply = reply;
    const std::string t = undotted(type);
    const std::string d = undotted(domain);
    dt_avahi_lock();
    // DNS-SD resolves report the host name, not its address: no address lookup.
    r->resolver =
        avahi_service_resolver_new(r->client, avahi_interface(interface_index), AVAHI_PROTO_UNSPEC,
                                   name, t.c_str(), d.empty() ? nullptr : d.c_str(),
                                   AVAHI_PROTO_UNSPEC, AVAHI_LOOKUP_NO_ADDRESS, on_resolve, r);
    return finish(r, r->resolver != nullptr, out);
}

// Avahi's record browser keeps following the record like a long-lived query, and
// queries for .local names are multicast anyway, so those flags need nothing here.
dt_dnssd_error avahi_query_record(const dt_dnssd_backend*, dt_dnssd_ref* out, uint32_t,
                                  uint32_t interface_index, const char* full_name, uint16_t rrtype,
                                  uint16_t rrclass, dt_dnssd_query_reply reply, void* context) {
    avahi_ref* r = nullptr;
    if (const dt_dnssd_error e = new_ref(ref_kind::query, context, &r)) {
        return e;
    }
    r->query_reply = reply;
    // IPv4 addresses are what the callers connect to; an IPv6 transport would only
    // repeat the same A record.
    const AvahiProtocol proto = rrtype == DT_DNSSD_TYPE_A ? AVAHI_PROTO_INET : AVAHI_PROTO_UNSPEC;
    dt_avahi_lock();
    r->records =
        avahi_record_browser_new(r->client, avahi_interface(interface_index), proto, full_name,
                                 rrclass, rrtype, static_cast<AvahiLookupFlags>(0), on_record, r);
    return finish(r, r->records != nullptr, out);
}

// Avahi keeps its cache itself and offers no reconfirm.
dt_dnssd_error avahi_reconfirm_record(const dt_dnssd_backend*, uint32_t, uint32_t, const char*,
                                      uint16_t, uint16_t, uint16_t, const void*) {
    return DT_DNSSD_ERR_UNSUPPORTED;
}

int avahi_sock_fd(dt_dnssd_ref ref) {
    return reinterpret_cast<avahi_ref*>(ref)->box.fd();
}

void deliver(avahi_ref* r, const dt_avahi_reply& m, uint32_t more) {
    const uint32_t flags = m.flags | more;
    switch (r->kind) {
        case ref_kind::browse:
            r->browse_reply(&r->base, flags, m.interface_index, m.error, m.name.c_str(),
                            m.type.c_str(), m.domain.c_str(), r->context);
            break;
        case ref_kind::resolve:
            r->resolve_reply(&r->base, flags, m.interface_index, m.error, m.name.c_str(),
                             m.type.c_str(), m.port, static_cast<uint16_t>(m.bytes.size()),
                             m.bytes.empty() ? nullptr : m.bytes.data(), r->context);
            break;
        case ref_kind::query:
            r->query_reply(&r->base, flags, m.interface_index, m.error, m.name.c_str(), m.rrtype,
                           m.rrclass, static_cast<uint16_t>(m.bytes.size()),
                           m.bytes.empty() ? nullptr : m.bytes.data(), 0, r->context);
            break;
    }
}

// Hands out every reply queued so far, in order, all but the last marked MoreComing
// as DNS-SD does for answers that arrived together.
dt_dnssd_error avahi_process_result(dt_dnssd_ref ref) {
    avahi_ref* r = reinterpret_cast<avahi_ref*>(ref);
    if (r->processing) {
        return DT_DNSSD_ERR_BAD_STATE;
    }
    std::deque<dt_avahi_reply> replies = r->box.take();
    r->processing = true;
    for (size_t i = 0; i < replies.size() && !r->release_pending; ++i) {
        deliver(r, replies[i], i + 1 < replies.size() ? DT_DNSSD_FLAG_MORE_COMING : 0);
    }
    r->processing = false;
    if (r->release_pending) {
        destroy(r);
    }
    return DT_DNSSD_NO_ERROR;
}

void avahi_deallocate(dt_dnssd_ref ref) {
    avahi_ref* r = reinterpret_cast<avahi_ref*>(ref);
    if (r->processing) {
        r->release_pending = true;
        return;
    }
    destroy(r);
}

const dt_dnssd_backend k_backend = {
    "avahi",
    nullptr,
    avahi_browse,
    avahi_resolve,
    avahi_query_record,
    avahi_reconfirm_record,
    avahi_sock_fd,
    avahi_process_result,
    avahi_deallocate,
};

const dt_dnssd_backend* backend() {
    return &k_backend;
}

}  // namespace

extern "C" const dt_dnssd_backend* dt_dnssd_avahi_backend(void) {
    return backend();
}
