#pragma once
// The texts of the "Setting Summary" window, computed from one copy of the parameter
// block, so that the window and `tavrin-cli summary` show the same.
#include <string>
#include <string_view>
#include <vector>

#include "protocol/amp_params.h"

namespace tavrin {

// The window refreshes every 3 s (timer 3000).
constexpr int summary_timer_id = 3000;
constexpr int summary_refresh_ms = 3000;
constexpr int summary_ok_id = 1242;

struct summary_field {
    int id;                  // the value field of the window
    std::string_view label;  // its row label
    int channel;             // 1 or 2 in the two-column rows, 0 otherwise
    std::string text;
};

// Every value field of the window, in the window's reading order. `device_name` is
// the selected amplifier's name; empty when none is selected.
std::vector<summary_field> summary_fields(const param_block& block, std::string_view device_name);

// The text of field `id` in `fields`; empty when it is not there.
std::string summary_text(const std::vector<summary_field>& fields, int id);

// One field as a line of text: the label (its colon dropped), " CH1" or " CH2" in the
// two-column rows, ": " and the text. "Gain(dB) CH1: -25.0dB".
std::string summary_line(const summary_field& field);

}  // namespace tavrin
