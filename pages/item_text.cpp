#include "pages/item_text.h"

#include <charconv>

namespace tavrin {
namespace {

// Large enough for any double in fixed notation (about 310 digits before the point).
constexpr size_t text_capacity = 400;

// Fixed notation with `digits` decimals, always with a point: the process locale
// (which Qt sets from the environment) must not turn 3.5 into "3,5".
std::string fixed(double value, int digits) {
    char text[text_capacity];
    const auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, digits);
    return std::string(text, r.ptr);
}

}  // namespace

void set_item_int(item_text_sink& dialog, int item, int value) {
    dialog.set_item_text(item, std::to_string(value));
}

void set_item_tenths(item_text_sink& dialog, int item, double value) {
    dialog.set_item_text(item, fixed(value, 1));
}

void set_item_hundredths(item_text_sink& dialog, int item, double value) {
    dialog.set_item_text(item, fixed(value, 2));
}

}  // namespace tavrin
