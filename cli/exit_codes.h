#pragma once
// The exit status of every tavrin-cli command.
namespace tavrin::cli {

constexpr int exit_done = 0;
constexpr int exit_differs = 1;           // `diff`: the two sides hold different settings
constexpr int exit_no_answer = 2;         // the device exists and stays silent
constexpr int exit_firmware_gate = 3;     // its firmware is too old for this tool
constexpr int exit_disagrees = 4;         // the amplifier shows other values than were set
constexpr int exit_update_failed = 5;     // "Update Failed."
constexpr int exit_update_timeout = 6;    // "Update timeout."
constexpr int exit_no_such_device = 7;    // the named device is not on the network
constexpr int exit_not_an_amplifier = 8;  // the device is not a TAVRIN-PA22
constexpr int exit_unreachable = 9;       // the ConMon server or the DNS-SD daemon
constexpr int exit_bad_arguments = 64;    // nothing was sent
constexpr int exit_bad_input_file = 65;   // nothing was sent
constexpr int exit_output_failed = 74;    // standard output could not be written
constexpr int exit_interrupted = 130;     // Ctrl-C: what was under way reached a safe point

}  // namespace tavrin::cli
