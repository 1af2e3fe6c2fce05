#pragma once
// The connection lamp: red while not connected, green when connected, yellow when
// connected to an amplifier whose firmware is refused.
#include <cstdint>

namespace tavrin {

struct rgb {
    uint8_t r, g, b;
    friend bool operator==(const rgb&, const rgb&) = default;
};

constexpr rgb lamp_red{180, 0, 0};
constexpr rgb lamp_green{0, 180, 0};
constexpr rgb lamp_yellow{250, 250, 0};
constexpr rgb lamp_outline{10, 10, 10};

// Client rectangle of the lamp's ellipse (16, 22)-(31, 37), right and bottom
// exclusive, and the rectangle to repaint around it (15, 20)-(35, 40).
constexpr int lamp_left = 16, lamp_top = 22, lamp_right = 31, lamp_bottom = 37;
constexpr int lamp_area_left = 15, lamp_area_top = 20, lamp_area_right = 35, lamp_area_bottom = 40;

constexpr rgb lamp_fill(bool connect_flag, bool version_gate) {
    if (!connect_flag)
        return lamp_red;
    return version_gate ? lamp_yellow : lamp_green;
}

}  // namespace tavrin
