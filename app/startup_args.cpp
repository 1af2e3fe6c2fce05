#include "app/startup_args.h"

#include <cctype>
#include <filesystem>
#include <system_error>
#include <vector>

#include "resources/version_record.h"

namespace tavrin {

bool is_plain_index(std::string_view text) {
    if (text.empty() || text.size() > max_index_chars)
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
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
        } else if (arg == "--help" || arg == "-h") {
            out.show_help = true;
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
    if (positional.size() > 0) {
        out.args.device_name = first_chars(positional[0], max_name_chars);
        if (out.args.device_name.size() != positional[0].size()) {
            out.warnings.push_back("device name '" + std::string(positional[0]) +
                                   "' is longer than 31 characters; using '" +
                                   out.args.device_name + "'");
        }
    }
    const auto index_at = [&](size_t k, const char* which) {
        const uint32_t value = read_index(positional[k]);
        if (!is_plain_index(positional[k])) {
            out.warnings.push_back(std::string(which) + " interface '" +
                                   std::string(positional[k]) + "' is no interface index; using " +
                                   (value == 0 ? std::string("the automatic choice")
                                               : "index " + std::to_string(value)));
        }
        return value;
    };
    if (positional.size() > 1)
        out.args.primary = index_at(1, "primary");
    if (positional.size() > 2)
        out.args.secondary = index_at(2, "secondary");
    if (positional.size() > 3)
        out.warnings.push_back("arguments after the third are ignored");
    return out;
}

std::string usage_text() {
    return "usage: tavrin-config [DEVICE-NAME [PRIMARY-INDEX [SECONDARY-INDEX]]]\n"
           "                     [--play FILE [--shots DIR] | --tour DIR]\n"
           "       tavrin-config --version | --help\n"
           "Opens the TAVRIN-PA22 Config Tool window.\n"
           "  DEVICE-NAME      the amplifier to connect to once it answers (31 characters)\n"
           "  PRIMARY-INDEX    the network interface to search on (tavrin-cli interfaces);\n"
           "  SECONDARY-INDEX  0 or none: chosen automatically\n"
           "  --play FILE      run a script of user actions on the window, then exit\n"
           "                   (0 all held, 1 an expectation failed, 2 a script error)\n"
           "  --shots DIR      where the script's pictures go\n"
           "  --tour DIR       search, connect, visit every tab, save a picture of each\n"
           "Qt's own options (-style, -platform ...) are taken as Qt takes them.\n";
}

std::string current_work_dir() {
    std::error_code error;
    const std::filesystem::path dir = std::filesystem::current_path(error);
    return error ? std::string() : dir.string();
}

std::string version_text() {
    return std::string("tavrin-config ") + version_record::product_version + " (" +
           version_record::caption_version + ")\n" + version_record::record_line;
}

}  // namespace tavrin
