// Reading scripted sessions: every verb with its arguments, comments and quotes,
// graph coordinates, and the first bad line stopping the whole script.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "play/play_script.h"
#include "tests/support/play_lab.h"

namespace tavrin {
namespace {

play_step one(const std::string& line) {
    const play_parse_result r = parse_play_script(line, "s.play");
    EXPECT_FALSE(r.error) << line << ": " << (r.error ? r.error->message : "");
    EXPECT_EQ(r.script.steps.size(), 1u) << line;
    return r.script.steps.empty() ? play_step{} : r.script.steps.front();
}

std::string error_of(const std::string& text) {
    const play_parse_result r = parse_play_script(text, "s.play");
    EXPECT_TRUE(r.script.steps.empty());
    return r.error ? describe(*r.error, "s.play") : "no error";
}

play_coord px(double v) {
    return {play_coord::unit::pixel, v};
}
play_coord hz(double v) {
    return {play_coord::unit::hertz, v};
}
play_coord db(double v) {
    return {play_coord::unit::decibel, v};
}

TEST(PlayScript, EveryVerbWithItsArguments) {
    play_step s = one("tab Parametric EQ");
    EXPECT_EQ(s.verb, play_verb::tab);
    EXPECT_EQ(s.text, "Parametric EQ");

    s = one("click idc_1003");
    EXPECT_EQ(s.verb, play_verb::click);
    EXPECT_EQ(s.id, "1003");
    EXPECT_EQ(one("focus 1239").verb, play_verb::focus);

    s = one("type 1239   Night  set ");
    EXPECT_EQ(s.verb, play_verb::type);
    EXPECT_EQ(s.text, "Night  set");
    EXPECT_EQ(one("type 1239 \"  -3 \"").text, "  -3 ");

    s = one("key 1239 backspace");
    EXPECT_EQ(s.key, play_key::backspace);
    EXPECT_EQ(one("key 1 PageDown").key, play_key::page_down);

    s = one("choose 1292 2");
    EXPECT_EQ(s.entry_index, 2);
    s = one("choose 1292 \"Varnoll AB\"");
    EXPECT_FALSE(s.entry_index);
    EXPECT_EQ(s.text, "Varnoll AB");
    EXPECT_TRUE(s.has_text);
    s = one("choose 1292 none");
    EXPECT_FALSE(s.entry_index);
    EXPECT_FALSE(s.has_text);

    s = one("slide 1322 -35");
    EXPECT_EQ(s.number, -35);
    EXPECT_EQ(s.slide, slide_kind::drag);
    EXPECT_EQ(one("slide 1322 5 page").slide, slide_kind::page);
    EXPECT_EQ(one("slide 1322 5 end").slide, slide_kind::end);

    s = one("answer Cancel");
    EXPECT_EQ(s.answer, box_answer::cancel);
    s = one("file presets/night.pre");
    EXPECT_EQ(s.text, "presets/night.pre");

    s = one("discover");
    EXPECT_FALSE(s.has_text);
    EXPECT_EQ(one("discover Amp-1").text, "Amp-1");
    s = one("connect");
    EXPECT_FALSE(s.has_text);
    EXPECT_EQ(one("connect Amp 7").text, "Amp 7");

    EXPECT_EQ(one("wait 300").number, 300);
    EXPECT_EQ(one("expect 1023 100%").text, "100%");
    EXPECT_EQ(one("expect 1023 \"\"").text, "");
    EXPECT_EQ(one("expect 1002 \" Model: RQ417\\n\\n Device\\tName\"").text,
              " Model: RQ417\n\n Device\tName");
    EXPECT_EQ(one("expect-log Connected to Amp-1").text, "Connected to Amp-1");
    EXPECT_EQ(one("expect-lamp Yellow").lamp, lamp_state::yellow);
    EXPECT_EQ(one("expect-box Please select a device.").text, "Please select a device.");
    EXPECT_EQ(one("shot 01-start.png").text, "01-start.png");
}

TEST(PlayScript, WaitForTakesATimeAfterItsText) {
    play_step s = one("wait-for 1002 Amp-1");
    EXPECT_EQ(s.text, "Amp-1");
    EXPECT_FALSE(s.timeout_ms);
    s = one("wait-for 1002 Amp-1 3000");
    EXPECT_EQ(s.text, "Amp-1");
    EXPECT_EQ(s.timeout_ms, 3000);
    // A single number is the text; a quoted text may be followed by the time.
    s = one("wait-for 1024 50");
    EXPECT_EQ(s.text, "50");
    EXPECT_FALSE(s.timeout_ms);
    s = one("wait-for 1024 \"50 1000\"");
    EXPECT_EQ(s.text, "50 1000");
    EXPECT_FALSE(s.timeout_ms);
    s = one("wait-for 1024 \"50\" 1000");
    EXPECT_EQ(s.timeout_ms, 1000);
    EXPECT_EQ(one("wait-for 1077 25 mA").text, "25 mA");
}

TEST(PlayScript, CommentsBlankLinesAndQuotes) {
    const play_parse_result r = parse_play_script(
        "# a session\r\n"
        "\n"
        "   click 1003   # Discovery\r\n"
        "expect 1071 CH#1\n"
        "expect 1071 \"a # b \\\"c\\\" \\\\\"  # quoted\n"
        "wait 5",
        "s.play");
    ASSERT_FALSE(r.error);
    ASSERT_EQ(r.script.steps.size(), 4u);
    EXPECT_EQ(r.script.name, "s.play");
    EXPECT_EQ(r.script.steps[0].line, 3);
    EXPECT_EQ(r.script.steps[0].source, "click 1003   # Discovery");
    EXPECT_EQ(r.script.steps[1].text, "CH#1");
    EXPECT_EQ(r.script.steps[2].text, "a # b \"c\" \\");
    EXPECT_EQ(r.script.steps[3].line, 6);
}

TEST(PlayScript, PixelsAndGraphCoordinates) {
    play_step s = one("press 120 -4");
    ASSERT_EQ(s.points.size(), 1u);
    EXPECT_EQ(s.points[0], (play_point{px(120), px(-4)}));

    s = one("drag 1000hz 0db 2.5kHz +6dB");
    ASSERT_EQ(s.points.size(), 2u);
    EXPECT_EQ(s.points[0], (play_point{hz(1000), db(0)}));
    EXPECT_EQ(s.points[1], (play_point{hz(2500), db(6)}));
    EXPECT_EQ(s.number, default_drag_steps);
    EXPECT_EQ(one("drag 1 2 3 4 25").number, 25);
    EXPECT_EQ(one("move 40hz -12.5db").points[0], (play_point{hz(40), db(-12.5)}));
    EXPECT_EQ(one("release 300 +3db").points[0], (play_point{px(300), db(3)}));
}

TEST(PlayScript, TheFirstBadLineStopsTheScriptWithItsNumberAndText) {
    EXPECT_EQ(error_of("wait 1\nfrob 12\nwait 2\n"), "s.play:2: unknown verb \"frob\": frob 12");
    const std::pair<const char*, const char*> bad[] = {
        {"click", "missing control id"},
        {"click 10x3", "bad control id \"10x3\""},
        {"click idc_", "bad control id \"idc_\""},
        {"click 1003 now", "unexpected \"now\""},
        {"wait soon", "bad number \"soon\" for a time"},
        {"wait -5", "bad number \"-5\" for a time"},
        {"slide 1023 1.5", "bad number \"1.5\" for a position"},
        {"slide 1023 5 fast", "bad kind \"fast\" (line|page|thumb|track|end)"},
        {"key 1239 F1",
         "bad key \"F1\" (Enter|Tab|Backspace|Escape|Delete|Up|Down|Left|Right|"
         "PageUp|PageDown|Home|End)"},
        {"answer maybe", "bad answer \"maybe\" (yes|no|ok|cancel)"},
        {"expect-lamp blue", "bad colour \"blue\" (red|green|yellow)"},
        {"choose 1292 All", "an entry is an index, a text in quotes or none, not \"All\""},
        {"choose 1292 -1", "an entry is an index, a text in quotes or none, not \"-1\""},
        {"choose 1292", "missing entry"},
        {"expect 1002 \"No Device", "unterminated quote in text"},
        {"expect 1002 \"a\" b", "unexpected \"b\""},
        {"press 10", "missing y"},
        {"press 0db 10", "\"0db\" belongs on the other axis"},
        {"press 10 1000hz", "\"1000hz\" belongs on the other axis"},
        {"press 0hz 0db", "bad number \"0hz\" for a coordinate"},
        {"press xhz 0db", "bad number \"xhz\" for a coordinate"},
        {"drag 1 2 3 4 0", "bad number \"0\" for steps"},
        {"shot", "missing text"},
        {"tab", "missing text"},
    };
    for (const auto& [line, message] : bad)
        EXPECT_EQ(error_of(line), std::string("s.play:1: ") + message + ": " + line) << line;
}

// The examples in docs/examples are scripts a reader copies: they must read.
TEST(PlayScript, TheDocumentedExamplesRead) {
    const std::filesystem::path dir =
        std::filesystem::path(testing::source_dir()) / "docs/examples";
    int read = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".play")
            continue;
        std::ifstream in(entry.path());
        std::ostringstream text;
        text << in.rdbuf();
        const play_parse_result r = parse_play_script(text.str(), entry.path().string());
        EXPECT_FALSE(r.error) << (r.error ? describe(*r.error, entry.path().string()) : "");
        EXPECT_FALSE(r.script.steps.empty()) << entry.path();
        ++read;
    }
    EXPECT_GE(read, 2);
}

// Every picture README.md and docs/guide.md show is one that scripts/docs makes
// (docs/guide/pictures.play), so none is left from an older window.
TEST(PlayScript, TheDocsPicturesAreAllMadeByTheirScript) {
    namespace fs = std::filesystem;
    const fs::path root = testing::source_dir();
    const auto text_of = [](const fs::path& p) {
        std::ifstream in(p);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    };
    const fs::path guide = root / "docs/guide";
    const play_parse_result r =
        parse_play_script(text_of(guide / "pictures.play"), "pictures.play");
    ASSERT_FALSE(r.error);
    std::set<fs::path> made;
    for (const play_step& step : r.script.steps) {
        if (step.verb == play_verb::shot || step.verb == play_verb::shot_window)
            made.insert((guide / step.text).lexically_normal());
    }
    int shown = 0;
    for (const fs::path& doc : {root / "README.md", root / "docs/guide.md"}) {
        const std::string text = text_of(doc);
        for (size_t at = text.find("]("); at != std::string::npos; at = text.find("](", at + 2)) {
            const size_t end = text.find(')', at);
            const std::string link = text.substr(at + 2, end - at - 2);
            if (link.size() < 4 || link.compare(link.size() - 4, 4, ".png") != 0)
                continue;
            ++shown;
            EXPECT_TRUE(made.count((doc.parent_path() / link).lexically_normal()))
                << doc.filename() << " shows " << link << ", which scripts/docs does not make";
        }
    }
    EXPECT_GE(shown, 15);
}

}  // namespace
}  // namespace tavrin
