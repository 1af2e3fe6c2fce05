#pragma once
// Error codes of the routing layer, carried in aud_error_t next to the library's own
// (0..48). Text lookups try this table first and then the library's.
#include <stddef.h>

#include "dante/runtime/aud_error.h"

#ifdef __cplusplus
extern "C" {
#endif

// XX(code, NAME, "message")
#define DR_ERROR_MAP(XX)                                                                           \
    XX(0x100, INVALID_HANDLE, "invalid handle")                                                    \
    XX(0x101, NO_MORE_HANDLES, "no more handles")                                                  \
    XX(0x140, CAPABILITIES_CHANGED, "capabilities changed")                                        \
    XX(0x150, LABEL_CANONICAL_THIS, "label error: the name is the canonical name of this channel") \
    XX(0x151, LABEL_CANONICAL_OTHER,                                                               \
       "label error: the name is the canonical name of another channel")                           \
    XX(0x152, LABEL_EXISTS, "label error: the label exists on another channel")                    \
    XX(0x153, LABEL_MISSING, "label error: the label doesn't exist")

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
