#include "app/core/shell_actions.h"

#include "app/core/poll_tick.h"

namespace tavrin {

choose_result choose_device(shell_refs shell, const std::optional<std::string>& selected) {
    if (!selected) {
        if (!shell.flags.connect_flag.load())
            return choose_result::need_selection;
        // Connected and nothing chosen: the name stays as it is.
        return choose_result::chosen;
    }
    shell.device.set_name(*selected);
    shell.flags.connect_flag.store(true);
    return choose_result::chosen;
}

connect_outcome toggle_connect(shell_refs shell, const std::optional<std::string>& selected) {
    connect_outcome out;
    if (!selected && !shell.flags.connect_flag.load()) {
        out.need_selection = true;
        return out;
    }
    if (selected)
        shell.device.set_name(*selected);
    const bool was_connected = shell.flags.connect_flag.load();
    shell.flags.connect_flag.store(!was_connected);
    if (was_connected)
        shell.flags.disconnect_request.store(true);
    else
        out.empty_list = true;
    return out;
}

void synchronize(shell_refs shell) {
    shell.params.clear_params();
    push_poll(shell.ring);
    shell.flags.missed_polls.store(0);
}

void find_me(command_ring& ring) {
    ring.ring_push(cmd::find_me());
}

}  // namespace tavrin
