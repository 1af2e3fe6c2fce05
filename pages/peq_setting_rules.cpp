#include "pages/peq_setting_rules.h"

#include "pages/item_text.h"
#include "pages/peq_channel.h"
#include "pages/peq_typed_text.h"

namespace tavrin::setting_rules {
namespace {

struct text_of : item_text_sink {
    std::string text;
    void set_item_text(int, const std::string& t) override { text = t; }
};

}  // namespace

std::optional<std::string> not_a_number(std::string_view value, bool whole) {
    if (strict_number(value, whole))
        return std::nullopt;
    return "'" + std::string(value) + "' is not " + (whole ? "a whole number" : "a number");
}

std::optional<std::string> not_on_off(std::string_view value) {
    if (value == "on" || value == "off")
        return std::nullopt;
    return "'" + std::string(value) + "' is neither on nor off";
}

std::string tenths(double v) {
    text_of out;
    set_item_tenths(out, 0, v);
    return out.text;
}

std::string hundredths(double v) {
    text_of out;
    set_item_hundredths(out, 0, v);
    return out.text;
}

channel_context::channel_context(const page_context& outer, amp_channel ch)
    : ctx{outer.flags, outer.device, outer.ring,     outer.params,   outer.events,
          outer.time,  shared,       outer.work_dir, outer.firmware, outer.wrapper} {
    select_channel(shared, static_cast<int>(ch));
}

}  // namespace tavrin::setting_rules
