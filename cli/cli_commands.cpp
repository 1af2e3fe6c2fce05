#include "cli/cli_commands.h"

#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/bash_completion.h"
#include "cli/cli_args.h"
#include "cli/exit_codes.h"

namespace tavrin::cli {

namespace {

int run_words(int argc, char** argv) {
    std::vector<std::string> words(argv + (argc > 0 ? 1 : 0), argv + argc);
    const command_line line = parse_command_line(words);
    if (!line.error.empty()) {
        std::fprintf(stderr, "tavrin-cli: %s\n%s", line.error.c_str(), usage_text().c_str());
        return exit_bad_arguments;
    }
    const cli_command* command = find_command(line.command);
    if (line.help || (command != nullptr && wants_help(line.words))) {
        std::printf("%s", command ? command_usage(*command).c_str() : usage_text().c_str());
        return exit_done;
    }
    if (line.bash_completion) {
        std::printf("%s", bash_completion_script().c_str());
        return exit_done;
    }
    if (line.version) {
        std::printf("%s", version_text().c_str());
        return exit_done;
    }
    if (command == nullptr)
        return exit_bad_arguments;
    // Avahi's DNS-SD compatibility library warns on first use unless told not to.
    setenv("AVAHI_COMPAT_NOWARN", "1", 0);
    return command->run(line.options, line.words);
}

}  // namespace

int run_cli(int argc, char** argv) {
    // A closed pipe is an error to report, not a signal that ends the tool mid-way.
    ::signal(SIGPIPE, SIG_IGN);
    const int code = run_words(argc, argv);
    // Output that never arrived is no success, whatever the command did.
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        const int err = errno;
        std::fprintf(stderr, "tavrin-cli: cannot write to standard output%s%s\n",
                     err != 0 ? ": " : "", err != 0 ? std::strerror(err) : "");
        return exit_output_failed;
    }
    return code;
}

}  // namespace tavrin::cli
