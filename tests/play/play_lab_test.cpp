// Scripted sessions against the lab: a search, Amp-1 connected with its lamp and
// information panel, every tab with a picture of each; and the documented examples.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <filesystem>
#include <optional>
#include <string>

#include "app/lamp_colour.h"
#include "tests/support/lab_exec.h"
#include "tests/support/play_lab.h"
#include "window/main_window_qt.h"

namespace tavrin {
namespace {

constexpr char inside_flag[] = "TAVRIN_PLAY_LAB_INNER";

// Outside the lab: the named test run again inside it. Inside: nothing.
std::optional<testing::lab_exec_result> outer_run(const char* test) {
    if (testing::inside_lab(inside_flag))
        return std::nullopt;
    return testing::run_self_in_lab(inside_flag, std::string("PlayLab.") + test);
}

#define PLAY_INSIDE_THE_LAB(test)       \
    if (auto outer = outer_run(test)) { \
        if (outer->skipped)             \
            GTEST_SKIP() << outer->why; \
        EXPECT_EQ(outer->status, 0);    \
        return;                         \
    }

std::string file_part(const char* caption) {
    std::string s;
    for (const char* c = caption; *c != '\0'; ++c)
        s += *c == ' ' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    return s;
}

TEST(PlayLab, ConnectsToAmp1AndVisitsEveryTab) {
    PLAY_INSIDE_THE_LAB("ConnectsToAmp1AndVisitsEveryTab")
    char pattern[] = "/tmp/tavrin-play-shots-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    std::string script =
        "expect-lamp red\n"
        "expect 1002 No Device\n"
        "discover Amp-1\n"
        "connect Amp-1\n"
        "expect-lamp green\n"
        "expect 1002 \" Model: RQ417\\n\\n Device Name: Amp-1\\n\\n Location: \"\n"
        "expect-log Connected to Amp-1\n";
    for (const tab_entry& tab : main_tabs) {
        script += "tab " + std::string(tab.caption) + "\n";
        script += "shot tab-" + file_part(tab.caption) + ".png\n";
    }
    script += "expect-lamp green\n";
    const testing::play_result run = testing::play_in_lab(script, "--shots '" + dir + "'");
    EXPECT_EQ(run.code, 0) << run.err;
    // Every finding of the session starts with the script's name; there is none.
    EXPECT_EQ(run.err.find("/tmp/tavrin-script-"), std::string::npos) << run.err;

    const QStringList pictures = QDir(QString::fromStdString(dir))
                                     .entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
    EXPECT_EQ(pictures.size(), tab_count) << pictures.join(QLatin1Char(' ')).toStdString();
    const QImage about(QString::fromStdString(dir + "/tab-about.png"));
    ASSERT_FALSE(about.isNull());
    const int x = (lamp_left + lamp_right - 1) / 2;
    const int y = (lamp_top + lamp_bottom - 1) / 2;
    EXPECT_EQ(about.pixelColor(x, y), QColor(lamp_green.r, lamp_green.g, lamp_green.b));
    QDir(QString::fromStdString(dir)).removeRecursively();
}

TEST(PlayLab, TheDocumentedExamplesRun) {
    PLAY_INSIDE_THE_LAB("TheDocumentedExamplesRun")
    char pattern[] = "/tmp/tavrin-play-examples-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::filesystem::path examples =
        std::filesystem::path(testing::source_dir()) / "docs/examples";
    int played = 0;
    for (const auto& entry : std::filesystem::directory_iterator(examples)) {
        if (entry.path().extension() != ".play")
            continue;
        const testing::play_result run = testing::play_file_in_lab(
            entry.path().string(), "--shots '" + std::string(pattern) + "'");
        EXPECT_EQ(run.code, 0) << entry.path() << "\n" << run.err;
        ++played;
    }
    EXPECT_GE(played, 2);
    std::filesystem::remove_all(pattern);
}

// A failed expectation names its line and what the window showed instead.
TEST(PlayLab, AFailedExpectationEndsTheSessionWithItsLine) {
    PLAY_INSIDE_THE_LAB("AFailedExpectationEndsTheSessionWithItsLine")
    const testing::play_result run =
        testing::play_in_lab("discover Amp-2\nconnect Amp-2\nexpect 1002 Amp-3\nshot never.png\n");
    EXPECT_EQ(run.code, 1);
    // The location is whatever the tests before left on Amp-2.
    EXPECT_NE(run.err.find(":3: expected idc_1002 \"Amp-3\", got \" Model: RQ417\\n\\n Device "
                           "Name: Amp-2\\n\\n Location: "),
              std::string::npos)
        << run.err;
}

}  // namespace
}  // namespace tavrin
