#pragma once
// Error codes of the routing layer, carried in aud_error_t next to the library's own
// (0..48). aud_error_format and the lookups of aud_error.h know them too; the dr_
// functions remain for callers of this layer.
#include <stddef.h>

#include "dante/runtime/aud_error.h"

#ifdef __cplusplus
extern "C" {
#endif

// XX(code, NAME, "message"); the list itself lives with the library's formatter.
#define DR_ERROR_MAP(XX) AUD_ROUTING_ERROR_MAP(XX)

#define DR_ERROR_CONST_(code, name, msg) \
    static const aud_error_t DR_ERR_##name = (aud_error_t)(code);
DR_ERROR_MAP(DR_ERROR_CONST_)
#undef DR_ERROR_CONST_

// This layer's name and message first, then the library's; null when neither knows
// the code.
const char* dr_error_get_name(aud_error_t error);
const char* dr_error_get_message(aud_error_t error);
// "NAME: (0x0140=capabilities changed)" for this layer's codes, aud_error_format for
// the others. Returns buf.
const char* dr_error_format(aud_error_t error, char* buf, size_t size);

#ifdef __cplusplus
}
#endif
