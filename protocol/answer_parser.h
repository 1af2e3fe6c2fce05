#pragma once
// The byte-wise parser of answers taken from the mailbox. It finds the first complete
// frame of a buffer and hands it back; what the frame means for the connection and
// the screen is decided by the application. Runs on the communication worker; the
// parser state carries over between buffers.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace tavrin {

constexpr size_t answer_data_size = 1024;

// A complete answer frame. `data` points into the parser's buffer and stays valid
// until the next call to parse_answer.
struct amp_answer {
    uint8_t sync = 0;
    uint8_t unit = 0;
    uint8_t code = 0;
    uint16_t length = 0;  // the frame's length field (data bytes + 1, or 0)
    const uint8_t* data = nullptr;
    size_t count = 0;  // data bytes
};

class answer_parser {
  public:
    // Feeds bytes until the first complete frame or the first byte that breaks it.
    std::optional<amp_answer> parse_answer(const uint8_t* buffer, size_t length);

    // Frames dropped because their length does not fit answer_data.
    uint64_t dropped() const { return dropped_.load(); }
    int state() const { return state_; }

  private:
    amp_answer complete();

    int state_ = 0;
    uint8_t checksum_ = 0;
    uint8_t sync_ = 0;
    uint8_t unit_ = 0;
    uint8_t marker_hi_ = 0;
    uint8_t code_ = 0;
    uint16_t length_ = 0;
    size_t count_ = 0;
    std::array<uint8_t, answer_data_size> answer_data_{};
    std::atomic<uint64_t> dropped_{0};
};

}  // namespace tavrin
