#pragma once
// The amplifier's side of a firmware update: resume offer, start, 256-byte
// blocks echoed with their byte sum, end marker, image checksum, version write
// and the finishing command that installs the image.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "protocol/frame.h"
#include "sim/amp_block.h"

namespace tavrin::sim {

constexpr size_t firmware_block_size = 256;
constexpr size_t firmware_page_size = 4096;  // resume granularity
constexpr size_t firmware_blocks_per_page = firmware_page_size / firmware_block_size;
constexpr size_t firmware_max_blocks = 0xFFFF;  // index 0xFFFF is the end marker

// Low 16 bits of the sum of the image's little-endian 32-bit words.
uint16_t firmware_checksum(const uint8_t* image, size_t size);

struct firmware_outcome {
    bool handled = false;                       // the frame belongs to the update protocol
    std::optional<std::vector<uint8_t>> reply;  // complete answer frame
    bool install = false;                       // restart with the new image
    std::optional<firmware_date> new_date;      // with install: the written version
};

class amp_firmware_receiver {
  public:
    firmware_outcome handle(const frame_view& frame);

    // Blocks held in order from block 0; the next block expected has this index.
    size_t blocks_held() const { return image_.size() / firmware_block_size; }
    bool end_marker_seen() const { return end_seen_; }
    bool transfer_open() const { return open_; }
    const std::vector<uint8_t>& image() const { return image_; }

  private:
    firmware_outcome resume_query();
    firmware_outcome checksum_query();
    firmware_outcome start_or_version(const frame_view& f);
    firmware_outcome block(const frame_view& f);
    firmware_outcome end_marker();
    firmware_outcome finish();

    bool open_ = false;  // a transfer began and was not installed
    bool end_seen_ = false;
    std::optional<firmware_date> version_;
    std::vector<uint8_t> image_;
};

}  // namespace tavrin::sim
