#pragma once
// What a page (or a secondary window, or tavrin-cli acting as one) works with: the
// amplifier's link as it stands (read only), its outbox for commands and its mirror,
// the shell's port for log lines and questions, the clock, and the little state the
// pages share between them. Everything but the reads goes through the session, which
// owns the link; offline (a preset file being edited) there is no session and the
// outbox takes nothing.
#include <atomic>
#include <string>

#include "link/amp_session.h"
#include "link/command_ring.h"
#include "link/field_mask.h"
#include "link/link_view.h"
#include "link/session_events.h"
#include "platform/time_source.h"
#include "protocol/amp_params.h"
#include "protocol/selected_device.h"

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
    const link_view& flags;
    const selected_device& device;
    command_ring& ring;
    amp_params& params;
    // The shell: log lines for the message list, message boxes.
    session_events& events;
    time_source& time;
    page_shared& shared;
    // The current directory at start-up; the preset folder lies beneath it.
    std::string work_dir;
    // The firmware transfer and the wrapper over the control library, where the
    // program that made the page has them (null otherwise).
    firmware_update* firmware = nullptr;
    dante_wrapper* wrapper = nullptr;
    // The amplifier's session, for what a page asks of the link (hold the poll, a
    // rename); null offline.
    amp_session* session = nullptr;
};

// A page or window that shows fields of the mirror: told which fields an answer
// changed, it reloads what it shows of them at once (its repaint follows).
class params_listener {
  public:
    virtual ~params_listener() = default;
    virtual void params_changed(field_mask changed) = 0;
};

// What decides how most pages show their own fields: the bridged mode and the
// speaker impedance.
constexpr field_mask layout_fields = field_bit(param_field::pbtl_mode) |
                                     field_bit(param_field::speaker_impedance) |
                                     field_bit(param_field::speaker_impedance_2);

// The context of a session's amplifier.
inline page_context session_context(amp_session& session, session_events& events, time_source& time,
                                    page_shared& shared, std::string work_dir = {}) {
    return {session.view(), session.device(),    session.outbox(), session.params(), events,  time,
            shared,         std::move(work_dir), nullptr,          nullptr,          &session};
}

}  // namespace tavrin
