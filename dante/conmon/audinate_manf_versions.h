#pragma once
// MANF_VERSIONS_STATUS (type 0x00C0): who made the device, what model it is, and the
// versions of its software, firmware and model. Versions pack major in bits 31-24,
// minor in 23-16 and patch in 15-0.
#include "dante/conmon/audinate_body.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
    AUDINATE_ID_SIZE = 8,
    AUDINATE_NAME_FIELD_SIZE = 128,
    // Longest model version string a builder writes (without its NUL).
    AUDINATE_MODEL_VERSION_STRING_MAX = 127,
};

// INVALIDDATA when the body is not a MANF_VERSIONS_STATUS.
aud_error_t audinate_manf_versions_get_manufacturer_id(const audinate_body* body, uint8_t out[8]);
aud_error_t audinate_manf_versions_get_model_id(const audinate_body* body, uint8_t out[8]);
aud_error_t audinate_manf_versions_get_serial_id(const audinate_body* body, uint8_t out[8]);
aud_error_t audinate_manf_versions_get_software_version(const audinate_body* body, uint32_t* out);
aud_error_t audinate_manf_versions_get_firmware_version(const audinate_body* body, uint32_t* out);
// 0 below version 0x0606.
aud_error_t audinate_manf_versions_get_capabilities(const audinate_body* body, uint32_t* out);
// 0 below version 0x0701.
aud_error_t audinate_manf_versions_get_software_build(const audinate_body* body, uint32_t* out);
aud_error_t audinate_manf_versions_get_firmware_build(const audinate_body* body, uint32_t* out);
// Null below version 0x0701 and when empty; *out points into the body. A name without
// its NUL inside the 128-byte field is INVALIDDATA (null).
aud_error_t audinate_manf_versions_get_manufacturer_name(const audinate_body* body,
                                                         const char** out);
aud_error_t audinate_manf_versions_get_model_name(const audinate_body* body, const char** out);
// 0 below version 0x0704.
aud_error_t audinate_manf_versions_get_model_version(const audinate_body* body, uint32_t* out);
// Null below version 0x0712; INVALIDDATA (null) when the string does not end in the body.
aud_error_t audinate_manf_versions_get_model_version_string(const audinate_body* body,
                                                            const char** out);

// Version packing helpers.
static inline uint32_t audinate_version_pack(unsigned major, unsigned minor, unsigned patch) {
    return ((uint32_t)(major & 0xFF) << 24) | ((uint32_t)(minor & 0xFF) << 16) |
           (uint32_t)(patch & 0xFFFF);
}
static inline unsigned audinate_version_major(uint32_t v) {
    return (v >> 24) & 0xFF;
}
static inline unsigned audinate_version_minor(uint32_t v) {
    return (v >> 16) & 0xFF;
}
static inline unsigned audinate_version_patch(uint32_t v) {
    return v & 0xFFFF;
}

typedef struct audinate_manf_versions_info {
    uint16_t version;
    uint8_t manufacturer_id[8];
    uint8_t model_id[8];
    uint8_t serial_id[8];
    uint32_t software_version;
    uint32_t firmware_version;
    uint32_t capabilities;
    uint32_t software_build;
    uint32_t firmware_build;
    const char* manufacturer_name;  // cut to 127 characters
    const char* model_name;         // cut to 127 characters
    uint32_t model_version;
    const char* model_version_string;  // cut to AUDINATE_MODEL_VERSION_STRING_MAX
} audinate_manf_versions_info;

// Builds a MANF_VERSIONS_STATUS body with only the fields its version has.
aud_error_t audinate_build_manf_versions_status(uint8_t* buffer, size_t capacity,
                                                const audinate_manf_versions_info* info,
                                                size_t* out_size);

// Reads every field into *out (strings point into the body; absent ones are null).
// Fills what the body holds and returns the first reader error, SUCCESS when none.
aud_error_t audinate_read_manf_versions_status(const audinate_body* body,
                                               audinate_manf_versions_info* out);

#ifdef __cplusplus
}
#endif
