#include "dante/conmon/audinate_body.h"

#include <string.h>

#include "dante/conmon/internal/audinate_read.h"
#include "dante/runtime/byte_view.h"

namespace audinate_detail {

namespace {
aud_byte_reader reader_of(const audinate_body* body) {
    return aud_reader_make(body->bytes, body->bytes ? body->size : 0);
}
}  // namespace

bool read_u16(const audinate_body* body, size_t offset, uint16_t* out) {
    aud_byte_reader r = reader_of(body);
    *out = 0;
    return aud_peek_be16_at(&r, offset, out);
}

bool read_u32(const audinate_body* body, size_t offset, uint32_t* out) {
    aud_byte_reader r = reader_of(body);
    *out = 0;
    return aud_peek_be32_at(&r, offset, out);
}

bool read_raw32(const audinate_body* body, size_t offset, uint32_t* out) {
    *out = 0;
    return read_bytes(body, offset, reinterpret_cast<uint8_t*>(out), 4);
}

bool read_bytes(const audinate_body* body, size_t offset, uint8_t* out, size_t count) {
    aud_byte_reader r = reader_of(body);
    if (aud_reader_seek(&r, offset) && aud_read_bytes(&r, out, count)) {
        return true;
    }
    memset(out, 0, count);
    return false;
}

const char* read_string(const audinate_body* body, size_t offset, size_t limit) {
    aud_byte_reader whole = reader_of(body);
    aud_byte_reader field;
    // A field cut short by the end of the body still counts if its NUL is inside.
    if (!aud_reader_seek(&whole, offset)) {
        return nullptr;
    }
    size_t avail = aud_reader_remaining(&whole);
    if (!aud_read_view(&whole, avail < limit ? avail : limit, &field)) {
        return nullptr;
    }
    const char* s = nullptr;
    if (!aud_peek_string_at(&field, 0, &s, nullptr)) {
        return nullptr;
    }
    return s;
}

aud_error_t check_body(const audinate_body* body, const void* out, uint16_t type_a,
                       uint16_t type_b) {
    if (!body || !out || !body->bytes) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    uint16_t type = 0;
    if (!read_u16(body, 2, &type)) {
        return AUD_ERR_TRUNCATED;
    }
    if (type != type_a && type != type_b) {
        return AUD_ERR_INVALIDDATA;
    }
    return AUD_SUCCESS;
}

}  // namespace audinate_detail

using namespace audinate_detail;

aud_error_t audinate_body_init(audinate_body* body, const uint8_t* bytes, size_t size) {
    if (!body || !bytes) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    if (size < AUDINATE_BODY_HEAD_SIZE) {
        body->bytes = nullptr;
        body->size = 0;
        return AUD_ERR_TRUNCATED;
    }
    body->bytes = bytes;
    body->size = size;
    return AUD_SUCCESS;
}

uint16_t audinate_body_get_version(const audinate_body* body) {
    uint16_t v = 0;
    if (body) {
        read_u16(body, 0, &v);
    }
    return v;
}

uint16_t audinate_body_get_type(const audinate_body* body) {
    uint16_t v = 0;
    if (body) {
        read_u16(body, 2, &v);
    }
    return v;
}

uint32_t audinate_body_get_request_value(const audinate_body* body) {
    uint32_t v = 0;
    if (body) {
        read_u32(body, 4, &v);
    }
    return v;
}

const char* audinate_message_type_name(uint16_t type) {
    switch (type) {
        case AUDINATE_TYPE_INTERFACE_STATUS:
            return "INTERFACE_STATUS";
        case AUDINATE_TYPE_SRATE_STATUS:
            return "SRATE_STATUS";
        case AUDINATE_TYPE_ENC_STATUS:
            return "ENC_STATUS";
        case AUDINATE_TYPE_MANF_VERSIONS_STATUS:
            return "MANF_VERSIONS_STATUS";
        default:
            return nullptr;
    }
}

aud_error_t audinate_build_short_query(uint8_t* buffer, size_t capacity, uint16_t type,
                                       uint32_t value, size_t* out_size) {
    if (!buffer || !out_size) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    aud_byte_writer w = aud_writer_make(buffer, capacity);
    if (!aud_write_be16(&w, AUDINATE_BODY_VERSION) || !aud_write_be16(&w, type) ||
        !aud_write_be32(&w, value)) {
        return AUD_ERR_NOBUFS;
    }
    *out_size = w.pos;
    return AUD_SUCCESS;
}

aud_error_t audinate_build_interface_query(uint8_t* buffer, size_t capacity, uint32_t value,
                                           size_t* out_size) {
    if (!buffer || !out_size) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    aud_byte_writer w = aud_writer_make(buffer, capacity);
    if (!aud_write_be16(&w, AUDINATE_BODY_VERSION) ||
        !aud_write_be16(&w, AUDINATE_TYPE_INTERFACE_QUERY) || !aud_write_be32(&w, value) ||
        !aud_write_zeros(&w, 8)) {
        return AUD_ERR_NOBUFS;
    }
    return audinate_interface_query_body_size(buffer, w.pos, out_size);
}

aud_error_t audinate_interface_query_body_size(const uint8_t* query, size_t available,
                                               size_t* out_size) {
    if (!query || !out_size) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    aud_byte_reader r = aud_reader_make(query, available);
    uint8_t extra = 0;
    if (!aud_peek_u8_at(&r, 11, &extra)) {
        return AUD_ERR_TRUNCATED;
    }
    if (extra != 0) {
        return AUD_ERR_INVALIDDATA;
    }
    *out_size = AUDINATE_INTERFACE_QUERY_SIZE;
    return AUD_SUCCESS;
}
