// Output that never arrives is no success: standard output on a full disk or a closed
// pipe makes tavrin-cli exit non-zero, whatever the command did. Each case runs in a
// child process, whose standard output is the broken one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#include "cli/cli_commands.h"
#include "cli/exit_codes.h"

namespace tavrin::cli {
namespace {

// Runs tavrin-cli ARGS in a child whose standard output `redirect` prepares; its exit
// status.
int exit_status(const std::vector<std::string>& args, const std::function<void()>& redirect) {
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
        redirect();
        const int quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, STDERR_FILENO);
        std::vector<std::string> words = {"tavrin-cli"};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        std::_Exit(run_cli(static_cast<int>(words.size()), argv.data()));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(cli_output, a_failed_write_to_standard_output_exits_non_zero) {
    const auto to = [](const char* path) {
        return [path] {
            const int fd = ::open(path, O_WRONLY);
            ::dup2(fd, STDOUT_FILENO);
        };
    };
    EXPECT_EQ(exit_status({"--version"}, to("/dev/null")), exit_done);
    EXPECT_EQ(exit_status({"--version"}, to("/dev/full")), exit_output_failed);
    EXPECT_EQ(exit_status({"set", "--names"}, to("/dev/full")), exit_output_failed);

    // A reader that has gone: no SIGPIPE death, a code of its own.
    EXPECT_EQ(exit_status({"--help"},
                          [] {
                              int p[2];
                              if (::pipe(p) != 0)
                                  std::_Exit(99);
                              ::close(p[0]);
                              ::dup2(p[1], STDOUT_FILENO);
                          }),
              exit_output_failed);
}

}  // namespace
}  // namespace tavrin::cli
