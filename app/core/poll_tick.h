#pragma once
// The poll timer's procedure (every 5000 ms after its last start): keeps an open
// connection alive, declares a silent amplifier lost, and probes the last selected
// amplifier while not connected. Runs on the UI thread.
#include <cstdint>

#include "app/core/command_ring.h"
#include "protocol/link_state.h"

namespace tavrin {

constexpr int poll_timer_id = 5000;
constexpr uint32_t poll_period_ms = 5000;
// The fourth poll in a row without an answer closes the connection.
constexpr uint32_t max_missed_polls = 3;

// The poll that reads all parameters.
inline push_status push_poll(command_ring& ring) {
    return ring.ring_push(cmd::poll());
}

void poll_tick(link_flags& flags, const selected_device& device, command_ring& ring);

}  // namespace tavrin
