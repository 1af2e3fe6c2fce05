#pragma once
// The wrapper's settings: its clock, the ConMon server port, and the bounds and
// pauses of its waits (tests shorten them).
#include <cstdint>

#include "platform/time_source.h"

namespace tavrin {

struct wrapper_options {
    time_source* time = nullptr;  // system_time() when null
    uint16_t server_port = 0;     // 0: the library's default local server port
    // The connect and Audinate waits poll until the socket thread delivers the
    // answer. The local server answers a control message within its own default
    // time-out (about 1 s) and refuses a connect at once, so 3 s only ends the wait
    // when the server has gone away; the user-interface thread never hangs.
    uint32_t audinate_wait_ms = 3000;
    uint32_t connect_wait_ms = 5000;
    // After losing its server the ConMon client connects again this often by itself.
    uint32_t reconnect_ms = 1000;
    // How long a device probe waits for the device's manufacturer answer after the
    // server has said it delivered the query.
    uint32_t probe_facts_wait_ms = 1000;
    // Pause before each component update request and the ping sweep's pauses.
    uint32_t component_pause_ms = 10;
    uint32_t ping_group_pause_ms = 20;
    uint32_t ping_settle_ms = 50;
};

}  // namespace tavrin
