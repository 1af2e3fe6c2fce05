#pragma once
// The order of a sorted list box or drop-down, as the templates' sorted controls keep
// their strings: without regard to case first, then by code point. The preset listing
// sorts the same way, so its indexes are the drop-down's.
#include <string_view>

namespace tavrin {

// True when UTF-8 text `a` sorts before `b`.
bool sorts_before(std::string_view a, std::string_view b);

}  // namespace tavrin
