#pragma once
// The one place that tells the user why a send did not go out: the two refusals of
// the hex-text step become message boxes; library failures are already in the
// wrapper's log.
#include "link/session_events.h"
#include "protocol/control_sender.h"

namespace tavrin {

void report_send(const send_result& result, session_events& events);

}  // namespace tavrin
