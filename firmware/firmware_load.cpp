#include "firmware/firmware_load.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace tavrin {
namespace {

struct file_closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

void refuse(app_events& events, const char* text) {
    events.log_line(firmware_error_log);
    events.ask({text, firmware_error_caption, box_icon::none, box_buttons::ok});
}

}  // namespace

file_status read_firmware_file(const std::string& path, std::vector<uint8_t>& out) {
    out.clear();
    // A directory opens on some systems and reports a nonsense size.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return file_status::unreadable;
    std::unique_ptr<std::FILE, file_closer> f(std::fopen(path.c_str(), "rb"));
    if (!f)
        return file_status::unreadable;
    if (std::fseek(f.get(), 0, SEEK_END) != 0)
        return file_status::unreadable;
    const long size = std::ftell(f.get());
    if (size <= 0)
        return file_status::unreadable;
    if (static_cast<uint64_t>(size) > firmware_max_file)
        return file_status::too_large;
    if (std::fseek(f.get(), 0, SEEK_SET) != 0)
        return file_status::unreadable;
    out.resize(static_cast<size_t>(size));
    const size_t got = std::fread(out.data(), 1, out.size(), f.get());
    // A file that shrank while being read is read as far as it goes.
    out.resize(got);
    return got == 0 ? file_status::unreadable : file_status::ok;
}

std::optional<firmware_image> load_firmware(byte_view text, app_events& events) {
    image_result r = parse_firmware_image(text);
    switch (r.status) {
        case image_status::ok:
            return std::move(r.image);
        case image_status::empty:
            return std::nullopt;
        case image_status::bad_header:
        case image_status::bad_digits:
            refuse(events, firmware_format_text);
            return std::nullopt;
        case image_status::too_large:
            refuse(events, firmware_too_large_text);
            return std::nullopt;
    }
    return std::nullopt;
}

std::optional<firmware_image> load_firmware(const std::string& path, app_events& events) {
    std::vector<uint8_t> text;
    switch (read_firmware_file(path, text)) {
        case file_status::ok:
            break;
        case file_status::unreadable:
            return std::nullopt;
        case file_status::too_large:
            refuse(events, firmware_too_large_text);
            return std::nullopt;
    }
    return load_firmware(byte_view(text.data(), text.size()), events);
}

}  // namespace tavrin
