#include "app/shell_actions.h"

#include "protocol/catalogue.h"

namespace tavrin {

choose_result choose_device(amp_session& session, const std::optional<std::string>& selected) {
    if (!selected) {
        if (!session.view().connect_flag())
            return choose_result::need_selection;
        // Connected and nothing chosen: the name stays as it is.
        return choose_result::chosen;
    }
    session.choose(*selected);
    return choose_result::chosen;
}

connect_outcome toggle_connect(amp_session& session, const std::optional<std::string>& selected) {
    connect_outcome out;
    const bool connected = session.view().connect_flag();
    if (!selected && !connected) {
        out.need_selection = true;
        return out;
    }
    if (connected) {
        session.close();
        return out;
    }
    session.choose(*selected);
    out.empty_list = true;
    return out;
}

void synchronize(amp_session& session) {
    session.synchronize();
}

void find_me(command_ring& ring) {
    ring.ring_push(cmd::find_me());
}

}  // namespace tavrin
