#pragma once
// What the tool runs besides its windows and its amplifier sessions: the wrapper over
// the control library (one Dante runtime, one ConMon client), the directory that
// hands every received body to the session of its sender, the reports of lost and
// restored services, and the device search. The window drives one session over it,
// tavrin-cli one or many: there is a single path to the amplifiers.
#include <string>

#include "app/discovery_flow.h"
#include "app/service_report.h"
#include "link/amp_session.h"
#include "link/session_directory.h"
#include "link/session_events.h"
#include "qxapi/dante_wrapper.h"
#include "qxapi/library_calls.h"

namespace tavrin {

class tool_core {
  public:
    // `shell` hears the core's own lines (a lost server, the search); `time` drives
    // the sessions and the wrapper's waits. Both must outlive the core.
    explicit tool_core(session_events& shell, time_source& time = system_time());
    ~tool_core();

    tool_core(const tool_core&) = delete;
    tool_core& operator=(const tool_core&) = delete;

    // The parts a session of this core is made of (its sends go through the wrapper).
    session_parts session_parts_for();
    // A session joins (it hears its amplifier's bodies) or leaves the directory.
    void add(amp_session& session) { sessions.add(session); }
    void remove(amp_session& session) { sessions.remove(session); }

    // Ends the runtime; the sessions may go after this.
    void stop();

    time_source& time;
    library_calls library;
    dante_wrapper wrapper;
    session_directory sessions;
    // Hears of a lost or restored ConMon server and a lost avahi-daemon; made before
    // the wrapper's runtime starts, whose socket thread calls it.
    service_report services;
    wrapper_discovery discovery;
    // The current directory at start-up; the preset folder lies beneath it.
    std::string work_dir;
};

}  // namespace tavrin
