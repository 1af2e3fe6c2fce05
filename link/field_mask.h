#pragma once
// Which fields of the parameter block an answer changed: one bit per param_field, so a
// view reloads only when something it shows is among them.
#include <cstdint>

#include "protocol/amp_params.h"

namespace tavrin {

using field_mask = uint64_t;
static_assert(param_field_count < 64, "one bit per field, and one for the rest");

constexpr field_mask field_bit(param_field f) {
    return field_mask{1} << static_cast<unsigned>(f);
}
// Bytes that no named field covers (the block's reserved and unread parts).
constexpr field_mask unnamed_bytes = field_mask{1} << 63;
constexpr field_mask named_fields = (field_mask{1} << param_field_count) - 1;
constexpr field_mask all_fields = named_fields | unnamed_bytes;

// The fields from `first` to `last` (table order), both included.
constexpr field_mask field_range(param_field first, param_field last) {
    field_mask m = 0;
    for (unsigned i = static_cast<unsigned>(first); i <= static_cast<unsigned>(last); ++i)
        m |= field_mask{1} << i;
    return m;
}

// The fields whose bytes differ between two blocks (unnamed_bytes for the rest).
field_mask changed_fields(const param_block& before, const param_block& after);

}  // namespace tavrin
