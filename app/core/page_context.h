#pragma once
// What a page (or a secondary window, or tavrin-cli acting as one) works with: the
// connection state, the ring it queues commands into, the mirror it reads and writes,
// the events port for questions, log lines and the poll timer, the clock, and the
// little state the pages share between them.
#include <atomic>
#include <string>

#include "app/core/app_events.h"
#include "app/core/command_ring.h"
#include "platform/time_source.h"
#include "protocol/amp_params.h"
#include "protocol/link_state.h"

namespace tavrin {

class dante_wrapper;
class firmware_update;

// State that outlives a page and that several pages read.
struct page_shared {
    // The channel shown by the Parametric EQ and Filter pages (1 or 2); PBTL mode on
    // the Power page sets it to 2.
    std::atomic<int> selected_channel{1};

    // The firmware transfer as last reported to the window (UI thread only), for the
    // Update page, which may be made after the transfer began.
    uint32_t update_position = 0;
    uint32_t update_total = 0;
    std::string update_status;
};

struct page_context {
    link_flags& flags;
    selected_device& device;
    command_ring& ring;
    amp_params& params;
    app_events& events;
    time_source& time;
    page_shared& shared;
    // The current directory at start-up; the preset folder lies beneath it.
    std::string work_dir;
    // The firmware transfer and the wrapper over the control library, where the
    // program that made the page has them (null otherwise).
    firmware_update* firmware = nullptr;
    dante_wrapper* wrapper = nullptr;
};

}  // namespace tavrin
