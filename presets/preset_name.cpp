#include "presets/preset_name.h"

namespace tavrin {

name_check check_preset_name(std::string_view name) {
    if (name.empty())
        return name_check::empty;
    if (name.size() > preset_name_max)
        return name_check::too_long;
    if (name.find('\0') != std::string_view::npos)
        return name_check::nul;
    if (name.find_first_of("/\\") != std::string_view::npos)
        return name_check::separator;
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F)
            return name_check::control;
    }
    if (name == "." || name == "..")
        return name_check::dot_name;
    return name_check::ok;
}

std::string_view name_refusal_text(name_check check) {
    switch (check) {
        case name_check::separator:
            return "A file name cannot contain / or \\.";
        case name_check::nul:
            return "A file name cannot contain a zero character.";
        case name_check::control:
            return "A file name cannot contain control characters such as a line break.";
        case name_check::dot_name:
            return "\".\" and \"..\" cannot be used as file names.";
        case name_check::too_long:
            return "A file name can be at most 255 bytes long.";
        case name_check::ok:
        case name_check::empty:
            break;
    }
    return {};
}

}  // namespace tavrin
