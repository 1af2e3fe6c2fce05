#include "dante/dnssd/internal/dt_dnssd_avahi_client.h"

#include <avahi-common/error.h>
#include <avahi-common/thread-watch.h>

#include <mutex>

namespace {

// g_refs_lock guards the count and the creation and destruction of the client; the
// poll lock guards everything Avahi's callbacks touch. Order: g_refs_lock, then poll.
std::mutex g_refs_lock;
unsigned g_refs = 0;
AvahiThreadedPoll* g_poll = nullptr;
AvahiClient* g_client = nullptr;
dt_avahi_listener* g_listeners = nullptr;

void on_client(AvahiClient* client, AvahiClientState state, void*) {
    if (state != AVAHI_CLIENT_FAILURE) {
        return;
    }
    dt_dnssd_error e = map_avahi_error(avahi_client_errno(client));
    if (e == DT_DNSSD_NO_ERROR) {
        e = DT_DNSSD_ERR_UNKNOWN;
    }
    for (dt_avahi_listener* l = g_listeners; l; l = l->next) {
        l->client_failed(l, e);
    }
}

void disconnect() {
    if (g_poll) {
        avahi_threaded_poll_stop(g_poll);
    }
    if (g_client) {
        avahi_client_free(g_client);
    }
    if (g_poll) {
        avahi_threaded_poll_free(g_poll);
    }
    g_client = nullptr;
    g_poll = nullptr;
    g_listeners = nullptr;
}

dt_dnssd_error connect() {
    g_poll = avahi_threaded_poll_new();
    if (!g_poll) {
        return DT_DNSSD_ERR_NO_MEMORY;
    }
    int err = AVAHI_OK;
    g_client = avahi_client_new(avahi_threaded_poll_get(g_poll), static_cast<AvahiClientFlags>(0),
                                on_client, nullptr, &err);
    if (!g_client) {
        disconnect();
        const dt_dnssd_error e = map_avahi_error(err);
        return e ? e : DT_DNSSD_ERR_UNKNOWN;
    }
    if (avahi_threaded_poll_start(g_poll) < 0) {
        disconnect();
        return DT_DNSSD_ERR_UNKNOWN;
    }
    return DT_DNSSD_NO_ERROR;
}

}  // namespace

dt_dnssd_error map_avahi_error(int e) {
    switch (e) {
        case AVAHI_OK:
            return DT_DNSSD_NO_ERROR;
        case AVAHI_ERR_NO_MEMORY:
            return DT_DNSSD_ERR_NO_MEMORY;
        case AVAHI_ERR_INVALID_HOST_NAME:
        case AVAHI_ERR_INVALID_DOMAIN_NAME:
        case AVAHI_ERR_INVALID_SERVICE_NAME:
        case AVAHI_ERR_INVALID_SERVICE_TYPE:
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
        case AVAHI_ERR_NO_DAEMON:
        case AVAHI_ERR_DISCONNECTED:
            return DT_DNSSD_ERR_NOT_INITIALIZED;
        default:
            return DT_DNSSD_ERR_UNKNOWN;
    }
}

dt_dnssd_error dt_avahi_acquire(AvahiClient** out) {
    std::lock_guard<std::mutex> g(g_refs_lock);
    if (g_refs == 0) {
        const dt_dnssd_error e = connect();
        if (e != DT_DNSSD_NO_ERROR) {
            return e;
        }
    }
    ++g_refs;
    *out = g_client;
    return DT_DNSSD_NO_ERROR;
}

void dt_avahi_release() {
    std::lock_guard<std::mutex> g(g_refs_lock);
    if (g_refs > 0 && --g_refs == 0) {
        disconnect();
    }
}

// Only holders of a reference lock, so the poll cannot vanish underneath them.
void dt_avahi_lock() {
    avahi_threaded_poll_lock(g_poll);
}

void dt_avahi_unlock() {
    avahi_threaded_poll_unlock(g_poll);
}

void dt_avahi_listen(dt_avahi_listener* l) {
    l->next = g_listeners;
    g_listeners = l;
}

void dt_avahi_unlisten(dt_avahi_listener* l) {
    for (dt_avahi_listener** p = &g_listeners; *p; p = &(*p)->next) {
        if (*p == l) {
            *p = l->next;
            return;
        }
    }
}
