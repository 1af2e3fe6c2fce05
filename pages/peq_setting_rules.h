#pragma once
// What the Parametric EQ and Filter settings by name share: the checks of a typed
// word, and the page context in which a setting of channel 1 or 2 is applied without
// moving the window's selected channel.
#include <optional>
#include <string>
#include <string_view>

#include "app/core/page_context.h"
#include "pages/graph_records.h"
#include "pages/page_view.h"
#include "pages/settings.h"

namespace tavrin::setting_rules {

// The error text when the word is not a (whole) number.
std::optional<std::string> not_a_number(std::string_view value, bool whole);
// The error text when the word is neither "on" nor "off".
std::optional<std::string> not_on_off(std::string_view value);

inline setting_outcome refused(std::string error) {
    return {false, {}, std::move(error)};
}

// "%.1f" and "%.2f" as the edits show them.
std::string tenths(double v);
std::string hundredths(double v);

// `ctx` with a selected channel of its own.
struct channel_context {
    page_shared shared;
    page_context ctx;

    channel_context(const page_context& outer, amp_channel ch);
};

}  // namespace tavrin::setting_rules
