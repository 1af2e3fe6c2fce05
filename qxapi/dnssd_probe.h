#pragma once
// Whether the DNS-SD service (avahi-daemon) answers now. The runtime's browse stops
// for good when the daemon goes away; a program that goes on without a new runtime
// (tavrin-cli watch) asks this now and then to tell its user the daemon is back.
namespace tavrin {

// Opens and closes one browse of the devices' service type: true when the service
// took it. Call it off the socket thread, without library_lock.
bool dnssd_service_answers();

}  // namespace tavrin
