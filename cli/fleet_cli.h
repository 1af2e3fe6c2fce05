#pragma once
// What every command over many amplifiers shares: the target (NAME[,NAME...] or
// --all, --jobs N, --json), one Discovery for --all, the per-amplifier opening
// (asking the server first, then connecting and waiting for the first full answer),
// and the output: one result line per amplifier as it ends, a live progress line on a
// terminal, a summary at the end, or one JSON object per amplifier per line.
#include <string>
#include <vector>

#include "app/fleet_runner.h"
#include "cli/cli_args.h"
#include "cli/cli_session.h"

namespace tavrin::cli {

struct fleet_target {
    bool all = false;
    std::vector<std::string> names;
    unsigned jobs = 0;  // 0: the command's default
    bool json = false;
};

// The fleet options (--all, --jobs N, --json) and then whatever `more` reads.
option_reader fleet_options(fleet_target& target, option_reader more = {});
// NAME[,NAME...] into target.names (each checked, each once, in order); the message
// when it names no device.
std::string read_targets(const std::string& word, fleet_target& target);
// Empty when the target names amplifiers (some names, or --all, not both).
std::string check_target(const std::string& command, const fleet_target& target);

// How a job connects to its amplifier: unless the Discovery listed it (found), the
// server is asked for it first (7, 8, 9 before anything is sent); then the link opens
// and the first full answer is awaited (2, 9), and refused firmware ends it (3) unless
// `gate` is false (a preset write or a firmware update goes to old firmware too). 0 when
// the amplifier is ready, else the code, with the result line in `line`.
int open_amplifier(cli_session& session, amp_connection& amp, const std::string& name, bool found,
                   job_report& report, std::string& line, bool gate = true);

// The code's word in result lines and the summary ("ok", "no answer", ...).
std::string result_word(int code);
// "200 amplifiers: 198 ok, 1 no answer (Amp-17), 1 disagrees (Amp-90)".
std::string summary_line(const std::vector<amp_result>& results);
// One result as a JSON object on one line.
std::string result_json(const amp_result& result);

// Starts the runtime (a Discovery for --all), runs `job` over the target `jobs` at a
// time (the target's --jobs, else `default_jobs`), prints as it goes, and returns the
// highest code. Ctrl-C stops new jobs, lets the running ones reach a safe point and
// ends with 130 at least.
int run_fleet(
    const global_options& options, const fleet_target& target, unsigned default_jobs,
    const std::function<amp_result(cli_session& session, amp_connection& amp,
                                   const std::string& name, bool found, job_report& report)>& job);

// As run_fleet, printing nothing of its own: `on_progress` hears the state every
// 200 ms on the calling thread (a command that draws its own output).
int run_fleet_quiet(
    const global_options& options, const fleet_target& target, unsigned default_jobs,
    const std::function<amp_result(cli_session& session, amp_connection& amp,
                                   const std::string& name, bool found, job_report& report)>& job,
    const std::function<void(const fleet_runner::progress&)>& on_progress);

}  // namespace tavrin::cli
