#pragma once
// Reading DNS-SD TXT records (RFC 6763 section 6): a sequence of length-prefixed
// "key=value" strings. The bytes come from the network, so every read is bounds
// checked; a string whose length runs past the record ends the record there.
// Keys compare without regard to case; only the first occurrence of a key counts;
// strings with an empty key are ignored.
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Non-zero when the record holds the key, with or without a value.
int dt_txt_record_contains_key(uint16_t txt_len, const void* txt, const char* key);

// The key's value and its length. Null when the key is absent, and also when it is
// present without "=" (then *value_len is 0); an empty value gives a non-null pointer
// with *value_len 0. The value is not terminated.
const void* dt_txt_record_get_value_ptr(uint16_t txt_len, const void* txt, const char* key,
                                        uint8_t* value_len);

#ifdef __cplusplus
}
#endif
