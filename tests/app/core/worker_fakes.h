#pragma once
// Recording stand-ins for what the worker calls out to. Safe to use from several
// threads so the stress test can share them.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "app/core/worker_ports.h"
#include "protocol/frame.h"

namespace tavrin::testing {

using bytes = std::vector<uint8_t>;

class recording_sender : public frame_sender {
  public:
    void send_frame(const uint8_t* frame, size_t size) override {
        std::lock_guard lock(mutex_);
        frames_.emplace_back(frame, frame + size);
    }
    std::vector<bytes> frames() const {
        std::lock_guard lock(mutex_);
        return frames_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        frames_.clear();
    }

  private:
    mutable std::mutex mutex_;
    std::vector<bytes> frames_;
};

class recording_answers : public answer_handler {
  public:
    void parse_answer(const uint8_t* buffer, size_t length) override {
        std::lock_guard lock(mutex_);
        answers_.emplace_back(buffer, buffer + length);
    }
    void clear_params() override {
        std::lock_guard lock(mutex_);
        ++clears_;
    }
    std::vector<bytes> answers() const {
        std::lock_guard lock(mutex_);
        return answers_;
    }
    int clears() const {
        std::lock_guard lock(mutex_);
        return clears_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<bytes> answers_;
    int clears_ = 0;
};

class recording_update : public update_procedure {
  public:
    void update_on_answer(const uint8_t* frame, size_t length, size_t capacity) override {
        answers.emplace_back(frame, frame + length);
        last_capacity = capacity;
    }
    void update_step() override { ++steps; }

    std::vector<bytes> answers;
    size_t last_capacity = 0;
    int steps = 0;
};

// The 9-byte poll that reads all parameters.
inline bytes poll_frame() {
    return {0x55, 0x11, 0xAA, 0xD5, 0xE3, 0x00, 0x02, 0x01, 0xCB};
}

inline bytes make_frame(uint8_t code, uint8_t unit, const bytes& data) {
    bytes out(data.size() + frame_overhead);
    build_frame(code, unit, data.data(), data.size(), out.data(), out.size());
    return out;
}

}  // namespace tavrin::testing
