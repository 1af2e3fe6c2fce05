// tavrin-cli show NAME [--raw] [--json]
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "cli/cli_args.h"
#include "cli/cli_output.h"
#include "cli/cli_session.h"
#include "cli/commands.h"
#include "cli/exit_codes.h"

namespace tavrin::cli {
namespace {

int run(const global_options& options, const std::vector<std::string>& words) {
    std::string name;
    bool json = false;
    bool raw = false;
    const std::string wrong =
        read_name_and_options("show", words, name, switches({{"--json", &json}, {"--raw", &raw}}));
    if (!wrong.empty())
        return bad_arguments(show_command, wrong);

    const auto started = std::chrono::steady_clock::now();
    cli_session session;
    session.log_to_stderr(options);
    device_json device{name, {}, {}};
    // A refusal is an object too when JSON was asked for.
    const auto refuse = [&](const std::string& error, int code) {
        if (json)
            std::printf("%s", show_error_json(device, error, code).c_str());
        std::fprintf(stderr, "tavrin-cli: %s\n", error.c_str());
        return code;
    };
    const reach_outcome reached = session.open(options, name);
    device.model = reached.model;
    if (!reached.ok()) {
        session.stop();
        if (json)
            std::printf("%s", show_error_json(device, reached.message, reached.code).c_str());
        return report_refusal(reached);
    }
    // The budget counts from the start; a lost ConMon server stops the clock.
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - started)
                           .count();
    session.wait_first_answer(static_cast<uint32_t>(
        std::max<long long>(0, cli_session::answer_wait_ms - static_cast<long long>(spent))));
    if (options.verbose && session.events().info_text()) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - started)
                            .count();
        std::lock_guard lock(output_mutex());
        std::fprintf(stderr, "first full answer after %lld ms\n", static_cast<long long>(ms));
    }
    const std::optional<std::string> info = session.events().info_text();
    const bool gated = session.flags().version_gate();
    const std::vector<field_value> fields = session.params().list_fields();
    const param_block block = session.params().snapshot();
    const std::string silent = session.no_answer(name);
    session.stop();
    if (!info)
        return refuse(silent, session.no_answer_code());
    device.firmware = firmware_date_text(block);
    if (gated) {
        // The refusal as the information text spells it ("Firmware Version Error" or
        // "FW Version Error"), with the firmware date that caused it.
        if (json) {
            std::printf("%s", show_error_json(device, *info, exit_firmware_gate, *info).c_str());
            std::fprintf(stderr, "tavrin-cli: %s\n", info->c_str());
        } else {
            std::printf("%s\n", info->c_str());
        }
        return exit_firmware_gate;
    }
    if (json) {
        std::printf("%s", show_json(*info, device, block, fields).c_str());
    } else if (raw) {
        std::printf("%s\n\n%s", info->c_str(), settings_lines(fields).c_str());
    } else {
        std::printf("%s", setting_lines(block).c_str());
    }
    return exit_done;
}

}  // namespace

const cli_command show_command{
    "show", "NAME [--raw] [--json]", "print an amplifier's settings",
    "  Connects to the amplifier NAME, waits up to 10 seconds for its full\n"
    "  parameter answer and prints every setting by its `set` name, one\n"
    "  NAME=VALUE per line, in the units the pages show: given to `set`, it\n"
    "  copies these settings to another amplifier. --raw prints the device\n"
    "  information and every field of the parameter block instead; --json one\n"
    "  object with both (\"info\", \"device\", \"model\", \"firmware\", \"settings\",\n"
    "  \"fields\"), and on a refusal an object with \"error\" and \"exit\".\n"
    "  Exit status: 0 connected, 2 no answer, 3 firmware version error, 7 no such\n"
    "  device, 8 not a TAVRIN-PA22, 9 ConMon server or avahi-daemon unreachable.\n",
    run};

}  // namespace tavrin::cli
