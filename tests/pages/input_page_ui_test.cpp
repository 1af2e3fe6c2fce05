#include "pages/input_page_qt.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "page_fixture.h"
#include "platform/ui/trackbar.h"
#include "tests/support/qt_test_app.h"

namespace tavrin {
namespace {

using testing::page_fixture;
using testing::sent_list;
namespace item = input_item;

template <typename T>
T* find(QWidget& page, int id) {
    return page.findChild<T*>(control_name(id));
}

TEST(InputPage, BuildsTheTemplateWithTheStepButtonsHidden) {
    testing::qt_app();
    page_fixture f;
    f.params.set_match_gain(amp_channel::ch2, -35);
    f.params.set_limiter_value(limiter_set::ohm8, amp_channel::ch1, limiter_item::ratio, 250);
    input_page page(f.ctx, nullptr);
    page.show();
    auto* trim = find<trackbar>(page, item::ch2_trim);
    ASSERT_NE(trim, nullptr);
    EXPECT_EQ(trim->orientation(), Qt::Horizontal);
    EXPECT_EQ(trim->minimum(), -100);
    EXPECT_EQ(trim->position(), -35);
    EXPECT_EQ(find<QLabel>(page, item::ch2_trim_text)->text(), "-3.5 dB");
    EXPECT_EQ(find<QLineEdit>(page, item::ch1_ratio)->text(), "2.50");
    EXPECT_EQ(find<QLineEdit>(page, item::ch1_ratio)->maxLength(), 6);
    EXPECT_EQ(find<QLineEdit>(page, item::ch1_release)->maxLength(), 4);
    EXPECT_EQ(find<QLineEdit>(page, item::ch1_threshold)->geometry(),
              dlu_rect(page.controls().units, 33, 111, 40, 14));
    for (int id : {1294, 2015, 1300, 1301, 2020, 1307}) {
        auto* step = find<QRadioButton>(page, id);
        ASSERT_NE(step, nullptr) << id;
        EXPECT_FALSE(step->isVisible()) << id;
    }
    EXPECT_FALSE(find<QLineEdit>(page, 1310)->isVisible());
    EXPECT_TRUE(find<QLineEdit>(page, item::ch2_knee)->isVisible());
}

TEST(InputPage, TheTrimWaitsForThePauseAndTheEditsForEnter) {
    testing::qt_app();
    page_fixture f;
    input_page page(f.ctx, nullptr);
    auto* trim = find<trackbar>(page, item::ch1_trim);
    QTest::keyClick(trim, Qt::Key_Right);
    QTest::keyClick(trim, Qt::Key_Right);
    EXPECT_TRUE(f.sent().empty());
    EXPECT_TRUE(page.timers().running(send_timer_id));
    f.time.advance(300);
    page.timers().fire(send_timer_id);
    EXPECT_EQ(f.sent(), (sent_list{"10 01 01 02"}));
    EXPECT_FALSE(page.timers().running(send_timer_id));
    // Home is a move like any other: -10.0 dB, sent after the pause.
    QTest::keyClick(trim, Qt::Key_Home);
    EXPECT_EQ(find<QLabel>(page, item::ch1_trim_text)->text(), "-10.0 dB");
    f.time.advance(300);
    page.timers().fire(send_timer_id);
    EXPECT_EQ(f.sent(), (sent_list{"10 01 01 9c"}));

    auto* knee = find<QLineEdit>(page, item::ch2_knee);
    knee->setText("250");
    QTest::keyClick(knee, Qt::Key_Tab);  // Tab alone does not apply
    EXPECT_TRUE(f.sent().empty());
    QTest::keyClick(knee, Qt::Key_Enter);
    EXPECT_EQ(f.sent(), (sent_list{"2c 03 20 02 00 64"}));
    EXPECT_EQ(knee->text(), "100");
}

TEST(InputPage, LeavingThePageSendsTheWaitingTrimAndResumesThePoll) {
    testing::qt_app();
    page_fixture f;
    auto* page = new input_page(f.ctx, nullptr);
    QTest::keyClick(find<trackbar>(*page, item::ch2_trim), Qt::Key_PageDown);
    EXPECT_TRUE(f.sent().empty());
    delete page;
    EXPECT_EQ(f.sent().size(), 1u);
}

}  // namespace
}  // namespace tavrin
