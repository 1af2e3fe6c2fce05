#include "cli/utility_wait.h"

#include <cstdio>

#include "cli/exit_codes.h"

namespace tavrin::cli {

int open_and_wait_answer(cli_session& session, const global_options& options,
                         const std::string& name) {
    if (const reach_outcome reached = session.open(options, name); !reached.ok())
        return report_refusal(reached);
    if (!session.wait_first_answer(cli_session::answer_wait_ms)) {
        std::fprintf(stderr, "tavrin-cli: %s\n", session.no_answer(name).c_str());
        return session.no_answer_code();
    }
    if (session.flags().version_gate.load()) {
        // Only the poll passes the gate: nothing else would be sent.
        std::fprintf(stderr, "tavrin-cli: %s: %s; nothing sent\n", name.c_str(),
                     session.events().info_text()->c_str());
        return exit_firmware_gate;
    }
    return exit_done;
}

bool wait_ring_drained(cli_session& session, command_ring& ring, uint32_t ms) {
    const uint32_t start = system_time().now_ms();
    while (ring.waiting() > 0) {
        if (system_time().now_ms() - start >= ms)
            return false;
        session.pump(10);
    }
    return true;
}

}  // namespace tavrin::cli
