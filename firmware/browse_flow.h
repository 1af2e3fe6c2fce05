#pragma once
// What the Update page's Browse button does once the file dialog has closed, as plain
// logic: the page and tavrin-cli only hand it the chosen path (or nothing when the
// dialog was cancelled). Questions and texts go through the transfer's events port.
#include <cstddef>
#include <optional>
#include <string>

#include "firmware/firmware_update.h"

namespace tavrin {

enum class browse_outcome {
    cancelled,      // no file chosen
    busy,           // a transfer runs already; nothing done
    load_failed,    // the file was refused or unreadable (reported by the loader)
    declined,       // the user did not confirm the reset of all parameters
    not_connected,  // no amplifier linked ("Please link device first.")
    started,        // the transfer runs
};

// The file dialog before it: these two filters, the second one chosen at first; the
// chosen file must exist.
struct firmware_filter {
    const char* name;
    const char* pattern;
};
inline constexpr firmware_filter firmware_file_filters[] = {{"All", "*.*"},
                                                            {"Hex file(*.hex)", "*.hex"}};
inline constexpr size_t firmware_initial_filter = 1;

browse_outcome browse_firmware(firmware_update& update, const std::optional<std::string>& path);

inline constexpr const char* browse_loading_text = "Loading file...";
inline constexpr const char* browse_loaded_text = "Loading file... done";
inline constexpr const char* browse_warning_text =
    "All parameters will be reset to default value after updated.\n Update?";
inline constexpr const char* browse_warning_caption = "Warning";
inline constexpr const char* browse_link_text = "Please link device first.";
inline constexpr const char* browse_link_caption = "Error";
// The Update page's status text before a file is chosen, and after new parameters.
inline constexpr const char* update_idle_text = "Select a firmware file to update.";

}  // namespace tavrin
