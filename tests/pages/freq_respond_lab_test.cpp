// The Frequency Respond tab and `tavrin-cli response` against an amplifier fresh from
// the factory: a lab of its own (the shared one's amplifiers are changed by other
// tests), in which both channels' complete response is flat.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "tests/support/lab_exec.h"
#include "tests/support/play_lab.h"

namespace tavrin {
namespace {

constexpr char inside_flag[] = "TAVRIN_FREQ_RESPOND_LAB_INNER";

std::string run_cli(const std::string& args, int& code) {
    const std::string command = "'" + testing::build_dir() + "/cli/tavrin-cli' " + args;
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        code = -1;
        return out;
    }
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr)
        out += line;
    const int status = ::pclose(pipe);
    code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

TEST(FreqRespondLab, AFreshAmplifierIsFlatOnThePageAndInTheCli) {
    if (!testing::inside_lab(inside_flag)) {
        // A lab of this test's own, brought up and down around the inner run.
        setenv("LAB_DIR", (testing::build_dir() + "/lab-fresh").c_str(), 1);
        const testing::lab_exec_result run =
            testing::run_self_in_lab(inside_flag, "FreqRespondLab.*");
        if (run.skipped)
            GTEST_SKIP() << run.why;
        EXPECT_EQ(run.status, 0);
        return;
    }

    int code = -1;
    const std::string csv = run_cli("response Amp-1 --csv", code);
    ASSERT_EQ(code, 0) << csv;
    std::istringstream in(csv);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "frequency_hz,ch1_db,ch2_db");
    size_t rows = 0;
    while (std::getline(in, line)) {
        double f = 0, a = 1, b = 1;
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf,%lf,%lf", &f, &a, &b), 3) << line;
        EXPECT_EQ(a, 0.0) << line;
        EXPECT_EQ(b, 0.0) << line;
        ++rows;
    }
    EXPECT_EQ(rows, 376u);

    // The page: both channels and both parts shown, and a picture of it.
    const std::string shots = testing::build_dir() + "/lab-fresh/shots";
    const testing::play_result play = testing::play_in_lab(
        "discover Amp-1\n"
        "connect Amp-1\n"
        "expect-lamp green\n"
        "tab Frequency Respond\n"
        "expect 1059 checked\n"
        "expect 1060 checked\n"
        "expect 1061 checked\n"
        "expect 1062 checked\n"
        "expect 1063 checked\n"
        "expect 1064 checked\n"
        "shot freq-respond.png\n",
        "--shots '" + shots + "'");
    EXPECT_EQ(play.code, 0) << play.err;
    EXPECT_EQ(std::system(("test -s '" + shots + "/freq-respond.png'").c_str()), 0);
}

}  // namespace
}  // namespace tavrin
