#include "app/core/startup_args.h"

#include "resources/version_record.h"

#include <cctype>
#include <filesystem>
#include <system_error>
#include <vector>

namespace tavrin {

std::string first_chars(std::string_view text, size_t max) {
    size_t chars = 0;
    size_t i = 0;
    while (i < text.size()) {
        if (chars == max)
            break;
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t len = 1;
        if (lead >= 0xF0)
            len = 4;
        else if (lead >= 0xE0)
            len = 3;
        else if (lead >= 0xC0)
            len = 2;
        if (i + len > text.size())
            break;
        i += len;
        ++chars;
    }
    return std::string(text.substr(0, i));
}

uint32_t read_index(std::string_view text) {
    text = text.substr(0, std::min(text.size(), max_index_chars));
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    uint32_t value = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        value = value * 10 + static_cast<uint32_t>(text[i] - '0');
        ++i;
    }
    // No interface has a negative index; such an argument keeps the automatic choice.
    return negative ? 0 : value;
}

command_line parse_command_line(int argc, const char* const* argv) {
    command_line out;
    std::vector<std::string_view> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--version") {
            out.show_version = true;
        } else if (arg == "--tour" || arg == "--play" || arg == "--shots") {
            if (i + 1 >= argc) {
                out.error =
                    std::string(arg) + (arg == "--play" ? " needs a file" : " needs a directory");
                return out;
            }
            std::optional<std::string>& slot = arg == "--tour"   ? out.tour_dir
                                               : arg == "--play" ? out.play_file
                                                                 : out.shots_dir;
            slot = argv[++i];
        } else {
            positional.push_back(arg);
        }
    }
    if (out.play_file && out.tour_dir) {
        out.error = "--play and --tour cannot go together";
        return out;
    }
    if (out.shots_dir && !out.play_file) {
        out.error = "--shots goes with --play";
        return out;
    }
    // Arguments beyond the third are ignored.
    if (positional.size() > 0)
        out.args.device_name = first_chars(positional[0], max_name_chars);
    if (positional.size() > 1)
        out.args.primary = read_index(positional[1]);
    if (positional.size() > 2)
        out.args.secondary = read_index(positional[2]);
    return out;
}

std::string current_work_dir() {
    std::error_code error;
    const std::filesystem::path dir = std::filesystem::current_path(error);
    return error ? std::string() : dir.string();
}

std::string version_text() {
    return std::string("tavrin-config ") + version_record::version + " (" +
           version_record::file_description + " " + version_record::caption_version + ")";
}

}  // namespace tavrin
