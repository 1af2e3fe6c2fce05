#pragma once
// The Avahi client that every DNS-SD reference of the Avahi backend works through:
// one bus connection and one poll thread, shared by all references made while it is
// healthy. It connects when the first reference needs it and goes away with the
// last one.
//
// When avahi-daemon goes away the client fails for good, and every reference on it
// is told. A reference made after that gets a new client (a new session), so that a
// browse started once the daemon is back finds the devices again, while references
// of the failed session live on until their owners deallocate them.
//
// Avahi runs its callbacks on the poll thread holding the poll lock; any other
// thread touching Avahi objects takes that session's lock with dt_avahi_lock().
#include <avahi-client/client.h>

#include "dante/dnssd/dt_dnssd.h"

// Avahi's errors in DNS-SD terms; the one place they are translated. A daemon that
// is gone or not there is DT_DNSSD_ERR_SERVICE_NOT_RUNNING.
dt_dnssd_error map_avahi_error(int e);

struct dt_avahi_session;

// Told when the session loses the daemon; runs on the poll thread, lock held.
struct dt_avahi_listener {
    void (*client_failed)(dt_avahi_listener* self, dt_dnssd_error error);
    void* owner;
    dt_avahi_listener* next;
};

// Takes a reference on the current session, connecting a new one when there is none
// or the current one has failed. On failure returns the error and takes nothing.
dt_dnssd_error dt_avahi_acquire(dt_avahi_session** session, AvahiClient** client);
// Drops a reference; the session's last one disconnects it. Never call it holding
// the lock.
void dt_avahi_release(dt_avahi_session* session);

void dt_avahi_lock(dt_avahi_session* session);
void dt_avahi_unlock(dt_avahi_session* session);

// With the session's lock held.
void dt_avahi_listen(dt_avahi_session* session, dt_avahi_listener* l);
void dt_avahi_unlisten(dt_avahi_session* session, dt_avahi_listener* l);
