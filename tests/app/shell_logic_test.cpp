// The window-independent parts of the main window: command line, log lines, the scan
// text, the lamp colour and what the device controls store and send.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/lamp_colour.h"
#include "app/log_line.h"
#include "app/scan_text.h"
#include "app/shell_actions.h"
#include "app/startup_args.h"
#include "protocol/amp_params.h"
#include "tests/support/session_fakes.h"

namespace tavrin {
namespace {

// "hh:mm:ss   " followed by `text`.
bool stamped(const std::string& line, const std::string& text) {
    if (line.size() != 11 + text.size() || line.compare(11, std::string::npos, text) != 0)
        return false;
    for (size_t i : {0u, 1u, 3u, 4u, 6u, 7u}) {
        if (line[i] < '0' || line[i] > '9')
            return false;
    }
    return line[2] == ':' && line[5] == ':' && line.compare(8, 3, "   ") == 0;
}

command_line parse(std::vector<const char*> args) {
    args.insert(args.begin(), "tavrin-config");
    return parse_command_line(static_cast<int>(args.size()), args.data());
}

TEST(StartupArgs, PositionalArguments) {
    const command_line none = parse({});
    EXPECT_EQ(none.args.device_name, "");
    EXPECT_EQ(none.args.primary, 0u);
    EXPECT_EQ(none.args.secondary, 0u);

    const command_line all = parse({"Amp-1", "3", "5", "7", "extra"});
    EXPECT_EQ(all.args.device_name, "Amp-1");
    EXPECT_EQ(all.args.primary, 3u);
    EXPECT_EQ(all.args.secondary, 5u);
    EXPECT_TRUE(all.error.empty());
}

TEST(StartupArgs, IndexesReadLikeAPlainIntegerConversion) {
    EXPECT_EQ(read_index("12"), 12u);
    EXPECT_EQ(read_index("eth0"), 0u);
    EXPECT_EQ(read_index(""), 0u);
    EXPECT_EQ(read_index("7abc"), 7u);
    EXPECT_EQ(read_index(" +4"), 4u);
    // Only the first five characters count.
    EXPECT_EQ(read_index("1234567"), 12345u);
    EXPECT_EQ(read_index("99999"), 99999u);
    // A negative index names no interface: automatic choice.
    EXPECT_EQ(read_index("-3"), 0u);
}

TEST(StartupArgs, LongNamesAreCutAt31Characters) {
    const std::string name(40, 'x');
    EXPECT_EQ(parse({name.c_str()}).args.device_name, std::string(31, 'x'));
    // Characters, not bytes: a two-byte letter is never split.
    std::string wide;
    for (int i = 0; i < 40; ++i)
        wide += "\xc3\xa9";
    const std::string cut = parse({wide.c_str()}).args.device_name;
    EXPECT_EQ(cut.size(), 62u);
    EXPECT_EQ(first_chars("ab\xc3", 5), "ab");
}

// What is taken other than as written is said, so a typo does not pass unnoticed.
TEST(StartupArgs, WarnsAboutCutNamesAndIndexesThatAreNoNumbers) {
    EXPECT_TRUE(parse({"Amp-1", "3", "5"}).warnings.empty());
    const std::string name(40, 'x');
    const command_line cut = parse({name.c_str()});
    ASSERT_EQ(cut.warnings.size(), 1u);
    EXPECT_NE(cut.warnings[0].find("longer than 31 characters"), std::string::npos);
    const command_line bad = parse({"Amp-1", "eth0", "7abc"});
    ASSERT_EQ(bad.warnings.size(), 2u);
    EXPECT_EQ(bad.warnings[0],
              "primary interface 'eth0' is no interface index; using the automatic choice");
    EXPECT_EQ(bad.warnings[1], "secondary interface '7abc' is no interface index; using index 7");
    EXPECT_EQ(parse({"A", "1", "2", "3"}).warnings.size(), 1u);
}

TEST(StartupArgs, ToolOptions) {
    EXPECT_TRUE(parse({"--help"}).show_help);
    EXPECT_TRUE(parse({"-h"}).show_help);
    EXPECT_NE(usage_text().find("--play FILE"), std::string::npos);
    const command_line version = parse({"--version"});
    EXPECT_TRUE(version.show_version);
    const command_line tour = parse({"--tour", "out", "Amp-2"});
    ASSERT_TRUE(tour.tour_dir);
    EXPECT_EQ(*tour.tour_dir, "out");
    EXPECT_EQ(tour.args.device_name, "Amp-2");
    EXPECT_FALSE(parse({"--tour"}).error.empty());

    const command_line play = parse({"Amp-1", "--play", "s.play", "--shots", "pics", "2"});
    ASSERT_TRUE(play.play_file);
    EXPECT_EQ(*play.play_file, "s.play");
    ASSERT_TRUE(play.shots_dir);
    EXPECT_EQ(*play.shots_dir, "pics");
    EXPECT_EQ(play.args.device_name, "Amp-1");
    EXPECT_EQ(play.args.primary, 2u);
    EXPECT_TRUE(play.error.empty());
    EXPECT_FALSE(parse({"--play"}).error.empty());
    EXPECT_FALSE(parse({"--play", "s.play", "--shots"}).error.empty());
    // Pictures need a script, and a session runs one script.
    EXPECT_FALSE(parse({"--shots", "pics"}).error.empty());
    EXPECT_FALSE(parse({"--play", "s.play", "--tour", "out"}).error.empty());
}

TEST(LogLine, StampThreeBlanksAndText) {
    EXPECT_EQ(format_log_line(9, 5, 0, "Connected to Amp-1"), "09:05:00   Connected to Amp-1");
    EXPECT_EQ(format_log_line(23, 59, 59, ""), "23:59:59   ");
    const std::string now = log_line_now("x");
    EXPECT_TRUE(stamped(now, "x")) << now;
    // The line buffer holds 1024 characters with its terminator.
    const std::string long_text(2000, 'a');
    EXPECT_EQ(format_log_line(1, 2, 3, long_text).size(), log_line_max_chars);
}

TEST(ScanText, CyclesThroughThreeTexts) {
    scan_text_cycle cycle;
    std::vector<std::string> seen{cycle.text()};
    for (int i = 0; i < 6; ++i) {
        cycle.tick();
        seen.push_back(cycle.text());
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"Discovering.", "Discovering..", "Discovering...",
                                              "Discovering.", "Discovering..", "Discovering...",
                                              "Discovering."}));
}

TEST(LampColour, FollowsConnectionAndGate) {
    EXPECT_EQ(lamp_fill(false, false), (rgb{180, 0, 0}));
    EXPECT_EQ(lamp_fill(false, true), (rgb{180, 0, 0}));
    EXPECT_EQ(lamp_fill(true, false), (rgb{0, 180, 0}));
    EXPECT_EQ(lamp_fill(true, true), (rgb{250, 250, 0}));
}

// The device controls over a session, each step of it taken by hand; what the session
// then does is its own table's business (link/amp_session_test).
TEST(ShellActions, DoubleClickAndConnectButtonOpenAndCloseTheSession) {
    testing::session_bench b(false);
    amp_session& s = b.session;
    s.start();
    EXPECT_EQ(choose_device(s, std::nullopt), choose_result::need_selection);
    EXPECT_TRUE(toggle_connect(s, std::nullopt).need_selection);
    b.step();
    EXPECT_EQ(s.view().state(), link_state::idle);

    EXPECT_EQ(choose_device(s, std::string("Amp-2")), choose_result::chosen);
    b.step();
    EXPECT_EQ(s.view().state(), link_state::open);
    EXPECT_EQ(s.name(), "Amp-2");
    // While connected a double-click on nothing is no error and changes nothing.
    EXPECT_EQ(choose_device(s, std::nullopt), choose_result::chosen);

    // Connected: the button disconnects and keeps the name for probing.
    const connect_outcome off = toggle_connect(s, std::nullopt);
    EXPECT_FALSE(off.need_selection);
    EXPECT_FALSE(off.empty_list);
    b.step();
    EXPECT_EQ(s.view().state(), link_state::idle);
    EXPECT_EQ(s.name(), "Amp-2");

    const connect_outcome on = toggle_connect(s, std::string("Amp-1"));
    EXPECT_TRUE(on.empty_list);
    b.step();
    EXPECT_EQ(s.view().state(), link_state::open);
    EXPECT_EQ(s.name(), "Amp-1");
}

TEST(ShellActions, FindMeSendsIdentifyOnlyWhenConnected) {
    testing::session_bench b(false);
    find_me(b.session.outbox());
    EXPECT_EQ(b.session.outbox().waiting(), 0u);
    testing::open_session(b.session, b.time);
    b.control.clear();
    find_me(b.session.outbox());
    b.step();
    const std::vector<testing::bytes> frames = b.control.sent();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0],
              (testing::bytes{0x55, 0x10, 0xAA, 0xD5, 0x07, 0x00, 0x03, 0xF0, 0x01, 0xDF}));
}

}  // namespace
}  // namespace tavrin
