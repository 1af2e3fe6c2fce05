#pragma once
// SRATE_STATUS (type 0x0080) and ENC_STATUS (type 0x0082) share one layout: the current
// value, the value applied at reboot, a mode and a list of available values. The
// readers accept either type; the audinate_enc_status_* names are the same readers.
#include "dante/conmon/audinate_body.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
    // Most values a builder writes into the list.
    AUDINATE_SRATE_MAX_BUILD_VALUES = 32,
};

enum audinate_srate_mode {
    AUDINATE_SRATE_MODE_FIXED = 0,
    AUDINATE_SRATE_MODE_REBOOT = 1,
    AUDINATE_SRATE_MODE_IMMEDIATE = 2,
};

// INVALIDDATA when the body is neither SRATE_STATUS nor ENC_STATUS.
aud_error_t audinate_srate_status_get_current(const audinate_body* body, uint32_t* out);
aud_error_t audinate_srate_status_get_reboot(const audinate_body* body, uint32_t* out);
// 1 (on reboot) for versions up to 0x0500.
aud_error_t audinate_srate_status_get_mode(const audinate_body* body, uint16_t* out);
// 0 when the list offset is 0 or not a multiple of 4.
aud_error_t audinate_srate_status_get_available_count(const audinate_body* body, uint16_t* out);
// Value i of the list. RANGE when i >= the count, TRUNCATED when beyond the body.
aud_error_t audinate_srate_status_get_available(const audinate_body* body, uint16_t index,
                                                uint32_t* out);

#define audinate_enc_status_get_current audinate_srate_status_get_current
#define audinate_enc_status_get_reboot audinate_srate_status_get_reboot
#define audinate_enc_status_get_mode audinate_srate_status_get_mode
#define audinate_enc_status_get_available_count audinate_srate_status_get_available_count
#define audinate_enc_status_get_available audinate_srate_status_get_available

typedef struct audinate_srate_status_info {
    uint16_t version;
    uint16_t type;  // AUDINATE_TYPE_SRATE_STATUS or AUDINATE_TYPE_ENC_STATUS
    uint16_t mode;
    uint32_t current;
    uint32_t reboot;
    uint16_t available_count;  // at most AUDINATE_SRATE_MAX_BUILD_VALUES
    uint32_t available[AUDINATE_SRATE_MAX_BUILD_VALUES];
} audinate_srate_status_info;

// Builds an SRATE_STATUS or ENC_STATUS body; the list follows the fixed fields.
aud_error_t audinate_build_srate_status(uint8_t* buffer, size_t capacity,
                                        const audinate_srate_status_info* info, size_t* out_size);

// Reads every field into *out; at most AUDINATE_SRATE_MAX_BUILD_VALUES list values
// are copied (available_count says how many). Returns the first reader error.
aud_error_t audinate_read_srate_status(const audinate_body* body, audinate_srate_status_info* out);

#ifdef __cplusplus
}
#endif
