#pragma once
// Inside of the routing layer: the factory, its request table, devices and their
// address slots. Not for use outside dante/routing.
#include <vector>

#include "dante/dnssd/dt_dnssd.h"
#include "dante/routing/dr_devices.h"
#include "dante/routing/internal/arcp_wire.h"
#include "dante/runtime/aud_event_loop.h"

#define DR_LOG(device_or_factory_log, level, ...) \
    aud_log_printf(device_or_factory_log, level, __VA_ARGS__)

// What a request entry is doing; a chained operation (capabilities, then available
// properties, then names) keeps its entry and only changes the step.
enum dr_step {
    DR_STEP_NONE,
    DR_STEP_PING,
    DR_STEP_SET_NAME,
    DR_STEP_CAPABILITIES,
    DR_STEP_PROP_AVAIL,
    DR_STEP_NAMES,
    DR_STEP_COMPONENT,
    DR_STEP_RXFLOW_ERRORS,
};

struct dr_request {
    bool in_use;
    uint16_t seqnum;
    uint16_t opcode;
    dr_device* device;
    dr_device_response_fn* callback;
    aud_error_t result;
    aud_error_t result_override;
    dr_step step;
    int component;  // DR_STEP_COMPONENT
    uint8_t packet[ARCP_MAX_PACKET];
    size_t packet_size;
};

struct dr_devices {
    dapi_t* api;
    aud_env_t* env;
    aud_log_t* log;
    aud_event_loop_t* loop;
    dapi_domain_registration_t* registration;
    int sock;
    std::vector<dr_request> requests;
    size_t next_request;  // round robin
    std::vector<bool> handles;
    std::vector<dr_device*> open;
    uint16_t next_seqnum;
    uint32_t loopback_index;
    void* context;
};

struct dr_device_config {
    char name[DR_DEVICE_NAME_SIZE];
    std::vector<dr_address_t> addresses;
};

// One address of a device, found through DNS-SD or given explicitly.
struct dr_address_slot {
    dr_device* device;
    unsigned index;
    dt_dnssd_ref resolve_ref;
    int resolve_sock;
    dt_dnssd_ref query_ref;
    int query_sock;
    uint32_t interface_index;  // fixed by the first resolve reply
    bool have_interface;
    char host_target[DT_DNSSD_MAX_DOMAIN_NAME];
    bool have_host;
    uint16_t port;  // host order
    bool have_address;
    dr_address_t address;
    bool failed;
};

struct dr_txchannel {
    uint16_t id;
    bool stale;
    arcp_txchannel_t data;
};

struct dr_rxchannel {
    uint16_t id;
    bool stale;
    arcp_rxchannel_t data;
};

struct dr_property_value {
    uint16_t id;
    bool present;
    uint32_t value;
};

#define DR_PROPERTY_COUNT 15
extern const uint16_t dr_property_ids[DR_PROPERTY_COUNT];

struct dr_device {
    dr_devices* factory;
    char name[DR_DEVICE_NAME_SIZE];
    char current_name[DR_DEVICE_CURRENT_NAME_SIZE];
    char advertised_name[DR_DEVICE_CURRENT_NAME_SIZE];
    dr_device_state_t state;
    aud_error_t error;
    char error_message[DR_ERROR_MESSAGE_SIZE];
    uint16_t arcp_version;
    uint16_t router_version;
    bool safe_mode;
    bool adhoc;
    std::vector<dr_address_slot*> slots;
    bool resolved_pending;
    aud_defer_token_t resolved_token;

    bool have_capabilities;
    arcp_capabilities_t caps;
    uint32_t status_flags;
    std::vector<dr_txchannel> tx;
    std::vector<dr_rxchannel> rx;
    std::vector<arcp_label_t> labels;
    std::vector<arcp_flow_t> txflows;
    std::vector<arcp_flow_t> rxflows;
    dr_property_value properties[DR_PROPERTY_COUNT];
    char clock_subdomain[17];
    uint32_t available_properties;  // bit i: dr_property_ids[i]
    bool stale[DR_DEVICE_COMPONENT_COUNT];
    bool prop_avail_due;
    bool names_due;

    dr_device_changed_fn* changed;
    void* context;
    // Change flags are collected while a response is handled and reported once.
    int collecting;
    dr_device_change_flags_t pending_changes;
    // Callbacks may close the device; it is freed when the outermost one returns.
    int busy;
    bool closed;
};

// dr_devices.cpp
// Takes a free entry (round robin). NOBUFS when none.
aud_error_t dr_request_take(dr_device* device, dr_device_response_fn* fn, dr_step step,
                            dr_request** out);
void dr_request_free(dr_request* request);
// Builds head + body into the entry, stamps the next sequence number and sends it to
// every address. On failure the caller decides whether the entry is freed.
aud_error_t dr_request_send(dr_request* request, uint16_t opcode, const uint8_t* body,
                            size_t body_size);
// The same without a table entry (renames that nobody waits for).
aud_error_t dr_device_send_unrequested(dr_device* device, uint16_t opcode, const uint8_t* body,
                                       size_t body_size);
// Frees the entry and calls its callback (unless the device is closed).
void dr_request_complete(dr_request* request, aud_error_t result);
void dr_devices_free_requests_of(dr_devices* factory, dr_device* device);
// One received datagram (also the entry of the fuzz target).
void dr_devices_process_socket_message(dr_devices* factory, const uint8_t* data, size_t size,
                                       uint16_t source_port);

// dr_device.cpp
void dr_device_set_state(dr_device* device, dr_device_state_t state);
void dr_device_set_error(dr_device* device, aud_error_t error, const char* message);
void dr_device_note_change(dr_device* device, dr_device_change_flags_t changes);
void dr_device_begin(dr_device* device);
// Reports collected changes; frees a device closed meanwhile. False when it was freed.
bool dr_device_end(dr_device* device);
void dr_device_domain_changed(dr_device* device);

// dr_resolve.cpp
aud_error_t dr_device_addresses_resolve_address_at_index(dr_device* device, unsigned index);
void dr_address_slot_stop(dr_address_slot* slot);

// dr_response.cpp
void dr_device_handle_socket_response(dr_device* device, dr_request* request, const uint8_t* data,
                                      size_t size, uint16_t source_port);
aud_error_t dr_device_send_query_capabilities(dr_request* request);

// dr_components.cpp
aud_error_t dr_component_send_query(dr_request* request);
void dr_component_handle_response(dr_request* request, const arcp_head_t* head, const uint8_t* data,
                                  size_t size);
void dr_properties_handle_response(dr_request* request, const arcp_head_t* head,
                                   const uint8_t* data, size_t size);
void dr_rxflow_errors_handle_response(dr_request* request, const arcp_head_t* head,
                                      const uint8_t* data, size_t size);
void dr_device_mark_all_stale(dr_device* device);
