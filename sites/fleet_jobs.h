#pragma once
// The work of one amplifier of a fleet, with no printing of its own: tavrin-cli and
// the Amplifiers window run the same jobs through fleet_runner and show their results
// each in their own way. A job takes a connection whose link open_job() opened (or
// opens it itself where said), tells its steps and progress through the job_report,
// and ends in one amp_result: a code (the tool's exit codes), the lines to show (the
// result line last, "Amp-1: ok") and the fields for JSON.
//
// Every wait is bounded, and a job checks job_report::interrupted() only at points
// where stopping leaves the amplifier whole: between frames, and in a firmware
// transfer only once a page it can resume from is complete.
#include <cstdint>
#include <memory>
#include <string>

#include "app/amp_connection.h"
#include "app/fleet_runner.h"
#include "firmware/firmware_image.h"
#include "protocol/amp_params.h"

namespace tavrin {

// The codes a job ends with: the tool's exit codes (tavrin-cli checks they agree).
namespace job_code {
constexpr int done = 0;
constexpr int no_answer = 2;
constexpr int firmware_gate = 3;
constexpr int disagrees = 4;
constexpr int update_failed = 5;
constexpr int update_timeout = 6;
constexpr int unreachable = 9;
constexpr int interrupted = 130;
}  // namespace job_code

// How long a job waits for a full answer: the first one, and the one after its writes.
constexpr uint32_t job_answer_wait_ms = 10000;

// Opens the link to DEVICE (the device's own spelling; whoever calls it made sure the
// server knows it and that it is a TAVRIN-PA22) and waits for the first full answer.
// done, or no_answer / unreachable (the ConMon server lost and not back) with the
// result line in `line`; with `gate`, a refused firmware ends it too (firmware_gate).
int open_job(amp_connection& amp, const std::string& device, job_report& report, bool gate,
             std::string& line, uint32_t wait_ms = job_answer_wait_ms);

// Over an open link: the block of a preset file (read once for the whole fleet) goes
// to the amplifier as one parameter write, as the window's Load does (past the
// firmware gate); then the full answer is asked at once and compared with it, byte
// field by field. done ("NAME: loaded, ok"), disagrees with the fields that differ,
// no_answer, unreachable (the server lost while it was sent), firmware_gate (the
// answer says the firmware is refused), interrupted (nothing sent).
amp_result load_preset_job(amp_connection& amp, const std::string& name, const param_block& block,
                           job_report& report);

struct firmware_job_options {
    // After a finished transfer: how long the amplifier may take to answer again.
    uint32_t restart_wait_ms = 20000;
    // After an interrupt: how long the transfer may go on to reach a whole page.
    uint32_t safe_point_ms = 15000;
};

// Over an open link: updates the amplifier with the image (read once, shared by all
// the jobs). The transfer asks the amplifier first whether it holds part of this
// image and resumes there, so a second run after an interruption never starts an
// amplifier over. done (with the new firmware date), update_failed, update_timeout,
// no_answer (nothing sent: the link was gone), interrupted (stopped at a page the next
// run resumes from). The report's fraction follows the blocks.
amp_result firmware_job(amp_connection& amp, const std::string& name,
                        const std::shared_ptr<const firmware_image>& image, job_report& report,
                        const firmware_job_options& options = {});

}  // namespace tavrin
