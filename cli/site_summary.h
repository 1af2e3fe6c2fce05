#pragma once
// The lines of the amplifiers of one site command, and the summary after them.
#include <string>

#include "cli/site_steps.h"

namespace tavrin::cli {

class site_tally {
  public:
    // `drift_word`: what code 4 means here ("drifted", "disagrees").
    explicit site_tally(std::string drift_word) : drift_word_(std::move(drift_word)) {}
    // Prints the amplifier's lines together.
    void add(const amp_result& result);
    // "3 amplifiers: 2 ok, 1 drifted, 1 failed".
    std::string summary() const;
    int worst() const { return worst_; }

  private:
    std::string drift_word_;
    size_t ok_ = 0, drifted_ = 0, failed_ = 0;
    int worst_ = 0;
};

}  // namespace tavrin::cli
