// The wrapper's Audinate decoders and their log lines over arbitrary bytes. An input
// whose type field names none of the decoded status types gets one of them (chosen by
// its length), so that random bytes reach a decoder; the dictionary holds the types.
// An interface status claims at most 7 ports and a rate status at most 15 values:
// each is formatted on its own, and hundreds of them only repeat the same code at a
// fraction of the speed.
#include <stddef.h>
#include <stdint.h>

#include <optional>
#include <string>
#include <vector>

#include "dante/conmon/audinate_body.h"
#include "qxapi/audinate_facts.h"
#include "qxapi/audinate_lines.h"

namespace {

volatile size_t sink;

// Where an interface status holds its port count and a rate status its count of
// values (big-endian u16s).
const size_t k_port_count_at = 8;
const size_t k_rate_count_at = 10;

bool is_type(const std::vector<uint8_t>& body, uint16_t type) {
    return body[2] == (type >> 8) && body[3] == (type & 0xFF);
}

void cap(std::vector<uint8_t>& body, size_t at, uint8_t mask) {
    if (body.size() >= at + 2) {
        body[at] = 0;
        body[at + 1] &= mask;
    }
}

template <typename Facts>
void use(const std::optional<Facts>& facts) {
    if (!facts)
        return;
    for (const std::string& line : tavrin::audinate_lines(*facts))
        sink = sink + line.size();
}

void decode_all(const std::vector<uint8_t>& body) {
    if (const auto head = tavrin::read_audinate_head(body.data(), body.size()))
        sink = sink + tavrin::audinate_head_line(*head).size();
    use(tavrin::decode_interface_status(body.data(), body.size()));
    use(tavrin::decode_srate_status(body.data(), body.size()));
    use(tavrin::decode_manf_versions(body.data(), body.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy so that any read past the end is caught.
    std::vector<uint8_t> copy(data, data + size);
    static const uint16_t types[] = {AUDINATE_TYPE_INTERFACE_STATUS, AUDINATE_TYPE_SRATE_STATUS,
                                     AUDINATE_TYPE_ENC_STATUS, AUDINATE_TYPE_MANF_VERSIONS_STATUS};
    if (copy.size() >= 4) {
        const uint16_t type = static_cast<uint16_t>(copy[2] << 8 | copy[3]);
        bool decoded = false;
        for (uint16_t t : types)
            decoded = decoded || t == type;
        if (!decoded) {
            const uint16_t t = types[size % 4];
            copy[2] = static_cast<uint8_t>(t >> 8);
            copy[3] = static_cast<uint8_t>(t);
        }
        if (is_type(copy, AUDINATE_TYPE_INTERFACE_STATUS))
            cap(copy, k_port_count_at, 0x07);
        else if (is_type(copy, AUDINATE_TYPE_SRATE_STATUS) ||
                 is_type(copy, AUDINATE_TYPE_ENC_STATUS))
            cap(copy, k_rate_count_at, 0x0F);
    }
    decode_all(copy);
    return 0;
}
