#include "cli/site_summary.h"

#include <algorithm>
#include <cstdio>

#include "cli/exit_codes.h"

namespace tavrin::cli {

void site_tally::add(const amp_result& result) {
    {
        std::lock_guard lock(output_mutex());
        for (const std::string& line : result.lines)
            std::fprintf(stdout, "%s\n", line.c_str());
        std::fflush(stdout);
    }
    if (result.code == exit_done)
        ++ok_;
    else if (result.code == exit_disagrees)
        ++drifted_;
    else
        ++failed_;
    worst_ = std::max(worst_, result.code);
}

std::string site_tally::summary() const {
    const size_t all = ok_ + drifted_ + failed_;
    std::string out = std::to_string(all) + (all == 1 ? " amplifier: " : " amplifiers: ") +
                      std::to_string(ok_) + " ok";
    if (drifted_)
        out += ", " + std::to_string(drifted_) + " " + drift_word_;
    if (failed_)
        out += ", " + std::to_string(failed_) + " failed";
    return out;
}

}  // namespace tavrin::cli
