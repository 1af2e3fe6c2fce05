#pragma once
// Internal: offset-based, bounds-checked reads of an Audinate body. Every read goes
// through a byte view of the whole body, so a field past the end is a status, never an
// over-read.
#include <stddef.h>
#include <stdint.h>

#include "dante/conmon/audinate_body.h"

namespace audinate_detail {

bool read_u16(const audinate_body* body, size_t offset, uint16_t* out);
bool read_u32(const audinate_body* body, size_t offset, uint32_t* out);
// Four bytes as stored (an address in network order).
bool read_raw32(const audinate_body* body, size_t offset, uint32_t* out);
bool read_bytes(const audinate_body* body, size_t offset, uint8_t* out, size_t count);
// A NUL-terminated string starting at offset whose NUL lies before offset + limit and
// inside the body. Null otherwise.
const char* read_string(const audinate_body* body, size_t offset, size_t limit);

// Common entry checks: arguments present, body head readable, type one of the two given.
aud_error_t check_body(const audinate_body* body, const void* out, uint16_t type_a,
                       uint16_t type_b);

// Collects the first failure of a series of field reads; the whole-body readers read
// every field they can and report what went wrong first.
struct first_error {
    aud_error_t value = AUD_SUCCESS;
    void operator()(aud_error_t r) {
        if (value == AUD_SUCCESS) {
            value = r;
        }
    }
};

}  // namespace audinate_detail
