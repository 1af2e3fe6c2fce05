#include "dante/runtime/aud_interface.h"

#include <stdlib.h>
#include <string.h>

aud_error_t aud_interface_list_with_env(aud_env_t*, aud_interface_t** out, size_t* count) {
    if (!out || !count) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    *out = nullptr;
    *count = 0;
    return AUD_ERR_NOTSUPPORTED;
}

aud_error_t aud_interface_list(aud_interface_t** out, size_t* count) {
    return aud_interface_list_with_env(nullptr, out, count);
}

void aud_interface_list_free(aud_interface_t* list) {
    free(list);
}

const aud_interface_t* aud_interface_find_by_index(const aud_interface_t* list, size_t count,
                                                   uint32_t index) {
    for (size_t i = 0; list && i < count; ++i) {
        if (list[i].index == index) {
            return &list[i];
        }
    }
    return nullptr;
}

const aud_interface_t* aud_interface_find_by_name(const aud_interface_t* list, size_t count,
                                                  const char* name) {
    for (size_t i = 0; list && name && i < count; ++i) {
        if (strcmp(list[i].name, name) == 0 || strcmp(list[i].adapter_name, name) == 0) {
            return &list[i];
        }
    }
    return nullptr;
}

const aud_interface_t* aud_interface_find_loopback(const aud_interface_t* list, size_t count) {
    for (size_t i = 0; list && i < count; ++i) {
        if (list[i].loopback) {
            return &list[i];
        }
    }
    return nullptr;
}
