// The utility commands of tavrin-cli refuse bad words before anything is sent.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "cli/cli_command.h"
#include "cli/exit_codes.h"

namespace tavrin::cli {
namespace {

int run(const char* command, std::vector<std::string> words) {
    const cli_command* c = find_command(command);
    EXPECT_NE(c, nullptr) << command;
    return c ? c->run(global_options{}, words) : -1;
}

TEST(utility_commands, rename_refuses_names_the_device_would_not_take) {
    EXPECT_EQ(run("rename", {}), exit_bad_arguments);
    EXPECT_EQ(run("rename", {"Amp-2"}), exit_bad_arguments);
    EXPECT_EQ(run("rename", {"Amp-2", "New-1", "extra"}), exit_bad_arguments);
    EXPECT_EQ(run("rename", {std::string(32, 'a'), "New-1"}), exit_bad_arguments);
    for (const char* bad :
         {"-New", "New-", "New 1", "New_1", "", "0123456789012345678901234567890x"})
        EXPECT_EQ(run("rename", {"Amp-2", bad}), exit_bad_arguments) << bad;
    EXPECT_EQ(run("rename", {"Amp-2", "New-1", "--force"}), exit_bad_arguments);
}

TEST(utility_commands, location_fits_sixteen_latin1_characters) {
    EXPECT_EQ(run("location", {"Amp-2"}), exit_bad_arguments);
    EXPECT_EQ(run("location", {"Amp-2", "Hall", "A"}), exit_bad_arguments);
    EXPECT_EQ(run("location", {"Amp-2", "Seventeen chars17"}), exit_bad_arguments);
    EXPECT_EQ(run("location", {"Amp-2", "\xE2\x82\xAC uro"}), exit_bad_arguments);
    EXPECT_EQ(run("location", {"Amp-2", "Hall A", "--now"}), exit_bad_arguments);
    EXPECT_EQ(run("location", {std::string(32, 'a'), "Hall A"}), exit_bad_arguments);
}

TEST(utility_commands, reset_without_a_terminal_needs_yes) {
    // Standard input from /dev/null: nobody can be asked.
    const int saved = ::dup(STDIN_FILENO);
    const int null = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(null, 0);
    ::dup2(null, STDIN_FILENO);
    const int status = run("reset", {"Amp-2"});
    ::dup2(saved, STDIN_FILENO);
    ::close(null);
    ::close(saved);
    EXPECT_EQ(status, exit_bad_arguments);
    EXPECT_EQ(run("reset", {}), exit_bad_arguments);
    EXPECT_EQ(run("reset", {"Amp-2", "--force"}), exit_bad_arguments);
    EXPECT_EQ(run("reset", {"Amp-2", "Amp-3", "--yes"}), exit_bad_arguments);
}

TEST(utility_commands, identify_seconds_are_bounded) {
    EXPECT_EQ(run("identify", {}), exit_bad_arguments);
    for (const char* bad : {"0", "3601", "ten", "-1"})
        EXPECT_EQ(run("identify", {"Amp-2", "--seconds", bad}), exit_bad_arguments) << bad;
    EXPECT_EQ(run("identify", {"Amp-2", "--seconds"}), exit_bad_arguments);
}

TEST(utility_commands, interfaces_takes_no_words) {
    EXPECT_EQ(run("interfaces", {"lo"}), exit_bad_arguments);
}

}  // namespace
}  // namespace tavrin::cli
