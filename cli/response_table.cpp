#include "cli/response_table.h"

#include <cstdio>

#include "pages/channel_response.h"

namespace tavrin::cli {

std::string response_table(const param_block& block, bool csv) {
    const channel_response_curve ch1 = channel_response(load_channel_data(block, amp_channel::ch1));
    const channel_response_curve ch2 = channel_response(load_channel_data(block, amp_channel::ch2));
    std::string out = csv ? "frequency_hz,ch1_db,ch2_db\n" : "";
    char line[96];
    for (size_t i = 0; i < ch1.size(); ++i) {
        std::snprintf(line, sizeof line, csv ? "%.2f,%.3f,%.3f\n" : "%10.2f %9.3f %9.3f\n",
                      ch1[i].freq, ch1[i].db, ch2[i].db);
        out += line;
    }
    return out;
}

}  // namespace tavrin::cli
