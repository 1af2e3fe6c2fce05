#pragma once
// The command line of tavrin-cli:
//   tavrin-cli [--iface P[,S]] [--verbose] discover [--brand model|maker|all]
//   tavrin-cli [--iface P[,S]] [--verbose] show NAME [--json]
//   tavrin-cli [--iface P[,S]] [--verbose] watch NAME [--seconds S]
//   tavrin-cli --help | --version, and COMMAND --help
#include <cstdint>
#include <string>
#include <vector>

#include "app/core/brand_rule.h"

namespace tavrin::cli {

enum class command { none, discover, show, watch };

struct cli_args {
    command what = command::none;
    uint32_t primary = 0;
    uint32_t secondary = 0;
    bool verbose = false;
    bool help = false;
    bool version = false;
    brand_rule brand = brand_rule::model;
    std::string name;
    bool json = false;
    uint32_t seconds = 0;  // watch: 0 = until interrupted
    std::string error;     // non-empty: the message to print, exit with usage_exit
};

constexpr int usage_exit = 64;
constexpr size_t max_name_length = 31;

// `exists` tells whether a network interface index exists (if_indextoname by default).
cli_args parse_args(const std::vector<std::string>& words,
                    bool (*exists)(uint32_t index) = nullptr);

std::string usage_text(command what);
std::string version_text();

}  // namespace tavrin::cli
