// Requests to the server: monitoring registrations, subscriptions, control messages.
#include <stdio.h>
#include <string.h>

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
    sub.metering_port = channel == CONMON_CHANNEL_TYPE_METERING ? client->config.metering_port : 0;
    if (device_name) {
        snprintf(sub.device_name, sizeof sub.device_name, "%s", device_name);
    }
    return send_request(client, callback, request_id, CONMON_IPC_OPCODE_SUBSCRIBE,
                        [&](const conmon_ipc_head_t* head, uint8_t* buf, size_t cap, size_t* size) {
                            return conmon_ipc_encode_subscribe(head, &sub, buf, cap, size);
                        });
}

}  // namespace

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
    conmon_ipc_register_t reg = {
        channel, direction,
        static_cast<uint16_t>(channel == CONMON_CHANNEL_TYPE_METERING ? client->config.metering_port
                                                                      : 0)};
    const uint16_t opcode =
        handler ? CONMON_IPC_OPCODE_REGISTER_MONITORING : CONMON_IPC_OPCODE_DEREGISTER_MONITORING;
    return send_request(client, callback, request_id, opcode,
                        [&](const conmon_ipc_head_t* head, uint8_t* buf, size_t cap, size_t* size) {
                            return conmon_ipc_encode_register(head, &reg, buf, cap, size);
                        });
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
    return send_subscribe(client, callback, request_id, channel, device_name);
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
