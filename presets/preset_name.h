#pragma once
// A preset name is a plain file name inside the preset folder, never a path: names
// that could reach another folder, that the file system cannot hold, or that would
// not list as one line (control characters), are refused.
#include <cstddef>
#include <string_view>

namespace tavrin {

// The longest name most file systems hold, in bytes.
constexpr size_t preset_name_max = 255;

enum class name_check {
    ok,
    empty,
    separator,  // contains '/' or '\'
    nul,        // contains a zero byte
    control,    // contains another control character (a line break, a tab ...)
    dot_name,   // "." or ".."
    too_long,   // more than preset_name_max bytes
};

name_check check_preset_name(std::string_view name);

// The message box that explains a refusal: its text (empty for ok and empty names,
// which are ignored without a word) and caption.
std::string_view name_refusal_text(name_check check);
constexpr std::string_view name_refusal_caption = "File name";

}  // namespace tavrin
