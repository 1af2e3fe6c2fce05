#pragma once
// What the main window's device controls ask of the amplifier's session, without the
// window: the double-click on the device list, the Connect button, "Synchronize with
// Amplifier" and "Find Me".
#include <optional>
#include <string>
#include <string_view>

#include "link/amp_session.h"

namespace tavrin {

constexpr std::string_view select_device_text = "Please select a device.";
constexpr std::string_view select_device_caption = "Error";

enum class choose_result { chosen, need_selection };

// Double-click on the device list with `selected` the chosen entry, if any: the
// session takes the name and connects at its next wake-up.
choose_result choose_device(amp_session& session, const std::optional<std::string>& selected);

struct connect_outcome {
    bool need_selection = false;  // show "Please select a device."
    bool empty_list = false;      // the device list is emptied (now connecting)
};

// The Connect/Disconnect button.
connect_outcome toggle_connect(amp_session& session, const std::optional<std::string>& selected);

// "Synchronize with Amplifier": forget the mirror and read everything again.
void synchronize(amp_session& session);

// "Find Me": the identify command.
void find_me(command_ring& ring);

}  // namespace tavrin
