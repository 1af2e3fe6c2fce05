#include "dante/dnssd/internal/dt_dnssd_avahi_client.h"

#include <avahi-common/error.h>
#include <avahi-common/thread-watch.h>

#include <atomic>
#include <mutex>
#include <new>

struct dt_avahi_session {
    AvahiThreadedPoll* poll = nullptr;
    AvahiClient* client = nullptr;
    unsigned refs = 0;                       // under g_sessions_lock
    dt_avahi_listener* listeners = nullptr;  // under the poll lock
    std::atomic<bool> failed{false};         // set on the poll thread
};

namespace {

// Guards the current session and every session's count, and the creation and
// destruction of sessions. Order: g_sessions_lock, then a poll lock.
std::mutex g_sessions_lock;
dt_avahi_session* g_current = nullptr;

void on_client(AvahiClient* client, AvahiClientState state, void* user) {
    if (state != AVAHI_CLIENT_FAILURE) {
        return;
    }
    auto* session = static_cast<dt_avahi_session*>(user);
    session->failed = true;
    dt_dnssd_error e = map_avahi_error(avahi_client_errno(client));
    if (e == DT_DNSSD_NO_ERROR) {
        e = DT_DNSSD_ERR_UNKNOWN;
    }
    for (dt_avahi_listener* l = session->listeners; l; l = l->next) {
        l->client_failed(l, e);
    }
}

void disconnect(dt_avahi_session* session) {
    if (session->poll) {
        avahi_threaded_poll_stop(session->poll);
    }
    if (session->client) {
        avahi_client_free(session->client);
    }
    if (session->poll) {
        avahi_threaded_poll_free(session->poll);
    }
    delete session;
}

dt_dnssd_error connect(dt_avahi_session** out) {
    auto* session = new (std::nothrow) dt_avahi_session();
    if (!session) {
        return DT_DNSSD_ERR_NO_MEMORY;
    }
    session->poll = avahi_threaded_poll_new();
    if (!session->poll) {
        disconnect(session);
        return DT_DNSSD_ERR_NO_MEMORY;
    }
    int err = AVAHI_OK;
    session->client = avahi_client_new(avahi_threaded_poll_get(session->poll),
                                       static_cast<AvahiClientFlags>(0), on_client, session, &err);
    if (!session->client) {
        disconnect(session);
        const dt_dnssd_error e = map_avahi_error(err);
        return e ? e : DT_DNSSD_ERR_UNKNOWN;
    }
    if (avahi_threaded_poll_start(session->poll) < 0) {
        disconnect(session);
        return DT_DNSSD_ERR_UNKNOWN;
    }
    *out = session;
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
            return DT_DNSSD_ERR_SERVICE_NOT_RUNNING;
        default:
            return DT_DNSSD_ERR_UNKNOWN;
    }
}

dt_dnssd_error dt_avahi_acquire(dt_avahi_session** session, AvahiClient** client) {
    std::lock_guard<std::mutex> g(g_sessions_lock);
    if (!g_current || g_current->failed) {
        dt_avahi_session* fresh = nullptr;
        const dt_dnssd_error e = connect(&fresh);
        if (e != DT_DNSSD_NO_ERROR) {
            return e;
        }
        // A failed session stays with the references still on it; it is no longer
        // handed out and goes away with its last one.
        g_current = fresh;
    }
    ++g_current->refs;
    *session = g_current;
    *client = g_current->client;
    return DT_DNSSD_NO_ERROR;
}

void dt_avahi_release(dt_avahi_session* session) {
    std::lock_guard<std::mutex> g(g_sessions_lock);
    if (!session || session->refs == 0 || --session->refs > 0) {
        return;
    }
    if (g_current == session) {
        g_current = nullptr;
    }
    disconnect(session);
}

// Only holders of a reference lock, so the poll cannot vanish underneath them.
void dt_avahi_lock(dt_avahi_session* session) {
    avahi_threaded_poll_lock(session->poll);
}

void dt_avahi_unlock(dt_avahi_session* session) {
    avahi_threaded_poll_unlock(session->poll);
}

void dt_avahi_listen(dt_avahi_session* session, dt_avahi_listener* l) {
    l->next = session->listeners;
    session->listeners = l;
}

void dt_avahi_unlisten(dt_avahi_session* session, dt_avahi_listener* l) {
    for (dt_avahi_listener** p = &session->listeners; *p; p = &(*p)->next) {
        if (*p == l) {
            *p = l->next;
            return;
        }
    }
}
