// Datagrams from the server: validation, responses matched by sequence number,
// events, the remote table and source names.
#include <string.h>
#include <strings.h>

#include "dante/conmon/internal/conmon_client_impl.h"

namespace {

const char* kProcessFn = "conmon_client_process_local_message";

conmon_client_request* find_request(conmon_client_t* client, uint16_t seqnum) {
    if (client->connection.in_use && client->connection.seqnum == seqnum) {
        return &client->connection;
    }
    for (auto& slot : client->requests) {
        if (slot.in_use && slot.seqnum == seqnum) {
            return &slot;
        }
    }
    return nullptr;
}

bool same_remote(const conmon_remote& a, const conmon_remote& b) {
    return a.in_use == b.in_use && a.channel == b.channel &&
           strncmp(a.device_name, b.device_name, CONMON_NAME_SIZE) == 0 &&
           a.instance_id_valid == b.instance_id_valid &&
           conmon_instance_id_equal(&a.instance_id, &b.instance_id) &&
           a.addresses_valid == b.addresses_valid && a.addresses.count == b.addresses.count &&
           a.addresses.valid_mask == b.addresses.valid_mask &&
           a.addresses.entries[0].address == b.addresses.entries[0].address &&
           a.addresses.entries[0].port == b.addresses.entries[0].port &&
           a.addresses.entries[1].address == b.addresses.entries[1].address &&
           a.addresses.entries[1].port == b.addresses.entries[1].port &&
           a.attribute == b.attribute && a.attribute2 == b.attribute2 &&
           a.attribute3 == b.attribute3 && a.attribute4 == b.attribute4;
}

conmon_remote* find_remote(conmon_client_t* client, uint16_t channel, const char* name) {
    for (auto& r : client->remotes) {
        if (r.in_use && r.channel == channel &&
            strncasecmp(r.device_name, name, CONMON_NAME_SIZE) == 0) {
            return &r;
        }
    }
    return nullptr;
}

// Merges the records of a subscribe response or event 0x0521 into the table and
// collects the records that are new or changed. Stops at a full table.
size_t merge_remotes(conmon_client_t* client, const conmon_ipc_head_t* head, const uint8_t* data,
                     size_t size, const conmon_remote_t** changed) {
    conmon_ipc_remotes_t remotes;
    if (conmon_ipc_decode_remotes(head, data, size, &remotes) != AUD_SUCCESS || !remotes.merge) {
        return 0;
    }
    size_t num_changed = 0;
    for (uint16_t i = 0; i < remotes.count; ++i) {
        conmon_ipc_remote_record_t rec;
        if (conmon_ipc_decode_remote_record(head, data, size, i, &rec) != AUD_SUCCESS) {
            break;
        }
        conmon_remote* slot = find_remote(client, rec.channel, rec.device_name);
        const bool is_new = slot == nullptr;
        if (is_new) {
            for (auto& r : client->remotes) {
                if (!r.in_use) {
                    slot = &r;
                    break;
                }
            }
        }
        if (!slot) {
            aud_errbuf_t buf;
            aud_log_printf(client->log, AUD_LOG_ERROR, "%s: Error merging remotes: %s", kProcessFn,
                           aud_error_format(AUD_ERR_NOBUFS, buf, sizeof buf));
            break;
        }
        conmon_remote updated = *slot;
        if (is_new) {
            memset(&updated, 0, sizeof updated);
            updated.in_use = true;
            updated.channel = rec.channel;
            memcpy(updated.device_name, rec.device_name, CONMON_NAME_SIZE);
        }
        if (rec.flags & CONMON_REMOTE_FLAG_INSTANCE_ID_VALID) {
            updated.instance_id_valid = true;
            updated.instance_id = rec.instance_id;
            // A device id names one device: a device renamed is known by its new name
            // only, not by a record its old name left behind.
            for (auto& other : client->remotes) {
                if (&other != slot && other.in_use && other.instance_id_valid &&
                    other.channel == rec.channel &&
                    memcmp(other.instance_id.device_id, rec.instance_id.device_id,
                           sizeof rec.instance_id.device_id) == 0) {
                    other.instance_id_valid = false;
                }
            }
        }
        if (rec.flags & CONMON_REMOTE_FLAG_ADDRESSES_VALID) {
            updated.addresses_valid = true;
            updated.addresses = rec.addresses;
        }
        updated.attribute = rec.attribute;
        updated.attribute2 = rec.attribute2;
        updated.attribute3 = rec.attribute3;
        updated.attribute4 = rec.attribute4;
        if (is_new || !same_remote(updated, *slot)) {
            *slot = updated;
            bool listed = false;
            for (size_t k = 0; k < num_changed; ++k) {
                listed = listed || changed[k] == slot;
            }
            if (!listed) {
                changed[num_changed++] = slot;
            }
        }
    }
    return num_changed;
}

void report_remotes(conmon_client_t* client, const conmon_remote_t** changed, size_t n) {
    if (n > 0 && client->remotes_changed) {
        client->remotes_changed(client, changed, n);
    }
}

void conmon_client_set_ipc_connect_response_data(conmon_client_t* client,
                                                 const conmon_ipc_connect_response_t* rsp) {
    client->server_flags = rsp->server_flags;
    client->stored_words[0] = rsp->stored_words[0];
    client->stored_words[1] = rsp->stored_words[1];
    memcpy(client->device_name, rsp->device_name, sizeof client->device_name);
    memcpy(client->dns_name, rsp->dns_name, sizeof client->dns_name);
    client->instance_id = rsp->instance_id;
    client->interfaces = rsp->interfaces;
    conmon_client_lookup_interface_names(client, "conmon_client_set_ipc_connect_response_data");
}

void conmon_client_local_on_connect_response(conmon_client_t* client, const conmon_ipc_head_t* head,
                                             const uint8_t* data, size_t size) {
    conmon_client_request* slot = &client->connection;
    const uint16_t code = head->status & CONMON_IPC_STATUS_CODE_MASK;
    aud_error_t result = conmon_ipc_status_to_error(code);
    if (code == CONMON_IPC_STATUS_INVALID_SIZE && client->version >= CONMON_IPC_VERSION_1400 &&
        head->version < CONMON_IPC_VERSION_1400) {
        // An older server: speak its version and connect again in its format.
        client->version = head->version;
        conmon_client_response_fn* callback = slot->callback;
        conmon_client_free_slot(slot);
        if (conmon_client_send_connect(client) == AUD_SUCCESS) {
            return;
        }
        if (callback) {
            callback(client, slot, result);
        }
        return;
    }
    if (code == CONMON_IPC_STATUS_RESPONSE) {
        conmon_ipc_connect_response_t rsp;
        if (conmon_ipc_decode_connect_response(head, data, size, &rsp) != AUD_SUCCESS) {
            if (client->reconnecting) {
                conmon_client_reconnect_failed(client, kProcessFn, AUD_ERR_INVALIDDATA);
                return;
            }
            conmon_client_complete(client, slot, AUD_ERR_INVALIDDATA);
            return;
        }
        conmon_client_set_ipc_connect_response_data(client, &rsp);
        if (client->reconnecting) {
            conmon_client_free_slot(slot);
            conmon_client_local_to_state_inner(client, "conmon_client_local_on_connect_response",
                                               CONMON_CLIENT_CONNECTED, "connection restored",
                                               CONMON_CLIENT_EVENT_FLAG_RECONNECTED);
            client->reconnecting = false;
            if (client->reconnect_timer) {
                aud_timer_cancel(client->reconnect_timer);
            }
            if (client->state == CONMON_CLIENT_CONNECTED) {
                conmon_client_resync_start(client);
            }
            return;
        }
        conmon_client_local_to_state_inner(client, "conmon_client_local_on_connect_response",
                                           CONMON_CLIENT_CONNECTED, "manual connection completed");
    } else if (client->reconnecting) {
        // The server is back but refuses: keep trying at the usual pace.
        conmon_client_reconnect_failed(client, kProcessFn, result);
        return;
    }
    conmon_client_complete(client, slot, result);
}

void deliver(conmon_client_t* client, const conmon_ipc_message_event_t* ev) {
    conmon_client_monitoring_fn* handler = client->handlers[ev->channel][ev->direction];
    if (handler) {
        handler(client, static_cast<conmon_channel_type_t>(ev->channel),
                static_cast<conmon_channel_direction_t>(ev->direction), ev->message, ev->body);
    }
}

// CONTROL messages carry a domain filter: 3 only in a managed domain, 2 only ad hoc.
bool passes_domain_filter(const conmon_client_t* client, uint8_t flags) {
    if (flags == 3) {
        return client->domain_mode == CONMON_CLIENT_DOMAIN_MANAGED;
    }
    if (flags == 2) {
        return client->domain_mode == CONMON_CLIENT_DOMAIN_ADHOC;
    }
    return true;
}

void handle_event(conmon_client_t* client, const conmon_ipc_head_t* head, const uint8_t* data,
                  size_t size) {
    switch (head->opcode) {
        case CONMON_IPC_OPCODE_EVENT_INTERFACES: {
            conmon_interface_list_t list;
            if (conmon_ipc_decode_interfaces_event(head, data, size, &list) != AUD_SUCCESS) {
                return;
            }
            if (list.num_entries == client->interfaces.num_entries &&
                memcmp(list.entries, client->interfaces.entries,
                       list.num_entries * sizeof list.entries[0]) == 0) {
                return;
            }
            client->interfaces = list;
            conmon_client_lookup_interface_names(client, kProcessFn);
            if (client->interfaces_changed) {
                client->interfaces_changed(client);
            }
            return;
        }
        case CONMON_IPC_OPCODE_EVENT_DEVICE_NAME:
        case CONMON_IPC_OPCODE_EVENT_DNS_NAME: {
            const bool dns = head->opcode == CONMON_IPC_OPCODE_EVENT_DNS_NAME;
            char name[CONMON_DNS_NAME_SIZE];
            char* stored = dns ? client->dns_name : client->device_name;
            const size_t cap = dns ? sizeof client->dns_name : sizeof client->device_name;
            if (conmon_ipc_decode_name_event(head, data, size, name, cap) != AUD_SUCCESS ||
                strncmp(name, stored, cap) == 0) {
                return;
            }
            memcpy(stored, name, cap);
            conmon_client_notify_fn* cb =
                dns ? client->dns_name_changed : client->device_name_changed;
            if (cb) {
                cb(client);
            }
            return;
        }
        case CONMON_IPC_OPCODE_EVENT_MESSAGE: {
            conmon_ipc_message_event_t ev;
            if (conmon_ipc_decode_message_event(head, data, size, &ev) != AUD_SUCCESS) {
                return;
            }
            if (ev.channel != CONMON_CHANNEL_TYPE_CONTROL) {
                deliver(client, &ev);
                return;
            }
            if (!passes_domain_filter(client, ev.flags)) {
                return;
            }
            client->control_flags = ev.flags;
            deliver(client, &ev);
            client->control_flags = 0;
            return;
        }
        case CONMON_IPC_OPCODE_EVENT_MONITORED_MESSAGE: {
            conmon_ipc_message_event_t ev;
            if (conmon_ipc_decode_message_event(head, data, size, &ev) != AUD_SUCCESS) {
                return;
            }
            client->source_name = ev.sender_name;
            client->source_message = ev.message;
            deliver(client, &ev);
            client->source_name = nullptr;
            client->source_message = nullptr;
            return;
        }
        case CONMON_IPC_OPCODE_EVENT_REMOTES: {
            const conmon_remote_t* changed[CONMON_CLIENT_MAX_REMOTES];
            size_t n = merge_remotes(client, head, data, size, changed);
            report_remotes(client, changed, n);
            return;
        }
        default:
            return;
    }
}

}  // namespace

void conmon_client_process_local_message(conmon_client_t* client, const uint8_t* data,
                                         size_t size) {
    conmon_ipc_head_t head;
    uint16_t failure = 0;
    if (!conmon_ipc_validate_from_server(data, size, &head, &failure)) {
        aud_log_printf(client->log, AUD_LOG_WARNING, "%s: Error validating: %s!", kProcessFn,
                       conmon_ipc_status_name(failure));
        return;
    }
    const uint16_t code = head.status & CONMON_IPC_STATUS_CODE_MASK;
    if (code == CONMON_IPC_STATUS_EVENT) {
        handle_event(client, &head, data, size);
        return;
    }
    conmon_client_request* slot = find_request(client, head.seqnum);
    if (code == CONMON_IPC_STATUS_INVALID_STATE && head.opcode != CONMON_IPC_OPCODE_CONNECT &&
        client->state == CONMON_CLIENT_CONNECTED) {
        // "Not connected": the server restarted or forgot this client, and with it
        // the registrations and subscriptions.
        if (slot && slot->opcode == head.opcode) {
            conmon_client_complete(client, slot, AUD_ERR_INVALIDSTATE);
        }
        conmon_client_connection_lost(client, kProcessFn, AUD_ERR_NOTCONN);
        return;
    }
    if (!slot) {
        aud_log_printf(client->log, AUD_LOG_WARNING,
                       "%s: Unhandled response seqnum=0x%04x opcode=0x%04x", kProcessFn,
                       head.seqnum, head.opcode);
        return;
    }
    if (slot->opcode != head.opcode) {
        aud_log_printf(client->log, AUD_LOG_WARNING,
                       "%s: Response seqnum=0x%04x has opcode 0x%04x, expected 0x%04x", kProcessFn,
                       head.seqnum, head.opcode, slot->opcode);
        conmon_client_complete(client, slot, AUD_ERR_INVALIDDATA);
        return;
    }
    switch (head.opcode) {
        case CONMON_IPC_OPCODE_CONNECT:
            conmon_client_local_on_connect_response(client, &head, data, size);
            return;
        case CONMON_IPC_OPCODE_SUBSCRIBE:
            if (code == CONMON_IPC_STATUS_RESPONSE && size > CONMON_IPC_HEAD_SIZE) {
                const conmon_remote_t* changed[CONMON_CLIENT_MAX_REMOTES];
                size_t n = merge_remotes(client, &head, data, size, changed);
                conmon_client_complete(client, slot, AUD_SUCCESS);
                report_remotes(client, changed, n);
                return;
            }
            break;
        default:
            break;
    }
    conmon_client_complete(client, slot, conmon_ipc_status_to_error(code));
}

// ---------------------------------------------------------------------------

const char* conmon_client_get_source_name(const conmon_client_t* client,
                                          const conmon_instance_id_t* id) {
    if (!client || !id) {
        return nullptr;
    }
    if (client->state == CONMON_CLIENT_CONNECTED &&
        conmon_instance_id_equal(id, &client->instance_id)) {
        return client->device_name;
    }
    // A device may restart with a new process id; its device id still names it.
    for (const auto& r : client->remotes) {
        if (r.in_use && r.instance_id_valid &&
            memcmp(r.instance_id.device_id, id->device_id, sizeof id->device_id) == 0) {
            return r.device_name;
        }
    }
    if (client->source_message) {
        conmon_instance_id_t sender;
        conmon_message_head_get_instance_id(client->source_message, &sender);
        if (conmon_instance_id_equal(&sender, id)) {
            return client->source_name;
        }
    }
    return nullptr;
}

const conmon_remote_t* conmon_client_find_subscription(const conmon_client_t* client,
                                                       uint16_t channel, const char* device_name) {
    if (!client || !device_name) {
        return nullptr;
    }
    return find_remote(const_cast<conmon_client_t*>(client), channel, device_name);
}

uint16_t conmon_remote_get_channel(const conmon_remote_t* remote) {
    return remote ? remote->channel : 0;
}

const char* conmon_remote_get_device_name(const conmon_remote_t* remote) {
    return remote ? remote->device_name : nullptr;
}

const conmon_instance_id_t* conmon_remote_get_instance_id(const conmon_remote_t* remote) {
    return remote && remote->instance_id_valid ? &remote->instance_id : nullptr;
}

const conmon_address_list_t* conmon_remote_get_addresses(const conmon_remote_t* remote) {
    return remote && remote->addresses_valid ? &remote->addresses : nullptr;
}
