#include "firmware/firmware_load.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <new>
#include <vector>

namespace tavrin {
namespace {

struct file_closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

constexpr size_t read_piece = 64 * 1024;

void refuse(session_events& events, const char* text) {
    events.log_line(firmware_error_log);
    events.ask({text, firmware_error_caption, box_icon::none, box_buttons::ok});
}

// Feeds the file to the reader line by line; a line is kept only up to just past the
// longest a record can be, which the reader then refuses.
image_result read_lines(std::FILE* f) {
    firmware_reader reader;
    std::vector<uint8_t> piece(read_piece);
    std::vector<uint8_t> line;
    line.reserve(firmware_max_line + 1);
    uint64_t total = 0;
    bool going = true;
    size_t got = 0;
    while (going && total <= firmware_max_file &&
           (got = std::fread(piece.data(), 1, piece.size(), f)) > 0) {
        total += got;
        for (size_t i = 0; i < got && going; ++i) {
            if (piece[i] == '\n') {
                going = reader.add_line(byte_view(line.data(), line.size()));
                line.clear();
            } else if (line.size() <= firmware_max_line) {
                line.push_back(piece[i]);
            }
        }
    }
    if (going && !line.empty())
        reader.add_line(byte_view(line.data(), line.size()));
    return reader.finish();
}

}  // namespace

std::optional<firmware_image> image_or_refusal(image_result r, session_events& events) {
    switch (r.status) {
        case image_status::ok:
            return std::move(r.image);
        case image_status::empty:
            return std::nullopt;
        case image_status::too_large:
            refuse(events, firmware_too_large_text);
            return std::nullopt;
        default:
            refuse(events, firmware_format_text);
            return std::nullopt;
    }
}

file_read read_firmware_file(const std::string& path) {
    file_read out;
    std::unique_ptr<std::FILE, file_closer> f(std::fopen(path.c_str(), "rb"));
    if (!f)
        return out;
    // A directory opens on some systems and reports a nonsense size.
    struct stat st {};
    if (::fstat(::fileno(f.get()), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0)
        return out;
    if (static_cast<uint64_t>(st.st_size) > firmware_max_file) {
        out.status = file_status::too_large;
        return out;
    }
    try {
        out.image = read_lines(f.get());
    } catch (const std::bad_alloc&) {
        out.status = file_status::no_memory;
        out.image = {};
        return out;
    }
    // A file that shrank to nothing while being read.
    out.status =
        out.image.status == image_status::empty ? file_status::unreadable : file_status::ok;
    return out;
}

std::optional<firmware_image> load_firmware(byte_view text, session_events& events) {
    try {
        return image_or_refusal(parse_firmware_image(text), events);
    } catch (const std::bad_alloc&) {
        refuse(events, firmware_no_memory_text);
        return std::nullopt;
    }
}

std::optional<firmware_image> load_firmware(const std::string& path, session_events& events) {
    file_read read = read_firmware_file(path);
    switch (read.status) {
        case file_status::ok:
            break;
        case file_status::unreadable:
            return std::nullopt;
        case file_status::too_large:
            refuse(events, firmware_too_large_text);
            return std::nullopt;
        case file_status::no_memory:
            refuse(events, firmware_no_memory_text);
            return std::nullopt;
    }
    return image_or_refusal(std::move(read.image), events);
}

}  // namespace tavrin
