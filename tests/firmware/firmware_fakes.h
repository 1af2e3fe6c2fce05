#pragma once
// Shared by the firmware tests: an events port that records what the user would see,
// firmware file text built from plain data, and a scripted amplifier that answers the
// update frames the way the real one does.
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "firmware/firmware_image.h"
#include "link/session_events.h"
#include "platform/time_source.h"
#include "protocol/frame.h"

namespace tavrin::testing {

using bytes = std::vector<uint8_t>;

struct shown_box {
    question q;
    uint32_t at_ms = 0;
};

class scripted_events : public session_events {
  public:
    explicit scripted_events(time_source* time = nullptr) : time_(time) {}

    void log_line(const std::string& text) override { logs.push_back(text); }
    box_answer ask(const question& q) override {
        boxes.push_back({q, time_ ? time_->now_ms() : 0});
        if (answers.empty())
            return default_answer(q.buttons);
        const box_answer a = answers.front();
        answers.pop_front();
        return a;
    }
    void update_running(bool on) override { running.push_back(on); }
    void update_progress(uint32_t position, uint32_t total) override {
        progress.push_back({position, total});
    }
    void update_status(const std::string& text) override { statuses.push_back(text); }

    std::vector<std::string> box_texts() const {
        std::vector<std::string> out;
        for (const shown_box& b : boxes)
            out.push_back(b.q.text);
        return out;
    }

    std::deque<box_answer> answers;
    std::vector<std::string> logs;
    std::vector<shown_box> boxes;
    std::vector<bool> running;
    std::vector<std::pair<uint32_t, uint32_t>> progress;
    std::vector<std::string> statuses;

  private:
    time_source* time_;
};

// One Intel HEX record line ending in CR LF: colon, count, address, type, data and a
// correct record checksum.
inline std::string hex_record(uint8_t type, uint16_t address, const bytes& data,
                              const char* eol = "\r\n") {
    std::string line = ":";
    char pair[3];
    uint8_t sum = 0;
    auto put = [&](uint8_t b) {
        std::snprintf(pair, sizeof pair, "%02X", b);
        line += pair;
        sum = static_cast<uint8_t>(sum + b);
    };
    put(static_cast<uint8_t>(data.size()));
    put(static_cast<uint8_t>(address >> 8));
    put(static_cast<uint8_t>(address));
    put(type);
    for (uint8_t b : data)
        put(b);
    std::snprintf(pair, sizeof pair, "%02X", static_cast<uint8_t>(0x100 - sum));
    line += pair;
    return line + eol;
}

// A firmware file: the header line and the data cut into records of `per_record`
// bytes at ascending addresses (an extended linear address record before each further
// 64 KiB), then the end-of-file record.
inline std::string firmware_text(const bytes& data, size_t per_record = 16,
                                 const char* header = "10D5150B1101", const char* eol = "\r\n") {
    std::string text = std::string(header) + eol;
    for (size_t at = 0; at < data.size(); at += per_record) {
        const size_t n = std::min(per_record, data.size() - at);
        if (at > 0 && at / 65536 != (at - per_record) / 65536) {
            const uint16_t segment = static_cast<uint16_t>(at >> 16);
            text += hex_record(
                0x04, 0, {static_cast<uint8_t>(segment >> 8), static_cast<uint8_t>(segment)}, eol);
        }
        text += hex_record(
            0x00, static_cast<uint16_t>(at),
            bytes(data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(at + n)),
            eol);
    }
    return text + hex_record(0x01, 0, {}, eol);
}

// A file of tests/firmware/data: the source tree is TAVRIN_SOURCE_DIR, or the folder
// that holds build/<preset>/tests/<the test program>.
inline std::string firmware_data_file(const std::string& name) {
    const char* source = std::getenv("TAVRIN_SOURCE_DIR");
    std::string root;
    if (source != nullptr && *source != 0) {
        root = source;
    } else {
        char buf[4096] = {};
        const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
        root = n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
        for (int up = 0; up < 4; ++up)
            root = root.substr(0, root.find_last_of('/'));
    }
    return root + "/tests/firmware/data/" + name;
}

inline byte_view view_of(const std::string& text) {
    return byte_view(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// Data bytes 0, 1, 2 ... (mod 251, so blocks differ from each other).
inline bytes counting_data(size_t n) {
    bytes out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<uint8_t>(i % 251);
    return out;
}

// An image of exactly `size` bytes (a multiple of 256) built directly.
inline firmware_image image_of(const bytes& data,
                               std::array<uint8_t, 4> version = {21, 11, 17, 1}) {
    firmware_image image;
    image.bytes = data;
    image.checksum = firmware_checksum(data.data(), data.size());
    image.version = version;
    return image;
}

inline bytes answer_frame(uint8_t code, uint8_t unit, const bytes& data) {
    bytes out(data.size() + frame_overhead);
    build_frame(code, unit, data.data(), data.size(), out.data(), out.size());
    return out;
}

// The amplifier's side of the update: answers each update frame and keeps what the
// blocks carried. Knobs make it offer a resume, garble one block sum, lie about the
// checksum or stay silent.
class scripted_amplifier {
  public:
    bool silent = false;
    // Resume answer data bytes 2-5: offer, pages, checksum high, checksum low.
    std::array<uint8_t, 4> resume{0, 0, 0, 0};
    // Echo a wrong sum the first time this block arrives.
    std::optional<uint16_t> garble_block;
    // Answer the checksum query with this instead of the checksum of what arrived.
    std::optional<uint16_t> checksum_override;

    std::vector<bytes> received;
    bytes memory;

    std::optional<bytes> answer(const bytes& frame) {
        received.push_back(frame);
        if (silent || frame.size() < frame_overhead)
            return std::nullopt;
        const uint8_t unit = frame[1];
        const uint8_t code = frame[4];
        const bytes data(frame.begin() + 7, frame.end() - 1);
        if (code == 0xF8 && unit == 0x11 && data == bytes{0x00, 0x02})
            return answer_frame(0xF8, 0x01, {0, 0, resume[0], resume[1], resume[2], resume[3]});
        if (code == 0xF8 && unit == 0x11 && data == bytes{0x00, 0x00}) {
            const uint16_t sum =
                checksum_override.value_or(firmware_checksum(memory.data(), memory.size()));
            return answer_frame(0xF8, 0x01,
                                {0, 0, static_cast<uint8_t>(sum >> 8), static_cast<uint8_t>(sum)});
        }
        if (code == 0xF8 && unit == 0x10)
            return answer_frame(0xF8, 0x20, {0x00});
        if (code == 0xF9 && data.size() == 4)
            return answer_frame(0xF9, 0x20, {0x00});
        if (code == 0xF9 && data.size() == 260) {
            const size_t index = data[1] * 256u + data[2];
            if (memory.size() < (index + 1) * 256)
                memory.resize((index + 1) * 256);
            uint16_t sum = 0;
            for (size_t i = 0; i < 256; ++i) {
                memory[index * 256 + i] = data[4 + i];
                sum = static_cast<uint16_t>(sum + data[4 + i]);
            }
            if (garble_block && *garble_block == index) {
                garble_block.reset();
                sum = static_cast<uint16_t>(sum + 1);
            }
            return answer_frame(0xF9, 0x01,
                                {static_cast<uint8_t>(sum >> 8), static_cast<uint8_t>(sum)});
        }
        return std::nullopt;  // the finishing command restarts the amplifier
    }
};

}  // namespace tavrin::testing
