#pragma once
// A firmware file turned into the image the amplifier receives. The file is a header
// line (0x10 0xD5 and the four version bytes as hex pairs) followed by Intel HEX
// records; the data of every type-00 record is joined in file order and padded with
// zeros to whole 256-byte blocks, always with some padding, so S = n - n % 256 + 256.
//
// The whole file is checked before any of it may be sent: every record must be whole,
// hexadecimal and add up to its checksum, data addresses must only go up, an
// end-of-file record must close the records, some data must be there and the version
// stamp must be a firmware date. A damaged download would otherwise be installed and
// reported as a success.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/byte_view.h"

namespace tavrin {

constexpr size_t firmware_block_bytes = 256;
// Block numbers travel in 16 bits.
constexpr size_t firmware_max_blocks = 65536;
// The largest number of data bytes whose image still fits firmware_max_blocks.
constexpr size_t firmware_max_data = firmware_max_blocks * firmware_block_bytes - 1;
// Longer than any record can be (255 data bytes, trailing blanks aside): such a line
// is refused as soon as it is seen, so that reading never holds more than this.
constexpr size_t firmware_max_line = 1024;

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
    empty,         // no bytes at all
    bad_header,    // the line does not start with 10 D5 and four hex pairs
    bad_digits,    // a record cut short, too long, or with a character that is no hex digit
    too_large,     // more blocks than 16-bit block numbers address
    bad_checksum,  // a record's bytes do not add up to its checksum
    no_end,        // no end-of-file record
    after_end,     // a record after the end-of-file record
    no_data,       // not one data byte
    out_of_order,  // a data record starts below the end of the one before it
    bad_version,   // the version stamp is no firmware date
};

struct image_result {
    image_status status = image_status::empty;
    firmware_image image;
    // The line at fault (1: the header line), 0 when the fault is of the whole file.
    size_t line = 0;
    // What is wrong, for a person ("the record checksum is 28, its bytes need 2A").
    std::string detail;
};

// Reads a firmware file line by line, so that a file is never held whole: only the
// image grows, and it stops at the largest one the transfer can send.
class firmware_reader {
  public:
    // The next line without its line feed (a carriage return before it is allowed).
    // False once the file is refused; later lines are then ignored.
    bool add_line(byte_view line);
    // After the last line: the image, or why the file is refused.
    image_result finish();

  private:
    bool refuse(image_status status, std::string detail);
    bool take_header(byte_view line);
    bool take_record(byte_view line);

    image_result result_{image_status::ok, {}, 0, {}};
    size_t lines_ = 0;
    size_t end_line_ = 0;  // the end-of-file record's line, 0 before it
    uint64_t base_ = 0;    // from the extended address records
    uint64_t next_ = 0;    // where the data so far ends
    bool any_data_ = false;
};

// Reads the text of a firmware file. Lines may end in CR LF or LF alone.
image_result parse_firmware_image(byte_view text);

// Whether the four version bytes (year, month, day, hour) are a firmware date.
bool firmware_date_valid(const std::array<uint8_t, 4>& version);

// Low 16 bits of the sum of the little-endian 32-bit words of the first n bytes:
// byte[k] + 256 * byte[k + 1] for k = 0, 4, 8, ... (the upper half of each word
// cannot reach the low 16 bits). A missing odd byte at the end counts as zero.
uint16_t firmware_checksum(const uint8_t* bytes, size_t n);

}  // namespace tavrin
