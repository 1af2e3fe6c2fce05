// Responses: matching the source, result handling, and the capabilities chain
// (capabilities, then available properties, then names).
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <new>

#include "dante/routing/internal/dr_impl.h"

namespace {

bool port_known(const dr_device* d, uint16_t port) {
    for (const dr_address_slot* s : d->slots) {
        if (s->have_address && s->address.port == port) {
            return true;
        }
    }
    return false;
}

void fail_request(dr_request* r, aud_error_t error, const char* message) {
    dr_device_set_error(r->device, error, message);
    dr_request_complete(r, error);
}

bool same_capabilities(const arcp_capabilities_t& a, const arcp_capabilities_t& b) {
    return a.capability_word == b.capability_word && a.num_txchannels == b.num_txchannels &&
           a.num_rxchannels == b.num_rxchannels && a.max_txflows == b.max_txflows &&
           a.max_rxflows == b.max_rxflows && a.txflow_limit == b.txflow_limit &&
           a.rxflow_limit == b.rxflow_limit && a.max_txlabels == b.max_txlabels &&
           a.num_interfaces == b.num_interfaces && a.capability_flags == b.capability_flags &&
           a.rxflow_error_flags == b.rxflow_error_flags &&
           a.rxflow_error_fields == b.rxflow_error_fields;
}

uint32_t status_from(dr_device* d, const arcp_capabilities_t& c) {
    uint32_t s = d->status_flags & DR_DEVICE_STATUS_NAME_CONFLICT;
    if (c.version >= 0x2703) {
        s = 0;
        if (c.capability_flags & (1u << 1)) {
            s |= DR_DEVICE_STATUS_LOCKDOWN;
        }
        if (c.capability_flags & (1u << 16)) {
            s |= DR_DEVICE_STATUS_UNLICENSED;
        }
        if (c.capability_flags & (1u << 17)) {
            s |= DR_DEVICE_STATUS_NAME_CONFLICT;
        } else if (strcmp(d->current_name, d->advertised_name) != 0) {
            snprintf(d->current_name, sizeof d->current_name, "%s", d->advertised_name);
            dr_device_note_change(d, DR_DEVICE_CHANGE_NAME);
        }
    } else if (c.num_txchannels == 0 && c.num_rxchannels == 0) {
        s |= DR_DEVICE_STATUS_UNLICENSED;
    }
    return s;
}

void set_status(dr_device* d, uint32_t status) {
    if (status != d->status_flags) {
        d->status_flags = status;
        dr_device_note_change(d, DR_DEVICE_CHANGE_STATUS);
    }
}

// Sends the queries that capabilities make due, in order; none left: ACTIVE.
void query_capabilities_continue(dr_request* r) {
    dr_device* d = r->device;
    if (d->prop_avail_due) {
        d->prop_avail_due = false;
        r->step = DR_STEP_PROP_AVAIL;
        if (dr_request_send(r, ARCP_OP_PROP_AVAIL, nullptr, 0) != AUD_SUCCESS) {
            fail_request(r, AUD_ERR_INVALIDSTATE,
                         "QueryCapabilities: Error sending PROP_AVAIL query");
        }
        return;
    }
    if (d->names_due) {
        d->names_due = false;
        r->step = DR_STEP_NAMES;
        const uint16_t op = (d->caps.capability_word & 0x100) ? ARCP_OP_NAMES_EXT : ARCP_OP_NAMES;
        const aud_error_t e = dr_request_send(r, op, nullptr, 0);
        if (e != AUD_SUCCESS) {
            fail_request(r, e, "QueryCapabilities: Error sending NAMES query");
        }
        return;
    }
    dr_device_set_state(d, DR_DEVICE_STATE_ACTIVE);
    dr_request_complete(r, AUD_SUCCESS);
}

// The channel and flow tables for the stored capabilities; on failure the message of
// the ERROR state.
const char* make_tables(dr_device* d) {
    try {
        d->tx.assign(d->caps.num_txchannels, dr_txchannel{});
        d->rx.assign(d->caps.num_rxchannels, dr_rxchannel{});
    } catch (...) {
        return "Querying capabilities";
    }
    for (size_t i = 0; i < d->tx.size(); ++i) {
        d->tx[i].id = static_cast<uint16_t>(i + 1);
    }
    for (size_t i = 0; i < d->rx.size(); ++i) {
        d->rx[i].id = static_cast<uint16_t>(i + 1);
    }
    d->labels.clear();
    d->txflows.clear();
    d->rxflows.clear();
    try {
        d->txflows.reserve(d->caps.max_txflows);
    } catch (...) {
        return "Querying capabilities, allocating txflows";
    }
    try {
        d->rxflows.reserve(d->caps.max_rxflows);
    } catch (...) {
        return "Querying capabilities, allocating rxflows";
    }
    return nullptr;
}

void handle_capabilities(dr_request* r, const uint8_t* data, size_t size) {
    dr_device* d = r->device;
    arcp_capabilities_t caps;
    if (arcp_decode_capabilities(data, size, &caps) != AUD_SUCCESS) {
        dr_request_complete(r, AUD_ERR_INVALIDDATA);
        return;
    }
    if (d->state == DR_DEVICE_STATE_ACTIVE) {
        if (!same_capabilities(caps, d->caps)) {
            fail_request(r, DR_ERR_CAPABILITIES_CHANGED, "Querying capabilities");
            return;
        }
        dr_device_mark_all_stale(d);
        set_status(d, status_from(d, caps));
        query_capabilities_continue(r);
        return;
    }
    if (d->state != DR_DEVICE_STATE_QUERYING) {
        dr_request_complete(r, AUD_ERR_INVALIDSTATE);
        return;
    }
    d->caps = caps;
    d->have_capabilities = true;
    if (const char* failure = make_tables(d)) {
        fail_request(r, AUD_ERR_NOMEMORY, failure);
        return;
    }
    dr_device_mark_all_stale(d);
    set_status(d, status_from(d, caps));
    query_capabilities_continue(r);
}

// A device that offers no capabilities: all counts 0, status bit 1.
void handle_no_capabilities(dr_request* r) {
    dr_device* d = r->device;
    if (d->state != DR_DEVICE_STATE_QUERYING && d->state != DR_DEVICE_STATE_ACTIVE) {
        dr_request_complete(r, AUD_ERR_INVALIDSTATE);
        return;
    }
    d->caps = arcp_capabilities_t{};
    d->caps.version = d->arcp_version;
    d->have_capabilities = true;
    d->tx.clear();
    d->rx.clear();
    d->txflows.clear();
    d->rxflows.clear();
    for (bool& s : d->stale) {
        s = false;
    }
    set_status(d, d->status_flags | DR_DEVICE_STATUS_UNLICENSED);
    query_capabilities_continue(r);
}

void handle_prop_avail(dr_request* r, const arcp_head_t* head, const uint8_t* data, size_t size) {
    dr_device* d = r->device;
    arcp_records_t records;
    if (arcp_result_to_error(head->status) != AUD_SUCCESS ||
        arcp_records_init(data, size, ARCP_PROP_AVAIL_RECORD_SIZE, &records) != AUD_SUCCESS) {
        fail_request(r, AUD_ERR_INVALIDDATA, "QueryCapabilities: Error handling PROP_AVAIL");
        return;
    }
    uint32_t avail = d->available_properties;
    for (size_t i = 0; i < records.count; ++i) {
        uint16_t id = 0;
        uint16_t flags = 0;
        arcp_decode_prop_avail(&records, i, &id, &flags);
        for (size_t k = 0; k < DR_PROPERTY_COUNT; ++k) {
            if (dr_property_ids[k] == id) {
                avail = (flags & 1) ? (avail | (1u << k)) : (avail & ~(1u << k));
            }
        }
    }
    d->available_properties = avail;
    query_capabilities_continue(r);
}

void handle_names(dr_request* r, const arcp_head_t* head, const uint8_t* data, size_t size) {
    dr_device* d = r->device;
    char name[ARCP_NAME_SIZE];
    // A device that will not tell its name keeps the advertised one.
    if (arcp_result_to_error(head->status) == AUD_SUCCESS &&
        arcp_decode_names(data, size, name) == AUD_SUCCESS) {
        d->arcp_version = head->version;
        if (strcmp(name, d->current_name) != 0) {
            snprintf(d->current_name, sizeof d->current_name, "%s", name);
            dr_device_note_change(d, DR_DEVICE_CHANGE_NAME);
        }
        const bool conflict = strcasecmp(name, d->advertised_name) != 0;
        set_status(d, conflict ? d->status_flags | DR_DEVICE_STATUS_NAME_CONFLICT
                               : d->status_flags & ~DR_DEVICE_STATUS_NAME_CONFLICT);
    }
    query_capabilities_continue(r);
}

// Opcodes whose handlers read failure results themselves.
bool handles_own_errors(uint16_t opcode) {
    return opcode == ARCP_OP_NAMES || opcode == ARCP_OP_NAMES_EXT || opcode == ARCP_OP_PROPERTIES ||
           opcode == ARCP_OP_RX_FLOW_ERRORS;
}

bool is_range_query(uint16_t opcode) {
    return opcode == ARCP_OP_TX_CHANNELS || opcode == ARCP_OP_RX_CHANNELS ||
           opcode == ARCP_OP_TX_LABELS || opcode == ARCP_OP_TX_FLOWS || opcode == ARCP_OP_RX_FLOWS;
}

void run_handler(dr_request* r, const arcp_head_t* head, const uint8_t* data, size_t size) {
    switch (r->step) {
        case DR_STEP_CAPABILITIES:
            handle_capabilities(r, data, size);
            return;
        case DR_STEP_PROP_AVAIL:
            handle_prop_avail(r, head, data, size);
            return;
        case DR_STEP_NAMES:
            handle_names(r, head, data, size);
            return;
        case DR_STEP_COMPONENT:
            if (r->opcode == ARCP_OP_PROPERTIES) {
                dr_properties_handle_response(r, head, data, size);
            } else {
                dr_component_handle_response(r, head, data, size);
            }
            return;
        case DR_STEP_RXFLOW_ERRORS:
            dr_rxflow_errors_handle_response(r, head, data, size);
            return;
        default:
            dr_request_complete(r, AUD_SUCCESS);
            return;
    }
}

}  // namespace

void dr_device_handle_socket_response(dr_device* d, dr_request* r, const uint8_t* data, size_t size,
                                      uint16_t source_port) {
    dr_device_begin(d);
    arcp_head_t head;
    arcp_read_head(data, size, &head);  // checked by the caller
    if (!port_known(d, source_port)) {
        DR_LOG(d->factory->log, AUD_LOG_WARNING,
               "%s: Message source port does not match any known addresses!", __func__);
        dr_device_set_error(d, AUD_ERR_ADDRNOTAVAIL, "Invalid source port in recved message");
        dr_request_complete(r, AUD_ERR_ADDRNOTAVAIL);
    } else if (head.opcode != r->opcode) {
        dr_request_complete(r, AUD_ERR_INVALIDDATA);
    } else {
        const uint16_t result = head.status & ARCP_STATUS_RESULT_MASK;
        if (result == ARCP_RESULT_SUCCESS || (head.status & ARCP_STATUS_MORE) ||
            (result == ARCP_RESULT_MORE_RECORDS && is_range_query(head.opcode))) {
            run_handler(r, &head, data, size);
        } else if (head.opcode == ARCP_OP_CAPABILITIES && (result == 15 || result == 0x601) &&
                   head.length == ARCP_HEAD_SIZE) {
            handle_no_capabilities(r);
        } else if (((result & 0xF00) != 0 || ((result >> 4) & 0xFF) == 3) &&
                   handles_own_errors(head.opcode)) {
            run_handler(r, &head, data, size);
        } else {
            dr_request_complete(r, arcp_result_to_error(head.status));
        }
    }
    dr_device_end(d);
}

aud_error_t dr_device_send_query_capabilities(dr_request* r) {
    return dr_request_send(r, ARCP_OP_CAPABILITIES, nullptr, 0);
}

extern "C" aud_error_t dr_device_query_capabilities(dr_device_t* d, dr_device_response_fn* fn,
                                                    dr_request_id_t* request_id) {
    if (!d || d->closed) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (d->state < DR_DEVICE_STATE_RESOLVED) {
        return AUD_ERR_INVALIDSTATE;
    }
    dr_request* r = nullptr;
    aud_error_t e = dr_request_take(d, fn, DR_STEP_CAPABILITIES, &r);
    if (e == AUD_SUCCESS) {
        e = dr_device_send_query_capabilities(r);
        if (e != AUD_SUCCESS) {
            dr_request_free(r);
        }
    }
    if (e != AUD_SUCCESS) {
        return e;
    }
    d->prop_avail_due = true;
    d->names_due = true;
    if (request_id) {
        *request_id = r;
    }
    if (d->state == DR_DEVICE_STATE_RESOLVED) {
        dr_device_begin(d);
        dr_device_set_state(d, DR_DEVICE_STATE_QUERYING);
        dr_device_end(d);
    }
    return AUD_SUCCESS;
}
