#pragma once
// ConMon client: the library's endpoint for control-and-monitoring messaging. In the
// ad-hoc domain every operation is a request datagram to the local ConMon server;
// responses, events and received messages come back on the same socket and are
// handled inside the environment's event loop, on the thread that drives it.
//
// The client takes no locks: callers on other threads must serialise their calls
// with the loop's processing.
#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include "dante/conmon/conmon_wire.h"
#include "dante/runtime/aud_error.h"
#include "dante/runtime/dapi.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct conmon_client conmon_client_t;
typedef struct conmon_client_config conmon_client_config_t;
typedef struct conmon_remote conmon_remote_t;

// A pending request: the address of its slot. Handed back to the response callback.
typedef struct conmon_client_request* conmon_client_request_id_t;

#define CONMON_CLIENT_MAX_REQUESTS 10
#define CONMON_CLIENT_MAX_REMOTES 96
#define CONMON_CLIENT_DEFAULT_CHANNEL_MASK 0x15Du

typedef enum conmon_client_state {
    CONMON_CLIENT_NO_CONNECTION = 0,
    CONMON_CLIENT_CONNECTING = 1,
    CONMON_CLIENT_CONNECTED = 2,
} conmon_client_state_t;

typedef enum conmon_client_domain_mode {
    CONMON_CLIENT_DOMAIN_UNKNOWN = 0,
    CONMON_CLIENT_DOMAIN_ADHOC = 1,
    CONMON_CLIENT_DOMAIN_MANAGED = 2,
} conmon_client_domain_mode_t;

// Change flags of an event-callback call.
#define CONMON_CLIENT_EVENT_FLAG_DOMAIN_BEFORE_CHANGE 0x01u
#define CONMON_CLIENT_EVENT_FLAG_DOMAIN_AFTER_CHANGE 0x02u
#define CONMON_CLIENT_EVENT_FLAG_DOMAIN_HANDLER_STATE 0x04u
#define CONMON_CLIENT_EVENT_FLAG_CONNECTION_STATE 0x08u
#define CONMON_CLIENT_EVENT_FLAG_CONNECTED 0x10u
#define CONMON_CLIENT_EVENT_FLAG_REMOTE_READY 0x20u
#define CONMON_CLIENT_EVENT_FLAG_MAX_BODY_SIZE 0x40u

typedef struct conmon_client_event {
    conmon_client_t* client;
    uint32_t flags;
} conmon_client_event_t;

typedef struct conmon_client_timeout {
    uint32_t seconds;
    uint32_t microseconds;
} conmon_client_timeout_t;

typedef void conmon_client_response_fn(conmon_client_t* client,
                                       conmon_client_request_id_t request_id, aud_error_t result);
typedef void conmon_client_event_fn(const conmon_client_event_t* event);
// Called with every message of the channel and direction it was registered for.
// For CONTROL messages the domain-filter flags of the event are readable through
// conmon_client_get_control_flags while the handler runs.
typedef void conmon_client_monitoring_fn(conmon_client_t* client, conmon_channel_type_t channel,
                                         conmon_channel_direction_t direction,
                                         const conmon_message_head_t* head, const uint8_t* body);
typedef void conmon_client_notify_fn(conmon_client_t* client);
// changed: the remote records that are new or whose contents changed.
typedef void conmon_client_remotes_changed_fn(conmon_client_t* client,
                                              const conmon_remote_t* const* changed, size_t count);

// ---------------------------------------------------------------------------
// Configuration: copied into the client at creation.

// Name cut to 31 characters. Null on a missing name or out of memory.
conmon_client_config_t* conmon_client_config_new(const char* client_name);
// Null is harmless.
aud_error_t conmon_client_config_delete(conmon_client_config_t* config);
// 0 keeps the default 8900.
aud_error_t conmon_client_config_set_server_port(conmon_client_config_t* config, uint16_t port);
// Sets or clears the VBROADCAST bit of the channel mask.
aud_error_t conmon_client_config_enable_vendor_broadcast(conmon_client_config_t* config,
                                                         bool enabled);
// group in network order; a group that is not multicast opens no socket.
aud_error_t conmon_client_config_set_vendor_broadcast_address(conmon_client_config_t* config,
                                                              uint32_t group);
aud_error_t conmon_client_config_set_protocol_version(conmon_client_config_t* config,
                                                      uint16_t version);
aud_error_t conmon_client_config_set_channel_mask(conmon_client_config_t* config, uint32_t mask);
uint32_t conmon_client_config_get_channel_mask(const conmon_client_config_t* config);

// ---------------------------------------------------------------------------
// Lifecycle

// INVALIDPARAMETER for a missing argument, INVALIDDATA when the API handle has no
// environment, NOMEMORY.
aud_error_t conmon_client_new(dapi_t* api, const conmon_client_config_t* config,
                              conmon_client_t** out);
// Sends a disconnect when a server socket is open, closes every socket, frees.
// Not to be called from inside one of the client's own callbacks. Null is harmless.
aud_error_t conmon_client_delete(conmon_client_t* client);

// Asynchronous: the result arrives through callback. INVALIDSTATE unless the
// client is in NO_CONNECTION.
aud_error_t conmon_client_connect(conmon_client_t* client, conmon_client_response_fn* callback,
                                  conmon_client_request_id_t* request_id);
// NOTSUPPORTED when the environment has an event loop (it then reads the sockets).
aud_error_t conmon_client_process(conmon_client_t* client);

void conmon_client_set_event_callback(conmon_client_t* client, conmon_client_event_fn* callback);
void conmon_client_set_interfaces_changed_callback(conmon_client_t* client,
                                                   conmon_client_notify_fn* callback);
void conmon_client_set_device_name_changed_callback(conmon_client_t* client,
                                                    conmon_client_notify_fn* callback);
void conmon_client_set_dns_name_changed_callback(conmon_client_t* client,
                                                 conmon_client_notify_fn* callback);
void conmon_client_set_remotes_changed_callback(conmon_client_t* client,
                                                conmon_client_remotes_changed_fn* callback);
void conmon_client_set_context(conmon_client_t* client, void* context);
void* conmon_client_get_context(const conmon_client_t* client);

// ---------------------------------------------------------------------------
// State

conmon_client_state_t conmon_client_get_connection_state(const conmon_client_t* client);
bool conmon_client_is_connected(const conmon_client_t* client);
bool conmon_client_is_remote_ready(const conmon_client_t* client);
conmon_client_domain_mode_t conmon_client_get_domain_mode(const conmon_client_t* client);
uint16_t conmon_client_get_max_body_size(const conmon_client_t* client);
// The version written into requests; falls back to an older server's.
uint16_t conmon_client_get_protocol_version(const conmon_client_t* client);
// Null unless CONNECTED.
const char* conmon_client_get_device_name(const conmon_client_t* client);
const char* conmon_client_get_dns_name(const conmon_client_t* client);
const conmon_instance_id_t* conmon_client_get_instance_id(const conmon_client_t* client);
// Interfaces from the connect response and event 0x0500 (at most 2).
size_t conmon_client_get_num_interfaces(const conmon_client_t* client);
const conmon_interface_entry_t* conmon_client_get_interface(const conmon_client_t* client,
                                                            size_t index);
// Device name for an instance id: own id, then remote records (device id only),
// then the sender of the 0x0511 event being delivered. Null otherwise.
const char* conmon_client_get_source_name(const conmon_client_t* client,
                                          const conmon_instance_id_t* id);
// Domain-filter flags of the CONTROL message being delivered (0 outside delivery).
uint8_t conmon_client_get_control_flags(const conmon_client_t* client);
uint16_t conmon_client_get_max_requests(const conmon_client_t* client);
uint16_t conmon_client_get_pending_requests(const conmon_client_t* client);
// Whether subscribe_global was called for the channel.
bool conmon_client_is_subscribed_global(const conmon_client_t* client, uint16_t channel);

// ---------------------------------------------------------------------------
// Requests. A request with neither callback nor request_id takes no slot and
// awaits no response (fire and forget).

// handler null deregisters.
aud_error_t conmon_client_register_monitoring_messages(conmon_client_t* client,
                                                       conmon_client_response_fn* callback,
                                                       conmon_client_request_id_t* request_id,
                                                       uint16_t channel, uint16_t direction,
                                                       conmon_client_monitoring_fn* handler);
// device_name cut to 31 characters.
aud_error_t conmon_client_subscribe(conmon_client_t* client, conmon_client_response_fn* callback,
                                    conmon_client_request_id_t* request_id, uint16_t channel,
                                    const char* device_name);
aud_error_t conmon_client_subscribe_global(conmon_client_t* client,
                                           conmon_client_response_fn* callback,
                                           conmon_client_request_id_t* request_id,
                                           uint16_t channel);
// device_name null or empty: the local device. timeout null: the server's default.
aud_error_t conmon_client_send_control_message(conmon_client_t* client,
                                               conmon_client_response_fn* callback,
                                               conmon_client_request_id_t* request_id,
                                               const char* device_name, uint16_t message_class,
                                               const conmon_vendor_id_t* vendor_id,
                                               const uint8_t* body, size_t body_size,
                                               const conmon_client_timeout_t* timeout);

// ---------------------------------------------------------------------------
// Remote records

// Key: channel and device name (case-insensitive) among records in use.
const conmon_remote_t* conmon_client_find_subscription(const conmon_client_t* client,
                                                       uint16_t channel, const char* device_name);
uint16_t conmon_remote_get_channel(const conmon_remote_t* remote);
const char* conmon_remote_get_device_name(const conmon_remote_t* remote);
// Null while the instance id is not known.
const conmon_instance_id_t* conmon_remote_get_instance_id(const conmon_remote_t* remote);
// Null while the address list is not known.
const conmon_address_list_t* conmon_remote_get_addresses(const conmon_remote_t* remote);

#ifdef __cplusplus
}
#endif
