#pragma once
// The wrapper's log lines (level 2) for the Audinate status messages it decodes, made
// from the decoded facts.
#include <string>
#include <vector>

#include "qxapi/audinate_facts.h"

namespace tavrin {

// "> Audinate message: NAME (0x....)"
std::string audinate_head_line(const audinate_head& head);

std::vector<std::string> audinate_lines(const interface_facts& facts);
std::vector<std::string> audinate_lines(const srate_facts& facts);
std::vector<std::string> audinate_lines(const manf_facts& facts);

}  // namespace tavrin
