#pragma once
// Commands that run until interrupted (watch, identify): Ctrl-C and SIGTERM end
// their loop, so that they stop the session cleanly instead of dying mid-send.

namespace tavrin::cli {

// From now on SIGINT and SIGTERM only set the flag.
void catch_interrupts();
// True once either arrived.
bool interrupted();

}  // namespace tavrin::cli
