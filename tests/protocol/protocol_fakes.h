#pragma once
// Fakes and frame builders shared by the protocol tests.
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/control_sender.h"
#include "protocol/frame.h"

namespace tavrin::testing {

struct sent_control {
    std::string device_name;
    uint16_t message_class;
    vendor_id_bytes vendor_id;
    std::vector<uint8_t> body;
};

class recording_sender : public control_sender {
  public:
    int send_control(const std::string& device_name, uint16_t message_class,
                     const vendor_id_bytes& vendor_id, const uint8_t* body, size_t size) override {
        sent.push_back({device_name, message_class, vendor_id, {body, body + size}});
        return result;
    }
    std::string error_text(int code) override { return "error " + std::to_string(code); }

    std::vector<sent_control> sent;
    int result = 0;
};

// A complete frame as the amplifier would send it.
inline std::vector<uint8_t> make_answer(uint8_t code, const std::vector<uint8_t>& data,
                                        uint8_t unit = 0x01) {
    std::vector<uint8_t> out(data.size() + frame_overhead);
    out.resize(build_frame(code, unit, data.data(), data.size(), out.data(), out.size()));
    return out;
}

// One segment frame carrying bytes [offset, offset + n) of `frame`.
inline std::vector<uint8_t> make_segment(const std::vector<uint8_t>& frame, size_t offset, size_t n,
                                         uint8_t transfer_id) {
    std::vector<uint8_t> s{0x55,
                           0x01,
                           0xAA,
                           0xD5,
                           segment_code,
                           static_cast<uint8_t>((n + 7) >> 8),
                           static_cast<uint8_t>(n + 7),
                           transfer_id,
                           0,
                           static_cast<uint8_t>(frame.size() >> 8),
                           static_cast<uint8_t>(frame.size()),
                           static_cast<uint8_t>(offset >> 8),
                           static_cast<uint8_t>(offset)};
    s.insert(s.end(), frame.begin() + static_cast<long>(offset),
             frame.begin() + static_cast<long>(offset + n));
    s.push_back(frame_checksum(s.data(), s.size()));
    return s;
}

}  // namespace tavrin::testing

namespace tavrin::testing {

// Recomputes the trailing checksum after a test edited a frame.
inline void reseal(std::vector<uint8_t>& frame) {
    frame.back() = frame_checksum(frame.data(), frame.size() - 1);
}

}  // namespace tavrin::testing
