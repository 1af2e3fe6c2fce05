#pragma once
// Bounds-checked reading and writing over a byte span. Every decoder of received
// bytes goes through these: each operation returns false and leaves the position
// unchanged when the span is too short, so a short message is an error and never
// an over-read.
#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

// Big-endian (network order) at a place the caller has checked; the readers and
// writers below check first.
static inline uint16_t aud_get_be16(const uint8_t* p) {
    return (uint16_t)((p[0] << 8) | p[1]);
}
static inline void aud_put_be16(uint8_t* p, uint16_t v) {
    p[0] = (uint8_t)(v >> 8);
    p[1] = (uint8_t)(v);
}

typedef struct aud_byte_reader {
    const uint8_t* data;
    size_t size;
    size_t pos;
} aud_byte_reader;

typedef struct aud_byte_writer {
    uint8_t* data;
    size_t size;
    size_t pos;
} aud_byte_writer;

static inline aud_byte_reader aud_reader_make(const void* data, size_t size) {
    aud_byte_reader r = {(const uint8_t*)data, data ? size : 0, 0};
    return r;
}

static inline size_t aud_reader_remaining(const aud_byte_reader* r) {
    return r->size - r->pos;
}

static inline bool aud_reader_has(const aud_byte_reader* r, size_t n) {
    return n <= r->size - r->pos;
}

// Absolute positioning; offsets inside messages are counted from their start.
static inline bool aud_reader_seek(aud_byte_reader* r, size_t pos) {
    if (pos > r->size) {
        return false;
    }
    r->pos = pos;
    return true;
}

static inline bool aud_reader_skip(aud_byte_reader* r, size_t n) {
    if (!aud_reader_has(r, n)) {
        return false;
    }
    r->pos += n;
    return true;
}

static inline bool aud_read_u8(aud_byte_reader* r, uint8_t* out) {
    if (!aud_reader_has(r, 1)) {
        return false;
    }
    *out = r->data[r->pos++];
    return true;
}

// Big-endian (network order).
static inline bool aud_read_be16(aud_byte_reader* r, uint16_t* out) {
    if (!aud_reader_has(r, 2)) {
        return false;
    }
    *out = aud_get_be16(r->data + r->pos);
    r->pos += 2;
    return true;
}

static inline bool aud_read_be32(aud_byte_reader* r, uint32_t* out) {
    if (!aud_reader_has(r, 4)) {
        return false;
    }
    const uint8_t* p = r->data + r->pos;
    *out = ((uint32_t)(p[0]) << 24) | ((uint32_t)(p[1]) << 16) | ((uint32_t)(p[2]) << 8) | p[3];
    r->pos += 4;
    return true;
}

static inline bool aud_read_be64(aud_byte_reader* r, uint64_t* out) {
    uint32_t hi = 0;
    uint32_t lo = 0;
    if (!aud_reader_has(r, 8)) {
        return false;
    }
    aud_read_be32(r, &hi);
    aud_read_be32(r, &lo);
    *out = ((uint64_t)(hi) << 32) | lo;
    return true;
}

// Host order, for structures that never leave this machine.
static inline bool aud_read_h16(aud_byte_reader* r, uint16_t* out) {
    if (!aud_reader_has(r, 2)) {
        return false;
    }
    memcpy(out, r->data + r->pos, 2);
    r->pos += 2;
    return true;
}

static inline bool aud_read_h32(aud_byte_reader* r, uint32_t* out) {
    if (!aud_reader_has(r, 4)) {
        return false;
    }
    memcpy(out, r->data + r->pos, 4);
    r->pos += 4;
    return true;
}

static inline bool aud_read_bytes(aud_byte_reader* r, void* out, size_t n) {
    if (!aud_reader_has(r, n)) {
        return false;
    }
    if (n) {
        memcpy(out, r->data + r->pos, n);
    }
    r->pos += n;
    return true;
}

// A view of the next n bytes without copying them.
static inline bool aud_read_view(aud_byte_reader* r, size_t n, aud_byte_reader* out) {
    if (!aud_reader_has(r, n)) {
        return false;
    }
    *out = aud_reader_make(r->data + r->pos, n);
    r->pos += n;
    return true;
}

// Random access by absolute offset; the position does not move.
static inline bool aud_peek_u8_at(const aud_byte_reader* r, size_t offset, uint8_t* out) {
    if (offset >= r->size) {
        return false;
    }
    *out = r->data[offset];
    return true;
}

static inline bool aud_peek_be16_at(const aud_byte_reader* r, size_t offset, uint16_t* out) {
    if (offset > r->size || r->size - offset < 2) {
        return false;
    }
    *out = (uint16_t)((r->data[offset] << 8) | r->data[offset + 1]);
    return true;
}

static inline bool aud_peek_be32_at(const aud_byte_reader* r, size_t offset, uint32_t* out) {
    aud_byte_reader tmp = *r;
    return aud_reader_seek(&tmp, offset) && aud_read_be32(&tmp, out);
}

// A NUL-terminated string starting at offset that ends inside the span. *out points
// into the span; *len (optional) excludes the terminator.
static inline bool aud_peek_string_at(const aud_byte_reader* r, size_t offset, const char** out,
                                      size_t* len) {
    if (offset >= r->size) {
        return false;
    }
    const void* nul = memchr(r->data + offset, 0, r->size - offset);
    if (!nul) {
        return false;
    }
    *out = (const char*)(r->data + offset);
    if (len) {
        *len = (size_t)((const uint8_t*)(nul) - (r->data + offset));
    }
    return true;
}

static inline aud_byte_writer aud_writer_make(void* data, size_t size) {
    aud_byte_writer w = {(uint8_t*)data, data ? size : 0, 0};
    return w;
}

static inline size_t aud_writer_remaining(const aud_byte_writer* w) {
    return w->size - w->pos;
}

static inline bool aud_writer_seek(aud_byte_writer* w, size_t pos) {
    if (pos > w->size) {
        return false;
    }
    w->pos = pos;
    return true;
}

static inline bool aud_write_u8(aud_byte_writer* w, uint8_t v) {
    if (w->size - w->pos < 1) {
        return false;
    }
    w->data[w->pos++] = v;
    return true;
}

static inline bool aud_write_be16(aud_byte_writer* w, uint16_t v) {
    if (w->size - w->pos < 2) {
        return false;
    }
    aud_put_be16(w->data + w->pos, v);
    w->pos += 2;
    return true;
}

static inline bool aud_write_be32(aud_byte_writer* w, uint32_t v) {
    if (w->size - w->pos < 4) {
        return false;
    }
    for (int i = 0; i < 4; ++i) {
        w->data[w->pos + i] = (uint8_t)(v >> (24 - 8 * i));
    }
    w->pos += 4;
    return true;
}

static inline bool aud_write_be64(aud_byte_writer* w, uint64_t v) {
    if (w->size - w->pos < 8) {
        return false;
    }
    aud_write_be32(w, (uint32_t)(v >> 32));
    aud_write_be32(w, (uint32_t)(v));
    return true;
}

static inline bool aud_write_h16(aud_byte_writer* w, uint16_t v) {
    if (w->size - w->pos < 2) {
        return false;
    }
    memcpy(w->data + w->pos, &v, 2);
    w->pos += 2;
    return true;
}

static inline bool aud_write_h32(aud_byte_writer* w, uint32_t v) {
    if (w->size - w->pos < 4) {
        return false;
    }
    memcpy(w->data + w->pos, &v, 4);
    w->pos += 4;
    return true;
}

static inline bool aud_write_bytes(aud_byte_writer* w, const void* src, size_t n) {
    if (w->size - w->pos < n) {
        return false;
    }
    if (n) {
        memcpy(w->data + w->pos, src, n);
    }
    w->pos += n;
    return true;
}

static inline bool aud_write_zeros(aud_byte_writer* w, size_t n) {
    if (w->size - w->pos < n) {
        return false;
    }
    if (n) {
        memset(w->data + w->pos, 0, n);
    }
    w->pos += n;
    return true;
}

// Patches a big-endian 16-bit value at an earlier offset (lengths known only at the end).
static inline bool aud_write_be16_at(aud_byte_writer* w, size_t offset, uint16_t v) {
    if (offset > w->size || w->size - offset < 2) {
        return false;
    }
    w->data[offset] = (uint8_t)(v >> 8);
    w->data[offset + 1] = (uint8_t)(v);
    return true;
}

#ifdef __cplusplus
}
#endif
