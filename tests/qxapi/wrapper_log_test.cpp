#include "qxapi/wrapper_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavrin {
namespace {

// The log's levels: 1 clears it, 2 adds a line of at most 128 characters, others go
// nowhere; the trace sees everything as written.
TEST(WrapperLog, FollowsItsLevelRules) {
    wrapper_logger log;
    std::vector<std::string> lines, traced;
    int clears = 0;
    log.write(2, "before any sink");
    log.set_sink([&](const std::string& text) { lines.push_back(text); }, [&] { ++clears; });
    log.set_trace([&](int level, const std::string& text) {
        traced.push_back(std::to_string(level) + " " + text);
    });
    log.write(1, "clear");
    log.write(2, "send 9 bytes to Amp-1 device on CONTROL channel");
    log.write(3, "three");
    log.write(4, "CB: detail");
    std::string wide;
    for (int i = 0; i < 130; ++i)
        wide += "\xc3\xa9";
    log.write(2, wide);
    EXPECT_EQ(clears, 1);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "send 9 bytes to Amp-1 device on CONTROL channel");
    EXPECT_EQ(lines[1], first_chars(wide, 128));
    EXPECT_EQ(traced.size(), 5u);
    EXPECT_EQ(traced[3], "4 CB: detail");
}

}  // namespace
}  // namespace tavrin
