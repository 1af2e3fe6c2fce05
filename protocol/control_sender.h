#pragma once
// The ConMon send below the hex-text step: a vendor control message to a named
// device. The wrapper implements it with the ConMon client; tests record the calls.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "protocol/hex_text.h"

namespace tavrin {

// The 8-byte ConMon vendor id field: the letters and zero padding.
using vendor_id_bytes = std::array<uint8_t, 8>;
constexpr vendor_id_bytes varnoll_vendor_id{'V', 'a', 'r', 'n', 'o', 'l', 'l', 0};
constexpr uint16_t amp_message_class = 0xFFFF;

class control_sender {
  public:
    virtual ~control_sender() = default;
    // Returns the library's error code (0 = success). An empty name means the local device.
    virtual int send_control(const std::string& device_name, uint16_t message_class,
                             const vendor_id_bytes& vendor_id, const uint8_t* body,
                             size_t size) = 0;
    // The library's text for an error code, for the log line.
    virtual std::string error_text(int code) = 0;
};

// The error of a send that never reached the library (no such device, no client).
constexpr int send_not_attempted = -1;

// How one send ended: refused before sending (`check`), or the library's code.
struct send_result {
    hex_send_check check = hex_send_check::ok;
    int error = 0;  // the library's code when check is ok; 0 = sent

    bool sent() const { return check == hex_send_check::ok && error == 0; }
};

}  // namespace tavrin
