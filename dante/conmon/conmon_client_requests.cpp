// Requests to the server: monitoring registrations, subscriptions, control messages.
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "dante/conmon/internal/conmon_client_impl.h"

namespace {

bool channel_in_mask(const conmon_client_t* client, uint16_t channel) {
    return channel < CONMON_NUM_CHANNELS && (client->config.channel_mask & (1u << channel));
}

aud_error_t not_initialised(const conmon_client_t* client, const char* fn) {
    aud_log_printf(client->log, AUD_LOG_ERROR, "%s: not initialised", fn);
    return AUD_ERR_NOTINITIALISED;
}

// Numbers, encodes and sends one request from the send buffer. Without callback and
// request id the request takes no slot and tells the server not to answer when it
// said it can.
template <typename Encode>
aud_error_t send_request(conmon_client_t* client, conmon_client_response_fn* callback,
                         conmon_client_request_id_t* request_id, uint16_t opcode, Encode encode) {
    if (client->state == CONMON_CLIENT_NO_CONNECTION || client->sock < 0) {
        return AUD_ERR_NOTCONN;
    }
    const bool fire_and_forget = !callback && !request_id;
    conmon_client_request* slot = nullptr;
    if (!fire_and_forget) {
        slot = conmon_client_find_free_slot(client);
        if (!slot) {
            return AUD_ERR_NOBUFS;
        }
    }
    conmon_ipc_head_t head = {client->version, 0, conmon_client_next_seqnum(client), opcode, 0};
    if (fire_and_forget && (client->server_flags & CONMON_IPC_SERVER_FLAG_NO_RESPONSE)) {
        head.status = CONMON_IPC_STATUS_NO_RESPONSE;
    }
    size_t size = 0;
    aud_error_t err = encode(&head, client->tx, sizeof client->tx, &size);
    if (err == AUD_SUCCESS) {
        err = conmon_client_send_buffer(client, size);
    }
    if (err != AUD_SUCCESS) {
        return err;  // the slot was never taken
    }
    if (slot) {
        slot->in_use = true;
        slot->seqnum = head.seqnum;
        slot->opcode = opcode;
        slot->callback = callback;
        if (request_id) {
            *request_id = slot;
        }
    }
    return AUD_SUCCESS;
}

aud_error_t send_subscribe(conmon_client_t* client, conmon_client_response_fn* callback,
                           conmon_client_request_id_t* request_id, uint16_t channel,
                           const char* device_name) {
    conmon_ipc_subscribe_t sub;
    memset(&sub, 0, sizeof sub);
    sub.channel = channel;
    sub.metering_port =
        channel == CONMON_CHANNEL_TYPE_METERING ? conmon_client_metering_port(client) : 0;
    if (device_name) {
        snprintf(sub.device_name, sizeof sub.device_name, "%s", device_name);
    }
    return send_request(client, callback, request_id, CONMON_IPC_OPCODE_SUBSCRIBE,
                        [&](const conmon_ipc_head_t* head, uint8_t* buf, size_t cap, size_t* size) {
                            return conmon_ipc_encode_subscribe(head, &sub, buf, cap, size);
                        });
}

aud_error_t send_register(conmon_client_t* client, conmon_client_response_fn* callback,
                          conmon_client_request_id_t* request_id, uint16_t channel,
                          uint16_t direction, bool registering) {
    conmon_ipc_register_t reg = {channel, direction,
                                 channel == CONMON_CHANNEL_TYPE_METERING
                                     ? conmon_client_metering_port(client)
                                     : static_cast<uint16_t>(0)};
    const uint16_t opcode = registering ? CONMON_IPC_OPCODE_REGISTER_MONITORING
                                        : CONMON_IPC_OPCODE_DEREGISTER_MONITORING;
    return send_request(client, callback, request_id, opcode,
                        [&](const conmon_ipc_head_t* head, uint8_t* buf, size_t cap, size_t* size) {
                            return conmon_ipc_encode_register(head, &reg, buf, cap, size);
                        });
}

// Whether a handler for (channel, direction) is registered with the server rather
// than served by the client's own sockets.
bool registered_at_server(const conmon_client_t* client, uint16_t channel, uint16_t direction) {
    if (client->domain_mode == CONMON_CLIENT_DOMAIN_ADHOC &&
        (channel == CONMON_CHANNEL_TYPE_SERIAL || channel == CONMON_CHANNEL_TYPE_VBROADCAST)) {
        return false;
    }
    return !(client->domain_mode == CONMON_CLIENT_DOMAIN_MANAGED &&
             direction == CONMON_CHANNEL_DIRECTION_RX);
}

// Restoring after a reconnection walks one cursor over the handler table, then the
// all-devices subscriptions, then the subscriptions to single devices.
constexpr unsigned kResyncHandlers =
    static_cast<unsigned>(CONMON_NUM_CHANNELS) * static_cast<unsigned>(CONMON_NUM_DIRECTIONS);
constexpr unsigned kResyncGlobal = kResyncHandlers + CONMON_NUM_CHANNELS;
constexpr unsigned kResyncEnd = kResyncGlobal + CONMON_CLIENT_MAX_REMOTES;

void on_resync_done(conmon_client_t* client, conmon_client_request_id_t, aud_error_t result) {
    client->resync_in_flight = false;
    if (result != AUD_SUCCESS) {
        aud_errbuf_t buf;
        aud_log_printf(client->log, AUD_LOG_WARNING, "%s: could not restore request %u: %s",
                       "conmon_client_resync", client->resync_cursor,
                       aud_error_format(result, buf, sizeof buf));
    }
    ++client->resync_cursor;
    conmon_client_resync_next(client);
}

}  // namespace

void conmon_client_resync_start(conmon_client_t* client) {
    client->resyncing = true;
    client->resync_in_flight = false;
    client->resync_cursor = 0;
    conmon_client_resync_next(client);
}

void conmon_client_resync_next(conmon_client_t* client) {
    if (client->resync_in_flight) {
        return;
    }
    for (; client->resyncing && client->resync_cursor < kResyncEnd; ++client->resync_cursor) {
        const unsigned c = client->resync_cursor;
        if (!conmon_client_find_free_slot(client)) {
            return;  // picked up again when a request completes
        }
        conmon_client_request_id_t id = nullptr;
        aud_error_t e = AUD_ERR_NOTFOUND;
        if (c < kResyncHandlers) {
            const uint16_t channel = static_cast<uint16_t>(c / CONMON_NUM_DIRECTIONS);
            const uint16_t direction = static_cast<uint16_t>(c % CONMON_NUM_DIRECTIONS);
            if (client->handlers[channel][direction] &&
                registered_at_server(client, channel, direction)) {
                e = send_register(client, on_resync_done, &id, channel, direction, true);
            }
        } else if (c < kResyncGlobal) {
            const uint16_t channel = static_cast<uint16_t>(c - kResyncHandlers);
            if (client->subscribed_global[channel]) {
                e = send_subscribe(client, on_resync_done, &id, channel, "");
            }
        } else {
            const conmon_client_subscription& sub = client->subscriptions[c - kResyncGlobal];
            if (sub.in_use) {
                e = send_subscribe(client, on_resync_done, &id, sub.channel, sub.device_name);
            }
        }
        if (e == AUD_SUCCESS) {
            client->resync_in_flight = true;
            return;  // one at a time: the answer moves the cursor on
        }
        if (e != AUD_ERR_NOTFOUND) {
            aud_errbuf_t buf;
            aud_log_printf(client->log, AUD_LOG_WARNING, "%s: could not restore request %u: %s",
                           "conmon_client_resync", c, aud_error_format(e, buf, sizeof buf));
        }
    }
    if (client->resyncing) {
        client->resyncing = false;
        aud_log_printf(client->log, AUD_LOG_NOTICE,
                       "%s: handlers and subscriptions registered again", "conmon_client_resync");
    }
}

void conmon_client_remember_subscription(conmon_client_t* client, uint16_t channel,
                                         const char* device_name) {
    conmon_client_subscription* free_entry = nullptr;
    for (auto& sub : client->subscriptions) {
        if (sub.in_use && sub.channel == channel &&
            strncasecmp(sub.device_name, device_name, CONMON_NAME_SIZE) == 0) {
            return;
        }
        if (!sub.in_use && !free_entry) {
            free_entry = &sub;
        }
    }
    if (!free_entry) {
        aud_log_printf(client->log, AUD_LOG_WARNING,
                       "%s: too many subscriptions to restore after a reconnection",
                       "conmon_client_subscribe");
        return;
    }
    free_entry->in_use = true;
    free_entry->channel = channel;
    snprintf(free_entry->device_name, sizeof free_entry->device_name, "%s", device_name);
}

aud_error_t conmon_client_cancel_request(conmon_client_t* client,
                                         conmon_client_request_id_t request_id) {
    if (!client || !request_id) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    for (auto& slot : client->requests) {
        if (&slot == request_id && slot.in_use) {
            conmon_client_free_slot(&slot);
            return AUD_SUCCESS;
        }
    }
    return AUD_ERR_NOTFOUND;
}

aud_error_t conmon_client_register_monitoring_messages(conmon_client_t* client,
                                                       conmon_client_response_fn* callback,
                                                       conmon_client_request_id_t* request_id,
                                                       uint16_t channel, uint16_t direction,
                                                       conmon_client_monitoring_fn* handler) {
    if (!client || direction >= CONMON_NUM_DIRECTIONS) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (!channel_in_mask(client, channel)) {
        return not_initialised(client, "conmon_client_register_monitoring_messages");
    }
    if (client->domain_mode == CONMON_CLIENT_DOMAIN_UNKNOWN) {
        return AUD_ERR_INVALIDSTATE;
    }
    client->handlers[channel][direction] = handler;
    if (client->domain_mode == CONMON_CLIENT_DOMAIN_ADHOC &&
        (channel == CONMON_CHANNEL_TYPE_SERIAL || channel == CONMON_CHANNEL_TYPE_VBROADCAST)) {
        // Served by the client's own sockets: nothing to ask the server.
        if (request_id) {
            *request_id = nullptr;
        }
        return AUD_SUCCESS;
    }
    if (client->domain_mode == CONMON_CLIENT_DOMAIN_MANAGED &&
        direction == CONMON_CHANNEL_DIRECTION_RX) {
        return AUD_ERR_NOTSUPPORTED;
    }
    return send_register(client, callback, request_id, channel, direction, handler != nullptr);
}

aud_error_t conmon_client_subscribe(conmon_client_t* client, conmon_client_response_fn* callback,
                                    conmon_client_request_id_t* request_id, uint16_t channel,
                                    const char* device_name) {
    if (!client) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (!channel_in_mask(client, channel)) {
        return not_initialised(client, "conmon_client_subscribe");
    }
    switch (client->domain_mode) {
        case CONMON_CLIENT_DOMAIN_UNKNOWN:
            return AUD_ERR_INVALIDSTATE;
        case CONMON_CLIENT_DOMAIN_MANAGED:
            return AUD_ERR_NOTSUPPORTED;
        case CONMON_CLIENT_DOMAIN_ADHOC:
            break;
    }
    const aud_error_t e = send_subscribe(client, callback, request_id, channel, device_name);
    if (e == AUD_SUCCESS && device_name && *device_name) {
        conmon_client_remember_subscription(client, channel, device_name);
    }
    return e;
}

aud_error_t conmon_client_subscribe_global(conmon_client_t* client,
                                           conmon_client_response_fn* callback,
                                           conmon_client_request_id_t* request_id,
                                           uint16_t channel) {
    if (!client) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (!channel_in_mask(client, channel)) {
        return not_initialised(client, "conmon_client_subscribe_global");
    }
    client->subscribed_global[channel] = true;
    switch (client->domain_mode) {
        case CONMON_CLIENT_DOMAIN_UNKNOWN:
            return AUD_SUCCESS;
        case CONMON_CLIENT_DOMAIN_MANAGED:
            return AUD_ERR_NOTSUPPORTED;
        case CONMON_CLIENT_DOMAIN_ADHOC:
            break;
    }
    return send_subscribe(client, callback, request_id, channel, "");
}

aud_error_t conmon_client_send_control_message(conmon_client_t* client,
                                               conmon_client_response_fn* callback,
                                               conmon_client_request_id_t* request_id,
                                               const char* device_name, uint16_t message_class,
                                               const conmon_vendor_id_t* vendor_id,
                                               const uint8_t* body, size_t body_size,
                                               const conmon_client_timeout_t* timeout) {
    if (!client || !vendor_id || (body_size > 0 && !body)) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (client->domain_mode == CONMON_CLIENT_DOMAIN_UNKNOWN) {
        return AUD_ERR_INVALIDSTATE;
    }
    if (body_size > client->max_body_size) {
        return AUD_ERR_TRUNCATED;
    }
    if (conmon_vendor_id_equal(vendor_id, &CONMON_VENDOR_ID_AUDINATE) && body_size < 8) {
        aud_log_printf(client->log, AUD_LOG_ERROR, "%s: message (body) size too small %u",
                       "conmon_client_send_control_message", static_cast<unsigned>(body_size));
        return AUD_ERR_MSGSIZE;
    }
    if (client->domain_mode == CONMON_CLIENT_DOMAIN_MANAGED) {
        return AUD_ERR_NOTSUPPORTED;
    }
    conmon_ipc_control_t ctl;
    memset(&ctl, 0, sizeof ctl);
    ctl.addressing_mode = CONMON_CONTROL_ADDRESSING_BY_NAME;
    if (timeout) {
        ctl.timeout_seconds = timeout->seconds;
        ctl.timeout_microseconds = timeout->microseconds;
    }
    if (device_name) {
        snprintf(ctl.device_name, sizeof ctl.device_name, "%s", device_name);
    }
    ctl.message_class = message_class;
    ctl.vendor_id = *vendor_id;
    ctl.body = body;
    ctl.body_size = body_size;
    return send_request(client, callback, request_id, CONMON_IPC_OPCODE_CONTROL,
                        [&](const conmon_ipc_head_t* head, uint8_t* buf, size_t cap, size_t* size) {
                            return conmon_ipc_encode_control(head, &ctl, buf, cap, size);
                        });
}
