#pragma once
// The byte-wise parser of answers taken from the mailbox and the dispatch of a
// complete frame into amp_params, the connection flags and the info text. Runs on
// the communication worker; the parser state carries over between buffers.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/ui_port.h"
#include "protocol/amp_params.h"
#include "protocol/link_state.h"

namespace tavrin {

constexpr size_t answer_data_size = 1024;
// Firmware dates at or before 21-11-17 hour 0 are too old.
constexpr uint32_t min_firmware_date = 192289;

// year * 8760 + month * 720 + day * 24 + hour.
uint32_t firmware_date_value(uint8_t year, uint8_t month, uint8_t day, uint8_t hour);

// " Model: RQ417\n\n Device Name: <name>\n\n Location: <location>", with the location
// bytes taken one by one as characters (Latin-1) up to the first zero or 16.
std::string device_info_text(const std::string& device_name,
                             const std::array<uint8_t, 16>& location);

class answer_parser {
  public:
    answer_parser(amp_params& params, link_flags& flags, selected_device& device, ui_port& ui);

    // Feeds bytes until the first complete frame or the first byte that breaks it.
    void parse_answer(const uint8_t* buffer, size_t length);

    // Frames dropped because their length does not fit answer_data.
    uint64_t dropped() const { return dropped_.load(); }
    int state() const { return state_; }

  private:
    void dispatch_answer();
    void dispatch_location();
    void dispatch_parameters();

    amp_params& params_;
    link_flags& flags_;
    selected_device& device_;
    ui_port& ui_;

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
