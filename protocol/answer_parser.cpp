#include "protocol/answer_parser.h"

namespace tavrin {
namespace {

constexpr uint8_t code_location = 0xC4;
constexpr uint8_t code_parameters = 0xE3;
constexpr uint16_t full_parameter_length = amp_params_size + 1;
constexpr size_t location_size = 16;

bool known_unit(uint8_t b) {
    return b == 0x01 || b == 0x10 || b == 0x11 || b == 0x20;
}

void append_latin1(std::string& out, uint8_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

uint32_t firmware_date_value(uint8_t year, uint8_t month, uint8_t day, uint8_t hour) {
    return ((uint32_t{year} * 365 + uint32_t{month} * 30 + day) * 24) + hour;
}

std::string device_info_text(const std::string& device_name,
                             const std::array<uint8_t, 16>& location) {
    std::string text = " Model: RQ417\n\n Device Name: ";
    text += device_name;
    text += "\n\n Location: ";
    for (uint8_t c : location) {
        if (c == 0)
            break;
        append_latin1(text, c);
    }
    return text;
}

answer_parser::answer_parser(amp_params& params, link_flags& flags, selected_device& device,
                             ui_port& ui)
    : params_(params), flags_(flags), device_(device), ui_(ui) {}

void answer_parser::parse_answer(const uint8_t* buffer, size_t length) {
    if (buffer == nullptr)
        return;
    for (size_t i = 0; i < length; ++i) {
        const uint8_t b = buffer[i];
        switch (state_) {
            case 0:
                if (b != 0x55 && b != 0xFF)
                    return;
                sync_ = b;
                checksum_ = b;
                state_ = 1;
                break;
            case 1:
                if (!known_unit(b)) {
                    state_ = 0;
                    return;
                }
                unit_ = b;
                checksum_ = static_cast<uint8_t>(checksum_ + b);
                state_ = 2;
                break;
            case 2:
                marker_hi_ = b;
                checksum_ = static_cast<uint8_t>(checksum_ + b);
                state_ = 3;
                break;
            case 3:
                if (b != 0xD5) {
                    state_ = 0;
                    return;
                }
                checksum_ = static_cast<uint8_t>(checksum_ + b);
                state_ = 4;
                break;
            case 4:
                code_ = b;
                checksum_ = static_cast<uint8_t>(checksum_ + b);
                state_ = 5;
                break;
            case 5:
                length_ = static_cast<uint16_t>(b << 8);
                checksum_ = static_cast<uint8_t>(checksum_ + b);
                state_ = 6;
                break;
            case 6:
                length_ = static_cast<uint16_t>(length_ | b);
                checksum_ = static_cast<uint8_t>(checksum_ + b);
                count_ = 0;
                if (length_ == 0) {
                    state_ = 9;
                    dispatch_answer();
                    return;
                }
                // The data and the checksum byte after it must fit answer_data.
                if (length_ > answer_data_.size()) {
                    dropped_.fetch_add(1);
                    state_ = 0;
                    return;
                }
                state_ = length_ == 1 ? 8 : 7;
                break;
            case 7:
                checksum_ = static_cast<uint8_t>(checksum_ + b);
                answer_data_[count_++] = b;
                if (count_ == size_t{length_} - 1)
                    state_ = 8;
                break;
            case 8:
                if (b != checksum_) {
                    state_ = 0;
                    return;
                }
                answer_data_[count_] = b;
                state_ = 9;
                dispatch_answer();
                return;
            default:
                return;
        }
    }
}

void answer_parser::dispatch_answer() {
    if (code_ == code_location) {
        dispatch_location();
    } else if (code_ == code_parameters) {
        dispatch_parameters();
    }
    state_ = 0;
}

void answer_parser::dispatch_location() {
    // A short answer carries fewer than 16 characters; the rest of the field is cleared
    // rather than filled from an older frame.
    const size_t n = count_ < location_size ? count_ : location_size;
    params_.set_location(answer_data_.data(), n);
    ui_.set_info_text(device_info_text(device_.name(), params_.location_bytes()));
    params_.mark_changed();
    ui_.invalidate_main_window();
}

void answer_parser::dispatch_parameters() {
    flags_.missed_polls.store(0);
    if (length_ != full_parameter_length) {
        // The date is the last four data bytes; a shorter answer has none to give.
        if (count_ >= 4) {
            const uint8_t* d = answer_data_.data() + count_ - 4;
            params_.set_fw_date(d[0], d[1], d[2], d[3]);
        }
        flags_.version_gate.store(true);
        ui_.set_info_text("FW Version Error");
        ui_.invalidate_main_window();
        return;
    }

    flags_.connect_flag.store(true);
    flags_.probe_flag.store(false);
    if (!params_.replace_if_different(answer_data_.data()))
        return;

    const uint8_t* d = answer_data_.data();
    const auto date = [&](param_field f) { return d[field_def(f).offset]; };
    const uint32_t value =
        firmware_date_value(date(param_field::fw_year), date(param_field::fw_month),
                            date(param_field::fw_day), date(param_field::fw_hour));
    if (value >= min_firmware_date) {
        flags_.version_gate.store(false);
        ui_.set_info_text(device_info_text(device_.name(), params_.location_bytes()));
        params_.mark_changed();
        ui_.invalidate_main_window();
    } else {
        flags_.version_gate.store(true);
        ui_.set_info_text("Firmware Version Error");
        ui_.invalidate_main_window();
    }
}

}  // namespace tavrin
