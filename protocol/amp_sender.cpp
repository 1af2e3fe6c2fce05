#include "protocol/amp_sender.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "protocol/frame.h"
#include "protocol/hex_text.h"

namespace tavrin {
namespace {

amp_sender::random_fn default_random() {
    auto engine = std::make_shared<std::minstd_rand>(std::random_device{}());
    return [engine] { return static_cast<uint32_t>((*engine)()); };
}

}  // namespace

amp_sender::amp_sender(control_sender& sender, selected_device& device, log_fn wrapper_log,
                       random_fn random)
    : sender_(sender),
      device_(device),
      log_(std::move(wrapper_log)),
      random_(random ? std::move(random) : default_random()) {}

send_result amp_sender::send_frame(const uint8_t* frame, size_t size) {
    if (size >= segmentation_threshold)
        return send_segmented(frame, size, segment_piece_size);
    return send_hex_text(device_.name(), format_hex_text(frame, size));
}

send_result amp_sender::send_segmented(const uint8_t* frame, size_t size, size_t piece_size) {
    // total and length travel as 16 bits; a piece must fit the binary send buffer.
    if (frame == nullptr || size == 0 || size > 0xFFFF || piece_size == 0 ||
        piece_size + segment_overhead > hex_binary_capacity) {
        return {hex_send_check::unreadable, 0};
    }
    const uint8_t transfer_id = static_cast<uint8_t>(random_() % 255 + 1);
    const std::string name = device_.name();
    std::vector<uint8_t> segment(piece_size + segment_overhead);
    std::string text;
    text.reserve(3 * segment.size() + 1);
    send_result result;
    for (size_t offset = 0; offset < size; offset += piece_size) {
        const size_t j = std::min(piece_size, size - offset);
        const size_t n =
            build_segment(transfer_id, frame, size, offset, j, segment.data(), segment.size());
        text.clear();
        append_hex_text(text, segment.data(), n);
        const send_result r = send_hex_text(name, text);
        if (!r.sent())
            result = r;
    }
    return result;
}

send_result amp_sender::send_hex_text(const std::string& device_name, const std::string& text) {
    hex_binary_buffer body;
    size_t size = 0;
    const hex_send_check check = prepare_hex_send(device_name, text, body, size);
    if (check == hex_send_check::too_many_tokens)
        dropped_texts_.fetch_add(1);
    if (check != hex_send_check::ok)
        return {check, 0};

    const int result =
        sender_.send_control(device_name, amp_message_class, varnoll_vendor_id, body.data(), size);
    if (log_) {
        char line[160];
        if (result == 0) {
            std::snprintf(line, sizeof line, "send %d bytes to %s device on CONTROL channel",
                          static_cast<int>(size),
                          device_name.empty() ? "Local" : device_name.c_str());
        } else {
            std::snprintf(line, sizeof line, "ERR- send control message (%s)",
                          sender_.error_text(result).c_str());
        }
        log_(line);
    }
    return {hex_send_check::ok, result};
}

}  // namespace tavrin
