#pragma once
// The client's inside, shared by its source files and by tests and fuzz targets that
// feed server datagrams straight into the dispatch.
#include <netinet/in.h>

#include "dante/conmon/conmon_client.h"
#include "dante/conmon/internal/conmon_channel.h"
#include "dante/runtime/aud_interface.h"

struct conmon_client_config {
    char client_name[CONMON_NAME_SIZE];
    struct sockaddr_in server;  // address 0 means 127.0.0.1; port 0 means 8900
    uint16_t protocol_version;
    uint32_t channel_mask;
    uint16_t metering_port;
    uint32_t vbroadcast_group;  // network order
    uint32_t metering_failure_tolerance;
    uint32_t receive_batch[3];
};

struct conmon_client_request {
    bool in_use;
    uint16_t seqnum;
    uint16_t opcode;
    conmon_client_response_fn* callback;
};

struct conmon_remote {
    bool in_use;
    uint16_t channel;
    char device_name[CONMON_NAME_SIZE];
    bool instance_id_valid;
    conmon_instance_id_t instance_id;
    bool addresses_valid;
    conmon_address_list_t addresses;
    uint16_t attribute;
    uint16_t attribute2;
    uint8_t attribute3;
    uint8_t attribute4;
};

struct conmon_client {
    dapi_t* api;
    aud_env_t* env;
    aud_event_loop_t* loop;
    aud_log_t* log;
    dapi_domain_handler_t* domain_handler;
    dapi_domain_registration_t* domain_registration;
    conmon_client_config_t config;
    void* context;

    // Local connection to the server.
    int sock;
    conmon_client_state_t state;
    uint16_t version;  // written into requests; may fall back to the server's
    uint16_t next_seqnum;
    conmon_client_request connection;
    conmon_client_request requests[CONMON_CLIENT_MAX_REQUESTS];
    conmon_client_response_fn* connect_callback;

    // Own identity from the connect response.
    uint16_t server_flags;
    uint32_t stored_words[2];
    char device_name[CONMON_NAME_SIZE];
    char dns_name[CONMON_DNS_NAME_SIZE];
    conmon_instance_id_t instance_id;
    conmon_interface_list_t interfaces;
    char interface_names[CONMON_MAX_INTERFACES][AUD_INTERFACE_NAME_SIZE];

    conmon_remote remotes[CONMON_CLIENT_MAX_REMOTES];
    conmon_client_monitoring_fn* handlers[CONMON_NUM_CHANNELS][CONMON_NUM_DIRECTIONS];
    bool subscribed_global[CONMON_NUM_CHANNELS];

    conmon_client_event_fn* event_callback;
    conmon_client_notify_fn* interfaces_changed;
    conmon_client_notify_fn* device_name_changed;
    conmon_client_notify_fn* dns_name_changed;
    conmon_client_remotes_changed_fn* remotes_changed;

    // Derived flags, reported through the event callback when they change.
    bool connected;
    bool remote_ready;
    bool domain_change_in_progress;
    conmon_client_domain_mode_t domain_mode;
    uint16_t max_body_size;

    // Valid only while a handler runs.
    uint8_t control_flags;
    const char* source_name;
    const conmon_message_head_t* source_message;

    // METERING, SERIAL and VBROADCAST sockets of the client's own; null when the
    // mask asks for none of them.
    conmon_channels_t* channels;

    uint8_t tx[CONMON_IPC_BUFFER_SIZE];
    uint8_t rx[CONMON_IPC_BUFFER_SIZE];
};

// Validation and dispatch of one datagram from the server.
void conmon_client_process_local_message(conmon_client_t* client, const uint8_t* data, size_t size);

// Internal steps shared between the client's files.
uint16_t conmon_client_next_seqnum(conmon_client_t* client);
conmon_client_request* conmon_client_find_free_slot(conmon_client_t* client);
void conmon_client_free_slot(conmon_client_request* slot);
// Sends size bytes of the send buffer (the head's seqnum already written).
aud_error_t conmon_client_send_buffer(conmon_client_t* client, size_t size);
void conmon_client_complete(conmon_client_t* client, conmon_client_request* slot,
                            aud_error_t result);
void conmon_client_local_to_state_inner(conmon_client_t* client, const char* cause,
                                        conmon_client_state_t state, const char* reason);
// Recomputes domain mode, connected, remote-ready and maximum body size, and calls
// the event callback when extra_flags or a changed flag says so.
void conmon_client_update_derived(conmon_client_t* client, uint32_t extra_flags);
aud_error_t conmon_client_send_connect(conmon_client_t* client);
// Names the client's interfaces from the system list and brings the channel sockets
// in step; failures are logged under fn, the operation that asked.
void conmon_client_lookup_interface_names(conmon_client_t* client, const char* fn);
void conmon_client_close_socket(conmon_client_t* client);
const char* conmon_client_state_name(conmon_client_state_t state);
