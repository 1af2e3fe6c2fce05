#pragma once
// What the main window's device controls store and send, without the window: the
// double-click on the device list, the Connect button, "Synchronize with Amplifier"
// and "Find Me".
#include <optional>
#include <string>
#include <string_view>

#include "app/core/command_ring.h"
#include "protocol/amp_params.h"
#include "protocol/link_state.h"

namespace tavrin {

constexpr std::string_view select_device_text = "Please select a device.";
constexpr std::string_view select_device_caption = "Error";

struct shell_refs {
    link_flags& flags;
    selected_device& device;
    command_ring& ring;
    amp_params& params;
};

enum class choose_result { chosen, need_selection };

// Double-click on the device list with `selected` the chosen entry, if any. Sets the
// name and connect_flag; the worker connects on its next wake-up.
choose_result choose_device(shell_refs shell, const std::optional<std::string>& selected);

struct connect_outcome {
    bool need_selection = false;  // show "Please select a device."
    bool empty_list = false;      // the device list is emptied (now connecting)
};

// The Connect/Disconnect button.
connect_outcome toggle_connect(shell_refs shell, const std::optional<std::string>& selected);

// "Synchronize with Amplifier": forget the mirror and read everything again. The
// window then repaints and restarts the poll timer.
void synchronize(shell_refs shell);

// "Find Me": the identify command.
void find_me(command_ring& ring);

}  // namespace tavrin
