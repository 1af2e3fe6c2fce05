#pragma once
// Loading a firmware file the way the Update page and tavrin-cli do: read it, turn it
// into an image, and tell the user through the events port when the file is refused.
// A file that cannot be opened or is empty fails without a message.
#include <cstdint>
#include <optional>
#include <string>

#include "app/core/app_events.h"
#include "firmware/firmware_image.h"

namespace tavrin {

// No valid firmware file comes near this (16 MiB of data in one-byte records); a
// larger file is refused before it is read into memory.
constexpr uint64_t firmware_max_file = 256ull * 1024 * 1024;

enum class file_status { ok, unreadable, too_large };

// The whole file, or why not.
file_status read_firmware_file(const std::string& path, std::vector<uint8_t>& out);

// The image of the file at `path`, or nothing after reporting why.
std::optional<firmware_image> load_firmware(const std::string& path, app_events& events);
// The same for file bytes already in memory.
std::optional<firmware_image> load_firmware(byte_view text, app_events& events);

// The texts of the refusals.
inline constexpr const char* firmware_error_log = "Firmware error.";
inline constexpr const char* firmware_format_text = "Firmware format error.";
inline constexpr const char* firmware_too_large_text =
    "Firmware file is too large: the amplifier takes at most 16 MiB.";
inline constexpr const char* firmware_error_caption = "Error";

}  // namespace tavrin
