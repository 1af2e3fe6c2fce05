#include "dante/conmon/audinate_manf_versions.h"

#include <string.h>

#include "dante/conmon/internal/audinate_read.h"
#include "dante/runtime/byte_view.h"

using namespace audinate_detail;

namespace {

constexpr size_t kManufacturerIdAt = 8;
constexpr size_t kModelIdAt = 16;
constexpr size_t kSerialIdAt = 24;
constexpr size_t kSoftwareAt = 32;
constexpr size_t kFirmwareAt = 36;
constexpr size_t kCapabilitiesAt = 40;
constexpr size_t kSoftwareBuildAt = 44;
constexpr size_t kFirmwareBuildAt = 48;
constexpr size_t kManufacturerNameAt = 52;
constexpr size_t kModelNameAt = 180;
constexpr size_t kModelVersionAt = 308;
constexpr size_t kModelVersionStringAt = 312;

constexpr uint16_t kCapabilitiesFrom = 0x0606;
constexpr uint16_t kNamesFrom = 0x0701;
constexpr uint16_t kModelVersionFrom = 0x0704;
constexpr uint16_t kModelVersionStringFrom = 0x0712;

aud_error_t check(const audinate_body* body, const void* out) {
    return check_body(body, out, AUDINATE_TYPE_MANF_VERSIONS_STATUS,
                      AUDINATE_TYPE_MANF_VERSIONS_STATUS);
}

aud_error_t read_id(const audinate_body* body, uint8_t* out, size_t at) {
    aud_error_t e = check(body, out);
    if (e != AUD_SUCCESS) {
        return e;
    }
    return read_bytes(body, at, out, AUDINATE_ID_SIZE) ? AUD_SUCCESS : AUD_ERR_TRUNCATED;
}

aud_error_t read_word(const audinate_body* body, uint32_t* out, size_t at, uint16_t from) {
    aud_error_t e = check(body, out);
    if (e != AUD_SUCCESS) {
        return e;
    }
    *out = 0;
    if (audinate_body_get_version(body) < from) {
        return AUD_SUCCESS;
    }
    return read_u32(body, at, out) ? AUD_SUCCESS : AUD_ERR_TRUNCATED;
}

aud_error_t read_name(const audinate_body* body, const char** out, size_t at, size_t limit,
                      uint16_t from) {
    aud_error_t e = check(body, out);
    if (e != AUD_SUCCESS) {
        return e;
    }
    *out = nullptr;
    if (audinate_body_get_version(body) < from) {
        return AUD_SUCCESS;
    }
    if (at >= body->size) {
        return AUD_ERR_TRUNCATED;
    }
    const char* s = read_string(body, at, limit);
    if (!s) {
        return AUD_ERR_INVALIDDATA;
    }
    if (*s) {
        *out = s;
    }
    return AUD_SUCCESS;
}

}  // namespace

aud_error_t audinate_manf_versions_get_manufacturer_id(const audinate_body* body, uint8_t out[8]) {
    return read_id(body, out, kManufacturerIdAt);
}

aud_error_t audinate_manf_versions_get_model_id(const audinate_body* body, uint8_t out[8]) {
    return read_id(body, out, kModelIdAt);
}

aud_error_t audinate_manf_versions_get_serial_id(const audinate_body* body, uint8_t out[8]) {
    return read_id(body, out, kSerialIdAt);
}

aud_error_t audinate_manf_versions_get_software_version(const audinate_body* body, uint32_t* out) {
    return read_word(body, out, kSoftwareAt, 0);
}

aud_error_t audinate_manf_versions_get_firmware_version(const audinate_body* body, uint32_t* out) {
    return read_word(body, out, kFirmwareAt, 0);
}

aud_error_t audinate_manf_versions_get_capabilities(const audinate_body* body, uint32_t* out) {
    return read_word(body, out, kCapabilitiesAt, kCapabilitiesFrom);
}

aud_error_t audinate_manf_versions_get_software_build(const audinate_body* body, uint32_t* out) {
    return read_word(body, out, kSoftwareBuildAt, kNamesFrom);
}

aud_error_t audinate_manf_versions_get_firmware_build(const audinate_body* body, uint32_t* out) {
    return read_word(body, out, kFirmwareBuildAt, kNamesFrom);
}

aud_error_t audinate_manf_versions_get_manufacturer_name(const audinate_body* body,
                                                         const char** out) {
    return read_name(body, out, kManufacturerNameAt, AUDINATE_NAME_FIELD_SIZE, kNamesFrom);
}

aud_error_t audinate_manf_versions_get_model_name(const audinate_body* body, const char** out) {
    return read_name(body, out, kModelNameAt, AUDINATE_NAME_FIELD_SIZE, kNamesFrom);
}

aud_error_t audinate_manf_versions_get_model_version(const audinate_body* body, uint32_t* out) {
    return read_word(body, out, kModelVersionAt, kModelVersionFrom);
}

aud_error_t audinate_manf_versions_get_model_version_string(const audinate_body* body,
                                                            const char** out) {
    return read_name(body, out, kModelVersionStringAt, SIZE_MAX, kModelVersionStringFrom);
}

namespace {

// Writes s into a field of width bytes, cut to leave room for the NUL.
bool write_name_field(aud_byte_writer* w, const char* s, size_t width) {
    size_t len = s ? strnlen(s, width - 1) : 0;
    return aud_write_bytes(w, s, len) && aud_write_zeros(w, width - len);
}

}  // namespace

aud_error_t audinate_build_manf_versions_status(uint8_t* buffer, size_t capacity,
                                                const audinate_manf_versions_info* info,
                                                size_t* out_size) {
    if (!buffer || !info || !out_size) {
        return AUD_ERR_INVALIDPARAMETER;
    }
    const uint16_t v = info->version;
    aud_byte_writer w = aud_writer_make(buffer, capacity);
    bool ok = aud_write_be16(&w, v) && aud_write_be16(&w, AUDINATE_TYPE_MANF_VERSIONS_STATUS) &&
              aud_write_be32(&w, 0) && aud_write_bytes(&w, info->manufacturer_id, 8) &&
              aud_write_bytes(&w, info->model_id, 8) && aud_write_bytes(&w, info->serial_id, 8) &&
              aud_write_be32(&w, info->software_version) &&
              aud_write_be32(&w, info->firmware_version) &&
              aud_write_be32(&w, v >= kCapabilitiesFrom ? info->capabilities : 0);
    if (ok && v >= kNamesFrom) {
        ok = aud_write_be32(&w, info->software_build) && aud_write_be32(&w, info->firmware_build) &&
             write_name_field(&w, info->manufacturer_name, AUDINATE_NAME_FIELD_SIZE) &&
             write_name_field(&w, info->model_name, AUDINATE_NAME_FIELD_SIZE);
    }
    if (ok && v >= kModelVersionFrom) {
        ok = aud_write_be32(&w, info->model_version);
    }
    if (ok && v >= kModelVersionStringFrom) {
        const char* s = info->model_version_string;
        size_t len = s ? strnlen(s, AUDINATE_MODEL_VERSION_STRING_MAX) : 0;
        ok = aud_write_bytes(&w, s, len) && aud_write_u8(&w, 0);
    }
    if (!ok) {
        return AUD_ERR_NOBUFS;
    }
    *out_size = w.pos;
    return AUD_SUCCESS;
}

aud_error_t audinate_read_manf_versions_status(const audinate_body* body,
                                               audinate_manf_versions_info* out) {
    // A caller that ignores the status still sees no stale fields.
    if (out) {
        *out = audinate_manf_versions_info{};
    }
    aud_error_t e = check(body, out);
    if (e != AUD_SUCCESS) {
        return e;
    }
    out->version = audinate_body_get_version(body);
    first_error keep;
    keep(audinate_manf_versions_get_manufacturer_id(body, out->manufacturer_id));
    keep(audinate_manf_versions_get_model_id(body, out->model_id));
    keep(audinate_manf_versions_get_serial_id(body, out->serial_id));
    keep(audinate_manf_versions_get_software_version(body, &out->software_version));
    keep(audinate_manf_versions_get_firmware_version(body, &out->firmware_version));
    keep(audinate_manf_versions_get_capabilities(body, &out->capabilities));
    keep(audinate_manf_versions_get_software_build(body, &out->software_build));
    keep(audinate_manf_versions_get_firmware_build(body, &out->firmware_build));
    keep(audinate_manf_versions_get_manufacturer_name(body, &out->manufacturer_name));
    keep(audinate_manf_versions_get_model_name(body, &out->model_name));
    keep(audinate_manf_versions_get_model_version(body, &out->model_version));
    keep(audinate_manf_versions_get_model_version_string(body, &out->model_version_string));
    return keep.value;
}
