#include "firmware/firmware_update.h"

#include <algorithm>
#include <cstdio>

#include "protocol/byte_view.h"
#include "protocol/catalogue.h"

namespace tavrin {
namespace {

// What the amplifier answers with.
constexpr uint8_t unit_data = 0x01;
constexpr uint8_t unit_done = 0x20;
constexpr uint8_t code_control = 0xF8;
constexpr uint8_t code_block = 0xF9;
constexpr size_t length_at = 5;
constexpr size_t data_at = 7;

// The data bytes of an answer: `length` counts them and the checksum after them. An
// answer that does not hold what its length promises has none.
byte_view answer_data(const byte_view& answer) {
    uint16_t length = 0;
    byte_view data(nullptr, 0);
    if (answer.be16(length_at, length) && length > 0)
        answer.sub(data_at, length - 1u, data);
    return data;
}

uint32_t byte_sum(const uint8_t* bytes, size_t n) {
    uint32_t sum = 0;
    for (size_t i = 0; i < n; ++i)
        sum += bytes[i];
    return sum;
}

}  // namespace

firmware_update::firmware_update(update_parts parts) : parts_(parts) {}

bool firmware_update::update_start(firmware_image image) {
    if (running() || !image.valid())
        return false;
    parts_.events.update_running(true);
    parts_.session.outbox().ring_clear();
    image_ = std::move(image);
    block_index_ = 0;
    block_offset_ = 0;
    block_sum_ = 0;
    state_ = update_state::resume_check;
    total_blocks_ = image_.blocks();
    parts_.events.update_progress(0, total_blocks_);
    last_answer_time_ = parts_.time.now_ms();
    result_.store(update_result::none);
    running_.store(true);
    parts_.session.begin_update(this);
    return true;
}

void firmware_update::queue(const std::vector<uint8_t>& frame) {
    parts_.session.outbox().ring_put_frame(frame.data(), frame.size());
}

void firmware_update::select_block(uint32_t index) {
    block_index_ = index;
    block_offset_ = index * static_cast<uint32_t>(firmware_block_bytes);
    block_sum_ = byte_sum(image_.bytes.data() + block_offset_, firmware_block_bytes);
}

// Image data goes out only over an open connection; the requests around it do not.
void firmware_update::queue_block() {
    if (!parts_.session.view().connect_flag())
        return;
    queue(
        frames::fw_block(static_cast<uint16_t>(block_index_), image_.bytes.data() + block_offset_));
}

void firmware_update::queue_end_marker() {
    if (parts_.session.view().connect_flag())
        queue(frames::fw_end_marker());
}

void firmware_update::update_on_answer(const uint8_t* frame, size_t length, size_t capacity) {
    // Stopped from another thread: the session hears of it at its next wake-up.
    if (!running())
        return;
    const byte_view answer(frame, std::min(length, capacity));
    const uint32_t now = parts_.time.now_ms();
    last_send_time_ = now;
    last_answer_time_ = now;

    uint8_t unit = 0;
    uint8_t code = 0;
    const bool framed = answer.u8(1, unit) && answer.u8(4, code);
    const byte_view data = answer_data(answer);
    switch (state_) {
        case update_state::resume_check:
            if (framed && unit == unit_data && code == code_control)
                on_resume_answer(data);
            break;
        case update_state::start_sent:
            if (framed && unit == unit_done && code == code_control) {
                state_ = update_state::sending;
                select_block(0);
                queue_block();
            }
            break;
        case update_state::sending:
            if (framed && unit == unit_data && code == code_block)
                on_block_answer(data);
            break;
        case update_state::end_sent:
            if (framed && unit == unit_done && code == code_block) {
                state_ = update_state::checksum_sent;
                queue(frames::fw_checksum_query());
            }
            break;
        case update_state::checksum_sent:
            if (framed && unit == unit_data && code == code_control)
                on_checksum_answer(data);
            break;
        case update_state::version_sent:
            state_ = update_state::finishing;
            queue(frames::fw_finish());
            break;
        case update_state::fresh_start:
        case update_state::finishing:
        case update_state::finished:
        case update_state::failed:
            break;
    }
}

void firmware_update::on_resume_answer(const byte_view& data) {
    uint8_t offer = 0;
    uint8_t pages = 0;
    uint8_t sum_hi = 0;
    uint8_t sum_lo = 0;
    const bool offered = data.u8(2, offer) && offer == 1 && data.u8(3, pages) &&
                         data.u8(4, sum_hi) && data.u8(5, sum_lo);
    const size_t held = static_cast<size_t>(pages) * resume_page_bytes;
    // An offer to go on at or past the end of this image cannot be for this image:
    // its checksum and the block after it would lie outside the image.
    if (offered && held < image_.bytes.size() &&
        firmware_checksum(image_.bytes.data(), held) == sum_hi * 256u + sum_lo) {
        state_ = update_state::sending;
        select_block(static_cast<uint32_t>(held / firmware_block_bytes));
        queue_block();
        parts_.events.update_progress(block_index_, total_blocks_);
        parts_.events.update_status(update_sending_text);
        return;
    }
    state_ = update_state::fresh_start;
    total_blocks_ = image_.blocks();
    parts_.events.update_status(update_fresh_start_text);
}

void firmware_update::on_block_answer(const byte_view& data) {
    uint16_t echoed = 0;
    if (!data.be16(0, echoed) || echoed != block_sum_)
        return;  // resent after 2 s
    if (block_offset_ < image_.size() - firmware_block_bytes) {
        select_block(block_index_ + 1);
        queue_block();
        parts_.events.update_progress(block_index_, total_blocks_);
        parts_.events.update_status(update_sending_text);
        return;
    }
    state_ = update_state::end_sent;
    queue_end_marker();
}

void firmware_update::on_checksum_answer(const byte_view& data) {
    uint8_t hi = 0;
    uint8_t lo = 0;
    if (!data.u8(2, hi) || !data.u8(3, lo))
        return;  // too short to carry a checksum: asked again after 2 s
    char line[32];
    std::snprintf(line, sizeof line, "cksum,%2x%2x", hi, lo);
    parts_.events.log_line(line);
    if (hi * 256u + lo == image_.checksum) {
        state_ = update_state::version_sent;
        queue(frames::fw_version_write(image_.version));
    } else {
        state_ = update_state::failed;
    }
}

void firmware_update::update_step() {
    if (!running())
        return;
    const uint32_t now = parts_.time.now_ms();
    if (state_ == update_state::fresh_start) {
        last_answer_time_ = now;
        last_send_time_ = now;
        state_ = update_state::start_sent;
        return;
    }
    if (static_cast<uint32_t>(now - last_send_time_) > resend_ms) {
        if (state_ == update_state::finished) {
            end_transfer(update_result::finished, "Update Finished.");
            return;
        }
        if (state_ == update_state::failed) {
            end_transfer(update_result::failed, "Update Failed.");
            return;
        }
        resend();
        last_send_time_ = parts_.time.now_ms();
    }
    if (static_cast<uint32_t>(now - last_answer_time_) > timeout_ms)
        time_out();
}

void firmware_update::resend() {
    switch (state_) {
        case update_state::resume_check:
            parts_.events.update_status(update_check_resume_text);
            queue(frames::fw_resume_query());
            break;
        case update_state::start_sent:
            queue(frames::fw_start());
            break;
        case update_state::sending:
            queue_block();
            break;
        case update_state::end_sent:
            queue_end_marker();
            break;
        case update_state::checksum_sent:
            queue(frames::fw_checksum_query());
            break;
        case update_state::version_sent:
            queue(frames::fw_version_write(image_.version));
            break;
        case update_state::finishing:
            queue(frames::fw_finish());
            state_ = update_state::finished;
            break;
        case update_state::fresh_start:
        case update_state::finished:
        case update_state::failed:
            break;
    }
}

void firmware_update::end_transfer(update_result how, const char* text) {
    parts_.events.update_status("");
    parts_.events.ask({text, "", box_icon::none, box_buttons::ok});
    result_.store(how);
    parts_.session.end_update();
    running_.store(false);
    parts_.events.update_running(false);
}

void firmware_update::stop_transfer() {
    if (!running())
        return;
    result_.store(update_result::stopped);
    parts_.session.end_update();
    running_.store(false);
    parts_.events.update_running(false);
    parts_.events.update_status("");
}

void firmware_update::time_out() {
    // Everything the transfer owns is settled before update_mode lets the UI thread
    // start another one.
    image_ = {};
    result_.store(update_result::timeout);
    parts_.session.end_update();
    running_.store(false);
    parts_.events.update_running(false);
    parts_.events.ask({"Update timeout.", "", box_icon::none, box_buttons::ok});
    parts_.events.update_status("");
}

}  // namespace tavrin
