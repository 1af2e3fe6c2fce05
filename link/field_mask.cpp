#include "link/field_mask.h"

#include <array>
#include <cstring>

namespace tavrin {
namespace {

// Which bytes of the block some named field covers.
constexpr std::array<bool, amp_params_size> named_coverage() {
    std::array<bool, amp_params_size> covered{};
    for (const param_field_def& f : param_field_table) {
        for (size_t i = 0; i < size_t{f.width} * f.count; ++i)
            covered[f.offset + i] = true;
    }
    return covered;
}
constexpr std::array<bool, amp_params_size> covered_bytes = named_coverage();

}  // namespace

field_mask changed_fields(const param_block& before, const param_block& after) {
    field_mask mask = 0;
    for (size_t i = 0; i < param_field_count; ++i) {
        const param_field_def& f = param_field_table[i];
        const size_t bytes = size_t{f.width} * f.count;
        if (std::memcmp(before.data() + f.offset, after.data() + f.offset, bytes) != 0)
            mask |= field_mask{1} << i;
    }
    for (size_t i = 0; i < amp_params_size; ++i) {
        if (!covered_bytes[i] && before[i] != after[i]) {
            mask |= unnamed_bytes;
            break;
        }
    }
    return mask;
}

}  // namespace tavrin
