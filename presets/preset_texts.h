#pragma once
// The message boxes and log lines of the preset controls.
#include <string>
#include <string_view>

namespace tavrin::preset_text {

constexpr std::string_view folder_name = "Preset";

constexpr std::string_view no_connection = "No connection.";
constexpr std::string_view load_caption = "Load File";
constexpr std::string_view delete_caption = "Delete File";
constexpr std::string_view overwrite_caption = "File exist";

inline std::string load_question(std::string_view name) {
    return "Load " + std::string(name) + " ?";
}
inline std::string delete_question(std::string_view name) {
    return "Delete " + std::string(name) + " ?";
}
inline std::string overwrite_question(std::string_view name) {
    return "Overwrite " + std::string(name) + " ?";
}

constexpr std::string_view saved = "File saved.";
constexpr std::string_view save_error = "File save error.";
constexpr std::string_view loaded = "Load preset file.";
constexpr std::string_view deleted = "File deleted.";
// A load the ring cannot take is not applied to the mirror either.
constexpr std::string_view queue_full = "Command queue full; preset not loaded.";

}  // namespace tavrin::preset_text
