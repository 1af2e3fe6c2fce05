#include "dante/conmon/audinate_srate_status.h"

#include "dante/conmon/internal/audinate_read.h"
#include "dante/runtime/byte_view.h"

using namespace audinate_detail;

namespace {

constexpr size_t kListOffsetAt = 8;
constexpr size_t kListCountAt = 10;
constexpr size_t kCurrentAt = 12;
constexpr size_t kRebootAt = 16;
constexpr size_t kModeAt = 20;
constexpr size_t kFixedEnd = 24;
constexpr uint16_t kModeFrom = 0x0501;

aud_error_t check(const audinate_body* body, const void* out) {
    return check_body(body, out, AUDINATE_TYPE_SRATE_STATUS, AUDINATE_TYPE_ENC_STATUS);
}

aud_error_t read_field(const audinate_body* body, uint32_t* out, size_t at) {
    aud_error_t e = check(body, out);
    if (e != AUD_SUCCESS) {
        return e;
    }
    return read_u32(body, at, out) ? AUD_SUCCESS : AUD_ERR_TRUNCATED;
}

}  // namespace

aud_error_t audinate_srate_status_get_current(const audinate_body* body, uint32_t* out) {
    return read_field(body, out, kCurrentAt);
}

aud_error_t audinate_srate_status_get_reboot(const audinate_body* body, uint32_t* out) {
    return read_field(body, out, kRebootAt);
}

aud_error_t audinate_srate_status_get_mode(const audinate_body* body, uint16_t* out) {
    aud_error_t e = check(body, out);
    if (e != AUD_SUCCESS) {
        return e;
    }
    if (audinate_body_get_version(body) < kModeFrom) {
        *out = AUDINATE_SRATE_MODE_REBOOT;
        return AUD_SUCCESS;
    }
    return read_u16(body, kModeAt, out) ? AUD_SUCCESS : AUD_ERR_TRUNCATED;
}

aud_error_t audinate_srate_status_get_available_count(const audinate_body* body, uint16_t* out) {
    aud_error_t e = check(body, out);
    if (e != AUD_SUCCESS) {
        return e;
    }
    uint16_t list = 0;
    *out = 0;
    if (!read_u16(body, kListOffsetAt, &list)) {
        return AUD_ERR_TRUNCATED;
    }
    if (list == 0 || list % 4 != 0) {
        return AUD_SUCCESS;
    }
    return read_u16(body, kListCountAt, out) ? AUD_SUCCESS : AUD_ERR_TRUNCATED;
}

aud_error_t audinate_srate_status_get_available(const audinate_body* body, uint16_t index,
                                                uint32_t* out) {
    uint16_t count = 0;
    aud_error_t e = audinate_srate_status_get_available_count(body, out ? &count : nullptr);
    if (e != AUD_SUCCESS) {
        return e;
    }
    *out = 0;
    if (index >= count) {
        return AUD_ERR_RANGE;
    }
    uint16_t list = 0;
    read_u16(body, kListOffsetAt, &list);
    return read_u32(body, list + static_cast<size_t>(index) * 4, out) ? AUD_SUCCESS
                                                                      : AUD_ERR_TRUNCATED;
}

aud_error_t audinate_build_srate_status(uint8_t* buffer, size_t capacity,
                                        const audinate_srate_status_info* info, size_t* out_size) {
    if (!buffer || !info || !out_size || info->available_count > AUDINATE_SRATE_MAX_BUILD_VALUES ||
        (info->type != AUDINATE_TYPE_SRATE_STATUS && info->type != AUDINATE_TYPE_ENC_STATUS)) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    const uint16_t n = info->available_count;
    aud_byte_writer w = aud_writer_make(buffer, capacity);
    bool ok =
        aud_write_be16(&w, info->version) && aud_write_be16(&w, info->type) &&
        aud_write_be32(&w, 0) && aud_write_be16(&w, n ? kFixedEnd : 0) && aud_write_be16(&w, n) &&
        aud_write_be32(&w, info->current) && aud_write_be32(&w, info->reboot) &&
        aud_write_be16(&w, info->version >= kModeFrom ? info->mode : 0) && aud_write_zeros(&w, 2);
    for (uint16_t i = 0; ok && i < n; ++i) {
        ok = aud_write_be32(&w, info->available[i]);
    }
    if (!ok) {
        return AUD_ERR_NOBUFS;
    }
    *out_size = w.pos;
    return AUD_SUCCESS;
}

aud_error_t audinate_read_srate_status(const audinate_body* body, audinate_srate_status_info* out) {
    // A caller that ignores the status still sees no stale fields.
    if (out) {
        *out = audinate_srate_status_info{};
    }
    aud_error_t e = check(body, out);
    if (e != AUD_SUCCESS) {
        return e;
    }
    out->version = audinate_body_get_version(body);
    out->type = audinate_body_get_type(body);
    first_error keep;
    keep(audinate_srate_status_get_current(body, &out->current));
    keep(audinate_srate_status_get_reboot(body, &out->reboot));
    keep(audinate_srate_status_get_mode(body, &out->mode));
    uint16_t count = 0;
    keep(audinate_srate_status_get_available_count(body, &count));
    uint16_t copied = 0;
    for (; copied < count && copied < AUDINATE_SRATE_MAX_BUILD_VALUES; ++copied) {
        aud_error_t r = audinate_srate_status_get_available(body, copied, &out->available[copied]);
        if (r != AUD_SUCCESS) {
            keep(r);
            break;
        }
    }
    out->available_count = copied;
    return keep.value;
}
