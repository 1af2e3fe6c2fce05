// Reads the input as a firmware file and checks what any accepted image must be:
// whole blocks, addressable by 16-bit block numbers, with the checksum of its bytes.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "firmware/firmware_image.h"
#include "firmware/firmware_load.h"
#include "link/session_events.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the input, so ASan sees any read past it.
    std::vector<uint8_t> text(data, data + size);
    const tavrin::byte_view view(text.data(), text.size());
    const tavrin::image_result r = tavrin::parse_firmware_image(view);
    if (r.status == tavrin::image_status::ok) {
        const tavrin::firmware_image& image = r.image;
        if (!image.valid())
            abort();
        if (image.checksum != tavrin::firmware_checksum(image.bytes.data(), image.bytes.size()))
            abort();
        // At most one data byte per two characters of the file.
        if (image.bytes.size() > size / 2 + tavrin::firmware_block_bytes)
            abort();
    } else if (!r.image.bytes.empty()) {
        abort();
    }
    tavrin::session_events events;
    const bool loaded = tavrin::load_firmware(view, events).has_value();
    if (loaded != (r.status == tavrin::image_status::ok))
        abort();
    return 0;
}
