#pragma once
// Where the control library's callbacks land. library_calls installs a
// library_events as the context of every object it creates (browse, routing devices,
// ConMon client) and routes each callback to the half that owns it: the device node
// list takes the browse and routing-device callbacks, the ConMon link the client's.
// Tests put their own behind the scripted library. All of these run on the socket
// thread inside a processing step, with library_lock held: they must not take it.
#include <cstdint>

#include "dante/browse/db_browse.h"
#include "dante/conmon/conmon_client.h"
#include "dante/routing/dr_devices.h"

namespace tavrin {

// The browse's node-changed callback and the routing devices' callbacks.
class node_events {
  public:
    virtual ~node_events() = default;
    virtual void on_browse_node(db_browse_t* browse, const db_node_ref_t* item,
                                db_node_change_t event) = 0;
    // The browse's other callbacks. The event's phase is a DB_BROWSE_EVENT_*: before or
    // after a domain change (logged only), or the DNS-SD service lost.
    virtual void on_network_changed() = 0;
    virtual void on_browse_event(int phase) = 0;
    virtual void on_sockets_changed() = 0;
    virtual void on_device_changed(dr_device_t* device, dr_device_change_flags_t changes) = 0;
    // Completion of a request whose id the wrapper keeps in a request slot.
    virtual void on_request_done(dr_device_t* device, dr_request_id_t request_id,
                                 aud_error_t result) = 0;
};

// The ConMon client's callbacks.
class client_events {
  public:
    virtual ~client_events() = default;
    virtual void on_client_event(conmon_client_t* client, uint32_t flags) = 0;
    virtual void on_connect_response(conmon_client_request_id_t id, aud_error_t result) = 0;
    virtual void on_request_response(conmon_client_request_id_t id, aud_error_t result) = 0;
    virtual void on_subscribe_response(conmon_client_request_id_t id, aud_error_t result) = 0;
    // The connection to the ConMon server was lost (once per loss); pending requests
    // have completed with NOTCONN and the library is connecting again by itself.
    virtual void on_server_lost(conmon_client_t* client) = 0;
    // A message of a monitored channel; `body` holds the head's body size.
    virtual void on_monitor_message(conmon_client_t* client, uint16_t channel, uint16_t direction,
                                    const conmon_message_head_t* head, const uint8_t* body) = 0;
};

// Both halves; the object whose address the library keeps as context.
struct library_events {
    node_events* nodes = nullptr;
    client_events* client = nullptr;
};

}  // namespace tavrin
