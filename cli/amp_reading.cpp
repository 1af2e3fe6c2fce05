#include "cli/amp_reading.h"

#include "cli/exit_codes.h"

namespace tavrin::cli {

int start_session(cli_session& session, const global_options& options) {
    session.log_to_stderr(options);
    session.start_runtime(options.primary, options.secondary);
    if (const reach_outcome up = session.check_services(); !up.ok())
        return report_refusal(up);
    return exit_done;
}

amp_reading read_amplifier(cli_session& session, const std::string& name) {
    amp_reading out;
    if (const reach_outcome reached = session.reach(name); !reached.ok()) {
        out.code = reached.code;
        out.message = reached.message;
        return out;
    }
    const uint64_t before = session.events().answers();
    const uint64_t corrupted = session.amp().corrupted_answers();
    if (!session.switch_to(name) || !session.wait_answer(before, cli_session::answer_wait_ms)) {
        out.code = exit_no_answer;
        out.message =
            name + ": no answer" + corrupted_note(session.amp().corrupted_answers() - corrupted);
        return out;
    }
    out.info = session.events().info_text().value_or("");
    if (session.flags().version_gate()) {
        out.code = exit_firmware_gate;
        out.message = name + ": " + (out.info.empty() ? "firmware version error" : out.info) +
                      ", nothing sent";
        return out;
    }
    out.block = session.params().snapshot();
    return out;
}

}  // namespace tavrin::cli
