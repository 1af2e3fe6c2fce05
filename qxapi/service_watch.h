#pragma once
// What the wrapper tells the application about the services it depends on: the
// ConMon server lost and back again, and the DNS-SD service (avahi-daemon) gone.
// Called on the socket thread with library_lock held, once per change: an
// implementation must not call into the wrapper.
namespace tavrin {

class service_watch {
  public:
    virtual ~service_watch() = default;
    // The client lost its server; the library connects again by itself.
    virtual void conmon_server_lost() = 0;
    // Connected again, registered and subscribed again by the library.
    virtual void conmon_server_back() = 0;
    // The browse stopped: nothing more is found until the next runtime start.
    virtual void dnssd_service_lost() = 0;
};

}  // namespace tavrin
