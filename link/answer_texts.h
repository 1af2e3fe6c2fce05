#pragma once
// The device information texts an answer leads to.
#include <array>
#include <cstdint>
#include <string>

namespace tavrin {

constexpr uint8_t location_answer_code = 0xC4;
constexpr uint8_t parameter_answer_code = 0xE3;

constexpr const char* firmware_refused_text = "Firmware Version Error";
constexpr const char* wrong_size_text = "FW Version Error";

// " Model: RQ417\n\n Device Name: <name>\n\n Location: <location>", with the location
// bytes taken one by one as characters (Latin-1) up to the first zero or 16.
std::string device_info_text(const std::string& device_name,
                             const std::array<uint8_t, 16>& location);

}  // namespace tavrin
