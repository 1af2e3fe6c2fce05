#pragma once
// What one amplifier's session tells whoever shows it: the window (queued to its own
// thread), tavrin-cli (printed, or waited for), a fleet (collected), tests
// (recorded). The session raises them on its own thread and never while it holds a
// lock. `ask` may block that thread until the question is answered (the window's
// message boxes); listeners that cannot ask anyone answer at once.
//
// Every method has a do-nothing default, so a listener names only what it needs.
#include <cstdint>
#include <string>

#include "link/field_mask.h"
#include "platform/question.h"

namespace tavrin {

enum class answer_kind {
    parameters,        // a full parameter answer (changed or not)
    location,          // the location answer
    wrong_size,        // a parameter answer of another size: the firmware is refused
    refused_firmware,  // a full answer from firmware older than the tool allows
};

// Why an open link closed.
enum class close_reason {
    asked,        // Disconnect, or another device chosen
    silent,       // four polls in a row went unanswered
    server_lost,  // the ConMon server went away
};

class session_events {
  public:
    virtual ~session_events() = default;

    // A line for the message list; the receiver adds the time stamp.
    virtual void log_line(const std::string& /*text*/) {}
    // The link opened ("Connected to ...") or closed ("Disconnected from ...").
    virtual void link_changed(bool /*open*/) {}
    // An open link closed without being asked to: the amplifier, or the way to it,
    // went away. Comes after link_changed(false).
    virtual void lost(close_reason /*why*/) {}
    // An answer was taken over.
    virtual void answered(answer_kind /*kind*/) {}
    // Fields of the mirror changed (by an answer or by the session itself).
    virtual void params_changed(field_mask /*changed*/) {}
    // The device information text is now `text`.
    virtual void info_changed(const std::string& /*text*/) {}
    // The firmware gate closed (refused) or opened.
    virtual void gated(bool /*refused*/) {}
    // A frame of the outbox went out.
    virtual void frame_sent() {}
    // The ConMon server, the way to the amplifier, went away (an open link closes
    // with it) or is back.
    virtual void server_changed(bool /*reachable*/) {}

    // A firmware transfer: running (the window takes no input) or ended, how far it
    // has come (blocks sent of total), and the status text of the Update page.
    virtual void update_running(bool /*running*/) {}
    virtual void update_progress(uint32_t /*position*/, uint32_t /*total*/) {}
    virtual void update_status(const std::string& /*text*/) {}

    // A message box; blocks until answered. Nobody to ask: the safe answer.
    virtual box_answer ask(const question& q) { return default_answer(q.buttons); }
};

}  // namespace tavrin
