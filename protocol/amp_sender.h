#pragma once
// The send path below the command ring: one frame becomes one or more hex texts,
// each parsed back into bytes and sent as a ConMon vendor control message. It reports
// how each send ended; what the user is told about it is the application's business.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "protocol/control_sender.h"
#include "protocol/selected_device.h"

namespace tavrin {

// Frames of this size or more travel as segments of at most this many bytes.
constexpr size_t segmentation_threshold = 400;
constexpr size_t segment_piece_size = 400;

class amp_sender {
  public:
    using log_fn = std::function<void(const std::string&)>;
    using random_fn = std::function<uint32_t()>;

    // `wrapper_log` receives the send result lines; `random` feeds transfer_id
    // (a default generator when empty).
    amp_sender(control_sender& sender, selected_device& device, log_fn wrapper_log,
               random_fn random = {});

    // Sends a frame taken from the ring to the selected amplifier. Reports how the
    // last send that did not go out ended, or success.
    send_result send_frame(const uint8_t* frame, size_t size);
    // Cuts the frame into pieces of piece_size and sends each as a segment frame.
    send_result send_segmented(const uint8_t* frame, size_t size, size_t piece_size);
    // Validates, parses and sends one hex text. An empty name means the local device.
    send_result send_hex_text(const std::string& device_name, const std::string& text);

    // Texts dropped because they held more bytes than the binary buffer.
    uint64_t dropped_texts() const { return dropped_texts_.load(); }

  private:
    control_sender& sender_;
    selected_device& device_;
    log_fn log_;
    random_fn random_;
    std::atomic<uint64_t> dropped_texts_{0};
};

}  // namespace tavrin
