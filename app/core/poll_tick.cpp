#include "app/core/poll_tick.h"

namespace tavrin {

void poll_tick(link_flags& flags, const selected_device& device, command_ring& ring) {
    if (flags.connect_flag.load()) {
        if (flags.update_mode.load())
            return;
        push_poll(ring);
        if (flags.missed_polls.fetch_add(1) + 1 > max_missed_polls) {
            flags.connect_flag.store(false);
            flags.disconnect_request.store(true);
        }
        return;
    }
    if (flags.disconnect_request.load() || device.empty() || flags.update_mode.load())
        return;
    flags.probe_flag.store(true);
    push_poll(ring);
}

}  // namespace tavrin
