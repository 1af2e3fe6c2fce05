// TXT records arrive from any host on the link: the reader and the ConMon device
// rules must take any bytes without reading past them.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "dante/browse/db_browse.h"
#include "dante/dnssd/dt_txt_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > UINT16_MAX) {
        return 0;
    }
    // An exact-size copy, so that any over-read lands outside the allocation.
    std::vector<uint8_t> txt(data, data + size);
    const uint16_t len = static_cast<uint16_t>(size);
    const void* p = txt.empty() ? nullptr : txt.data();

    db_conmon_info_t info;
    const char* failure = nullptr;
    const aud_error_t e = parse_conmon_txt_record(p, len, &info, &failure);
    if ((e == AUD_SUCCESS) != (failure == nullptr)) {
        __builtin_trap();
    }
    for (const char* key : {"id", "process", "vid", "vba", "mf", "model", "ID", "x"}) {
        uint8_t value_len = 0;
        const uint8_t* v =
            static_cast<const uint8_t*>(dt_txt_record_get_value_ptr(len, p, key, &value_len));
        if (v) {
            if (v < txt.data() || v + value_len > txt.data() + txt.size()) {
                __builtin_trap();
            }
            if (!dt_txt_record_contains_key(len, p, key)) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
