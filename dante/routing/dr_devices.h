#pragma once
// Routing devices over ARCP. A factory (dr_devices) owns one UDP socket and a table
// of outstanding requests for all devices; each open device (dr_device) finds its
// ARCP address through DNS-SD, reads its capabilities, names, properties and
// component tables, and can be pinged and renamed. All work runs in the
// environment's event loop; nothing here takes a lock, so callers on other threads
// must serialise with the loop.
#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include "dante/routing/dr_error.h"
#include "dante/runtime/aud_error.h"
#include "dante/runtime/dapi.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct dr_devices dr_devices_t;
typedef struct dr_device dr_device_t;
typedef struct dr_device_config dr_device_config_t;
typedef struct dr_txchannel dr_txchannel_t;
typedef struct dr_rxchannel dr_rxchannel_t;
// A pending request: the address of its table entry, handed back on completion.
typedef struct dr_request* dr_request_id_t;

#define DR_DEFAULT_REQUEST_LIMIT 16
#define DR_DEFAULT_HANDLE_COUNT 1
#define DR_DEVICE_NAME_SIZE 40  // name as opened: at most 39 characters
#define DR_DEVICE_CURRENT_NAME_SIZE 32
#define DR_ERROR_MESSAGE_SIZE 129  // 128 characters
#define DR_ARCP_SERVICE_TYPE "_netaudio-arc._udp."

typedef enum dr_device_state {
    DR_DEVICE_STATE_ERROR = 0,
    DR_DEVICE_STATE_RESOLVING = 1,
    DR_DEVICE_STATE_RESOLVED = 2,
    DR_DEVICE_STATE_QUERYING = 3,
    DR_DEVICE_STATE_ACTIVE = 4,
} dr_device_state_t;

typedef enum dr_device_component {
    DR_DEVICE_COMPONENT_TXCHANNELS = 0,
    DR_DEVICE_COMPONENT_RXCHANNELS = 1,
    DR_DEVICE_COMPONENT_TXLABELS = 2,
    DR_DEVICE_COMPONENT_TXFLOWS = 3,
    DR_DEVICE_COMPONENT_RXFLOWS = 4,
    DR_DEVICE_COMPONENT_PROPERTIES = 5,
    DR_DEVICE_COMPONENT_COUNT = 6,
} dr_device_component_t;

// Change flags of the changed callback.
typedef uint32_t dr_device_change_flags_t;
enum {
    DR_DEVICE_CHANGE_TXCHANNELS = 1u << 0,
    DR_DEVICE_CHANGE_RXCHANNELS = 1u << 1,
    DR_DEVICE_CHANGE_TXLABELS = 1u << 2,
    DR_DEVICE_CHANGE_TXFLOWS = 1u << 3,
    DR_DEVICE_CHANGE_RXFLOWS = 1u << 4,
    DR_DEVICE_CHANGE_PROPERTIES = 1u << 5,
    DR_DEVICE_CHANGE_NAME = 1u << 6,
    DR_DEVICE_CHANGE_STATE = 1u << 7,
    DR_DEVICE_CHANGE_STALE = 1u << 8,
    DR_DEVICE_CHANGE_STATUS = 1u << 9,
    DR_DEVICE_CHANGE_ADDRESSES = 1u << 10,
    DR_DEVICE_CHANGE_RXFLOW_ERROR_FLAGS = 1u << 11,
    DR_DEVICE_CHANGE_RXFLOW_EARLY_PACKETS = 1u << 12,
    DR_DEVICE_CHANGE_RXFLOW_LATE_PACKETS = 1u << 13,
    DR_DEVICE_CHANGE_RXFLOW_DROPPED_PACKETS = 1u << 14,
    DR_DEVICE_CHANGE_RXFLOW_OUT_OF_ORDER_PACKETS = 1u << 15,
    DR_DEVICE_CHANGE_RXFLOW_MAX_LATENCY = 1u << 16,
};

// Status flags of a device.
enum {
    DR_DEVICE_STATUS_NAME_CONFLICT = 1u << 0,
    DR_DEVICE_STATUS_UNLICENSED = 1u << 1,  // the second status condition
    DR_DEVICE_STATUS_LOCKDOWN = 1u << 2,
};

typedef struct dr_address {
    uint32_t ip;    // network order
    uint16_t port;  // host order
} dr_address_t;

typedef void dr_device_response_fn(dr_device_t* device, dr_request_id_t request_id,
                                   aud_error_t result);
typedef void dr_device_changed_fn(dr_device_t* device, dr_device_change_flags_t changes);

// ---------------------------------------------------------------------------
// Factory

// INVALIDPARAMETER without a handle; INVALIDDATA when it has no environment or event
// loop or its domain is not known; NOMEMORY; or the socket's error.
aud_error_t dr_devices_new(dapi_t* api, dr_devices_t** out);
// INVALIDSTATE while devices are open. Closes the socket. Null is harmless.
aud_error_t dr_devices_delete(dr_devices_t* devices);
// INVALIDSTATE while a handle is in use; INVALIDPARAMETER when smaller than now.
aud_error_t dr_devices_set_handle_count(dr_devices_t* devices, unsigned count);
unsigned dr_devices_get_handle_count(const dr_devices_t* devices);
// INVALIDPARAMETER for 0; INVALIDSTATE while a request is outstanding.
aud_error_t dr_devices_set_request_limit(dr_devices_t* devices, unsigned count);
unsigned dr_devices_get_request_limit(const dr_devices_t* devices);
unsigned dr_devices_get_pending_requests(const dr_devices_t* devices);
// The factory's socket (for tests and diagnostics).
int dr_devices_get_socket(const dr_devices_t* devices);
void dr_devices_set_context(dr_devices_t* devices, void* context);
void* dr_devices_get_context(const dr_devices_t* devices);

// ---------------------------------------------------------------------------
// Configuration

// name may be null when explicit addresses follow; it is cut to 39 characters.
// NOMEMORY.
aud_error_t dr_device_config_new(const char* name, dr_device_config_t** out);
// Null is harmless.
aud_error_t dr_device_config_delete(dr_device_config_t* config);
// An explicit address; port 0 means 4440. INVALIDPARAMETER for ip 0.
aud_error_t dr_device_config_add_address(dr_device_config_t* config, uint32_t ip, uint16_t port);

// ---------------------------------------------------------------------------
// Devices

// INVALIDSTATE when the domain is not known; INVALIDPARAMETER without a name and
// without addresses, or with explicit addresses in a managed domain; NOTFOUND when
// no address resolution could start; NOMEMORY.
aud_error_t dr_device_open_with_config(dr_devices_t* devices, const dr_device_config_t* config,
                                       dr_device_t** out);
// Frees the device's requests without calling back and stops its DNS-SD work. Safe
// from inside the device's own callbacks.
aud_error_t dr_device_close(dr_device_t* device);

aud_error_t dr_device_set_changed_callback(dr_device_t* device, dr_device_changed_fn* fn);
void dr_device_set_context(dr_device_t* device, void* context);
void* dr_device_get_context(const dr_device_t* device);
dr_devices_t* dr_device_get_devices(const dr_device_t* device);

dr_device_state_t dr_device_get_state(const dr_device_t* device);
// The current name (the name as opened until the device has told its own).
const char* dr_device_get_name(const dr_device_t* device);
const char* dr_device_get_advertised_name(const dr_device_t* device);
// Copies up to *count (IPv4, port) pairs and sets *count to the number copied.
aud_error_t dr_device_get_addresses(const dr_device_t* device, dr_address_t* out, size_t* count);
aud_error_t dr_device_get_error(const dr_device_t* device);
const char* dr_device_get_error_message(const dr_device_t* device);
uint16_t dr_device_get_arcp_version(const dr_device_t* device);
uint16_t dr_device_get_router_version(const dr_device_t* device);
bool dr_device_is_safe_mode(const dr_device_t* device);

// Capabilities (0 when not ACTIVE).
uint16_t dr_device_num_txchannels(const dr_device_t* device);
uint16_t dr_device_num_rxchannels(const dr_device_t* device);
uint16_t dr_device_max_txflows(const dr_device_t* device);
uint16_t dr_device_max_rxflows(const dr_device_t* device);
uint16_t dr_device_num_interfaces(const dr_device_t* device);
uint16_t dr_device_get_capability_word(const dr_device_t* device);
// INVALIDSTATE when not ACTIVE; VERSION when the device is too old to tell.
aud_error_t dr_device_get_status_flags(const dr_device_t* device, uint32_t* out);
aud_error_t dr_device_get_capability_flags(const dr_device_t* device, uint32_t* out);
aud_error_t dr_device_get_txflow_limit(const dr_device_t* device, uint16_t* out);
aud_error_t dr_device_get_rxflow_limit(const dr_device_t* device, uint16_t* out);
aud_error_t dr_device_get_max_txlabels(const dr_device_t* device, uint16_t* out);

// Property values by id (0x8204 TX latency, 0x0310 RX frames per packet, ...):
// INVALIDSTATE when not ACTIVE, NOTFOUND when the device has not reported it.
aud_error_t dr_device_get_property(const dr_device_t* device, uint16_t id, uint32_t* out);
// The 16-character clock subdomain name (property 0x8021) into buf[17].
aud_error_t dr_device_get_clock_subdomain(const dr_device_t* device, char buf[17]);
bool dr_device_is_property_available(const dr_device_t* device, uint16_t id);

// Channels, ids 1..count; index is id - 1. Null outside the range or when not ACTIVE.
dr_txchannel_t* dr_device_txchannel_at_index(const dr_device_t* device, unsigned index);
dr_rxchannel_t* dr_device_rxchannel_at_index(const dr_device_t* device, unsigned index);
uint16_t dr_txchannel_get_id(const dr_txchannel_t* channel);
const char* dr_txchannel_get_name(const dr_txchannel_t* channel);
bool dr_txchannel_is_stale(const dr_txchannel_t* channel);
uint16_t dr_rxchannel_get_id(const dr_rxchannel_t* channel);
const char* dr_rxchannel_get_name(const dr_rxchannel_t* channel);
// "txchannel@txdevice", empty when not subscribed.
const char* dr_rxchannel_get_subscription(const dr_rxchannel_t* channel);
uint16_t dr_rxchannel_get_status(const dr_rxchannel_t* channel);
bool dr_rxchannel_is_stale(const dr_rxchannel_t* channel);

// TX labels as last read: (channel id, label) pairs.
size_t dr_device_num_txlabels(const dr_device_t* device);
aud_error_t dr_device_get_txlabel(const dr_device_t* device, size_t index, uint16_t* channel_id,
                                  const char** label);
size_t dr_device_num_txflows(const dr_device_t* device);
size_t dr_device_num_rxflows(const dr_device_t* device);

// ---------------------------------------------------------------------------
// Requests. request_id may be null; on success it receives the request's id.

// INVALIDSTATE below RESOLVED.
aud_error_t dr_device_query_capabilities(dr_device_t* device, dr_device_response_fn* fn,
                                         dr_request_id_t* request_id);
// INVALIDSTATE below ACTIVE; INVALIDPARAMETER for a component above 5. When nothing
// of the component is stale nothing is sent, *request_id becomes null and the result
// is SUCCESS.
aud_error_t dr_device_update_component(dr_device_t* device, dr_device_response_fn* fn,
                                       dr_request_id_t* request_id,
                                       dr_device_component_t component);
bool dr_device_is_component_stale(const dr_device_t* device, dr_device_component_t component);
aud_error_t dr_device_ping(dr_device_t* device, dr_device_response_fn* fn,
                           dr_request_id_t* request_id);
// INVALIDDATA for an invalid name (an empty name is sent as an empty string). Without
// request_id the request is sent without a table entry and nothing calls back.
aud_error_t dr_device_set_name(dr_device_t* device, dr_device_response_fn* fn,
                               dr_request_id_t* request_id, const char* name);

// Sends the rename without awaiting an answer, then closes the device. When the send
// fails the device goes to ERROR ("CloseRename: Error setting name"), stays open and
// the error is returned.
aud_error_t CloseRename(dr_device_t* device, const char* name);

#ifdef __cplusplus
}
#endif
