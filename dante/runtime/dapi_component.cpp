#include "dante/runtime/internal/dapi_component.h"

aud_error_t dapi_get_component_base(dapi_t* api, dapi_component_base_t* out) {
    if (!api || !out) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    *out = {};
    out->env = dapi_get_env(api);
    out->loop = out->env ? aud_env_get_event_loop(out->env) : nullptr;
    out->handler = dapi_get_domain_handler(api);
    if (!out->loop || !out->handler ||
        dapi_domain_handler_get_identity(out->handler, &out->identity) != AUD_SUCCESS ||
        dapi_domain_identity_is_unknown(&out->identity)) {
        return AUD_ERR_INVALIDDATA;
    }
    out->log = aud_env_get_log(out->env);
    return AUD_SUCCESS;
}
