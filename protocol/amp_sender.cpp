#include "protocol/amp_sender.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "protocol/frame.h"
#include "protocol/hex_text.h"

namespace tavrin {
namespace {

constexpr uint8_t segment_header[4] = {0x55, 0x10, 0xA0, 0x7C};

bool equals_none_ignoring_case(const std::string& name) {
    if (name.size() != 4)
        return false;
    const char* none = "none";
    for (size_t i = 0; i < 4; ++i) {
        char c = name[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != none[i])
            return false;
    }
    return true;
}

amp_sender::random_fn default_random() {
    auto engine = std::make_shared<std::minstd_rand>(std::random_device{}());
    return [engine] { return static_cast<uint32_t>((*engine)()); };
}

}  // namespace

amp_sender::amp_sender(control_sender& sender, selected_device& device, ui_port& ui,
                       log_fn wrapper_log, random_fn random)
    : sender_(sender),
      device_(device),
      ui_(ui),
      log_(std::move(wrapper_log)),
      random_(random ? std::move(random) : default_random()) {}

int amp_sender::send_frame(const uint8_t* frame, size_t size) {
    if (size >= segmentation_threshold)
        return send_segmented(frame, size, segment_piece_size);
    return send_hex_text(device_.name(), format_hex_text(frame, size));
}

int amp_sender::send_segmented(const uint8_t* frame, size_t size, size_t piece_size) {
    // total and length travel as 16 bits; a piece must fit the binary send buffer.
    if (frame == nullptr || size == 0 || size > 0xFFFF || piece_size == 0 ||
        piece_size + segment_overhead > hex_binary_capacity) {
        return send_not_attempted;
    }
    const uint8_t transfer_id = static_cast<uint8_t>(random_() % 255 + 1);
    const std::string name = device_.name();
    std::vector<uint8_t> segment(piece_size + segment_overhead);
    std::string text;
    text.reserve(3 * segment.size() + 1);
    int result = 0;
    for (size_t offset = 0; offset < size; offset += piece_size) {
        const size_t j = std::min(piece_size, size - offset);
        std::copy(segment_header, segment_header + 4, segment.begin());
        segment[4] = segment_code;
        segment[5] = static_cast<uint8_t>((j + 7) >> 8);
        segment[6] = static_cast<uint8_t>(j + 7);
        segment[7] = transfer_id;
        segment[8] = 0;
        segment[9] = static_cast<uint8_t>(size >> 8);
        segment[10] = static_cast<uint8_t>(size);
        segment[11] = static_cast<uint8_t>(offset >> 8);
        segment[12] = static_cast<uint8_t>(offset);
        std::copy(frame + offset, frame + offset + j, segment.begin() + 13);
        segment[13 + j] = frame_checksum(segment.data(), 13 + j);
        text.clear();
        append_hex_text(text, segment.data(), j + segment_overhead);
        const int r = send_hex_text(name, text);
        if (r != 0)
            result = r;
    }
    return result;
}

int amp_sender::send_hex_text(const std::string& device_name, const std::string& text) {
    if (text.empty()) {
        ui_.message_box("No message data!", "Error", box_icon::error, box_buttons::ok);
        return send_not_attempted;
    }
    if (!device_name.empty() && equals_none_ignoring_case(device_name)) {
        ui_.message_box("please connect to gateway for sending data!", "Error", box_icon::error,
                        box_buttons::ok);
        return send_not_attempted;
    }
    hex_binary_buffer body;
    size_t size = 0;
    const hex_status status = parse_hex_text(text, body, size);
    if (status == hex_status::too_many_tokens) {
        dropped_texts_.fetch_add(1);
        return send_not_attempted;
    }
    if (status != hex_status::ok)
        return send_not_attempted;

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
    return result;
}

}  // namespace tavrin
