// tavrin-cli: the configuration tool's core without a window.
#include "cli/cli_commands.h"

int main(int argc, char** argv) {
    return tavrin::cli::run_cli(argc, argv);
}
