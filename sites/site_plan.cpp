#include "sites/site_plan.h"

#include <algorithm>

#include "utilities/name_rules.h"

namespace tavrin {
namespace {

// Whether the settings alone, sent by name from `now`, end where the target is.
bool reached_by_name(const std::vector<setting_request>& requests, const param_block& now,
                     const param_block& target) {
    param_block copy = now;
    for (const setting_result& r : apply_to_block(copy, requests)) {
        // Left alone although the amplifier holds another value: an earlier setting
        // changed it in the tool's copy only, so nothing would be sent for it.
        if (!r.outcome.ok || r.outcome.left_alone)
            return false;
    }
    return compare_settings(copy, target).empty();
}

}  // namespace

amp_target target_of(const site_amp& amp) {
    amp_target t;
    t.block = amp.preset_block;
    apply_to_block(t.block, amp.requests());
    t.location = amp.location;
    return t;
}

std::string location_of(const param_block& block) {
    const param_field_def& f = field_def(param_field::location);
    location_field bytes{};
    std::copy_n(block.begin() + f.offset, bytes.size(), bytes.begin());
    return location_text_of(bytes);
}

std::vector<diff_row> drift_of(const amp_target& target, const param_block& now) {
    std::vector<diff_row> rows = setting_rows(now, target.block);
    if (target.location && location_of(now) != *target.location)
        rows.push_back(
            {"location", "\"" + location_of(now) + "\"", "\"" + *target.location + "\""});
    return rows;
}

param_block block_to_write(const param_block& target, const param_block& now) {
    param_block out = now;
    std::copy_n(target.begin(), settings_bytes_end(), out.begin());
    const param_field_def& loc = field_def(param_field::location);
    std::copy_n(now.begin() + loc.offset, loc.width * loc.count, out.begin() + loc.offset);
    return out;
}

amp_plan plan_for(const amp_target& target, const param_block& now) {
    amp_plan plan;
    std::vector<setting_request> requests;
    bool by_name = true;
    for (const setting_difference& d : compare_settings(now, target.block)) {
        // A value that has no name (the limits of a power class this tool does not
        // know) can only be written whole.
        if (!d.second)
            by_name = false;
        else
            requests.push_back({d.def, *d.second});
    }
    if (!by_name || !requests.empty()) {
        if (by_name && reached_by_name(requests, now, target.block))
            plan.settings = std::move(requests);
        else
            plan.block = block_to_write(target.block, now);
    }
    if (target.location && location_of(now) != *target.location)
        plan.location = target.location;
    return plan;
}

}  // namespace tavrin
