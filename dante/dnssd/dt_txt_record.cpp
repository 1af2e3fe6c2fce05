#include "dante/dnssd/dt_txt_record.h"

#include <string.h>
#include <strings.h>

#include "dante/runtime/byte_view.h"

namespace {

struct txt_entry {
    bool found;
    bool has_value;
    const uint8_t* value;
    uint8_t value_len;
};

txt_entry find_entry(uint16_t txt_len, const void* txt, const char* key) {
    txt_entry e = {false, false, nullptr, 0};
    if (!key || !txt) {
        return e;
    }
    const size_t key_len = strlen(key);
    if (key_len == 0) {
        return e;
    }
    aud_byte_reader r = aud_reader_make(txt, txt_len);
    uint8_t len = 0;
    while (aud_read_u8(&r, &len)) {
        aud_byte_reader item;
        if (!aud_read_view(&r, len, &item)) {
            break;  // truncated string: the record ends here
        }
        const void* eq = len ? memchr(item.data, '=', len) : nullptr;
        const size_t name_len =
            eq ? static_cast<size_t>(static_cast<const uint8_t*>(eq) - item.data) : len;
        if (name_len == 0 || name_len != key_len ||
            strncasecmp(reinterpret_cast<const char*>(item.data), key, key_len) != 0) {
            continue;
        }
        e.found = true;
        if (eq) {
            e.has_value = true;
            e.value = item.data + name_len + 1;
            e.value_len = static_cast<uint8_t>(len - name_len - 1);
        }
        return e;
    }
    return e;
}

}  // namespace

extern "C" int dt_txt_record_contains_key(uint16_t txt_len, const void* txt, const char* key) {
    return find_entry(txt_len, txt, key).found ? 1 : 0;
}

extern "C" const void* dt_txt_record_get_value_ptr(uint16_t txt_len, const void* txt,
                                                   const char* key, uint8_t* value_len) {
    const txt_entry e = find_entry(txt_len, txt, key);
    if (value_len) {
        *value_len = e.value_len;
    }
    return e.has_value ? e.value : nullptr;
}
