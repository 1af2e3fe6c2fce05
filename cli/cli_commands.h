#pragma once
// The entry of tavrin-cli: options, help, version, then the command.
namespace tavrin::cli {

// Parses, prints help, version or errors, and runs the command; the exit status.
int run_cli(int argc, char** argv);

}  // namespace tavrin::cli
