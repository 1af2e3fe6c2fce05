#pragma once
// What a site file asks of one amplifier, how far the amplifier is from it, and what
// to send to bring it there. Pure functions: the command line reads the amplifier and
// sends the plan.
//
// The plan sends only what differs. Settings go by name through the page logic, as
// `set` sends them, when that reaches the target exactly; that is checked first on a
// copy of the amplifier's block. Where it cannot (a value the pages cannot give, such
// as the factory low-pass at 20000 Hz; a value the page logic changes in the tool's
// copy only, such as a hold raised by the attack) the plan writes the whole block
// once instead, as a preset load does: the target's settings, but the amplifier's own
// location, firmware date and the bytes this tool does not interpret. The location
// goes by the location command, and only when the site names one.
#include <optional>
#include <string>
#include <vector>

#include "pages/settings.h"
#include "sites/block_rows.h"
#include "sites/site_file.h"

namespace tavrin {

struct amp_target {
    param_block block{};                  // the preset with the site's settings on top
    std::optional<std::string> location;  // nothing: the site leaves the location alone
};
amp_target target_of(const site_amp& amp);

// What the amplifier holds otherwise than its target, in `show`'s order: the
// amplifier's value first, then the target's; the location last, quoted, when the
// site names one.
std::vector<diff_row> drift_of(const amp_target& target, const param_block& now);

struct amp_plan {
    // The settings to send by name, with the target's values, in `show`'s order.
    std::vector<setting_request> settings;
    // Or the whole block to write (see block_to_write).
    std::optional<param_block> block;
    std::optional<std::string> location;
    bool empty() const { return settings.empty() && !block && !location; }
};
amp_plan plan_for(const amp_target& target, const param_block& now);

// The block a whole write sends: the target's settings (every byte up to the end of
// the last setting field) with the amplifier's own location, and the amplifier's own
// bytes beyond them (those the tool does not interpret, and the firmware date).
param_block block_to_write(const param_block& target, const param_block& now);

// The location a block holds, as text.
std::string location_of(const param_block& block);

}  // namespace tavrin
