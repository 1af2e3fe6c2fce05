#include "sim/virtual_amp.h"

#include <algorithm>
#include <memory>
#include <random>

#include "protocol/frame.h"
#include "sim/amp_commands.h"

namespace tavrin::sim {

namespace {

constexpr uint8_t unit_setting = 0x10;
constexpr uint8_t unit_poll = 0x11;
constexpr uint8_t unit_reset = 0x01;
constexpr uint8_t unit_answer = 0x01;
constexpr uint8_t code_poll = 0xE3;
constexpr uint8_t code_location = 0xC4;
constexpr uint8_t code_reset = 0x34;
constexpr size_t wrong_size_data = 100;

byte_vector make_frame(uint8_t unit, uint8_t code, const uint8_t* data, size_t count) {
    byte_vector out(count + frame_overhead);
    build_frame(code, unit, data, count, out.data(), out.size());
    return out;
}

virtual_amp::random_source default_random() {
    auto engine = std::make_shared<std::minstd_rand>(0x7A5);
    return [engine] { return static_cast<uint32_t>((*engine)()); };
}

}  // namespace

virtual_amp::virtual_amp(time_source& clock, amp_config config, random_source random)
    : clock_(clock),
      config_(config),
      random_(random ? std::move(random) : default_random()),
      block_(factory_block(config.firmware)) {}

std::vector<byte_vector> virtual_amp::on_control_body(const uint8_t* body, size_t size) {
    std::vector<byte_vector> replies;
    byte_vector joined;
    frame_observer observer;
    bool have_frame = false;
    {
        std::lock_guard lock(mutex_);
        const uint32_t now = clock_.now_ms();
        if (body == nullptr || size == 0 || silent_locked(now))
            return replies;
        restarting_ = false;  // so that a wrapped clock cannot reopen the window
        observer = observer_;
        if (is_segment(body, size)) {
            segment_view seg;
            if (decode_sent_segment(body, size, max_segmented_frame, seg) == frame_status::ok &&
                reassembler_.accept(seg, now, joined) == segment_reassembler::outcome::complete) {
                have_frame = true;
                replies = handle_frame(joined.data(), joined.size());
            }
        } else {
            replies = handle_frame(body, size);
        }
        corrupt(replies);
    }
    if (observer) {
        if (have_frame) {
            observer(joined.data(), joined.size());
        } else if (!is_segment(body, size)) {
            observer(body, size);
        }
    }
    return replies;
}

std::vector<byte_vector> virtual_amp::handle_frame(const uint8_t* bytes, size_t size) {
    frame_view f;
    if (decode_command(bytes, size, f) != frame_status::ok)
        return {};

    if (f.code == code_poll) {
        if (f.unit == unit_poll && f.count == 1 && f.data[0] == 0x01)
            return poll_answer();
        if (f.unit == unit_setting && f.count == amp_block_size) {
            // A preset write: the firmware date belongs to the firmware, not to presets.
            std::copy(f.data, f.data + amp_offset::firmware_date, block_.begin());
        }
        return {};
    }
    if (f.code == code_reset) {
        if (f.unit == unit_reset && f.count == 1 && f.data[0] == 0xC0) {
            block_ = factory_block(read_firmware_date(block_));
            restart(clock_.now_ms());
        }
        return {};
    }

    firmware_outcome fw = firmware_.handle(f);
    if (fw.handled) {
        if (fw.install) {
            const firmware_date date = fw.new_date.value_or(read_firmware_date(block_));
            block_ = factory_block(date);
            restart(clock_.now_ms());
        }
        std::vector<byte_vector> out;
        if (fw.reply)
            out.push_back(std::move(*fw.reply));
        return out;
    }

    if (f.unit != unit_setting)
        return {};
    switch (apply_command(block_, f.code, f.data, f.count)) {
        case command_result::applied:
            if (f.code == code_location)
                return location_answer();
            return {};
        case command_result::identify:
            ++identify_count_;
            return {};
        default:
            return {};
    }
}

// The full answer is 520 bytes and so travels as segments; the wrong-size fault
// answers with 100 data bytes whose last four are the firmware date.
std::vector<byte_vector> virtual_amp::poll_answer() {
    if (wrong_size_) {
        uint8_t data[wrong_size_data];
        std::copy(block_.begin(), block_.begin() + wrong_size_data - 4, data);
        std::copy(block_.begin() + amp_offset::firmware_date, block_.end(),
                  data + wrong_size_data - 4);
        return {make_frame(unit_answer, code_poll, data, wrong_size_data)};
    }
    const byte_vector frame = make_frame(unit_answer, code_poll, block_.data(), block_.size());
    const auto id = static_cast<uint8_t>(random_() % 255 + 1);
    return make_segments(frame.data(), frame.size(), id);
}

std::vector<byte_vector> virtual_amp::location_answer() const {
    return {make_frame(unit_answer, code_location, block_.data() + amp_offset::location,
                       amp_offset::location_size)};
}

void virtual_amp::restart(uint32_t now_ms) {
    restarting_ = true;
    restart_at_ = now_ms;
    ++restart_count_;
    reassembler_.clear();
}

bool virtual_amp::silent_locked(uint32_t now_ms) const {
    return restarting_ && static_cast<uint32_t>(now_ms - restart_at_) < config_.restart_ms;
}

void virtual_amp::corrupt(std::vector<byte_vector>& bodies) const {
    if (!corrupt_)
        return;
    for (auto& b : bodies) {
        if (!b.empty())
            b.back() = static_cast<uint8_t>(b.back() + 1);
    }
}

void virtual_amp::set_frame_observer(frame_observer observer) {
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

amp_block virtual_amp::block() const {
    std::lock_guard lock(mutex_);
    return block_;
}

firmware_date virtual_amp::firmware() const {
    std::lock_guard lock(mutex_);
    return read_firmware_date(block_);
}

void virtual_amp::set_firmware_date(firmware_date date) {
    std::lock_guard lock(mutex_);
    write_firmware_date(block_, date);
}

void virtual_amp::set_fault(amp_fault fault, bool on) {
    std::lock_guard lock(mutex_);
    (fault == amp_fault::corrupt ? corrupt_ : wrong_size_) = on;
}

bool virtual_amp::fault(amp_fault fault) const {
    std::lock_guard lock(mutex_);
    return fault == amp_fault::corrupt ? corrupt_ : wrong_size_;
}

bool virtual_amp::is_silent(uint32_t now_ms) const {
    std::lock_guard lock(mutex_);
    return silent_locked(now_ms);
}

bool virtual_amp::is_silent() const {
    return is_silent(clock_.now_ms());
}

unsigned virtual_amp::identify_count() const {
    std::lock_guard lock(mutex_);
    return identify_count_;
}

unsigned virtual_amp::restart_count() const {
    std::lock_guard lock(mutex_);
    return restart_count_;
}

size_t virtual_amp::firmware_blocks_held() const {
    std::lock_guard lock(mutex_);
    return firmware_.blocks_held();
}

}  // namespace tavrin::sim
