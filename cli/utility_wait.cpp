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
    if (session.flags().version_gate()) {
        // Only the poll passes the gate: nothing else would be sent.
        std::fprintf(stderr, "tavrin-cli: %s: %s; nothing sent\n", name.c_str(),
                     session.events().info_text()->c_str());
        return exit_firmware_gate;
    }
    return exit_done;
}

bool wait_ring_drained(cli_session& session, uint32_t ms) {
    return session.amp().wait_outbox_empty(ms);
}

}  // namespace tavrin::cli
