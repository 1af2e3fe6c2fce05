#pragma once
// The one Avahi client of the process that every DNS-SD reference of the Avahi
// backend works through: one bus connection and one poll thread. It connects when
// the first reference needs it and goes away with the last one.
//
// Avahi runs its callbacks on the poll thread holding the poll lock; any other
// thread touching Avahi objects takes the lock with dt_avahi_lock().
#include <avahi-client/client.h>

#include "dante/dnssd/dt_dnssd.h"

// Avahi's errors in DNS-SD terms; the one place they are translated.
dt_dnssd_error map_avahi_error(int e);

// Told when the client loses the daemon; runs on the poll thread, lock held.
struct dt_avahi_listener {
    void (*client_failed)(dt_avahi_listener* self, dt_dnssd_error error);
    void* owner;
    dt_avahi_listener* next;
};

// Takes a reference on the shared client, connecting it first if needed. On
// failure returns the error and takes no reference.
dt_dnssd_error dt_avahi_acquire(AvahiClient** out);
// Drops a reference; the last one disconnects. Never call it holding the lock.
void dt_avahi_release();

void dt_avahi_lock();
void dt_avahi_unlock();

// With the lock held.
void dt_avahi_listen(dt_avahi_listener* l);
void dt_avahi_unlisten(dt_avahi_listener* l);
