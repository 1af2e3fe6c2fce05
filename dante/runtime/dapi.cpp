#include "dante/runtime/dapi.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <mutex>
#include <new>
#include <vector>

#include "dante/runtime/internal/aud_platform.h"

struct aud_env {
    bool owned_by_api;
    aud_log_t* log;
    aud_event_loop_t* loop;
    dante_runtime_t* runtime;
};

struct dante_runtime {
    aud_env_t* env;
};

struct dapi_domain_registration {
    dapi_domain_fn* fn;
    void* user;
    bool removed;
};

struct dapi_domain_handler {
    dapi_domain_identity_t identity;
    std::vector<dapi_domain_registration_t*> registrations;
    int notifying = 0;
};

struct dapi {
    aud_env_t* env;
    dante_runtime_t* runtime;
    dapi_domain_handler_t* handler;
};

namespace {

std::mutex default_env_mutex;
aud_env_t* default_env = nullptr;
int default_env_refs = 0;

void notify(dapi_domain_handler_t* handler, dapi_domain_event_t kind) {
    ++handler->notifying;
    // Index walk: a callback may register further components.
    for (size_t i = 0; i < handler->registrations.size(); ++i) {
        dapi_domain_registration_t* r = handler->registrations[i];
        if (!r->removed) {
            r->fn(handler, kind, r->user);
        }
    }
    if (--handler->notifying == 0) {
        auto& regs = handler->registrations;
        auto end = std::remove_if(regs.begin(), regs.end(), [](dapi_domain_registration_t* r) {
            if (r->removed) {
                delete r;
                return true;
            }
            return false;
        });
        regs.erase(end, regs.end());
    }
}

void free_handler(dapi_domain_handler_t* handler) {
    if (!handler) {
        return;
    }
    for (dapi_domain_registration_t* r : handler->registrations) {
        delete r;
    }
    delete handler;
}

}  // namespace

aud_error_t dapi_new(dapi_t** out) {
    if (!out) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    *out = nullptr;
    aud_error_t result = aud_platform_startup();
    if (result != AUD_SUCCESS) {
        return result;
    }
    dapi_t* api = new (std::nothrow) dapi{nullptr, nullptr, nullptr};
    aud_env_t* env = api ? new (std::nothrow) aud_env{true, nullptr, nullptr, nullptr} : nullptr;
    if (!api || !env) {
        result = AUD_ERR_NOMEMORY;
        goto fail;
    }
    api->env = env;
    result = aud_log_new("dapi", &env->log);
    if (result != AUD_SUCCESS) {
        goto fail;
    }
    result = aud_event_loop_new(env->log, &env->loop);
    if (result != AUD_SUCCESS) {
        goto fail;
    }
    api->runtime = new (std::nothrow) dante_runtime{env};
    api->handler = new (std::nothrow) dapi_domain_handler{};
    if (!api->runtime || !api->handler) {
        result = AUD_ERR_NOMEMORY;
        goto fail;
    }
    env->runtime = api->runtime;
    dapi_domain_identity_adhoc(&api->handler->identity);
    *out = api;
    return AUD_SUCCESS;

fail:
    if (api) {
        free_handler(api->handler);
        delete api->runtime;
    }
    if (env) {
        if (env->loop) {
            aud_event_loop_delete(env->loop);
        }
        aud_log_delete(env->log);
        delete env;
    }
    delete api;
    aud_platform_shutdown();
    return result;
}

aud_error_t dapi_delete(dapi_t* api) {
    if (!api) {
        return AUD_SUCCESS;
    }
    if (api->env->loop && aud_event_loop_is_processing(api->env->loop)) {
        return AUD_ERR_INVALIDSTATE;
    }
    free_handler(api->handler);
    delete api->runtime;
    aud_event_loop_delete(api->env->loop);
    aud_log_delete(api->env->log);
    delete api->env;
    delete api;
    aud_platform_shutdown();
    return AUD_SUCCESS;
}

aud_env_t* dapi_get_env(dapi_t* api) {
    return api ? api->env : nullptr;
}

dante_runtime_t* dapi_get_runtime(dapi_t* api) {
    return api ? api->runtime : nullptr;
}

dapi_domain_handler_t* dapi_get_domain_handler(dapi_t* api) {
    return api ? api->handler : nullptr;
}

aud_error_t aud_env_setup(aud_env_t** out) {
    if (!out) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    std::lock_guard lock(default_env_mutex);
    if (!default_env) {
        aud_error_t result = aud_platform_startup();
        if (result != AUD_SUCCESS) {
            return result;
        }
        aud_env_t* env = new (std::nothrow) aud_env{false, nullptr, nullptr, nullptr};
        if (!env) {
            aud_platform_shutdown();
            return AUD_ERR_NOMEMORY;
        }
        result = aud_log_new(nullptr, &env->log);
        if (result != AUD_SUCCESS) {
            delete env;
            aud_platform_shutdown();
            return result;
        }
        default_env = env;
    }
    ++default_env_refs;
    *out = default_env;
    return AUD_SUCCESS;
}

aud_error_t aud_env_release(aud_env_t* env) {
    if (!env) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (env->owned_by_api) {
        fputs("Error: This env cannot be cleaned up using aud_env_release!\n", stderr);
        return AUD_ERR_INVALIDPARAMETER;
    }
    std::lock_guard lock(default_env_mutex);
    if (env != default_env || default_env_refs <= 0) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (--default_env_refs == 0) {
        aud_log_delete(env->log);
        delete env;
        default_env = nullptr;
        aud_platform_shutdown();
    }
    return AUD_SUCCESS;
}

aud_log_t* aud_env_get_log(aud_env_t* env) {
    return env ? env->log : nullptr;
}

aud_event_loop_t* aud_env_get_event_loop(aud_env_t* env) {
    return env ? env->loop : nullptr;
}

aud_utime_t aud_env_now(aud_env_t* env) {
    return aud_event_loop_now(env ? env->loop : nullptr);
}

dante_runtime_t* dante_runtime_from_env(aud_env_t* env) {
    return env ? env->runtime : nullptr;
}

aud_env_t* dante_runtime_get_env(dante_runtime_t* runtime) {
    return runtime ? runtime->env : nullptr;
}

aud_error_t dante_runtime_get_sockets(dante_runtime_t* runtime, fd_set* read_set, fd_set* write_set,
                                      int* max_fd, struct timeval* timeout) {
    if (!runtime) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (!runtime->env->loop) {
        return AUD_ERR_INVALIDSTATE;
    }
    return aud_event_loop_get_sockets(runtime->env->loop, read_set, write_set, max_fd, timeout);
}

aud_error_t dante_runtime_process_sockets(dante_runtime_t* runtime, fd_set* read_set,
                                          fd_set* write_set) {
    if (!runtime) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (!runtime->env->loop) {
        return AUD_ERR_INVALIDSTATE;
    }
    return aud_event_loop_process(runtime->env->loop, read_set, write_set);
}

aud_error_t dante_runtime_run_once(dante_runtime_t* runtime, uint32_t max_wait_ms) {
    if (!runtime) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    fd_set rd;
    fd_set wr;
    FD_ZERO(&rd);
    FD_ZERO(&wr);
    int max_fd = 0;
    timeval tv{};
    aud_error_t result = dante_runtime_get_sockets(runtime, &rd, &wr, &max_fd, &tv);
    if (result != AUD_SUCCESS) {
        return result;
    }
    int64_t wait_ms = tv.tv_sec * 1000 + tv.tv_usec / 1000;
    if (wait_ms > max_wait_ms) {
        tv.tv_sec = max_wait_ms / 1000;
        tv.tv_usec = static_cast<suseconds_t>((max_wait_ms % 1000) * 1000);
    }
    int n = select(max_fd, &rd, &wr, nullptr, &tv);
    if (n < 0) {
        aud_error_t err = aud_error_from_errno(errno);
        if (err != AUD_ERR_INTERRUPTED) {
            return err;
        }
        FD_ZERO(&rd);
        FD_ZERO(&wr);
    }
    return dante_runtime_process_sockets(runtime, &rd, &wr);
}

void dapi_domain_identity_adhoc(dapi_domain_identity_t* out) {
    if (!out) {
        return;
    }
    memset(out->id, 0xFF, sizeof out->id);
    out->flags = DAPI_DOMAIN_FLAGS_ADHOC;
}

bool dapi_domain_identity_is_adhoc(const dapi_domain_identity_t* identity) {
    return identity && std::all_of(std::begin(identity->id), std::end(identity->id),
                                   [](uint8_t b) { return b == 0xFF; });
}

bool dapi_domain_identity_is_unknown(const dapi_domain_identity_t* identity) {
    return identity && std::all_of(std::begin(identity->id), std::end(identity->id),
                                   [](uint8_t b) { return b == 0; });
}

aud_error_t dapi_domain_handler_get_identity(const dapi_domain_handler_t* handler,
                                             dapi_domain_identity_t* out) {
    if (!handler || !out) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    *out = handler->identity;
    return AUD_SUCCESS;
}

aud_error_t dapi_domain_handler_set_identity(dapi_domain_handler_t* handler,
                                             const dapi_domain_identity_t* identity) {
    if (!handler || !identity) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    bool same_id = memcmp(handler->identity.id, identity->id, sizeof identity->id) == 0;
    if (same_id && handler->identity.flags == identity->flags) {
        return AUD_SUCCESS;
    }
    if (same_id) {
        handler->identity.flags = identity->flags;
        notify(handler, DAPI_DOMAIN_EVENT_FLAGS_CHANGED);
        return AUD_SUCCESS;
    }
    notify(handler, DAPI_DOMAIN_EVENT_BEFORE_CHANGE);
    handler->identity = *identity;
    notify(handler, DAPI_DOMAIN_EVENT_AFTER_CHANGE);
    return AUD_SUCCESS;
}

aud_error_t dapi_domain_handler_notify_state(dapi_domain_handler_t* handler) {
    if (!handler) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    notify(handler, DAPI_DOMAIN_EVENT_HANDLER_STATE);
    return AUD_SUCCESS;
}

aud_error_t dapi_domain_handler_register(dapi_domain_handler_t* handler, dapi_domain_fn* fn,
                                         void* user, dapi_domain_registration_t** out) {
    if (!out) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    *out = nullptr;
    if (!handler || !fn) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    dapi_domain_registration_t* r = new (std::nothrow) dapi_domain_registration{fn, user, false};
    if (!r) {
        return AUD_ERR_NOMEMORY;
    }
    handler->registrations.push_back(r);
    *out = r;
    // The information provider's report to each newcomer.
    fn(handler, DAPI_DOMAIN_EVENT_HANDLER_STATE, user);
    return AUD_SUCCESS;
}

aud_error_t dapi_domain_handler_unregister(dapi_domain_handler_t* handler,
                                           dapi_domain_registration_t* registration) {
    if (!handler || !registration) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    auto& regs = handler->registrations;
    auto it = std::find(regs.begin(), regs.end(), registration);
    if (it == regs.end() || registration->removed) {
        return AUD_ERR_NOTFOUND;
    }
    if (handler->notifying > 0) {
        registration->removed = true;
        return AUD_SUCCESS;
    }
    regs.erase(it);
    delete registration;
    return AUD_SUCCESS;
}

size_t dapi_domain_handler_registration_count(const dapi_domain_handler_t* handler) {
    if (!handler) {
        return 0;
    }
    return static_cast<size_t>(std::count_if(handler->registrations.begin(),
                                             handler->registrations.end(),
                                             [](auto* r) { return !r->removed; }));
}
