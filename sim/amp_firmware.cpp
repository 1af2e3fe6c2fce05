#include "sim/amp_firmware.h"

#include <algorithm>

#include "protocol/frame.h"

namespace tavrin::sim {

namespace {

constexpr uint8_t code_query = 0xF8;
constexpr uint8_t code_block = 0xF9;
constexpr uint8_t code_finish = 0xF0;
constexpr uint8_t unit_query = 0x11;
constexpr uint8_t unit_command = 0x10;
constexpr uint8_t answer_data = 0x01;  // answers that carry values
constexpr uint8_t answer_ack = 0x20;   // plain acknowledgements

std::vector<uint8_t> answer(uint8_t unit, uint8_t code, std::initializer_list<uint8_t> data) {
    std::vector<uint8_t> out(data.size() + frame_overhead);
    build_frame(code, unit, data.begin(), data.size(), out.data(), out.size());
    return out;
}

firmware_outcome with_reply(std::vector<uint8_t> reply) {
    firmware_outcome o;
    o.handled = true;
    o.reply = std::move(reply);
    return o;
}

firmware_outcome silent() {
    firmware_outcome o;
    o.handled = true;
    return o;
}

}  // namespace

uint16_t firmware_checksum(const uint8_t* image, size_t size) {
    uint32_t sum = 0;
    for (size_t k = 0; k + 1 < size; k += 4)
        sum += image[k] + 256u * image[k + 1];
    return static_cast<uint16_t>(sum);
}

firmware_outcome amp_firmware_receiver::handle(const frame_view& f) {
    const uint8_t* d = f.data;
    if (f.code == code_query && f.unit == unit_query && f.count == 2 && d[0] == 0) {
        if (d[1] == 0x02)
            return resume_query();
        if (d[1] == 0x00)
            return checksum_query();
    }
    if (f.code == code_query && f.unit == unit_command && f.count == 6 && d[0] == 0 &&
        d[1] == 0x01) {
        return start_or_version(f);
    }
    if (f.code == code_block && f.unit == unit_command) {
        if (f.count == 4 && d[0] == 0 && d[1] == 0xFF && d[2] == 0xFF && d[3] == 0) {
            return end_marker();
        }
        if (f.count == 4 + firmware_block_size && d[0] == 0 && d[3] == 0x08)
            return block(f);
    }
    if (f.code == code_finish && f.unit == unit_command && f.count == 0)
        return finish();
    return {};
}

// An interrupted transfer can go on from its last whole page; what was received
// after that page is dropped so that the next block expected is 16 x P.
firmware_outcome amp_firmware_receiver::resume_query() {
    if (!open_)
        return with_reply(answer(answer_data, code_query, {0x00, 0x02, 0, 0, 0, 0}));
    const size_t pages = std::min<size_t>(blocks_held() / firmware_blocks_per_page, 0xFF);
    image_.resize(pages * firmware_page_size);
    end_seen_ = false;
    version_.reset();
    const uint16_t sum = firmware_checksum(image_.data(), image_.size());
    return with_reply(answer(answer_data, code_query,
                             {0x00, 0x02, 1, static_cast<uint8_t>(pages),
                              static_cast<uint8_t>(sum >> 8), static_cast<uint8_t>(sum)}));
}

firmware_outcome amp_firmware_receiver::checksum_query() {
    const uint16_t sum = firmware_checksum(image_.data(), image_.size());
    return with_reply(
        answer(answer_data, code_query,
               {0x00, 0x00, static_cast<uint8_t>(sum >> 8), static_cast<uint8_t>(sum)}));
}

// The start command and the version write share their layout; four zero bytes
// (no valid date) start a transfer, anything else is a version.
firmware_outcome amp_firmware_receiver::start_or_version(const frame_view& f) {
    const uint8_t* v = f.data + 2;
    if (v[0] == 0 && v[1] == 0 && v[2] == 0 && v[3] == 0) {
        open_ = true;
        end_seen_ = false;
        version_.reset();
        image_.clear();
    } else if (open_ && end_seen_) {
        version_ = firmware_date{v[0], v[1], v[2], v[3]};
    }
    return with_reply(answer(answer_ack, code_query, {0x00, 0x01}));
}

// Blocks are written in order: the next one or a repeat of one already held.
// Anything else gets no answer, so the tool sends it again.
firmware_outcome amp_firmware_receiver::block(const frame_view& f) {
    const size_t index = static_cast<size_t>(f.data[1] << 8 | f.data[2]);
    if (!open_ || index > blocks_held() || index >= firmware_max_blocks)
        return silent();
    const uint8_t* bytes = f.data + 4;
    if (index == blocks_held())
        image_.resize(image_.size() + firmware_block_size);
    std::copy(bytes, bytes + firmware_block_size, image_.begin() + index * firmware_block_size);
    end_seen_ = false;
    uint32_t sum = 0;
    for (size_t i = 0; i < firmware_block_size; ++i)
        sum += bytes[i];
    return with_reply(answer(answer_data, code_block,
                             {static_cast<uint8_t>(sum >> 8), static_cast<uint8_t>(sum)}));
}

firmware_outcome amp_firmware_receiver::end_marker() {
    if (!open_ || image_.empty())
        return silent();
    end_seen_ = true;
    return with_reply(answer(answer_ack, code_block, {0xFF, 0xFF}));
}

// Installs a complete image and restarts; before the end marker there is
// nothing to install and the command is ignored.
firmware_outcome amp_firmware_receiver::finish() {
    if (!open_ || !end_seen_)
        return silent();
    firmware_outcome o;
    o.handled = true;
    o.install = true;
    o.new_date = version_;
    open_ = false;
    end_seen_ = false;
    version_.reset();
    image_.clear();
    return o;
}

}  // namespace tavrin::sim
