#pragma once
// What a component that lives in the event loop (the browse, the routing devices)
// takes from the API handle before it is made.
#include "dante/runtime/dapi.h"

typedef struct dapi_component_base {
    aud_env_t* env;
    aud_event_loop_t* loop;
    aud_log_t* log;
    dapi_domain_handler_t* handler;
    dapi_domain_identity_t identity;
} dapi_component_base_t;

// The handle's environment, event loop, log, domain handler and current domain.
// INVALIDPARAMETER without api or out; INVALIDDATA when the handle has no
// environment, event loop or domain handler, or the domain is not known yet.
aud_error_t dapi_get_component_base(dapi_t* api, dapi_component_base_t* out);
