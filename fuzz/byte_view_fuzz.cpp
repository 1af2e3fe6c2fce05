// Drives the bounds-checked reader with an operation stream taken from the input and
// checks each result against the bytes left; the rest of the input is the span read.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "dante/runtime/byte_view.h"
#include "dante/runtime/internal/aud_interface_linux.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    size_t ops = data[0] % 32;
    if (ops + 1 > size) {
        return 0;
    }
    const uint8_t* program = data + 1;
    // A copy of exactly the span, so ASan sees any read past it.
    std::vector<uint8_t> span(data + 1 + ops, data + size);
    aud_byte_reader r = aud_reader_make(span.data(), span.size());
    for (size_t i = 0; i < ops; ++i) {
        uint8_t op = program[i];
        size_t before = aud_reader_remaining(&r);
        size_t arg = op >> 3;
        uint8_t b8;
        uint16_t b16;
        uint32_t b32;
        uint64_t b64;
        uint8_t copy[32];
        bool ok = false;
        size_t need = 0;
        switch (op & 7) {
            case 0:
                ok = aud_read_u8(&r, &b8), need = 1;
                break;
            case 1:
                ok = aud_read_be16(&r, &b16), need = 2;
                break;
            case 2:
                ok = aud_read_be32(&r, &b32), need = 4;
                break;
            case 3:
                ok = aud_read_be64(&r, &b64), need = 8;
                break;
            case 4:
                ok = aud_read_bytes(&r, copy, arg), need = arg;
                break;
            case 5:
                ok = aud_reader_skip(&r, arg), need = arg;
                break;
            case 6: {
                const char* s = nullptr;
                size_t len = 0;
                if (aud_peek_string_at(&r, arg, &s, &len) && s[len] != '\0') {
                    abort();
                }
                ok = true;
                break;
            }
            default: {
                ok = aud_peek_be32_at(&r, arg, &b32);
                if (ok != (arg + 4 <= span.size())) {
                    abort();
                }
                ok = true;
                break;
            }
        }
        if ((op & 7) < 6 && ok != (need <= before)) {
            abort();
        }
        if (!ok && aud_reader_remaining(&r) != before) {
            abort();
        }
    }
    // The same bytes as text for the resolver and route parsers.
    std::vector<char> text(span.begin(), span.end());
    text.push_back('\0');
    in_addr addr{};
    char suffix[AUD_INTERFACE_DNS_SUFFIX_SIZE];
    aud_interface_parse_route(text.data(), "eth0", &addr);
    aud_interface_parse_resolv(text.data(), &addr, suffix, sizeof suffix);
    char name[AUD_INTERFACE_NAME_SIZE];
    aud_interface_copy_utf8(name, sizeof name, text.data(), 63);
    return 0;
}
