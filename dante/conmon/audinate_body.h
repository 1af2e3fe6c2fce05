#pragma once
// Audinate message bodies: the 8-byte head shared by every body of vendor "Audinate",
// the two queries the library sends, and the view every status reader works on.
//
// A body is untrusted bytes. Readers check the type and read through a bounds-checked
// view: a field that lies beyond the body is reported as AUD_ERR_TRUNCATED with a zero
// (or null) value, never read. A field newer than the body's version reads as zero (or
// null) with AUD_SUCCESS.
#include <stddef.h>
#include <stdint.h>

#include "dante/runtime/aud_error.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
    AUDINATE_BODY_HEAD_SIZE = 8,
    // Version written into every body this library builds.
    AUDINATE_BODY_VERSION = 0x0724,
    AUDINATE_SHORT_QUERY_SIZE = 8,
    AUDINATE_INTERFACE_QUERY_SIZE = 16,
};

enum audinate_message_type {
    AUDINATE_TYPE_INTERFACE_STATUS = 0x0011,
    AUDINATE_TYPE_INTERFACE_QUERY = 0x0013,
    AUDINATE_TYPE_SRATE_STATUS = 0x0080,
    AUDINATE_TYPE_ENC_STATUS = 0x0082,
    AUDINATE_TYPE_MANF_VERSIONS_STATUS = 0x00C0,
    AUDINATE_TYPE_MANF_VERSIONS_QUERY = 0x00C1,
};

// The body of one ConMon message (the bytes after the 24-byte ConMon head). The bytes
// are borrowed, not copied.
typedef struct audinate_body {
    const uint8_t* bytes;
    size_t size;
} audinate_body;

// Checks that the bytes hold at least the head. INVALIDPARAMETER for null pointers,
// TRUNCATED for a body shorter than 8 bytes (body is then left empty).
aud_error_t audinate_body_init(audinate_body* body, const uint8_t* bytes, size_t size);

// Head fields; 0 for a body shorter than its head.
uint16_t audinate_body_get_version(const audinate_body* body);
uint16_t audinate_body_get_type(const audinate_body* body);
uint32_t audinate_body_get_request_value(const audinate_body* body);

// The logged name of a status type ("INTERFACE_STATUS", ...), or null for other types.
const char* audinate_message_type_name(uint16_t type);

// Short query: version 0x0724, type, request value (8 bytes). NOBUFS when capacity < 8.
aud_error_t audinate_build_short_query(uint8_t* buffer, size_t capacity, uint16_t type,
                                       uint32_t value, size_t* out_size);

// Interface query: version 0x0724, type 0x0013, request value, eight zero bytes.
aud_error_t audinate_build_interface_query(uint8_t* buffer, size_t capacity, uint32_t value,
                                           size_t* out_size);

// Size of an interface query taken from its own bytes: 16 when byte 11 is 0. Other
// values of byte 11 describe a layout this library does not build: INVALIDDATA.
aud_error_t audinate_interface_query_body_size(const uint8_t* query, size_t available,
                                               size_t* out_size);

#ifdef __cplusplus
}
#endif
