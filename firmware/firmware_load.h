#pragma once
// Loading a firmware file the way the Update page and tavrin-cli do: read it, turn it
// into an image, and tell the user through the events port when the file is refused.
// A file that cannot be opened or is empty fails without a message.
#include <cstdint>
#include <optional>
#include <string>

#include "firmware/firmware_image.h"
#include "link/session_events.h"

namespace tavrin {

// The longest file that can still hold an image the transfer can send: every data
// byte in a record of its own (":01AAAA00DDCC" and CR LF, 15 characters), an extended
// address record (17) before every 64 KiB, the header line and the end record. A
// larger file is refused before any of it is read.
constexpr uint64_t firmware_max_file =
    uint64_t{firmware_max_data} * 15 + (firmware_max_data / 65536 + 1) * 17 + 14 + 13;

enum class file_status {
    ok,          // read to its end; `image` says whether it is a firmware file
    unreadable,  // missing, not a plain file, or empty
    too_large,   // larger than firmware_max_file
    no_memory,   // the image did not fit in the memory there is
};

struct file_read {
    file_status status = file_status::unreadable;
    image_result image;
};

// Reads the file at `path` a piece at a time into an image: the file is never held
// whole, and the image stops at the largest one the transfer can send.
file_read read_firmware_file(const std::string& path);

// The image of a file read, or nothing after telling the user why it is refused (a
// file with no bytes at all is refused without a word).
std::optional<firmware_image> image_or_refusal(image_result read, session_events& events);

// The image of the file at `path`, or nothing after reporting why.
std::optional<firmware_image> load_firmware(const std::string& path, session_events& events);
// The same for file bytes already in memory.
std::optional<firmware_image> load_firmware(byte_view text, session_events& events);

// The texts of the refusals.
inline constexpr const char* firmware_error_log = "Firmware error.";
inline constexpr const char* firmware_format_text = "Firmware format error.";
inline constexpr const char* firmware_too_large_text =
    "Firmware file is too large: the amplifier takes at most 16 MiB.";
inline constexpr const char* firmware_no_memory_text =
    "Firmware file error: not enough memory to read it.";
inline constexpr const char* firmware_error_caption = "Error";

}  // namespace tavrin
