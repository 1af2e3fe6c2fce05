#pragma once
// Asks a ConMon server whether it answers: a connect request, its response, then a
// disconnect. For `scripts/lab status` (conmon-server --probe).
#include <cstdint>
#include <string>

namespace tavrin::sim {

// Empty when the server at 127.0.0.1:port answered within timeout_ms; otherwise why
// not.
std::string probe_conmon_server(uint16_t port, int timeout_ms);

}  // namespace tavrin::sim
