#pragma once
// A firmware file turned into the image the amplifier receives. The file is a header
// line (0x10 0xD5 and the four version bytes as hex pairs) followed by Intel HEX
// records; the data of every type-00 record is joined in file order and padded with
// zeros to whole 256-byte blocks, always with some padding, so S = n - n % 256 + 256.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "protocol/byte_view.h"

namespace tavrin {

constexpr size_t firmware_block_bytes = 256;
// Block numbers travel in 16 bits.
constexpr size_t firmware_max_blocks = 65536;
// The largest number of data bytes whose image still fits firmware_max_blocks.
constexpr size_t firmware_max_data = firmware_max_blocks * firmware_block_bytes - 1;

struct firmware_image {
    // S bytes: the data followed by zeros.
    std::vector<uint8_t> bytes;
    // What the amplifier's checksum of the whole image must match.
    uint16_t checksum = 0;
    // Written to the amplifier after a good transfer.
    std::array<uint8_t, 4> version{};

    uint32_t size() const { return static_cast<uint32_t>(bytes.size()); }
    uint32_t blocks() const { return size() / firmware_block_bytes; }
    // S is a whole, non-zero number of blocks that 16-bit block numbers can address.
    bool valid() const {
        return !bytes.empty() && bytes.size() % firmware_block_bytes == 0 &&
               bytes.size() / firmware_block_bytes <= firmware_max_blocks;
    }
};

enum class image_status {
    ok,
    empty,       // no bytes at all
    bad_header,  // the line does not start with 10 D5 and four hex pairs
    bad_digits,  // a data record with a non-hex digit, or digits that do not add up
    too_large,   // more blocks than 16-bit block numbers address
};

struct image_result {
    image_status status = image_status::empty;
    firmware_image image;
};

// Reads the text of a firmware file. Lines may end in CR LF or LF alone.
image_result parse_firmware_image(byte_view text);

// Low 16 bits of the sum of the little-endian 32-bit words of the first n bytes:
// byte[k] + 256 * byte[k + 1] for k = 0, 4, 8, ... (the upper half of each word
// cannot reach the low 16 bits). A missing odd byte at the end counts as zero.
uint16_t firmware_checksum(const uint8_t* bytes, size_t n);

}  // namespace tavrin
