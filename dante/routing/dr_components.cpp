// Components: channel, label and flow tables read with range-list queries, and the
// properties followed by the RX flow error query.
#include <string.h>

#include "dante/routing/internal/dr_impl.h"

const uint16_t dr_property_ids[DR_PROPERTY_COUNT] = {
    0x0201, 0x8204, 0x8205, 0x0210, 0x0211, 0x8301, 0x8302, 0x8306,
    0x0310, 0x0311, 0x0303, 0x8021, 0x00F0, 0x8060, 0x0022,
};

namespace {

const uint16_t k_prop_clock_subdomain = 0x8021;
const uint16_t k_prop_aes67_prefix = 0x8060;

struct component_info {
    uint16_t opcode;
    size_t record_size;
    const char* invalid_id;
    dr_device_change_flags_t change;
};

const component_info k_components[DR_DEVICE_COMPONENT_COUNT] = {
    {ARCP_OP_TX_CHANNELS, ARCP_TXCHANNEL_RECORD_SIZE, "TxChannelQuery: invalid ID",
     DR_DEVICE_CHANGE_TXCHANNELS},
    {ARCP_OP_RX_CHANNELS, ARCP_RXCHANNEL_RECORD_SIZE, "RxChannelQuery: invalid ID",
     DR_DEVICE_CHANGE_RXCHANNELS},
    {ARCP_OP_TX_LABELS, ARCP_LABEL_RECORD_SIZE, "TxLabelQuery: invalid ID in response",
     DR_DEVICE_CHANGE_TXLABELS},
    {ARCP_OP_TX_FLOWS, ARCP_FLOW_RECORD_SIZE, "TxFlowQuery: Invalid ID", DR_DEVICE_CHANGE_TXFLOWS},
    {ARCP_OP_RX_FLOWS, ARCP_FLOW_RECORD_SIZE, "RxFlowQuery: Invalid ID", DR_DEVICE_CHANGE_RXFLOWS},
    {ARCP_OP_PROPERTIES, ARCP_PROPERTY_RECORD_SIZE, nullptr, DR_DEVICE_CHANGE_PROPERTIES},
};

// The id of the first stale channel, 0 when none.
uint16_t first_stale_tx(const dr_device* d) {
    for (const dr_txchannel& c : d->tx) {
        if (c.stale) {
            return c.id;
        }
    }
    return 0;
}

uint16_t first_stale_rx(const dr_device* d) {
    for (const dr_rxchannel& c : d->rx) {
        if (c.stale) {
            return c.id;
        }
    }
    return 0;
}

bool same_tx(const arcp_txchannel_t& a, const arcp_txchannel_t& b) {
    return a.id == b.id && a.flags == b.flags && a.format.sample_rate == b.format.sample_rate &&
           a.format.encoding == b.format.encoding && strcmp(a.name, b.name) == 0;
}

bool same_rx(const arcp_rxchannel_t& a, const arcp_rxchannel_t& b) {
    return a.id == b.id && a.flags == b.flags && a.format.sample_rate == b.format.sample_rate &&
           a.format.encoding == b.format.encoding && strcmp(a.name, b.name) == 0 &&
           strcmp(a.subscription, b.subscription) == 0 && a.status == b.status &&
           a.latency_ns == b.latency_ns;
}

void component_done(dr_request* r, dr_device_component_t component) {
    dr_device* d = r->device;
    d->stale[component] = false;
    dr_device_note_change(d, DR_DEVICE_CHANGE_STALE);
    dr_request_complete(r, AUD_SUCCESS);
}

void invalid_id(dr_request* r, const component_info& info) {
    DR_LOG(r->device->factory->log, AUD_LOG_WARNING, "%s", info.invalid_id);
    dr_device_set_error(r->device, DR_ERR_CAPABILITIES_CHANGED, info.invalid_id);
    dr_request_complete(r, DR_ERR_CAPABILITIES_CHANGED);
}

// One pass over the channel records. Returns the number of channels that stopped
// being stale, or -1 after completing the request with an error.
int apply_channels(dr_request* r, const arcp_records_t& records, bool tx) {
    dr_device* d = r->device;
    const component_info& info = k_components[tx ? 0 : 1];
    const size_t count = tx ? d->tx.size() : d->rx.size();
    int progress = 0;
    for (size_t i = 0; i < records.count; ++i) {
        arcp_txchannel_t txc{};
        arcp_rxchannel_t rxc{};
        const aud_error_t e = tx ? arcp_decode_txchannel(&records, i, &txc)
                                 : arcp_decode_rxchannel(&records, i, &rxc);
        const uint16_t id = tx ? txc.id : rxc.id;
        if (id == 0 || id > count) {
            invalid_id(r, info);
            return -1;
        }
        if (e != AUD_SUCCESS) {
            dr_request_complete(r, e);
            return -1;
        }
        bool& stale = tx ? d->tx[id - 1].stale : d->rx[id - 1].stale;
        const bool changed =
            tx ? !same_tx(txc, d->tx[id - 1].data) : !same_rx(rxc, d->rx[id - 1].data);
        if (changed) {
            if (tx) {
                d->tx[id - 1].data = txc;
            } else {
                d->rx[id - 1].data = rxc;
            }
            dr_device_note_change(d, info.change);
        }
        if (stale) {
            stale = false;
            ++progress;
        }
    }
    return progress;
}

// Labels and flows: records appended; a "more" answer continues after the last id.
int apply_list(dr_request* r, const arcp_records_t& records, dr_device_component_t component,
               uint16_t* last_id) {
    dr_device* d = r->device;
    const component_info& info = k_components[component];
    for (size_t i = 0; i < records.count; ++i) {
        aud_error_t e;
        uint16_t id;
        if (component == DR_DEVICE_COMPONENT_TXLABELS) {
            arcp_label_t label{};
            e = arcp_decode_label(&records, i, &label);
            id = label.channel_id;
            if (id == 0 || id > d->tx.size()) {
                invalid_id(r, info);
                return -1;
            }
            if (e == AUD_SUCCESS) {
                d->labels.push_back(label);
            }
        } else {
            const bool txflows = component == DR_DEVICE_COMPONENT_TXFLOWS;
            arcp_flow_t flow{};
            e = arcp_decode_flow(&records, i, &flow);
            id = flow.id;
            if (id == 0 || id > (txflows ? d->caps.max_txflows : d->caps.max_rxflows)) {
                invalid_id(r, info);
                return -1;
            }
            if (e == AUD_SUCCESS) {
                (txflows ? d->txflows : d->rxflows).push_back(flow);
            }
        }
        if (e != AUD_SUCCESS) {
            dr_request_complete(r, e);
            return -1;
        }
        *last_id = id;
    }
    return static_cast<int>(records.count);
}

aud_error_t send_range(dr_request* r, uint16_t opcode, uint16_t first) {
    uint8_t body[6];
    aud_byte_writer w = aud_writer_make(body, sizeof body);
    arcp_write_range_list(&w, &first, 1);
    return dr_request_send(r, opcode, body, w.pos);
}

void continue_or_fail(dr_request* r, uint16_t opcode, uint16_t first) {
    const aud_error_t e = send_range(r, opcode, first);
    if (e != AUD_SUCCESS) {
        dr_request_complete(r, e);
    }
}

const dr_property_value* find_property(const dr_device* d, uint16_t id) {
    for (size_t k = 0; k < DR_PROPERTY_COUNT; ++k) {
        if (dr_property_ids[k] == id) {
            return &d->properties[k];
        }
    }
    return nullptr;
}

bool active(const dr_device* d) {
    return d && !d->closed && d->state == DR_DEVICE_STATE_ACTIVE;
}

}  // namespace

void dr_device_mark_all_stale(dr_device* d) {
    for (bool& s : d->stale) {
        s = true;
    }
    for (dr_txchannel& c : d->tx) {
        c.stale = true;
    }
    for (dr_rxchannel& c : d->rx) {
        c.stale = true;
    }
    dr_device_note_change(d, DR_DEVICE_CHANGE_STALE);
}

aud_error_t dr_component_send_query(dr_request* r) {
    dr_device* d = r->device;
    switch (r->component) {
        case DR_DEVICE_COMPONENT_TXCHANNELS:
            return send_range(r, ARCP_OP_TX_CHANNELS, first_stale_tx(d));
        case DR_DEVICE_COMPONENT_RXCHANNELS:
            return send_range(r, ARCP_OP_RX_CHANNELS, first_stale_rx(d));
        case DR_DEVICE_COMPONENT_TXLABELS:
            d->labels.clear();
            return send_range(r, ARCP_OP_TX_LABELS, 1);
        case DR_DEVICE_COMPONENT_TXFLOWS:
            d->txflows.clear();
            return send_range(r, ARCP_OP_TX_FLOWS, 1);
        case DR_DEVICE_COMPONENT_RXFLOWS:
            d->rxflows.clear();
            return send_range(r, ARCP_OP_RX_FLOWS, 1);
        default: {
            uint8_t body[2 + 2 * DR_PROPERTY_COUNT];
            aud_byte_writer w = aud_writer_make(body, sizeof body);
            aud_write_u8(&w, 0);
            aud_write_u8(&w, DR_PROPERTY_COUNT);
            for (uint16_t id : dr_property_ids) {
                aud_write_be16(&w, id);
            }
            return dr_request_send(r, ARCP_OP_PROPERTIES, body, w.pos);
        }
    }
}

void dr_component_handle_response(dr_request* r, const arcp_head_t* head, const uint8_t* data,
                                  size_t size) {
    dr_device* d = r->device;
    const dr_device_component_t component = static_cast<dr_device_component_t>(r->component);
    const component_info& info = k_components[component];
    arcp_records_t records;
    if (arcp_records_init(data, size, info.record_size, &records) != AUD_SUCCESS) {
        dr_request_complete(r, AUD_ERR_INVALIDDATA);
        return;
    }
    if (component == DR_DEVICE_COMPONENT_TXCHANNELS ||
        component == DR_DEVICE_COMPONENT_RXCHANNELS) {
        const bool tx = component == DR_DEVICE_COMPONENT_TXCHANNELS;
        const int progress = apply_channels(r, records, tx);
        if (progress < 0) {
            return;
        }
        const uint16_t next = tx ? first_stale_tx(d) : first_stale_rx(d);
        if (next == 0) {
            component_done(r, component);
        } else if (progress == 0) {
            // An answer that brings nothing new would make us ask forever.
            dr_request_complete(r, AUD_ERR_INVALIDDATA);
        } else {
            continue_or_fail(r, info.opcode, next);
        }
        return;
    }
    uint16_t last = 0;
    const int n = apply_list(r, records, component, &last);
    if (n < 0) {
        return;
    }
    const uint16_t result = head->status & ARCP_STATUS_RESULT_MASK;
    const bool more = (head->status & ARCP_STATUS_MORE) || result == ARCP_RESULT_MORE_RECORDS;
    if (more && n > 0 && last < 0xFFFF) {
        continue_or_fail(r, info.opcode, static_cast<uint16_t>(last + 1));
    } else {
        if (component == DR_DEVICE_COMPONENT_TXLABELS) {
            dr_device_note_change(d, DR_DEVICE_CHANGE_TXLABELS);
        }
        component_done(r, component);
    }
}

void dr_properties_handle_response(dr_request* r, const arcp_head_t* head, const uint8_t* data,
                                   size_t size) {
    dr_device* d = r->device;
    arcp_records_t records;
    const aud_error_t result = arcp_result_to_error(head->status);
    if (result != AUD_SUCCESS ||
        arcp_records_init(data, size, ARCP_PROPERTY_RECORD_SIZE, &records) != AUD_SUCCESS) {
        dr_request_complete(r, result != AUD_SUCCESS ? result : AUD_ERR_INVALIDDATA);
        return;
    }
    bool changed = false;
    for (size_t i = 0; i < records.count; ++i) {
        arcp_property_t p;
        if (arcp_decode_property(&records, i, &p) != AUD_SUCCESS) {
            dr_request_complete(r, AUD_ERR_INVALIDDATA);
            return;
        }
        for (size_t k = 0; k < DR_PROPERTY_COUNT; ++k) {
            if (dr_property_ids[k] != p.id) {
                continue;
            }
            if (p.id == k_prop_aes67_prefix && !(d->available_properties & (1u << k))) {
                break;
            }
            uint32_t value = 0;
            if (p.id == k_prop_clock_subdomain) {
                char text[17] = {};
                memcpy(text, p.value.data, p.size < 16 ? p.size : 16);
                changed = changed || strcmp(text, d->clock_subdomain) != 0;
                memcpy(d->clock_subdomain, text, sizeof text);
            } else if (p.size == 2) {
                uint16_t v16 = 0;
                aud_read_be16(&p.value, &v16);
                value = v16;
            } else if (p.size == 4) {
                aud_read_be32(&p.value, &value);
            } else {
                break;  // a width this layer does not know
            }
            dr_property_value& slot = d->properties[k];
            changed = changed || !slot.present || slot.value != value;
            slot.id = p.id;
            slot.present = true;
            slot.value = value;
        }
    }
    if (changed) {
        dr_device_note_change(d, DR_DEVICE_CHANGE_PROPERTIES);
    }
    if (d->arcp_version < 0x2600) {
        component_done(r, DR_DEVICE_COMPONENT_PROPERTIES);
        return;
    }
    r->step = DR_STEP_RXFLOW_ERRORS;
    const aud_error_t e = dr_request_send(r, ARCP_OP_RX_FLOW_ERRORS, nullptr, 0);
    if (e != AUD_SUCCESS) {
        dr_request_complete(r, e);
    }
}

void dr_rxflow_errors_handle_response(dr_request* r, const arcp_head_t*, const uint8_t*, size_t) {
    // Flow error counters are not kept; a device that does not offer them is fine.
    component_done(r, DR_DEVICE_COMPONENT_PROPERTIES);
}

extern "C" {

aud_error_t dr_device_update_component(dr_device_t* d, dr_device_response_fn* fn,
                                       dr_request_id_t* request_id,
                                       dr_device_component_t component) {
    if (!d || d->closed) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (d->state < DR_DEVICE_STATE_ACTIVE) {
        return AUD_ERR_INVALIDSTATE;
    }
    if (static_cast<unsigned>(component) >= DR_DEVICE_COMPONENT_COUNT) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    const bool stale = component == DR_DEVICE_COMPONENT_TXCHANNELS   ? first_stale_tx(d) != 0
                       : component == DR_DEVICE_COMPONENT_RXCHANNELS ? first_stale_rx(d) != 0
                                                                     : d->stale[component];
    if (!stale) {
        if (request_id) {
            *request_id = nullptr;
        }
        return AUD_SUCCESS;
    }
    dr_request* r = nullptr;
    aud_error_t e = dr_request_take(d, fn, DR_STEP_COMPONENT, &r);
    if (e == AUD_SUCCESS) {
        r->component = component;
        e = dr_component_send_query(r);
        if (e != AUD_SUCCESS) {
            dr_request_free(r);
        }
    }
    if (e == AUD_SUCCESS && request_id) {
        *request_id = r;
    }
    return e;
}

bool dr_device_is_component_stale(const dr_device_t* d, dr_device_component_t component) {
    if (!d || static_cast<unsigned>(component) >= DR_DEVICE_COMPONENT_COUNT) {
        return false;
    }
    if (component == DR_DEVICE_COMPONENT_TXCHANNELS) {
        return first_stale_tx(d) != 0;
    }
    if (component == DR_DEVICE_COMPONENT_RXCHANNELS) {
        return first_stale_rx(d) != 0;
    }
    return d->stale[component];
}

uint16_t dr_device_num_txchannels(const dr_device_t* d) {
    return active(d) ? d->caps.num_txchannels : 0;
}

uint16_t dr_device_num_rxchannels(const dr_device_t* d) {
    return active(d) ? d->caps.num_rxchannels : 0;
}

uint16_t dr_device_max_txflows(const dr_device_t* d) {
    return active(d) ? d->caps.max_txflows : 0;
}

uint16_t dr_device_max_rxflows(const dr_device_t* d) {
    return active(d) ? d->caps.max_rxflows : 0;
}

uint16_t dr_device_num_interfaces(const dr_device_t* d) {
    return active(d) ? d->caps.num_interfaces : 0;
}

uint16_t dr_device_get_capability_word(const dr_device_t* d) {
    return active(d) ? d->caps.capability_word : 0;
}

aud_error_t dr_device_get_status_flags(const dr_device_t* d, uint32_t* out) {
    if (!out || !active(d)) {
        return AUD_ERR_INVALIDSTATE;
    }
    *out = d->status_flags;
    return AUD_SUCCESS;
}

namespace {

aud_error_t versioned(const dr_device* d, uint16_t since, uint32_t value, uint32_t* out) {
    if (!out || !active(d)) {
        return AUD_ERR_INVALIDSTATE;
    }
    if (d->arcp_version < since || d->caps.version < since) {
        return AUD_ERR_VERSION;
    }
    *out = value;
    return AUD_SUCCESS;
}

aud_error_t versioned16(const dr_device* d, uint16_t since, uint16_t value, uint16_t* out) {
    uint32_t v = 0;
    const aud_error_t e = versioned(d, since, value, out ? &v : nullptr);
    if (e == AUD_SUCCESS) {
        *out = static_cast<uint16_t>(v);
    }
    return e;
}

}  // namespace

aud_error_t dr_device_get_capability_flags(const dr_device_t* d, uint32_t* out) {
    return versioned(d, 0x2703, d ? d->caps.capability_flags : 0, out);
}

aud_error_t dr_device_get_txflow_limit(const dr_device_t* d, uint16_t* out) {
    return versioned16(d, 0x2600, d ? d->caps.txflow_limit : 0, out);
}

aud_error_t dr_device_get_rxflow_limit(const dr_device_t* d, uint16_t* out) {
    return versioned16(d, 0x2600, d ? d->caps.rxflow_limit : 0, out);
}

aud_error_t dr_device_get_max_txlabels(const dr_device_t* d, uint16_t* out) {
    return versioned16(d, 0x2600, d ? d->caps.max_txlabels : 0, out);
}

aud_error_t dr_device_get_property(const dr_device_t* d, uint16_t id, uint32_t* out) {
    if (!out || !active(d)) {
        return AUD_ERR_INVALIDSTATE;
    }
    const dr_property_value* p = find_property(d, id);
    if (!p || !p->present) {
        return AUD_ERR_NOTFOUND;
    }
    *out = p->value;
    return AUD_SUCCESS;
}

aud_error_t dr_device_get_clock_subdomain(const dr_device_t* d, char buf[17]) {
    if (!buf || !active(d)) {
        return AUD_ERR_INVALIDSTATE;
    }
    const dr_property_value* p = find_property(d, k_prop_clock_subdomain);
    if (!p || !p->present) {
        return AUD_ERR_NOTFOUND;
    }
    memcpy(buf, d->clock_subdomain, 17);
    return AUD_SUCCESS;
}

bool dr_device_is_property_available(const dr_device_t* d, uint16_t id) {
    for (size_t k = 0; d && k < DR_PROPERTY_COUNT; ++k) {
        if (dr_property_ids[k] == id) {
            return (d->available_properties >> k) & 1;
        }
    }
    return false;
}

dr_txchannel_t* dr_device_txchannel_at_index(const dr_device_t* d, unsigned index) {
    return active(d) && index < d->tx.size() ? const_cast<dr_txchannel*>(&d->tx[index]) : nullptr;
}

dr_rxchannel_t* dr_device_rxchannel_at_index(const dr_device_t* d, unsigned index) {
    return active(d) && index < d->rx.size() ? const_cast<dr_rxchannel*>(&d->rx[index]) : nullptr;
}

uint16_t dr_txchannel_get_id(const dr_txchannel_t* c) {
    return c ? c->id : 0;
}

const char* dr_txchannel_get_name(const dr_txchannel_t* c) {
    return c ? c->data.name : nullptr;
}

bool dr_txchannel_is_stale(const dr_txchannel_t* c) {
    return c && c->stale;
}

uint16_t dr_rxchannel_get_id(const dr_rxchannel_t* c) {
    return c ? c->id : 0;
}

const char* dr_rxchannel_get_name(const dr_rxchannel_t* c) {
    return c ? c->data.name : nullptr;
}

const char* dr_rxchannel_get_subscription(const dr_rxchannel_t* c) {
    return c ? c->data.subscription : nullptr;
}

uint16_t dr_rxchannel_get_status(const dr_rxchannel_t* c) {
    return c ? c->data.status : 0;
}

bool dr_rxchannel_is_stale(const dr_rxchannel_t* c) {
    return c && c->stale;
}

size_t dr_device_num_txlabels(const dr_device_t* d) {
    return active(d) ? d->labels.size() : 0;
}

aud_error_t dr_device_get_txlabel(const dr_device_t* d, size_t index, uint16_t* channel_id,
                                  const char** label) {
    if (!active(d)) {
        return AUD_ERR_INVALIDSTATE;
    }
    if (index >= d->labels.size() || !channel_id || !label) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    *channel_id = d->labels[index].channel_id;
    *label = d->labels[index].name;
    return AUD_SUCCESS;
}

size_t dr_device_num_txflows(const dr_device_t* d) {
    return active(d) ? d->txflows.size() : 0;
}

size_t dr_device_num_rxflows(const dr_device_t* d) {
    return active(d) ? d->rxflows.size() : 0;
}

}  // extern "C"
