#include "dante/dnssd/dt_dnssd_avahi_query.h"

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/error.h>
#include <avahi-common/thread-watch.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <deque>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace {

// Avahi's errors in DNS-SD terms; the one place they are translated.
dt_dnssd_error map_avahi_error(int e) {
    switch (e) {
        case AVAHI_OK:
            return DT_DNSSD_NO_ERROR;
        case AVAHI_ERR_NO_MEMORY:
            return DT_DNSSD_ERR_NO_MEMORY;
        case AVAHI_ERR_INVALID_HOST_NAME:
        case AVAHI_ERR_INVALID_DOMAIN_NAME:
        case AVAHI_ERR_INVALID_ARGUMENT:
        case AVAHI_ERR_INVALID_DNS_CLASS:
        case AVAHI_ERR_INVALID_DNS_TYPE:
            return DT_DNSSD_ERR_BAD_PARAM;
        case AVAHI_ERR_INVALID_INTERFACE:
            return DT_DNSSD_ERR_BAD_INTERFACE_INDEX;
        case AVAHI_ERR_INVALID_FLAGS:
            return DT_DNSSD_ERR_BAD_FLAGS;
        case AVAHI_ERR_NOT_FOUND:
        case AVAHI_ERR_DNS_NXDOMAIN:
            return DT_DNSSD_ERR_NO_SUCH_RECORD;
        case AVAHI_ERR_NOT_SUPPORTED:
            return DT_DNSSD_ERR_UNSUPPORTED;
        case AVAHI_ERR_BAD_STATE:
            return DT_DNSSD_ERR_BAD_STATE;
        default:
            return DT_DNSSD_ERR_UNKNOWN;
    }
}

struct query_reply {
    uint32_t flags;
    uint32_t interface_index;
    dt_dnssd_error error;
    std::string name;
    uint16_t rrtype;
    uint16_t rrclass;
    std::vector<uint8_t> rdata;
};

struct query_ref {
    dt_dnssd_ref_s base;
    int fds[2] = {-1, -1};  // [0] handed out, [1] signalled by the poll thread
    AvahiThreadedPoll* poll = nullptr;
    AvahiClient* client = nullptr;
    AvahiRecordBrowser* browser = nullptr;
    dt_dnssd_query_reply reply = nullptr;
    void* context = nullptr;
    std::mutex lock;
    std::deque<query_reply> queue;
    // A reply handler may deallocate its own reference; it is freed after the handler.
    bool processing = false;
    bool release_pending = false;
};

// Runs on the poll thread: queue the reply and wake the owner's socket, one byte
// per reply so that each processing step hands out one.
void post(query_ref* q, query_reply&& r) {
    {
        std::lock_guard<std::mutex> g(q->lock);
        q->queue.push_back(std::move(r));
    }
    const char one = 1;
    ssize_t n;
    do {
        n = send(q->fds[1], &one, 1, MSG_DONTWAIT | MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
}

void on_record(AvahiRecordBrowser*, AvahiIfIndex interface, AvahiProtocol, AvahiBrowserEvent event,
               const char* name, uint16_t clazz, uint16_t type, const void* rdata, size_t size,
               AvahiLookupResultFlags, void* userdata) {
    query_ref* q = static_cast<query_ref*>(userdata);
    query_reply r{};
    r.interface_index = interface < 0 ? 0u : static_cast<uint32_t>(interface);
    r.name = name ? name : "";
    r.rrtype = type;
    r.rrclass = clazz;
    switch (event) {
        case AVAHI_BROWSER_NEW:
        case AVAHI_BROWSER_REMOVE:
            r.flags = event == AVAHI_BROWSER_NEW ? DT_DNSSD_FLAG_ADD : 0;
            if (rdata && size <= UINT16_MAX) {
                const uint8_t* p = static_cast<const uint8_t*>(rdata);
                r.rdata.assign(p, p + size);
            }
            break;
        case AVAHI_BROWSER_FAILURE:
            r.error = map_avahi_error(avahi_client_errno(q->client));
            break;
        default:
            return;  // end-of-cache notices have no DNS-SD counterpart
    }
    post(q, std::move(r));
}

void on_client(AvahiClient* client, AvahiClientState state, void* userdata) {
    if (state != AVAHI_CLIENT_FAILURE) {
        return;
    }
    query_ref* q = static_cast<query_ref*>(userdata);
    query_reply r{};
    r.error = map_avahi_error(avahi_client_errno(client));
    if (r.error == DT_DNSSD_NO_ERROR) {
        r.error = DT_DNSSD_ERR_UNKNOWN;
    }
    post(q, std::move(r));
}

void destroy(query_ref* q) {
    if (q->poll) {
        avahi_threaded_poll_stop(q->poll);
    }
    if (q->browser) {
        avahi_record_browser_free(q->browser);
    }
    if (q->client) {
        avahi_client_free(q->client);
    }
    if (q->poll) {
        avahi_threaded_poll_free(q->poll);
    }
    for (int fd : q->fds) {
        if (fd >= 0) {
            close(fd);
        }
    }
    delete q;
}

int query_sock_fd(dt_dnssd_ref ref) {
    return reinterpret_cast<query_ref*>(ref)->fds[0];
}

dt_dnssd_error query_process(dt_dnssd_ref ref) {
    query_ref* q = reinterpret_cast<query_ref*>(ref);
    if (q->processing) {
        return DT_DNSSD_ERR_BAD_STATE;
    }
    char byte;
    ssize_t n;
    do {
        n = recv(q->fds[0], &byte, 1, 0);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
        return DT_DNSSD_ERR_UNKNOWN;
    }
    query_reply r;
    {
        std::lock_guard<std::mutex> g(q->lock);
        if (q->queue.empty()) {
            return DT_DNSSD_NO_ERROR;
        }
        r = std::move(q->queue.front());
        q->queue.pop_front();
    }
    q->processing = true;
    q->reply(ref, r.flags, r.interface_index, r.error, r.name.c_str(), r.rrtype, r.rrclass,
             static_cast<uint16_t>(r.rdata.size()), r.rdata.empty() ? nullptr : r.rdata.data(), 0,
             q->context);
    q->processing = false;
    if (q->release_pending) {
        destroy(q);
    }
    return DT_DNSSD_NO_ERROR;
}

void query_deallocate(dt_dnssd_ref ref) {
    query_ref* q = reinterpret_cast<query_ref*>(ref);
    if (q->processing) {
        q->release_pending = true;
        return;
    }
    destroy(q);
}

dt_dnssd_error no_browse(const dt_dnssd_backend*, dt_dnssd_ref*, uint32_t, uint32_t, const char*,
                         const char*, dt_dnssd_browse_reply, void*) {
    return DT_DNSSD_ERR_UNSUPPORTED;
}

dt_dnssd_error no_resolve(const dt_dnssd_backend*, dt_dnssd_ref*, uint32_t, uint32_t, const char*,
                          const char*, const char*, dt_dnssd_resolve_reply, void*) {
    return DT_DNSSD_ERR_UNSUPPORTED;
}

dt_dnssd_error no_query(const dt_dnssd_backend*, dt_dnssd_ref*, uint32_t, uint32_t, const char*,
                        uint16_t, uint16_t, dt_dnssd_query_reply, void*) {
    return DT_DNSSD_ERR_UNSUPPORTED;
}

dt_dnssd_error no_reconfirm(const dt_dnssd_backend*, uint32_t, uint32_t, const char*, uint16_t,
                            uint16_t, uint16_t, const void*) {
    return DT_DNSSD_ERR_UNSUPPORTED;
}

// Query references carry their own operations; only the reference-bound ones matter.
const dt_dnssd_backend k_query_ops = {
    "avahi-query", nullptr,       no_browse,     no_resolve,       no_query,
    no_reconfirm,  query_sock_fd, query_process, query_deallocate,
};

}  // namespace

dt_dnssd_error dt_dnssd_avahi_query_new(dt_dnssd_ref* out, uint32_t interface_index,
                                        const char* full_name, uint16_t rrtype, uint16_t rrclass,
                                        dt_dnssd_query_reply reply, void* context) {
    query_ref* q = new (std::nothrow) query_ref();
    if (!q) {
        return DT_DNSSD_ERR_NO_MEMORY;
    }
    q->base.backend = &k_query_ops;
    q->reply = reply;
    q->context = context;
    int err = AVAHI_OK;
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, q->fds) != 0) {
        q->fds[0] = q->fds[1] = -1;
        destroy(q);
        return DT_DNSSD_ERR_UNKNOWN;
    }
    fcntl(q->fds[0], F_SETFL, fcntl(q->fds[0], F_GETFL) | O_NONBLOCK);
    q->poll = avahi_threaded_poll_new();
    if (!q->poll) {
        destroy(q);
        return DT_DNSSD_ERR_NO_MEMORY;
    }
    q->client = avahi_client_new(avahi_threaded_poll_get(q->poll), static_cast<AvahiClientFlags>(0),
                                 on_client, q, &err);
    if (!q->client) {
        destroy(q);
        return map_avahi_error(err) ? map_avahi_error(err) : DT_DNSSD_ERR_UNKNOWN;
    }
    const AvahiIfIndex iface =
        interface_index == 0 ? AVAHI_IF_UNSPEC : static_cast<AvahiIfIndex>(interface_index);
    // IPv4 addresses are what the callers connect to; an IPv6 transport would only
    // repeat the same A record.
    const AvahiProtocol proto = rrtype == DT_DNSSD_TYPE_A ? AVAHI_PROTO_INET : AVAHI_PROTO_UNSPEC;
    q->browser = avahi_record_browser_new(q->client, iface, proto, full_name, rrclass, rrtype,
                                          static_cast<AvahiLookupFlags>(0), on_record, q);
    if (!q->browser) {
        err = avahi_client_errno(q->client);
        destroy(q);
        return map_avahi_error(err) ? map_avahi_error(err) : DT_DNSSD_ERR_UNKNOWN;
    }
    if (avahi_threaded_poll_start(q->poll) < 0) {
        destroy(q);
        return DT_DNSSD_ERR_UNKNOWN;
    }
    *out = &q->base;
    return DT_DNSSD_NO_ERROR;
}
