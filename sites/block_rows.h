#pragma once
// Two parameter blocks side by side, one row for each thing they hold differently:
// by setting (in `show`'s order and grammar) or by every field of the block.
#include <string>
#include <vector>

#include "protocol/amp_params.h"

namespace tavrin {

// The setting fields end with the last power limit; the bytes after them (up to the
// firmware date) are the amplifier's own, which the tool does not interpret.
constexpr size_t settings_bytes_end() {
    const param_field_def& last = field_def(param_field::poeplusplus_power_limit_hi);
    return size_t{last.offset} + size_t{last.width} * last.count;
}
static_assert(settings_bytes_end() == 176);

struct diff_row {
    std::string name;
    std::string first;  // "-": the block gives no value
    std::string second;
};

// The settings the two blocks hold differently.
std::vector<diff_row> setting_rows(const param_block& first, const param_block& second);
// The named fields of the block that differ, arrays as comma-separated values.
std::vector<diff_row> field_rows(const param_block& first, const param_block& second);
// One line per row, "ch1.level  -3.5  0.0", the columns as wide as their widest entry
// and two blanks apart; each line starts with `lead`.
std::string aligned_rows(const std::vector<diff_row>& rows, const std::string& lead = {});

}  // namespace tavrin
