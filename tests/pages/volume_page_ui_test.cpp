#include "pages/volume_page_qt.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "page_fixture.h"
#include "platform/ui/trackbar.h"
#include "resources/page_templates.h"
#include "tests/support/qt_test_app.h"

namespace tavrin {
namespace {

using testing::page_fixture;
using testing::sent_list;
namespace item = volume_item;

template <typename T>
T* find(QWidget& page, int id) {
    return page.findChild<T*>(control_name(id));
}

TEST(VolumePage, BuildsTheTemplateAndShowsTheMirror) {
    testing::qt_app();
    page_fixture f;
    f.params.set_master_volume(30);
    f.params.set_gain(amp_channel::ch1, 213);
    f.params.set_route(3);
    volume_page page(f.ctx, nullptr);

    auto* master = find<trackbar>(page, item::master_fader);
    ASSERT_NE(master, nullptr);
    EXPECT_EQ(master->orientation(), Qt::Vertical);
    EXPECT_EQ(master->maximum(), 50);
    EXPECT_EQ(master->position(), 20);
    EXPECT_EQ(master->geometry(), dlu_rect(page.controls().units, 44, 28, 17, 94));
    EXPECT_EQ(find<QLabel>(page, item::master_percent)->text(), "60%");
    EXPECT_EQ(find<QLineEdit>(page, item::ch1_level)->text(), "-3.7");
    EXPECT_EQ(find<QLineEdit>(page, item::ch1_level)->maxLength(), 5);
    EXPECT_EQ(find<trackbar>(page, item::ch1_fader)->position(), 37);
    EXPECT_TRUE(find<QRadioButton>(page, 1320)->isChecked());
    EXPECT_EQ(find<QRadioButton>(page, 1321)->text(), "Swap");
    EXPECT_EQ(find<QCheckBox>(page, item::invert)->text(), "Invert");
    EXPECT_TRUE(f.sent().empty());
}

TEST(VolumePage, ControlsSendThroughTheLogic) {
    testing::qt_app();
    page_fixture f;
    f.params.set_master_volume(49);
    volume_page page(f.ctx, nullptr);

    // Up moves the master fader towards the top, which is loudest.
    auto* master = find<trackbar>(page, item::master_fader);
    QTest::keyClick(master, Qt::Key_Up);
    EXPECT_EQ(f.sent(), (sent_list{"08 32 ff"}));
    EXPECT_EQ(find<QLabel>(page, item::master_percent)->text(), "100%");
    // End stores and sends like any other move: the bottom is volume 0.
    QTest::keyClick(master, Qt::Key_End);
    EXPECT_EQ(f.sent(), (sent_list{"08 00 ff"}));
    EXPECT_EQ(f.params.master_volume(), 0);
    EXPECT_EQ(find<QLabel>(page, item::master_percent)->text(), "0%");
    // A channel fader takes every notification: bottom, then end of scroll.
    QTest::keyClick(find<trackbar>(page, item::ch2_fader), Qt::Key_End);
    EXPECT_EQ(f.sent(), (sent_list{"0a 01 01 ff 00", "0a 01 01 ff 00"}));

    auto* edit = find<QLineEdit>(page, item::ch1_level);
    edit->clear();
    QTest::keyClicks(edit, "-3.75x");  // the x cannot be typed
    EXPECT_EQ(edit->text(), "-3.75");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(f.sent(), (sent_list{"0a 01 01 d4 ff"}));
    EXPECT_EQ(edit->text(), "-3.8");
    edit->clear();
    QTest::keyClicks(edit, "-1");
    QTest::keyClick(edit, Qt::Key_Tab);  // Tab applies here
    EXPECT_EQ(f.sent(), (sent_list{"0a 01 01 f0 ff"}));

    find<QRadioButton>(page, 1321)->click();
    find<QCheckBox>(page, item::mute)->click();
    find<QCheckBox>(page, item::invert)->click();
    EXPECT_EQ(f.sent(), (sent_list{"07 06 04", "08 ff ff", "29 01 01 02 01"}));
}

TEST(VolumePage, LeavingThePageAppliesNoHalfTypedLevel) {
    testing::qt_app();
    page_fixture f;
    {
        QWidget window;
        auto* page = new volume_page(f.ctx, &window);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        auto* edit = find<QLineEdit>(*page, item::ch2_level);
        edit->setFocus();
        ASSERT_TRUE(edit->hasFocus());
        edit->setText("-9");
        delete page;
    }
    EXPECT_TRUE(f.sent().empty());
}

}  // namespace
}  // namespace tavrin
