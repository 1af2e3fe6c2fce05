#pragma once
// What a parsed answer does to the tool: the location answer renews the location and
// the info text; the parameter answer keeps the connection alive, takes over a
// changed block and opens or closes the firmware gate.
#include <array>
#include <cstdint>
#include <string>

#include "app/core/app_events.h"
#include "protocol/amp_params.h"
#include "protocol/answer_parser.h"
#include "protocol/link_state.h"

namespace tavrin {

constexpr uint8_t location_answer_code = 0xC4;
constexpr uint8_t parameter_answer_code = 0xE3;

constexpr const char* firmware_refused_text = "Firmware Version Error";
constexpr const char* wrong_size_text = "FW Version Error";

// " Model: RQ417\n\n Device Name: <name>\n\n Location: <location>", with the location
// bytes taken one by one as characters (Latin-1) up to the first zero or 16.
std::string device_info_text(const std::string& device_name,
                             const std::array<uint8_t, 16>& location);

struct answer_targets {
    amp_params& params;
    link_flags& flags;
    selected_device& device;
    app_events& events;
};

void apply_answer(const amp_answer& answer, answer_targets targets);

}  // namespace tavrin
