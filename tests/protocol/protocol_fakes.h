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
    return build_frame(code, unit, data);
}

// One segment frame carrying bytes [offset, offset + n) of `frame`. A transfer id of 0,
// which the codec refuses to build, is patched in afterwards for tests of refusals.
inline std::vector<uint8_t> make_segment(const std::vector<uint8_t>& frame, size_t offset, size_t n,
                                         uint8_t transfer_id) {
    std::vector<uint8_t> s(n + segment_overhead);
    s.resize(build_segment(transfer_id == 0 ? 1 : transfer_id, frame.data(), frame.size(), offset,
                           n, s.data(), s.size()));
    if (transfer_id == 0 && !s.empty()) {
        s[7] = 0;
        s.back() = frame_checksum(s.data(), s.size() - 1);
    }
    return s;
}

}  // namespace tavrin::testing

namespace tavrin::testing {

// Recomputes the trailing checksum after a test edited a frame.
inline void reseal(std::vector<uint8_t>& frame) {
    frame.back() = frame_checksum(frame.data(), frame.size() - 1);
}

}  // namespace tavrin::testing
