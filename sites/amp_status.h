#pragma once
// One amplifier of a venue at a glance: the row `tavrin-cli status` prints and the
// Amplifiers window shows, made from its parameter block (or from why there is none).
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/amp_params.h"

namespace tavrin {

struct amp_status_row {
    std::string name;
    std::string model;
    std::string firmware;  // "21.11.17.01"
    bool refused = false;  // the firmware gate
    std::string location;
    std::string master, mute, route, power_class, pbtl, speaker;  // as `show` prints them
    uint32_t answer_ms = 0;  // from the start of its connection to its first answer
    // Why there is no block: "no answer", "not found", ... (empty when it answered).
    std::string error;
    int code = 0;
};

// The row of an amplifier that answered with `block`.
amp_status_row status_row_of(const std::string& name, const std::string& model,
                             const param_block& block, bool refused, uint32_t answer_ms);

// The columns, and a row's cells in their order.
const std::vector<std::string>& status_columns();
std::vector<std::string> status_cells(const amp_status_row& row);

// The rows as an aligned table, sorted by name (case-blind), with a heading line;
// `stale` marks rows whose amplifier stopped answering since the last table.
std::vector<std::string> status_table(std::vector<amp_status_row> rows,
                                      const std::vector<std::string>& stale = {});

}  // namespace tavrin
