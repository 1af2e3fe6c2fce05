#pragma once
// Waits shared by the amplifier commands of tavrin-cli that send one utility
// command (location, reset, identify): the first full answer, and the frames queued
// so far leaving the ring.
#include <cstdint>
#include <string>

#include "cli/cli_session.h"

namespace tavrin::cli {

// Connects to NAME and pumps until its first full answer: exit_done, or the exit
// status (no answer, firmware gate) with its message printed.
int open_and_wait_answer(cli_session& session, const global_options& options,
                         const std::string& name);

// Pumps until the worker has sent every queued frame; false after `ms`.
bool wait_ring_drained(cli_session& session, uint32_t ms);

}  // namespace tavrin::cli
