// The browse object: its settings, its start, and its rebuild on domain changes.
#include <new>

#include "dante/browse/internal/db_adhoc_browse.h"
#include "dante/runtime/internal/dapi_component.h"

namespace {

const unsigned k_default_resolves = 16;

unsigned count_bits(uint32_t v) {
    unsigned n = 0;
    for (; v; v &= v - 1) {
        ++n;
    }
    return n;
}

void on_domain(dapi_domain_handler_t* handler, dapi_domain_event_t kind, void* user);

// Replaces the browse part for the current domain; only the ad-hoc domain has one.
void rebuild(db_browse* browse) {
    dapi_domain_identity_t identity;
    const bool was_adhoc = browse->adhoc_domain;
    const bool adhoc_now = dapi_domain_handler_get_identity(dapi_get_domain_handler(browse->api),
                                                            &identity) == AUD_SUCCESS &&
                           dapi_domain_identity_is_adhoc(&identity);
    if (was_adhoc == adhoc_now && adhoc_now) {
        return;  // still ad hoc: nothing to rebuild
    }
    if (browse->event) {
        const db_browse_event_t ev = {browse, 0};
        browse->event(&ev);
    }
    db_adhoc_browse_delete(browse->adhoc);
    browse->adhoc = nullptr;
    db_tree_clear(browse, true);
    browse->adhoc_domain = adhoc_now;
    if (adhoc_now && db_adhoc_browse_new(browse, &browse->adhoc) == AUD_SUCCESS &&
        browse->started) {
        db_adhoc_browse_start_config(browse->adhoc, &browse->config);
    }
    if (browse->event) {
        const db_browse_event_t ev = {browse, 1};
        browse->event(&ev);
    }
    if (was_adhoc != adhoc_now && browse->sockets_changed) {
        browse->sockets_changed(browse);
    }
}

void on_domain(dapi_domain_handler_t*, dapi_domain_event_t kind, void* user) {
    db_browse* browse = static_cast<db_browse*>(user);
    if (kind == DAPI_DOMAIN_EVENT_AFTER_CHANGE && browse->registration) {
        rebuild(browse);
    }
}

}  // namespace

extern "C" {

void db_browse_config_init(db_browse_config_t* config) {
    if (!config) {
        return;
    }
    *config = db_browse_config_t{};
    config->num_networks = 1;
    config->network_mask = 0xFFFFFFFFu;
    config->accept_loopback = 1;
    config->resolve_timeout_sec = 30;
}

aud_error_t db_browse_new(dapi_t* api, uint32_t types, db_browse_t** out) {
    if (!api || !out || (types & DB_TYPE_ALL) == 0) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    *out = nullptr;
    dapi_component_base_t base;
    aud_error_t e = dapi_get_component_base(api, &base);
    if (e != AUD_SUCCESS) {
        return e;
    }
    db_browse* browse = new (std::nothrow) db_browse();
    if (!browse) {
        return AUD_ERR_NOMEMORY;
    }
    browse->api = api;
    browse->env = base.env;
    browse->loop = base.loop;
    browse->log = base.log;
    browse->types = types & DB_TYPE_ALL;
    browse->type_count = count_bits(browse->types);
    browse->max_sockets = browse->type_count + k_default_resolves;
    db_browse_config_init(&browse->config);
    browse->adhoc_domain = dapi_domain_identity_is_adhoc(&base.identity);

    if (browse->adhoc_domain) {
        e = db_adhoc_browse_new(browse, &browse->adhoc);
    }
    // Registered last: the handler reports to us from inside the call.
    if (e == AUD_SUCCESS) {
        e = dapi_domain_handler_register(base.handler, on_domain, browse, &browse->registration);
    }
    if (e != AUD_SUCCESS) {
        db_adhoc_browse_delete(browse->adhoc);
        delete browse;
        return e;
    }
    *out = browse;
    return AUD_SUCCESS;
}

aud_error_t db_browse_delete(db_browse_t* browse) {
    if (!browse) {
        return AUD_SUCCESS;
    }
    if (browse->registration) {
        dapi_domain_handler_unregister(dapi_get_domain_handler(browse->api), browse->registration);
    }
    db_adhoc_browse_delete(browse->adhoc);
    db_tree_clear(browse, false);
    delete browse;
    return AUD_SUCCESS;
}

aud_error_t db_browse_set_max_sockets(db_browse_t* browse, unsigned count) {
    if (!browse) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (browse->started) {
        return AUD_ERR_INVALIDSTATE;
    }
    if (count <= browse->type_count) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    browse->max_sockets = count;
    return AUD_SUCCESS;
}

aud_error_t db_browse_set_node_changed_callback(db_browse_t* browse,
                                                db_browse_node_changed_fn* fn) {
    if (!browse) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    browse->node_changed = fn;
    return AUD_SUCCESS;
}

aud_error_t db_browse_set_network_changed_callback(db_browse_t* browse,
                                                   db_browse_network_changed_fn* fn) {
    if (!browse) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    browse->network_changed = fn;
    return AUD_SUCCESS;
}

aud_error_t db_browse_set_event_callback(db_browse_t* browse, db_browse_event_fn* fn) {
    if (!browse) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    browse->event = fn;
    return AUD_SUCCESS;
}

aud_error_t db_browse_set_sockets_changed_callback(db_browse_t* browse,
                                                   db_browse_sockets_changed_fn* fn) {
    if (!browse) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    browse->sockets_changed = fn;
    return AUD_SUCCESS;
}

void db_browse_set_context(db_browse_t* browse, void* context) {
    if (browse) {
        browse->context = context;
    }
}

void* db_browse_get_context(const db_browse_t* browse) {
    return browse ? browse->context : nullptr;
}

aud_error_t db_browse_start_config(db_browse_t* browse, const db_browse_config_t* config) {
    if (!browse || !config || config->num_networks < 1 || config->num_networks > DB_MAX_NETWORKS) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (browse->started) {
        return AUD_ERR_INVALIDSTATE;
    }
    browse->config = *config;
    if (browse->adhoc) {
        const aud_error_t e = db_adhoc_browse_start_config(browse->adhoc, config);
        if (e != AUD_SUCCESS) {
            return e;
        }
    }
    browse->started = true;
    return AUD_SUCCESS;
}

uint32_t db_browse_get_types(const db_browse_t* browse) {
    return browse ? browse->types : 0;
}

uint32_t db_browse_get_network_interface(const db_browse_t* browse, unsigned network) {
    return browse ? db_adhoc_browse_network_interface(browse->adhoc, network) : 0;
}

}  // extern "C"
