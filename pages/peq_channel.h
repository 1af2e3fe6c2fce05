#pragma once
// The channel shown by the Parametric EQ and Filter pages, shared by both (and set to
// channel 2 by PBTL mode on the Power page).
#include "app/page_context.h"
#include "protocol/amp_params.h"

namespace tavrin {

// 2, or 1 for anything else.
inline amp_channel selected_channel(const page_shared& shared) {
    return shared.selected_channel.load() == 2 ? amp_channel::ch2 : amp_channel::ch1;
}

inline void select_channel(page_shared& shared, int channel) {
    shared.selected_channel.store(channel == 2 ? 2 : 1);
}

}  // namespace tavrin
