#include "link/answer_texts.h"

namespace tavrin {
namespace {

void append_latin1(std::string& out, uint8_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

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

}  // namespace tavrin
