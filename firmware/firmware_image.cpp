#include "firmware/firmware_image.h"

#include <cstdio>

namespace tavrin {
namespace {

constexpr uint8_t header_first = 0x10;
constexpr uint8_t header_second = 0xD5;
constexpr size_t header_digits = 12;
// A record: colon, count, address (two bytes), type, data, checksum.
constexpr size_t record_head_bytes = 4;
constexpr uint8_t type_data = 0x00;
constexpr uint8_t type_end = 0x01;
constexpr uint8_t type_segment = 0x02;  // extended segment address: base = value * 16
constexpr uint8_t type_linear = 0x04;   // extended linear address: base = value * 65536

int hex_value(uint8_t c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The byte of the hex pair at `at`; false when it runs past the end or is no pair.
bool hex_pair(const byte_view& text, size_t at, uint8_t& out) {
    uint8_t c1 = 0;
    uint8_t c2 = 0;
    if (!text.u8(at, c1) || !text.u8(at + 1, c2))
        return false;
    const int hi = hex_value(c1);
    const int lo = hex_value(c2);
    if (hi < 0 || lo < 0)
        return false;
    out = static_cast<uint8_t>(hi * 16 + lo);
    return true;
}

bool blank(uint8_t c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// The line without the blanks (and the carriage return) at its end.
byte_view trimmed(byte_view line) {
    size_t n = line.size();
    while (n > 0 && blank(line.data()[n - 1]))
        --n;
    return byte_view(line.data(), n);
}

// "'G'" for a printable character, "byte 0x07" for any other.
std::string shown(uint8_t c) {
    char out[16];
    if (c >= 0x20 && c < 0x7F)
        std::snprintf(out, sizeof out, "'%c'", c);
    else
        std::snprintf(out, sizeof out, "byte 0x%02X", c);
    return out;
}

std::string hex_text(uint64_t value, int digits) {
    char out[24];
    std::snprintf(out, sizeof out, "0x%0*llX", digits, static_cast<unsigned long long>(value));
    return out;
}

}  // namespace

bool firmware_date_valid(const std::array<uint8_t, 4>& v) {
    return v[1] >= 1 && v[1] <= 12 && v[2] >= 1 && v[2] <= 31 && v[3] <= 23;
}

uint16_t firmware_checksum(const uint8_t* bytes, size_t n) {
    if (bytes == nullptr)
        return 0;
    uint32_t sum = 0;
    for (size_t k = 0; k < n; k += 4) {
        sum += bytes[k];
        if (k + 1 < n)
            sum += 256u * bytes[k + 1];
    }
    return static_cast<uint16_t>(sum);
}

bool firmware_reader::refuse(image_status status, std::string detail) {
    result_.status = status;
    result_.line = lines_;
    result_.detail = std::move(detail);
    result_.image = {};
    return false;
}

bool firmware_reader::take_header(byte_view line) {
    uint8_t first = 0;
    uint8_t second = 0;
    if (!hex_pair(line, 0, first) || !hex_pair(line, 2, second) || first != header_first ||
        second != header_second)
        return refuse(image_status::bad_header, "the file does not start with the header 10D5");
    std::array<uint8_t, 4>& version = result_.image.version;
    for (size_t i = 0; i < version.size(); ++i) {
        if (!hex_pair(line, 4 + 2 * i, version[i]))
            return refuse(image_status::bad_header,
                          "the header's version stamp is not four hexadecimal pairs");
    }
    if (trimmed(line).size() != header_digits)
        return refuse(image_status::bad_header, "characters after the header's version stamp");
    if (!firmware_date_valid(version)) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "the version stamp %u.%u.%u.%u is no firmware date (month 1 to 12, day 1 "
                      "to 31, hour 0 to 23)",
                      version[0], version[1], version[2], version[3]);
        return refuse(image_status::bad_version, text);
    }
    return true;
}

bool firmware_reader::take_record(byte_view line) {
    const uint8_t* c = line.data();
    if (c[0] != ':')
        return refuse(image_status::bad_digits, "a record starts with ':', not " + shown(c[0]));
    for (size_t i = 1; i < line.size(); ++i) {
        if (hex_value(c[i]) < 0) {
            return refuse(image_status::bad_digits, shown(c[i]) + " at character " +
                                                        std::to_string(i + 1) +
                                                        " is no hexadecimal digit");
        }
    }
    uint8_t count = 0;
    const size_t whole = 1 + 2 * (record_head_bytes + 1);
    if (!hex_pair(line, 1, count) || line.size() < whole + 2u * count)
        return refuse(image_status::bad_digits, "the record is cut short");
    if (line.size() > whole + 2u * count)
        return refuse(image_status::bad_digits, "digits after the record's checksum");

    uint8_t head[record_head_bytes];
    uint8_t sum = 0;
    for (size_t i = 0; i < record_head_bytes; ++i) {
        hex_pair(line, 1 + 2 * i, head[i]);
        sum = static_cast<uint8_t>(sum + head[i]);
    }
    const size_t data_at = 1 + 2 * record_head_bytes;
    for (size_t i = 0; i < count; ++i) {
        uint8_t b = 0;
        hex_pair(line, data_at + 2 * i, b);
        sum = static_cast<uint8_t>(sum + b);
    }
    uint8_t given = 0;
    hex_pair(line, data_at + 2u * count, given);
    const uint8_t needed = static_cast<uint8_t>(0x100 - sum);
    if (given != needed) {
        char text[96];
        std::snprintf(text, sizeof text, "the record checksum is %02X, its bytes need %02X", given,
                      needed);
        return refuse(image_status::bad_checksum, text);
    }

    const uint16_t address = static_cast<uint16_t>(head[1] << 8 | head[2]);
    switch (head[3]) {
        case type_data: {
            if (count == 0)
                return true;
            const uint64_t at = base_ + address;
            if (any_data_ && at < next_) {
                return refuse(image_status::out_of_order,
                              "data at address " + hex_text(at, 4) +
                                  " goes back below the end of the data before it (" +
                                  hex_text(next_, 4) + ")");
            }
            std::vector<uint8_t>& data = result_.image.bytes;
            if (data.size() + count > firmware_max_data) {
                return refuse(image_status::too_large,
                              "more data than the amplifier takes (at most 16 MiB)");
            }
            for (size_t i = 0; i < count; ++i) {
                uint8_t b = 0;
                hex_pair(line, data_at + 2 * i, b);
                data.push_back(b);
            }
            next_ = at + count;
            any_data_ = true;
            return true;
        }
        case type_end:
            end_line_ = lines_;
            return true;
        case type_segment:
        case type_linear: {
            if (count != 2) {
                return refuse(
                    image_status::bad_digits,
                    "an extended address record holds 2 bytes, not " + std::to_string(count));
            }
            uint8_t hi = 0;
            uint8_t lo = 0;
            hex_pair(line, data_at, hi);
            hex_pair(line, data_at + 2, lo);
            const uint64_t value = uint64_t{hi} << 8 | lo;
            base_ = head[3] == type_segment ? value << 4 : value << 16;
            return true;
        }
        default:
            // Start addresses and other types carry nothing the image needs.
            return true;
    }
}

bool firmware_reader::add_line(byte_view line) {
    if (result_.status != image_status::ok)
        return false;
    ++lines_;
    if (line.size() > firmware_max_line)
        return refuse(lines_ == 1 ? image_status::bad_header : image_status::bad_digits,
                      "the line is longer than any record can be");
    if (lines_ == 1)
        return take_header(line);
    const byte_view text = trimmed(line);
    if (text.size() == 0)
        return true;
    if (end_line_ != 0) {
        return refuse(image_status::after_end,
                      "a record after the end-of-file record of line " + std::to_string(end_line_));
    }
    return take_record(text);
}

image_result firmware_reader::finish() {
    if (result_.status != image_status::ok)
        return std::move(result_);
    if (lines_ == 0) {
        result_.status = image_status::empty;
        return std::move(result_);
    }
    result_.line = 0;
    if (!any_data_) {
        result_.status = image_status::no_data;
        result_.detail = "not one data record";
        result_.image = {};
        return std::move(result_);
    }
    if (end_line_ == 0) {
        result_.status = image_status::no_end;
        result_.detail = "no end-of-file record (:00000001FF) after the last record";
        result_.image = {};
        return std::move(result_);
    }
    std::vector<uint8_t>& data = result_.image.bytes;
    const size_t n = data.size();
    data.resize(n - n % firmware_block_bytes + firmware_block_bytes, 0);
    result_.image.checksum = firmware_checksum(data.data(), data.size());
    return std::move(result_);
}

image_result parse_firmware_image(byte_view text) {
    firmware_reader reader;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = start;
        while (end < text.size() && text.data()[end] != '\n')
            ++end;
        byte_view line(nullptr, 0);
        text.sub(start, end - start, line);
        if (!reader.add_line(line))
            break;
        start = end + 1;
    }
    return reader.finish();
}

}  // namespace tavrin
