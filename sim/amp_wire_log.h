#pragma once
// One line of the device's wire log: the frame's bytes as lowercase hex pairs
// separated by single blanks, without a line end.
#include <cstddef>
#include <cstdint>
#include <string>

namespace tavrin::sim {

std::string wire_log_line(const uint8_t* frame, size_t size);

}  // namespace tavrin::sim
