// Reads the input as a preset file and checks what the reader claims: only a
// 523-byte file with the right header and sum is accepted, its block is the file's
// bytes 10..521, and a file built from that block reads back the same.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "presets/preset_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the input, so ASan sees any read past it.
    std::vector<uint8_t> file(data, data + size);
    const tavrin::preset_read r = tavrin::read_preset_file(file.data(), file.size());
    const bool well_formed = size == tavrin::preset_file_size && file[0] == 0x55 && file[1] == 0xD5;
    if (!well_formed) {
        if (r.status != tavrin::preset_status::file_error)
            abort();
        return 0;
    }
    if (r.status == tavrin::preset_status::file_error)
        abort();
    if (r.status == tavrin::preset_status::checksum_error)
        return 0;
    if (std::memcmp(r.block.data(), file.data() + tavrin::preset_block_offset,
                    tavrin::amp_params_size) != 0)
        abort();
    const tavrin::preset_bytes again = tavrin::build_preset_file(r.block);
    const tavrin::preset_read back = tavrin::read_preset_file(again.data(), again.size());
    if (back.status != tavrin::preset_status::ok || back.block != r.block)
        abort();
    return 0;
}
