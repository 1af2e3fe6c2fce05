// The wrapper's Audinate decoders and their log lines over arbitrary bytes. The input
// is tried as it is and with its type field forced to each decoded status type, so
// every decoder sees every input.
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
    decode_all(copy);
    if (copy.size() < 4)
        return 0;
    static const uint16_t types[] = {AUDINATE_TYPE_INTERFACE_STATUS, AUDINATE_TYPE_SRATE_STATUS,
                                     AUDINATE_TYPE_ENC_STATUS, AUDINATE_TYPE_MANF_VERSIONS_STATUS};
    for (uint16_t t : types) {
        copy[2] = static_cast<uint8_t>(t >> 8);
        copy[3] = static_cast<uint8_t>(t);
        decode_all(copy);
    }
    return 0;
}
