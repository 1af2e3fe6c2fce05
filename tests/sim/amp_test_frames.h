#pragma once
// Frames as the tool sends them, and a plain reading of what the amplifier sends
// back, for the virtual amplifier's tests.
#include <cstdint>
#include <optional>
#include <vector>

#include "protocol/frame.h"
#include "sim/virtual_amp.h"

namespace tavrin::sim::testing {

inline byte_vector command(uint8_t code, uint8_t unit, const std::vector<uint8_t>& data) {
    byte_vector f(data.size() + frame_overhead);
    build_frame(code, unit, data.data(), data.size(), f.data(), f.size());
    return f;
}

inline byte_vector setting(uint8_t code, const std::vector<uint8_t>& data) {
    return command(code, 0x10, data);
}

inline std::vector<byte_vector> send(virtual_amp& amp, const byte_vector& body) {
    return amp.on_control_body(body.data(), body.size());
}

inline byte_vector poll_frame() {
    return command(0xE3, 0x11, {0x01});
}

// An answer frame read the way the tool reads it: sync, marker_lo, length and sum.
struct answer {
    uint8_t unit = 0;
    uint8_t code = 0;
    std::vector<uint8_t> data;
};

inline std::optional<answer> read_answer(const byte_vector& f) {
    if (f.size() < 8 || f[0] != 0x55 || f[3] != 0xD5)
        return std::nullopt;
    if (static_cast<size_t>(f[5] << 8 | f[6]) + 7 != f.size())
        return std::nullopt;
    if (frame_checksum(f.data(), f.size() - 1) != f.back())
        return std::nullopt;
    return answer{f[1], f[4], std::vector<uint8_t>(f.begin() + 7, f.end() - 1)};
}

inline std::optional<answer> single_answer(const std::vector<byte_vector>& replies) {
    if (replies.size() != 1)
        return std::nullopt;
    return read_answer(replies[0]);
}

}  // namespace tavrin::sim::testing
