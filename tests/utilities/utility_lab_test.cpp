// The Utility page driven through tavrin-config --play against the lab's Amp-2: the
// frames each action puts on the amplifier's wire log, and what the window shows
// (the scripts in tests/utilities/play check that themselves).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "protocol/catalogue.h"
#include "tests/support/lab_exec.h"
#include "tests/support/play_lab.h"

namespace tavrin {
namespace {

constexpr char inside_flag[] = "TAVRIN_UTILITY_LAB_INNER";
constexpr char find_me_line[] = "55 10 aa d5 07 00 03 f0 01 df";
constexpr char reset_line[] = "55 01 aa d5 34 00 02 c0 cb";

// Outside the lab: runs the test again inside it and reports that run.
#define UTILITY_INSIDE_THE_LAB(test)                                                  \
    if (!testing::inside_lab(inside_flag)) {                                          \
        const testing::lab_exec_result run =                                          \
            testing::run_self_in_lab(inside_flag, std::string("UtilityLab.") + test); \
        if (run.skipped)                                                              \
            GTEST_SKIP() << run.why;                                                  \
        EXPECT_EQ(run.status, 0);                                                     \
        return;                                                                       \
    }

std::vector<std::string> wire_lines(const std::string& device) {
    std::ifstream in(testing::lab_env_or("LAB_DIR", testing::build_dir() + "/lab") + "/" + device +
                     ".wire");
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

std::string line_of(const amp_command& c) {
    const frame_bytes f = frame_of(c);
    std::string line;
    for (uint8_t b : f) {
        char hex[4];
        std::snprintf(hex, sizeof hex, line.empty() ? "%02x" : " %02x", b);
        line += hex;
    }
    return line;
}

// Plays tests/utilities/play/NAME and returns the wire lines Amp-2 received meanwhile.
std::vector<std::string> play_on_amp2(const std::string& name) {
    const size_t before = wire_lines("Amp-2").size();
    const testing::play_result run =
        testing::play_file_in_lab(testing::source_dir() + "/tests/utilities/play/" + name);
    EXPECT_EQ(run.code, 0) << run.err;
    std::vector<std::string> lines = wire_lines("Amp-2");
    lines.erase(lines.begin(), lines.begin() + static_cast<long>(std::min(before, lines.size())));
    return lines;
}

size_t count_of(const std::vector<std::string>& lines, size_t from, size_t to,
                const std::string& what) {
    size_t n = 0;
    for (size_t i = from; i < to && i < lines.size(); ++i)
        n += lines[i] == what ? 1 : 0;
    return n;
}

size_t index_of(const std::vector<std::string>& lines, const std::string& what) {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == what)
            return i;
    }
    return lines.size();
}

TEST(UtilityLab, FindMeRepeatsUntilTheTabIsLeft) {
    UTILITY_INSIDE_THE_LAB("FindMeRepeatsUntilTheTabIsLeft")
    const std::vector<std::string> wire = play_on_amp2("find_me.play");
    const size_t marker = index_of(wire, line_of(cmd::location("FindMe-End")));
    ASSERT_LT(marker, wire.size());
    // 5 s of Find Me: ticks at 2 s and 4 s (a third only if the machine lags).
    const size_t during = count_of(wire, 0, marker, find_me_line);
    EXPECT_GE(during, 2u);
    EXPECT_LE(during, 3u);
    EXPECT_EQ(count_of(wire, marker, wire.size(), find_me_line), 0u);
}

TEST(UtilityLab, LocationAndRenameReachTheAmplifier) {
    UTILITY_INSIDE_THE_LAB("LocationAndRenameReachTheAmplifier")
    const std::vector<std::string> wire = play_on_amp2("rename_location.play");
    // Whatever the script reached, Amp-2 gets its name back for the tests after this.
    (void)!std::system(("'" + testing::build_dir() +
                        "/cli/tavrin-cli' rename Stage-2 Amp-2 "
                        ">/dev/null 2>&1")
                           .c_str());
    // Both locations arrived, the second one addressed to the new name.
    const size_t first = index_of(wire, line_of(cmd::location("Hall A")));
    const size_t second = index_of(wire, line_of(cmd::location("Renamed")));
    EXPECT_LT(first, wire.size());
    EXPECT_LT(second, wire.size());
    EXPECT_LT(first, second);
}

TEST(UtilityLab, ResetIsAskedAndSent) {
    UTILITY_INSIDE_THE_LAB("ResetIsAskedAndSent")
    const std::vector<std::string> wire = play_on_amp2("reset.play");
    EXPECT_EQ(count_of(wire, 0, wire.size(), reset_line), 1u);
    EXPECT_LT(index_of(wire, line_of(cmd::location("Before-Reset"))), index_of(wire, reset_line));
}

}  // namespace
}  // namespace tavrin
