#include "protocol/answer_parser.h"

namespace tavrin {
namespace {

bool known_unit(uint8_t b) {
    return b == 0x01 || b == 0x10 || b == 0x11 || b == 0x20;
}

}  // namespace

std::optional<amp_answer> answer_parser::parse_answer(const uint8_t* buffer, size_t length) {
    if (buffer == nullptr)
        return std::nullopt;
    for (size_t i = 0; i < length; ++i) {
        const uint8_t b = buffer[i];
        switch (state_) {
            case 0:
                if (b != 0x55 && b != 0xFF)
                    return std::nullopt;
                sync_ = b;
                checksum_ = b;
                state_ = 1;
                break;
            case 1:
                if (!known_unit(b)) {
                    state_ = 0;
                    return std::nullopt;
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
                    return std::nullopt;
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
                    return complete();
                }
                // The data and the checksum byte after it must fit answer_data.
                if (length_ > answer_data_.size()) {
                    dropped_.fetch_add(1);
                    state_ = 0;
                    return std::nullopt;
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
                    return std::nullopt;
                }
                answer_data_[count_] = b;
                state_ = 9;
                return complete();
            default:
                return std::nullopt;
        }
    }
    return std::nullopt;
}

amp_answer answer_parser::complete() {
    state_ = 0;
    amp_answer answer;
    answer.sync = sync_;
    answer.unit = unit_;
    answer.code = code_;
    answer.length = length_;
    answer.data = answer_data_.data();
    answer.count = count_;
    return answer;
}

}  // namespace tavrin
