#include "dante/routing/dr_error.h"

#include <stdio.h>

namespace {

struct entry {
    int32_t code;
    const char* name;
    const char* message;
};

const entry k_table[] = {
#define DR_ERROR_ROW_(code, name, msg) {code, #name, msg},
    DR_ERROR_MAP(DR_ERROR_ROW_)
#undef DR_ERROR_ROW_
};

const entry* find(aud_error_t error) {
    for (const entry& e : k_table) {
        if (e.code == error) {
            return &e;
        }
    }
    return nullptr;
}

}  // namespace

extern "C" {

const char* dr_error_get_name(aud_error_t error) {
    const entry* e = find(error);
    return e ? e->name : aud_error_get_name(error);
}

const char* dr_error_get_message(aud_error_t error) {
    const entry* e = find(error);
    return e ? e->message : aud_error_get_message(error);
}

const char* dr_error_format(aud_error_t error, char* buf, size_t size) {
    const entry* e = find(error);
    if (!e) {
        return aud_error_format(error, buf, size);
    }
    if (buf && size) {
        snprintf(buf, size, "%s: (0x%04x=%s)", e->name, static_cast<unsigned>(e->code), e->message);
    }
    return buf;
}

}  // extern "C"
