#pragma once
// The client's inside, shared by its source files and by tests and fuzz targets that
// feed server datagrams straight into the dispatch.
#include <netinet/in.h>
#include <sys/socket.h>

#include "dante/conmon/conmon_client.h"
#include "dante/conmon/internal/conmon_channel.h"
#include "dante/runtime/aud_interface.h"

// Server datagrams taken off the socket per system call.
#define CONMON_CLIENT_RX_BATCH 16

struct conmon_client_config {
    char client_name[CONMON_NAME_SIZE];
    struct sockaddr_in server;  // address 0 means 127.0.0.1; port 0 means 8900
    uint16_t protocol_version;
    uint32_t channel_mask;
    uint16_t metering_port;
    uint32_t vbroadcast_group;  // network order
    uint32_t metering_failure_tolerance;
    uint32_t receive_batch[3];
    uint32_t reconnect_ms;  // 0: no automatic reconnection
};

struct conmon_client_request {
    bool in_use;
    uint16_t seqnum;
    uint16_t opcode;
    conmon_client_response_fn* callback;
};

// A subscription to one device, kept so that it can be made again after the client
// connected anew.
struct conmon_client_subscription {
    bool in_use;
    uint16_t channel;
    char device_name[CONMON_NAME_SIZE];
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
    uint32_t sock_serial;  // counts closed sockets: a new socket may reuse the number
    conmon_client_state_t state;
    uint16_t version;  // written into requests; may fall back to the server's
    uint16_t next_seqnum;
    conmon_client_request connection;
    conmon_client_request requests[CONMON_CLIENT_MAX_REQUESTS];
    conmon_client_response_fn* connect_callback;

    // Recovery of a lost connection: a timer paces the attempts (and ends one the
    // server does not answer); after the connect, the handlers are registered and
    // the subscriptions made again one request at a time.
    bool reconnecting;  // the current connect is the client's own attempt
    aud_timer_t* reconnect_timer;
    bool lost_pending;  // a send saw the connection refused; handled in the loop
    aud_defer_token_t lost_token;
    bool resyncing;
    bool resync_in_flight;  // one restoring request at a time
    unsigned resync_cursor;
    conmon_client_subscription subscriptions[CONMON_CLIENT_MAX_REMOTES];

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
    conmon_client_notify_fn* disconnected;

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
    // Datagrams from the server are read several at a time (one system call for a
    // burst of events), each into a buffer of its own.
    uint8_t rx[CONMON_CLIENT_RX_BATCH][CONMON_IPC_BUFFER_SIZE];
    struct iovec rx_iov[CONMON_CLIENT_RX_BATCH];
    struct mmsghdr rx_msgs[CONMON_CLIENT_RX_BATCH];
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
                                        conmon_client_state_t state, const char* reason,
                                        uint32_t extra_flags = 0);
// Recomputes domain mode, connected, remote-ready and maximum body size, and calls
// the event callback when extra_flags or a changed flag says so.
void conmon_client_update_derived(conmon_client_t* client, uint32_t extra_flags);
aud_error_t conmon_client_send_connect(conmon_client_t* client);
// Fills in the default server address.
aud_error_t conmon_client_pre_connect(conmon_client_t* client);
// The connected UDP socket to the server, watched by the event loop.
aud_error_t conmon_client_local_open_socket(conmon_client_t* client);
// Opens the socket, sends the connect request and enters CONNECTING (logged with
// reason); callback receives the connect response.
aud_error_t conmon_client_start_connect(conmon_client_t* client,
                                        conmon_client_response_fn* callback, const char* fn,
                                        const char* reason);
// Names the client's interfaces from the system list and brings the channel sockets
// in step; failures are logged under fn, the operation that asked.
void conmon_client_lookup_interface_names(conmon_client_t* client, const char* fn);
void conmon_client_close_socket(conmon_client_t* client);
const char* conmon_client_state_name(conmon_client_state_t state);

// The METERING port requests carry: the one the channel socket bound, 0 without one.
uint16_t conmon_client_metering_port(const conmon_client_t* client);

// Recovery (conmon_client_recovery.cpp).
// An established connection is gone: closes the socket, completes pending requests
// with NOTCONN, reports it and schedules the client's own reconnection.
void conmon_client_connection_lost(conmon_client_t* client, const char* fn, aud_error_t cause);
// The client's own connect attempt failed or went unanswered: try again later.
void conmon_client_reconnect_failed(conmon_client_t* client, const char* fn, aud_error_t cause);
// Connected again by the client itself: registers handlers and subscribes again,
// one request at a time (conmon_client_requests.cpp).
void conmon_client_resync_start(conmon_client_t* client);
// Sends the next of those requests while a slot is free.
void conmon_client_resync_next(conmon_client_t* client);
void conmon_client_remember_subscription(conmon_client_t* client, uint16_t channel,
                                         const char* device_name);
aud_error_t conmon_client_recovery_init(conmon_client_t* client);
void conmon_client_recovery_free(conmon_client_t* client);
