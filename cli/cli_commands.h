#pragma once
// The three commands of tavrin-cli; each returns the process exit status.
#include <iosfwd>

#include "cli/cli_args.h"

namespace tavrin::cli {

constexpr int show_connected = 0;
constexpr int show_no_answer = 2;
constexpr int show_gated = 3;
constexpr uint32_t show_wait_ms = 10000;

int run_discover(const cli_args& args);
int run_show(const cli_args& args);
int run_watch(const cli_args& args);

// Parses, prints help, version or errors, and runs the command.
int run_cli(int argc, char** argv);

}  // namespace tavrin::cli
