// A routing device: opening and closing, states, change reporting, ping and rename.
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <new>

#include "dante/routing/internal/dr_impl.h"

namespace {

const char* state_name(dr_device_state_t s) {
    switch (s) {
        case DR_DEVICE_STATE_ERROR:
            return "ERROR";
        case DR_DEVICE_STATE_RESOLVING:
            return "RESOLVING";
        case DR_DEVICE_STATE_RESOLVED:
            return "RESOLVED";
        case DR_DEVICE_STATE_QUERYING:
            return "QUERYING";
        case DR_DEVICE_STATE_ACTIVE:
            return "ACTIVE";
    }
    return "?";
}

// Cuts src to fit; names longer than a field are cut, never overrun.
void copy_name(char* dst, size_t size, const char* src) {
    const size_t n = src ? strnlen(src, size - 1) : 0;
    if (n) {
        memcpy(dst, src, n);
    }
    dst[n] = '\0';
}

void free_device(dr_device* device) {
    for (dr_address_slot* slot : device->slots) {
        delete slot;
    }
    delete device;
}

bool current_domain_adhoc(dr_devices* factory, bool* known) {
    dapi_domain_identity_t identity;
    if (dapi_domain_handler_get_identity(dapi_get_domain_handler(factory->api), &identity) !=
            AUD_SUCCESS ||
        dapi_domain_identity_is_unknown(&identity)) {
        *known = false;
        return false;
    }
    *known = true;
    return dapi_domain_identity_is_adhoc(&identity);
}

aud_error_t open_device(dr_devices* factory, const dr_device_config* config, dr_device** out) {
    bool known = false;
    const bool adhoc = current_domain_adhoc(factory, &known);
    if (!known) {
        return AUD_ERR_INVALIDSTATE;
    }
    const bool named = config->name[0] != '\0';
    const bool explicit_addresses = !config->addresses.empty();
    if ((adhoc && !named && !explicit_addresses) || (!adhoc && explicit_addresses)) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (!adhoc) {
        return AUD_ERR_NOTSUPPORTED;  // managed domains are not served here
    }
    dr_device* d = new (std::nothrow) dr_device();
    if (!d) {
        return AUD_ERR_NOMEMORY;
    }
    d->factory = factory;
    copy_name(d->name, sizeof d->name, config->name);
    copy_name(d->current_name, sizeof d->current_name, config->name);
    copy_name(d->advertised_name, sizeof d->advertised_name, config->name);
    d->arcp_version = ARCP_VERSION_MAX;
    d->adhoc = adhoc;
    const size_t slots = explicit_addresses ? config->addresses.size() : 1;
    try {
        for (size_t i = 0; i < slots; ++i) {
            dr_address_slot* s = new dr_address_slot();
            s->device = d;
            s->index = static_cast<unsigned>(i);
            s->resolve_sock = -1;
            s->query_sock = -1;
            d->slots.push_back(s);
        }
        factory->open.push_back(d);
    } catch (...) {
        free_device(d);
        return AUD_ERR_NOMEMORY;
    }
    if (explicit_addresses) {
        for (size_t i = 0; i < slots; ++i) {
            d->slots[i]->address = config->addresses[i];
            d->slots[i]->have_address = true;
        }
        d->state = DR_DEVICE_STATE_RESOLVED;
        *out = d;
        return AUD_SUCCESS;
    }
    d->state = DR_DEVICE_STATE_RESOLVING;
    bool started = false;
    for (size_t i = 0; i < slots; ++i) {
        started = dr_device_addresses_resolve_address_at_index(d, static_cast<unsigned>(i)) ==
                      AUD_SUCCESS ||
                  started;
    }
    if (!started) {
        factory->open.pop_back();
        for (dr_address_slot* s : d->slots) {
            dr_address_slot_stop(s);
        }
        free_device(d);
        return AUD_ERR_NOTFOUND;
    }
    *out = d;
    return AUD_SUCCESS;
}

}  // namespace

void dr_device_note_change(dr_device* device, dr_device_change_flags_t changes) {
    if (device->collecting > 0) {
        device->pending_changes |= changes;
        return;
    }
    if (device->changed && !device->closed && changes) {
        dr_device_begin(device);
        device->changed(device, changes);
        dr_device_end(device);
    }
}

void dr_device_begin(dr_device* device) {
    ++device->busy;
    ++device->collecting;
}

bool dr_device_end(dr_device* device) {
    if (--device->collecting == 0 && device->pending_changes && !device->closed) {
        const dr_device_change_flags_t changes = device->pending_changes;
        device->pending_changes = 0;
        if (device->changed) {
            device->changed(device, changes);
        }
    }
    if (--device->busy == 0 && device->closed) {
        free_device(device);
        return false;
    }
    return true;
}

void dr_device_set_state(dr_device* device, dr_device_state_t state) {
    if (device->state == state) {
        return;
    }
    DR_LOG(device->factory->log, AUD_LOG_INFO, "%s(%s): Setting state to %s (was %s)", __func__,
           device->name, state_name(state), state_name(device->state));
    device->state = state;
    dr_device_note_change(device, DR_DEVICE_CHANGE_STATE);
}

void dr_device_set_error(dr_device* device, aud_error_t error, const char* message) {
    device->error = error;
    copy_name(device->error_message, sizeof device->error_message, message);
    char text[AUD_ERROR_STR_SIZE];
    DR_LOG(device->factory->log, AUD_LOG_WARNING, "%s(%s): %s: %s", __func__, device->name, message,
           dr_error_format(error, text, sizeof text));
    dr_device_set_state(device, DR_DEVICE_STATE_ERROR);
}

void dr_device_domain_changed(dr_device* device) {
    if (device->adhoc && device->state != DR_DEVICE_STATE_ERROR) {
        dr_device_set_error(device, AUD_ERR_POLICY, "Device closed due to domain change");
    }
}

extern "C" {

aud_error_t dr_device_config_new(const char* name, dr_device_config_t** out) {
    if (!out) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    dr_device_config* c = new (std::nothrow) dr_device_config();
    if (!c) {
        return AUD_ERR_NOMEMORY;
    }
    copy_name(c->name, sizeof c->name, name);
    *out = c;
    return AUD_SUCCESS;
}

aud_error_t dr_device_config_delete(dr_device_config_t* config) {
    delete config;
    return AUD_SUCCESS;
}

aud_error_t dr_device_config_add_address(dr_device_config_t* config, uint32_t ip, uint16_t port) {
    if (!config || ip == 0) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    try {
        config->addresses.push_back(dr_address_t{ip, port ? port : uint16_t{ARCP_DEFAULT_PORT}});
    } catch (...) {
        return AUD_ERR_NOMEMORY;
    }
    return AUD_SUCCESS;
}

aud_error_t dr_device_open_with_config(dr_devices_t* factory, const dr_device_config_t* config,
                                       dr_device_t** out) {
    if (!factory || !config || !out) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    *out = nullptr;
    DR_LOG(factory->log, AUD_LOG_INFO, "%s: starting", __func__);
    const aud_error_t e = open_device(factory, config, out);
    DR_LOG(factory->log, AUD_LOG_INFO, "%s: finished", __func__);
    return e;
}

aud_error_t dr_device_close(dr_device_t* device) {
    if (!device || device->closed) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    dr_devices* factory = device->factory;
    factory->open.erase(std::remove(factory->open.begin(), factory->open.end(), device),
                        factory->open.end());
    dr_devices_free_requests_of(factory, device);
    for (dr_address_slot* slot : device->slots) {
        dr_address_slot_stop(slot);
    }
    if (device->resolved_pending) {
        aud_event_loop_cancel_defer(factory->loop, device->resolved_token);
        device->resolved_pending = false;
    }
    device->closed = true;
    if (device->busy == 0) {
        free_device(device);
    }
    return AUD_SUCCESS;
}

aud_error_t dr_device_set_changed_callback(dr_device_t* device, dr_device_changed_fn* fn) {
    if (!device) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    device->changed = fn;
    return AUD_SUCCESS;
}

void dr_device_set_context(dr_device_t* device, void* context) {
    if (device) {
        device->context = context;
    }
}

void* dr_device_get_context(const dr_device_t* device) {
    return device ? device->context : nullptr;
}

dr_devices_t* dr_device_get_devices(const dr_device_t* device) {
    return device ? device->factory : nullptr;
}

dr_device_state_t dr_device_get_state(const dr_device_t* device) {
    return device ? device->state : DR_DEVICE_STATE_ERROR;
}

const char* dr_device_get_name(const dr_device_t* device) {
    return device ? device->current_name : nullptr;
}

const char* dr_device_get_advertised_name(const dr_device_t* device) {
    return device ? device->advertised_name : nullptr;
}

aud_error_t dr_device_get_addresses(const dr_device_t* device, dr_address_t* out, size_t* count) {
    if (!device || !count || (*count && !out)) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    size_t n = 0;
    for (const dr_address_slot* s : device->slots) {
        if (s->have_address && n < *count) {
            out[n++] = s->address;
        }
    }
    *count = n;
    return AUD_SUCCESS;
}

aud_error_t dr_device_get_error(const dr_device_t* device) {
    return device ? device->error : AUD_ERR_INVALIDPARAMETER;
}

const char* dr_device_get_error_message(const dr_device_t* device) {
    return device ? device->error_message : nullptr;
}

uint16_t dr_device_get_arcp_version(const dr_device_t* device) {
    return device ? device->arcp_version : 0;
}

uint16_t dr_device_get_router_version(const dr_device_t* device) {
    return device ? device->router_version : 0;
}

bool dr_device_is_safe_mode(const dr_device_t* device) {
    return device && device->safe_mode;
}

aud_error_t dr_device_ping(dr_device_t* device, dr_device_response_fn* fn,
                           dr_request_id_t* request_id) {
    if (!device || device->closed) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    DR_LOG(device->factory->log, AUD_LOG_INFO, "%s: pinging device '%s'", __func__,
           device->current_name);
    dr_request* r = nullptr;
    aud_error_t e = dr_request_take(device, fn, DR_STEP_PING, &r);
    if (e == AUD_SUCCESS) {
        e = dr_request_send(r, ARCP_OP_PING, nullptr, 0);
        if (e != AUD_SUCCESS) {
            dr_request_free(r);
        }
    }
    if (e == AUD_SUCCESS && request_id) {
        *request_id = r;
    }
    return e;
}

aud_error_t dr_device_set_name(dr_device_t* device, dr_device_response_fn* fn,
                               dr_request_id_t* request_id, const char* name) {
    if (!device || device->closed || !name) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (name[0] != '\0' && !arcp_device_name_valid(name)) {
        return AUD_ERR_INVALIDDATA;
    }
    DR_LOG(device->factory->log, AUD_LOG_INFO, "%s: renaming device '%s' to '%s'", __func__,
           device->current_name, name);
    const uint8_t* body = reinterpret_cast<const uint8_t*>(name);
    const size_t size = strlen(name) + 1;
    if (!request_id) {
        return dr_device_send_unrequested(device, ARCP_OP_SET_NAME, body, size);
    }
    dr_request* r = nullptr;
    aud_error_t e = dr_request_take(device, fn, DR_STEP_SET_NAME, &r);
    if (e == AUD_SUCCESS) {
        e = dr_request_send(r, ARCP_OP_SET_NAME, body, size);
        if (e != AUD_SUCCESS) {
            dr_request_free(r);
        }
    }
    if (e == AUD_SUCCESS) {
        *request_id = r;
    }
    return e;
}

aud_error_t CloseRename(dr_device_t* device, const char* name) {
    if (!device || device->closed || !name) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    const aud_error_t e = dr_device_set_name(device, nullptr, nullptr, name);
    if (e == AUD_ERR_INVALIDDATA || e == AUD_ERR_INVALIDPARAMETER) {
        return e;  // nothing was sent; the device stays as it was
    }
    if (e != AUD_SUCCESS) {
        dr_device_set_error(device, e, "CloseRename: Error setting name");
        return e;
    }
    return dr_device_close(device);
}

}  // extern "C"
