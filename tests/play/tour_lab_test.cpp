// tavrin-config --tour against the lab: it finds the amplifiers, connects to the first,
// visits every tab and saves a picture of each step; the lamp is green at the end.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QColor>
#include <QDir>
#include <QImage>
#include <cstdlib>
#include <string>

#include "app/lamp_colour.h"
#include "tests/support/lab_exec.h"

namespace tavrin {
namespace {

constexpr char inside_flag[] = "TAVRIN_TOUR_LAB_INNER";

std::string tool_path() {
    return testing::lab_env_or("TAVRIN_BUILD_DIR", ".") + "/tavrin-config/tavrin-config";
}

TEST(TourLab, PicturesOfEveryStepAndAGreenLampAtTheEnd) {
    if (!testing::inside_lab(inside_flag)) {
        const testing::lab_exec_result run = testing::run_self_in_lab(
            inside_flag, "TourLab.PicturesOfEveryStepAndAGreenLampAtTheEnd");
        if (run.skipped)
            GTEST_SKIP() << run.why;
        EXPECT_EQ(run.status, 0);
        return;
    }
    char pattern[] = "/tmp/tavrin-tour-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    const std::string command =
        "QT_QPA_PLATFORM=offscreen '" + tool_path() + "' --tour '" + dir + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    const QStringList pictures = QDir(QString::fromStdString(dir))
                                     .entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
    // start, discovering, listed, connected and the nine tabs.
    ASSERT_EQ(pictures.size(), 13) << pictures.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(pictures.first(), QStringLiteral("01-start.png"));
    EXPECT_EQ(pictures.last(), QStringLiteral("13-tab-about.png"));

    const QImage first(QString::fromStdString(dir) + "/" + pictures.first());
    const QImage last(QString::fromStdString(dir) + "/" + pictures.last());
    ASSERT_FALSE(last.isNull());
    const int x = (lamp_left + lamp_right - 1) / 2;
    const int y = (lamp_top + lamp_bottom - 1) / 2;
    EXPECT_EQ(first.pixelColor(x, y), QColor(lamp_red.r, lamp_red.g, lamp_red.b));
    EXPECT_EQ(last.pixelColor(x, y), QColor(lamp_green.r, lamp_green.g, lamp_green.b));
    QDir(QString::fromStdString(dir)).removeRecursively();
}

}  // namespace
}  // namespace tavrin
