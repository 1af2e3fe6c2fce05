#include "firmware/firmware_image.h"

namespace tavrin {
namespace {

constexpr uint8_t header_first = 0x10;
constexpr uint8_t header_second = 0xD5;
constexpr size_t header_digits = 12;
// Record layout (0-based): colon, count at 1, address at 3, type at 7, data at 9.
constexpr size_t count_at = 1;
constexpr size_t type_at = 7;
constexpr size_t data_at = 9;

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

// The first record begins after the header line's own end, whether that is CR LF or
// a bare LF; a header line without any line end has no records after it.
size_t first_record(const byte_view& text) {
    for (size_t i = header_digits; i < text.size(); ++i) {
        if (text.data()[i] == '\n')
            return i + 1;
    }
    return text.size();
}

// Appends the data of one line when it is a data record (type 00). The count, the
// data digits and the two checksum digits after them must all be hex, with nothing
// but blanks before the line end: a record with a stray character or a digit too many
// or too few would otherwise send shifted or foreign bytes.
image_status take_record(const byte_view& line, std::vector<uint8_t>& data) {
    uint8_t t1 = 0;
    uint8_t t2 = 0;
    if (!line.u8(type_at, t1) || !line.u8(type_at + 1, t2) || t1 != '0' || t2 != '0')
        return image_status::ok;
    uint8_t count = 0;
    if (!hex_pair(line, count_at, count))
        return image_status::bad_digits;
    if (data.size() + count > firmware_max_data)
        return image_status::too_large;
    size_t at = data_at;
    for (size_t i = 0; i < count; ++i, at += 2) {
        uint8_t b = 0;
        if (!hex_pair(line, at, b))
            return image_status::bad_digits;
        data.push_back(b);
    }
    uint8_t record_sum = 0;
    if (!hex_pair(line, at, record_sum))
        return image_status::bad_digits;
    for (at += 2; at < line.size(); ++at) {
        if (!blank(line.data()[at]))
            return image_status::bad_digits;
    }
    return image_status::ok;
}

}  // namespace

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

image_result parse_firmware_image(byte_view text) {
    image_result result;
    if (text.size() == 0) {
        result.status = image_status::empty;
        return result;
    }
    uint8_t first = 0;
    uint8_t second = 0;
    if (!hex_pair(text, 0, first) || !hex_pair(text, 2, second) || first != header_first ||
        second != header_second) {
        result.status = image_status::bad_header;
        return result;
    }
    firmware_image& image = result.image;
    for (size_t i = 0; i < image.version.size(); ++i) {
        if (!hex_pair(text, 4 + 2 * i, image.version[i])) {
            result.status = image_status::bad_header;
            return result;
        }
    }

    std::vector<uint8_t>& data = image.bytes;
    size_t start = first_record(text);
    while (start < text.size()) {
        size_t end = start;
        while (end < text.size() && text.data()[end] != '\n')
            ++end;
        byte_view line(nullptr, 0);
        text.sub(start, end - start, line);
        const image_status status = take_record(line, data);
        if (status != image_status::ok) {
            result.status = status;
            result.image = {};
            return result;
        }
        start = end + 1;
    }

    const size_t n = data.size();
    data.resize(n - n % firmware_block_bytes + firmware_block_bytes, 0);
    image.checksum = firmware_checksum(data.data(), data.size());
    result.status = image_status::ok;
    return result;
}

}  // namespace tavrin
