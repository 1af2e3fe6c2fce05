#pragma once
// What the commands over presets and site files read of an amplifier: its block as
// `show` takes it (the server asked for NAME, the connection made, the first full
// answer waited for, the mirror taken). One function, so that the connection core
// behind it can change in one place.
#include <string>

#include "cli/cli_session.h"
#include "protocol/amp_params.h"

namespace tavrin::cli {

// Starts the runtime on the interfaces of `options` and checks the services: exit_done,
// or the code with its message printed on standard error (nothing sent).
int start_session(cli_session& session, const global_options& options);

struct amp_reading {
    int code = 0;         // exit_done, or why there is no block
    std::string message;  // "NAME: no answer", "NAME: Firmware Version Error, nothing sent"
    param_block block{};
    std::string info;  // the device information text
};

// Connects to NAME (leaving any amplifier connected before) and takes its first full
// answer. Nothing but the server's query and the poll is sent. An amplifier whose
// firmware is refused gives code exit_firmware_gate and no block.
amp_reading read_amplifier(cli_session& session, const std::string& name);

}  // namespace tavrin::cli
