#pragma once
// What `apply`, `apply --check` and `capture` do with one amplifier, over a session
// whose runtime is up. Each step reads the amplifier, works from a plan made by the
// pure functions of sites/, and returns its exit code and lines instead of printing
// them, so that several can run side by side and their lines stay together.
#include <string>
#include <vector>

#include "cli/cli_session.h"
#include "sites/site_file.h"
#include "sites/site_write.h"

namespace tavrin::cli {

struct amp_result {
    int code = 0;
    // The result line ("Stage-L: ok: 2 settings sent"), then indented details.
    std::vector<std::string> lines;
};

// Sends nothing: the settings and location that drifted from the site, as diff
// prints them (the amplifier's value, then the site's). exit_disagrees on drift.
amp_result check_amplifier(cli_session& session, const site_amp& amp);

// Sends only what differs (sites/site_plan.h says how), then asks for the full
// answer and compares it with the target. exit_disagrees when it still differs.
amp_result apply_amplifier(cli_session& session, const site_amp& amp);

// Saves the amplifier's block as the preset file `preset_path` (written whole or
// not at all) and tells what the site file says of it in `captured`.
amp_result capture_amplifier(cli_session& session, const std::string& name,
                             const std::string& preset_path, const std::string& preset_name,
                             captured_amp& captured);

}  // namespace tavrin::cli
