// The TXT record of a ConMon device ("_netaudio-cmc._udp."): the device is listed
// only when its id and process are usable.
#include <string.h>

#include "dante/browse/db_browse.h"
#include "dante/dnssd/dt_txt_record.h"

namespace {

const char k_id_missing[] =
    "%s: Resolve Error: txt record 'id' field missing or empty for conmon device \"%s\"";
const char k_id_short[] =
    "%s: Resolve Error: txt record 'id' field has insufficient data for conmon device \"%s\"";
const char k_process_missing[] =
    "%s: Resolve Error: txt record 'process' field missing or empty for conmon device \"%s\"";
const char k_vid_missing[] =
    "%s: Resolve Error: txt record 'vid' field missing or empty for conmon device \"%s\"";
const char k_vid_short[] =
    "%s: Resolve Error: txt record 'vid' field has insufficient data for conmon device \"%s\"";
const char k_vba_invalid[] =
    "%s: Resolve Error: txt record 'vsb' field has invalid data for conmon device \"%s\"";

int hex_value(uint8_t c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Decodes up to max_bytes whole hex pairs into out; returns the bytes decoded,
// stopping at the first pair that is not hex.
size_t decode_hex(const uint8_t* s, size_t len, uint8_t* out, size_t max_bytes) {
    size_t n = 0;
    while (n < max_bytes && 2 * n + 1 < len) {
        const int hi = hex_value(s[2 * n]);
        const int lo = hex_value(s[2 * n + 1]);
        if (hi < 0 || lo < 0) {
            break;
        }
        out[n++] = static_cast<uint8_t>(hi << 4 | lo);
    }
    return n;
}

// Exactly 16 hex digits.
bool decode_id(const uint8_t* s, size_t len, uint8_t out[DB_ID_SIZE]) {
    uint8_t tmp[DB_ID_SIZE];
    if (len != 2 * DB_ID_SIZE || decode_hex(s, len, tmp, DB_ID_SIZE) != DB_ID_SIZE) {
        return false;
    }
    memcpy(out, tmp, DB_ID_SIZE);
    return true;
}

bool parse_decimal(const uint8_t* s, size_t len, uint32_t max, uint32_t* out) {
    if (len == 0) {
        return false;
    }
    uint32_t v = 0;
    for (size_t i = 0; i < len; ++i) {
        if (s[i] < '0' || s[i] > '9') {
            return false;
        }
        v = v * 10 + (s[i] - '0');
        if (v > max) {
            return false;
        }
    }
    *out = v;
    return true;
}

// "%u.%u.%u.%u", each part at most 255; network byte order.
bool parse_ipv4(const uint8_t* s, size_t len, uint32_t* out) {
    uint8_t parts[4];
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        size_t end = start;
        while (end < len && s[end] != '.') {
            ++end;
        }
        if ((i < 3) != (end < len)) {
            return false;
        }
        uint32_t v = 0;
        if (!parse_decimal(s + start, end - start, 255, &v)) {
            return false;
        }
        parts[i] = static_cast<uint8_t>(v);
        start = end + 1;
    }
    memcpy(out, parts, 4);
    return true;
}

// "_" and up to 16 hex digits, or the first 8 characters as they are.
void read_model_id(const uint8_t* s, size_t len, uint8_t out[DB_ID_SIZE]) {
    memset(out, 0, DB_ID_SIZE);
    if (len > 0 && s[0] == '_') {
        decode_hex(s + 1, len - 1, out, DB_ID_SIZE);
    } else {
        memcpy(out, s, len < DB_ID_SIZE ? len : DB_ID_SIZE);
    }
}

}  // namespace

extern "C" aud_error_t parse_conmon_txt_record(const void* txt, uint16_t txt_len,
                                               db_conmon_info_t* out, const char** failure) {
    const char* why = nullptr;
    db_conmon_info_t info;
    memset(&info, 0, sizeof info);
    uint8_t len = 0;
    const uint8_t* v = nullptr;

    v = static_cast<const uint8_t*>(dt_txt_record_get_value_ptr(txt_len, txt, "id", &len));
    if (!v || len == 0) {
        why = k_id_missing;
    } else if (!decode_id(v, len, info.device_id)) {
        why = k_id_short;
    }

    uint32_t process = 0;
    v = static_cast<const uint8_t*>(dt_txt_record_get_value_ptr(txt_len, txt, "process", &len));
    // A process id that is not a 16-bit decimal number cannot address the device.
    if (!why && (!v || !parse_decimal(v, len, UINT16_MAX, &process))) {
        why = k_process_missing;
    }
    info.process_id = static_cast<uint16_t>(process);

    if (!why && dt_txt_record_contains_key(txt_len, txt, "vid")) {
        v = static_cast<const uint8_t*>(dt_txt_record_get_value_ptr(txt_len, txt, "vid", &len));
        if (!v || len == 0) {
            why = k_vid_missing;
        } else if (!decode_id(v, len, info.vendor_id)) {
            why = k_vid_short;
        }
    }

    if (!why && dt_txt_record_contains_key(txt_len, txt, "vba")) {
        v = static_cast<const uint8_t*>(dt_txt_record_get_value_ptr(txt_len, txt, "vba", &len));
        if (!v || !parse_ipv4(v, len, &info.vendor_broadcast_address)) {
            why = k_vba_invalid;
        }
    }

    if (!why) {
        v = static_cast<const uint8_t*>(dt_txt_record_get_value_ptr(txt_len, txt, "mf", &len));
        if (v) {
            read_model_id(v, len, info.manufacturer_id);
        }
        v = static_cast<const uint8_t*>(dt_txt_record_get_value_ptr(txt_len, txt, "model", &len));
        if (v) {
            read_model_id(v, len, info.model_id);
        }
    }

    if (failure) {
        *failure = why;
    }
    if (why) {
        return AUD_ERR_INVALIDDATA;
    }
    if (out) {
        *out = info;
    }
    return AUD_SUCCESS;
}
