// Client lifecycle, the local connection to the server and the derived flags.
#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include "dante/conmon/internal/conmon_client_impl.h"

namespace {

constexpr int kReadBatch = 32;

constexpr uint32_t kSocketChannelsMask = (1u << CONMON_CHANNEL_TYPE_METERING) |
                                         (1u << CONMON_CHANNEL_TYPE_SERIAL) |
                                         (1u << CONMON_CHANNEL_TYPE_VBROADCAST);

const char* errtext(aud_error_t err, aud_errbuf_t buf) {
    return aud_error_format(err, buf, AUD_ERROR_STR_SIZE);
}

void conmon_client_domain_changed(dapi_domain_handler_t* /*handler*/, dapi_domain_event_t kind,
                                  void* user) {
    auto* client = static_cast<conmon_client_t*>(user);
    uint32_t flags = 0;
    switch (kind) {
        case DAPI_DOMAIN_EVENT_BEFORE_CHANGE:
            flags = CONMON_CLIENT_EVENT_FLAG_DOMAIN_BEFORE_CHANGE;
            client->domain_change_in_progress = true;
            break;
        case DAPI_DOMAIN_EVENT_AFTER_CHANGE:
            flags = CONMON_CLIENT_EVENT_FLAG_DOMAIN_AFTER_CHANGE;
            client->domain_change_in_progress = false;
            if (client->sock >= 0) {
                conmon_ipc_head_t head = {client->version, 0, conmon_client_next_seqnum(client),
                                          CONMON_IPC_OPCODE_CLEAR_REMOTE, 0};
                if (client->server_flags & CONMON_IPC_SERVER_FLAG_NO_RESPONSE) {
                    head.status = CONMON_IPC_STATUS_NO_RESPONSE;
                }
                size_t size = 0;
                aud_error_t err =
                    conmon_ipc_encode_head_only(&head, client->tx, sizeof client->tx, &size);
                if (err == AUD_SUCCESS) {
                    err = conmon_client_send_buffer(client, size);
                }
                if (err != AUD_SUCCESS) {
                    aud_errbuf_t buf;
                    aud_log_printf(client->log, AUD_LOG_ERROR,
                                   "%s: error sending CLEAR_REMOTE message: %s",
                                   "conmon_client_domain_changed", errtext(err, buf));
                }
            }
            memset(client->handlers, 0, sizeof client->handlers);
            break;
        case DAPI_DOMAIN_EVENT_HANDLER_STATE:
            flags = CONMON_CLIENT_EVENT_FLAG_DOMAIN_HANDLER_STATE;
            break;
        default:
            break;
    }
    conmon_client_update_derived(client, flags);
}

// Reads and handles one datagram; false when there was nothing (more) to read.
bool conmon_client_process_sockets_inner(conmon_client_t* client) {
    if (client->sock < 0) {
        return false;
    }
    ssize_t n = recv(client->sock, client->rx, sizeof client->rx, 0);
    if (n >= 0) {
        conmon_client_process_local_message(client, client->rx, static_cast<size_t>(n));
        return true;
    }
    aud_error_t err = aud_error_from_errno(errno);
    if (err == AUD_ERR_TIMEDOUT) {
        return false;  // would block: nothing more to read
    }
    if ((err == AUD_ERR_CONNREFUSED || err == AUD_ERR_CONNRESET) &&
        client->state == CONMON_CLIENT_CONNECTING) {
        aud_log_printf(client->log, AUD_LOG_ERROR,
                       "%s: Got a CONNREFUSED while waiting for a connect response, aborting "
                       "connect",
                       "conmon_client_process_sockets_inner");
        conmon_client_close_socket(client);
        memset(client->handlers, 0, sizeof client->handlers);
        conmon_client_local_to_state_inner(client, "conmon_client_process_sockets_inner",
                                           CONMON_CLIENT_NO_CONNECTION,
                                           "manual connection disconnected");
        conmon_client_request* slot = &client->connection;
        if (slot->in_use) {
            conmon_client_complete(client, slot, err);
        }
        return false;
    }
    aud_errbuf_t buf;
    aud_log_printf(client->log, AUD_LOG_ERROR, "%s: Error reading local socket: %s",
                   "conmon_client_process_sockets_inner", errtext(err, buf));
    return false;
}

// Up to a batch of datagrams per readiness: a burst of events then costs one wait
// instead of one per datagram, while a flood cannot starve the loop's other work.
void on_socket_ready(int /*sock*/, aud_socket_set_t /*set*/, int /*cause*/, void* user) {
    auto* client = static_cast<conmon_client_t*>(user);
    for (int i = 0; i < kReadBatch && conmon_client_process_sockets_inner(client); ++i) {
    }
}

void deliver_from_channel(conmon_channels_t* /*set*/, conmon_channel_type_t channel,
                          conmon_channel_direction_t direction, const conmon_message_head_t* head,
                          const uint8_t* body, uint16_t /*body_size*/, void* user) {
    auto* client = static_cast<conmon_client_t*>(user);
    if (channel < CONMON_NUM_CHANNELS && direction < CONMON_NUM_DIRECTIONS) {
        conmon_client_monitoring_fn* handler = client->handlers[channel][direction];
        if (handler) {
            handler(client, channel, direction, head, body);
        }
    }
}

aud_error_t conmon_client_local_open_socket(conmon_client_t* client) {
    const char* fn = "conmon_client_local_open_socket";
    if (client->sock >= 0) {
        return AUD_ERR_ISCONN;
    }
    int sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (sock < 0) {
        return aud_error_from_errno(errno);
    }
    // A connected UDP socket reports an ICMP port-unreachable from a missing server
    // as ECONNREFUSED on the next read.
    if (connect(sock, reinterpret_cast<const sockaddr*>(&client->config.server),
                sizeof client->config.server) != 0) {
        aud_error_t err = aud_error_from_errno(errno);
        close(sock);
        return err;
    }
    int fl = fcntl(sock, F_GETFL, 0);
    if (fl < 0 || fcntl(sock, F_SETFL, fl | O_NONBLOCK) != 0) {
        aud_errbuf_t buf;
        aud_log_printf(client->log, AUD_LOG_WARNING, "%s: Error making socket non-blocking: %s", fn,
                       errtext(aud_error_from_errno(errno), buf));
    }
    if (client->loop) {
        aud_error_t err =
            aud_event_loop_watch_socket(client->loop, sock, AUD_SOCKET_SET_READ, on_socket_ready,
                                        client, AUD_WATCH_ADD_OR_CHANGE);
        if (err != AUD_SUCCESS) {
            aud_log_printf(client->log, AUD_LOG_ERROR,
                           "%s: Could not add ConMon socket %d to event loop: %s (%d)", fn, sock,
                           aud_error_get_name(err), err);
            close(sock);
            return err;
        }
    } else {
        aud_log_printf(client->log, AUD_LOG_NOTICE,
                       "%s: No event loop in env, assuming application is managing sockets", fn);
    }
    client->sock = sock;
    return AUD_SUCCESS;
}

aud_error_t conmon_client_pre_connect(conmon_client_t* client) {
    sockaddr_in* server = &client->config.server;
    if (server->sin_addr.s_addr == 0) {
        server->sin_family = AF_INET;
        if (inet_pton(AF_INET, "127.0.0.1", &server->sin_addr) != 1) {
            aud_log_printf(client->log, AUD_LOG_ERROR, "%s: Unknown address %s port %s",
                           "conmon_client_pre_connect", "127.0.0.1", "8900");
            return AUD_ERR_NOTFOUND;
        }
    }
    if (server->sin_port == 0) {
        server->sin_port = htons(CONMON_DEFAULT_SERVER_PORT);
    }
    return AUD_SUCCESS;
}

conmon_client_domain_mode_t read_domain_mode(const conmon_client_t* client) {
    dapi_domain_identity_t identity;
    if (!client->domain_handler ||
        dapi_domain_handler_get_identity(client->domain_handler, &identity) != AUD_SUCCESS) {
        return CONMON_CLIENT_DOMAIN_ADHOC;  // no domain handler: ad hoc
    }
    if (dapi_domain_identity_is_adhoc(&identity)) {
        return CONMON_CLIENT_DOMAIN_ADHOC;
    }
    if (dapi_domain_identity_is_unknown(&identity)) {
        return CONMON_CLIENT_DOMAIN_UNKNOWN;
    }
    return CONMON_CLIENT_DOMAIN_MANAGED;
}

}  // namespace

// ---------------------------------------------------------------------------
// Shared internal steps

const char* conmon_client_state_name(conmon_client_state_t state) {
    switch (state) {
        case CONMON_CLIENT_NO_CONNECTION:
            return "NO_CONNECTION";
        case CONMON_CLIENT_CONNECTING:
            return "CONNECTING";
        case CONMON_CLIENT_CONNECTED:
            return "CONNECTED";
    }
    return "UNKNOWN";
}

uint16_t conmon_client_next_seqnum(conmon_client_t* client) {
    uint16_t seq = client->next_seqnum++;
    if (client->next_seqnum == 0) {
        client->next_seqnum = 1;
    }
    return seq;
}

conmon_client_request* conmon_client_find_free_slot(conmon_client_t* client) {
    for (auto& slot : client->requests) {
        if (!slot.in_use) {
            return &slot;
        }
    }
    return nullptr;
}

void conmon_client_free_slot(conmon_client_request* slot) {
    memset(slot, 0, sizeof *slot);
}

aud_error_t conmon_client_send_buffer(conmon_client_t* client, size_t size) {
    if (client->sock < 0) {
        return AUD_ERR_NOTCONN;
    }
    ssize_t n = send(client->sock, client->tx, size, 0);
    if (n < 0) {
        return aud_error_from_errno(errno);
    }
    return static_cast<size_t>(n) == size ? AUD_SUCCESS : AUD_ERR_TRUNCATED;
}

void conmon_client_complete(conmon_client_t* client, conmon_client_request* slot,
                            aud_error_t result) {
    conmon_client_response_fn* cb = slot->callback;
    if (cb) {
        cb(client, slot, result);
    }
    conmon_client_free_slot(slot);
}

void conmon_client_local_to_state_inner(conmon_client_t* client, const char* cause,
                                        conmon_client_state_t state, const char* reason) {
    aud_log_printf(
        client->log, AUD_LOG_NOTICE, "%s(%s): %s->%s (%s)", "conmon_client_local_to_state_inner",
        cause, conmon_client_state_name(client->state), conmon_client_state_name(state), reason);
    client->state = state;
    conmon_client_update_derived(client, CONMON_CLIENT_EVENT_FLAG_CONNECTION_STATE);
}

void conmon_client_update_derived(conmon_client_t* client, uint32_t extra_flags) {
    uint32_t flags = extra_flags;
    client->domain_mode = read_domain_mode(client);
    const uint16_t max_body = client->domain_mode == CONMON_CLIENT_DOMAIN_MANAGED
                                  ? CONMON_MAX_BODY_MANAGED
                                  : CONMON_MAX_BODY_ADHOC;
    const bool connected = client->state == CONMON_CLIENT_CONNECTED;
    // Managed domains report reachability of their manager, which this client
    // does not speak to.
    const bool remote_ready = client->domain_mode == CONMON_CLIENT_DOMAIN_ADHOC && connected &&
                              !client->domain_change_in_progress;
    if (connected != client->connected) {
        flags |= CONMON_CLIENT_EVENT_FLAG_CONNECTED;
    }
    if (remote_ready != client->remote_ready) {
        flags |= CONMON_CLIENT_EVENT_FLAG_REMOTE_READY;
    }
    if (max_body != client->max_body_size) {
        flags |= CONMON_CLIENT_EVENT_FLAG_MAX_BODY_SIZE;
    }
    if (client->channels) {
        conmon_channels_set_adhoc(client->channels,
                                  client->domain_mode == CONMON_CLIENT_DOMAIN_ADHOC);
    }
    client->connected = connected;
    client->remote_ready = remote_ready;
    client->max_body_size = max_body;
    if (flags && client->event_callback) {
        conmon_client_event_t ev = {client, flags};
        client->event_callback(&ev);
    }
}

aud_error_t conmon_client_send_connect(conmon_client_t* client) {
    conmon_client_request* slot = &client->connection;
    if (slot->in_use) {
        return AUD_ERR_INVALIDSTATE;
    }
    memset(client->tx, 0, sizeof client->tx);
    conmon_ipc_head_t head = {client->version, 0, conmon_client_next_seqnum(client),
                              CONMON_IPC_OPCODE_CONNECT, 0};
    size_t size = 0;
    aud_error_t err =
        conmon_ipc_encode_connect(&head, client->config.client_name, CONMON_CONNECT_MANUAL,
                                  client->tx, sizeof client->tx, &size);
    if (err == AUD_SUCCESS) {
        err = conmon_client_send_buffer(client, size);
    }
    if (err != AUD_SUCCESS) {
        return err;
    }
    slot->in_use = true;
    slot->seqnum = head.seqnum;
    slot->opcode = CONMON_IPC_OPCODE_CONNECT;
    slot->callback = client->connect_callback;
    return AUD_SUCCESS;
}

void conmon_client_lookup_interface_names(conmon_client_t* client, const char* fn) {
    memset(client->interface_names, 0, sizeof client->interface_names);
    aud_interface_t* list = nullptr;
    size_t count = 0;
    aud_error_t err = aud_interface_list_with_env(client->env, &list, &count);
    if (err != AUD_SUCCESS) {
        aud_errbuf_t buf;
        aud_log_printf(client->log, AUD_LOG_ERROR, "%s: Error initialising interfaces: %s", fn,
                       errtext(err, buf));
        return;
    }
    for (uint16_t i = 0; i < client->interfaces.num_entries; ++i) {
        const aud_interface_t* found =
            aud_interface_find_by_index(list, count, client->interfaces.entries[i].index);
        if (found) {
            snprintf(client->interface_names[i], sizeof client->interface_names[i], "%s",
                     found->name);
        }
    }
    if (client->channels) {
        conmon_channels_set_instance_id(client->channels, &client->instance_id);
        err = conmon_channels_set_interfaces(client->channels, client->interfaces.entries,
                                             client->interfaces.num_entries, list, count);
        if (err != AUD_SUCCESS) {
            aud_errbuf_t buf;
            aud_log_printf(client->log, AUD_LOG_ERROR, "%s: Error initialising channel sockets: %s",
                           fn, errtext(err, buf));
        }
    }
    aud_interface_list_free(list);
}

void conmon_client_close_socket(conmon_client_t* client) {
    if (client->sock < 0) {
        return;
    }
    if (client->loop) {
        aud_event_loop_watch_socket(client->loop, client->sock, AUD_SOCKET_SET_READ, nullptr,
                                    nullptr, AUD_WATCH_ADD_OR_CHANGE);
    }
    close(client->sock);
    client->sock = -1;
}

// ---------------------------------------------------------------------------
// Lifecycle

aud_error_t conmon_client_new(dapi_t* api, const conmon_client_config_t* config,
                              conmon_client_t** out) {
    if (!api || !config || !out) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    aud_env_t* env = dapi_get_env(api);
    if (!env) {
        return AUD_ERR_INVALIDDATA;
    }
    aud_log_t* log = aud_env_get_log(env);
    auto* client = static_cast<conmon_client_t*>(calloc(1, sizeof(conmon_client_t)));
    if (!client) {
        return AUD_ERR_NOMEMORY;
    }
    client->api = api;
    client->env = env;
    client->loop = aud_env_get_event_loop(env);
    client->log = log;
    client->config = *config;
    client->sock = -1;
    client->state = CONMON_CLIENT_NO_CONNECTION;
    client->version = config->protocol_version;
    client->next_seqnum = 1;
    client->domain_handler = dapi_get_domain_handler(api);
    client->domain_mode = read_domain_mode(client);
    client->max_body_size = client->domain_mode == CONMON_CLIENT_DOMAIN_MANAGED
                                ? CONMON_MAX_BODY_MANAGED
                                : CONMON_MAX_BODY_ADHOC;
    if (config->channel_mask & kSocketChannelsMask) {
        conmon_channels_config_t cc = {};
        cc.channel_mask = config->channel_mask;
        cc.metering_port = config->metering_port;
        cc.vbroadcast_group = config->vbroadcast_group;
        cc.metering_tolerant = config->metering_failure_tolerance;
        memcpy(cc.receive_batch, config->receive_batch, sizeof cc.receive_batch);
        aud_error_t err = conmon_channels_new(log, client->loop, &cc, deliver_from_channel, client,
                                              &client->channels);
        if (err != AUD_SUCCESS) {
            free(client);
            return err;
        }
        conmon_channels_set_adhoc(client->channels,
                                  client->domain_mode == CONMON_CLIENT_DOMAIN_ADHOC);
    }
    if (client->domain_handler) {
        aud_error_t err =
            dapi_domain_handler_register(client->domain_handler, conmon_client_domain_changed,
                                         client, &client->domain_registration);
        if (err != AUD_SUCCESS) {
            conmon_channels_delete(client->channels);
            free(client);
            return err;
        }
    }
    *out = client;
    return AUD_SUCCESS;
}

aud_error_t conmon_client_delete(conmon_client_t* client) {
    if (!client) {
        return AUD_SUCCESS;
    }
    if (client->domain_registration) {
        dapi_domain_handler_unregister(client->domain_handler, client->domain_registration);
        client->domain_registration = nullptr;
    }
    if (client->sock >= 0) {
        if (client->loop) {
            aud_event_loop_watch_socket(client->loop, client->sock, AUD_SOCKET_SET_READ, nullptr,
                                        nullptr, AUD_WATCH_ADD_OR_CHANGE);
        }
        conmon_ipc_head_t head = {client->version, 0, conmon_client_next_seqnum(client),
                                  CONMON_IPC_OPCODE_DISCONNECT, 0};
        if (client->server_flags & CONMON_IPC_SERVER_FLAG_NO_RESPONSE) {
            head.status = CONMON_IPC_STATUS_NO_RESPONSE;
        }
        size_t size = 0;
        if (conmon_ipc_encode_head_only(&head, client->tx, sizeof client->tx, &size) ==
            AUD_SUCCESS) {
            conmon_client_send_buffer(client, size);
        }
        conmon_client_close_socket(client);
    }
    conmon_channels_delete(client->channels);
    if (client->state != CONMON_CLIENT_NO_CONNECTION) {
        aud_log_printf(client->log, AUD_LOG_NOTICE, "%s(%s): %s->%s (%s)",
                       "conmon_client_local_to_state_inner", "conmon_client_delete",
                       conmon_client_state_name(client->state),
                       conmon_client_state_name(CONMON_CLIENT_NO_CONNECTION),
                       "manual connection disconnected");
    }
    free(client);
    return AUD_SUCCESS;
}

aud_error_t conmon_client_connect(conmon_client_t* client, conmon_client_response_fn* callback,
                                  conmon_client_request_id_t* request_id) {
    const char* fn = "conmon_client_connect";
    if (!client) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (client->state != CONMON_CLIENT_NO_CONNECTION) {
        aud_log_printf(client->log, AUD_LOG_ERROR,
                       "%s: Invalid state (Already connecting / connected)", fn);
        return AUD_ERR_INVALIDSTATE;
    }
    aud_error_t err = conmon_client_pre_connect(client);
    if (err != AUD_SUCCESS) {
        return err;
    }
    err = conmon_client_local_open_socket(client);
    if (err != AUD_SUCCESS) {
        return err;
    }
    client->connect_callback = callback;
    err = conmon_client_send_connect(client);
    if (err != AUD_SUCCESS) {
        conmon_client_close_socket(client);
        return err;
    }
    conmon_client_local_to_state_inner(client, fn, CONMON_CLIENT_CONNECTING, "Connecting");
    if (request_id) {
        *request_id = &client->connection;
    }
    return AUD_SUCCESS;
}

aud_error_t conmon_client_process(conmon_client_t* client) {
    if (!client) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (client->loop) {
        return AUD_ERR_NOTSUPPORTED;
    }
    // Without an event loop the application polls: read until the socket is empty.
    while (conmon_client_process_sockets_inner(client)) {
    }
    if (client->channels) {
        conmon_channels_process(client->channels);
    }
    return AUD_SUCCESS;
}

// ---------------------------------------------------------------------------
// Callbacks and state accessors

void conmon_client_set_event_callback(conmon_client_t* client, conmon_client_event_fn* callback) {
    if (client) {
        client->event_callback = callback;
    }
}

void conmon_client_set_interfaces_changed_callback(conmon_client_t* client,
                                                   conmon_client_notify_fn* callback) {
    if (client) {
        client->interfaces_changed = callback;
    }
}

void conmon_client_set_device_name_changed_callback(conmon_client_t* client,
                                                    conmon_client_notify_fn* callback) {
    if (client) {
        client->device_name_changed = callback;
    }
}

void conmon_client_set_dns_name_changed_callback(conmon_client_t* client,
                                                 conmon_client_notify_fn* callback) {
    if (client) {
        client->dns_name_changed = callback;
    }
}

void conmon_client_set_remotes_changed_callback(conmon_client_t* client,
                                                conmon_client_remotes_changed_fn* callback) {
    if (client) {
        client->remotes_changed = callback;
    }
}

void conmon_client_set_context(conmon_client_t* client, void* context) {
    if (client) {
        client->context = context;
    }
}

void* conmon_client_get_context(const conmon_client_t* client) {
    return client ? client->context : nullptr;
}

conmon_client_state_t conmon_client_get_connection_state(const conmon_client_t* client) {
    return client ? client->state : CONMON_CLIENT_NO_CONNECTION;
}

bool conmon_client_is_connected(const conmon_client_t* client) {
    return client && client->connected;
}

bool conmon_client_is_remote_ready(const conmon_client_t* client) {
    return client && client->remote_ready;
}

conmon_client_domain_mode_t conmon_client_get_domain_mode(const conmon_client_t* client) {
    return client ? client->domain_mode : CONMON_CLIENT_DOMAIN_UNKNOWN;
}

uint16_t conmon_client_get_max_body_size(const conmon_client_t* client) {
    return client ? client->max_body_size : 0;
}

uint16_t conmon_client_get_protocol_version(const conmon_client_t* client) {
    return client ? client->version : 0;
}

const char* conmon_client_get_device_name(const conmon_client_t* client) {
    return client && client->state == CONMON_CLIENT_CONNECTED ? client->device_name : nullptr;
}

const char* conmon_client_get_dns_name(const conmon_client_t* client) {
    return client && client->state == CONMON_CLIENT_CONNECTED ? client->dns_name : nullptr;
}

const conmon_instance_id_t* conmon_client_get_instance_id(const conmon_client_t* client) {
    return client ? &client->instance_id : nullptr;
}

size_t conmon_client_get_num_interfaces(const conmon_client_t* client) {
    return client ? client->interfaces.num_entries : 0;
}

const conmon_interface_entry_t* conmon_client_get_interface(const conmon_client_t* client,
                                                            size_t index) {
    if (!client || index >= client->interfaces.num_entries) {
        return nullptr;
    }
    return &client->interfaces.entries[index];
}

uint8_t conmon_client_get_control_flags(const conmon_client_t* client) {
    return client ? client->control_flags : 0;
}

uint16_t conmon_client_get_max_requests(const conmon_client_t* /*client*/) {
    return CONMON_CLIENT_MAX_REQUESTS;
}

uint16_t conmon_client_get_pending_requests(const conmon_client_t* client) {
    uint16_t n = 0;
    if (client) {
        for (const auto& slot : client->requests) {
            n += slot.in_use ? 1 : 0;
        }
    }
    return n;
}

bool conmon_client_is_subscribed_global(const conmon_client_t* client, uint16_t channel) {
    return client && channel < CONMON_NUM_CHANNELS && client->subscribed_global[channel];
}
