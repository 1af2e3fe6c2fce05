#include "pages/power_page_qt.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QTest>

#include "page_fixture.h"
#include "platform/ui/trackbar.h"
#include "tests/support/qt_test_app.h"

namespace tavrin {
namespace {

using testing::page_fixture;
using testing::sent_list;
namespace item = power_item;

template <typename T>
T* find(QWidget& page, int id) {
    return page.findChild<T*>(control_name(id));
}

struct power_ui_fixture : page_fixture {
    power_ui_fixture() {
        params.set_power_source(0x00);  // PoE, detected
        params.set_speaker_impedance(8);
        params.set_speaker_impedance_2(8);
        params.set_power_limit_enable(power_set::poe, 1);
        params.set_power_limit(power_set::poe, limit_slot::ch1, 60);
        params.set_power_limit(power_set::poe, limit_slot::ch2, 30);
        params.set_current_limit(power_set::poe, {1, 10, 5});
    }
};

TEST(PowerPage, BuildsTheTemplateAndShowsTheClassSet) {
    testing::qt_app();
    power_ui_fixture f;
    power_page page(f.ctx, nullptr);
    page.show();
    auto* combo = find<QComboBox>(page, item::power_class);
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->count(), 4);
    EXPECT_EQ(combo->itemText(3), "DC In");
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_FALSE(combo->isEnabled());  // not "Manual"
    EXPECT_EQ(find<QRadioButton>(page, item::speaker_8)->text(), QString::fromUtf8("8\u03a9"));
    EXPECT_TRUE(find<QRadioButton>(page, item::speaker_8)->isChecked());
    EXPECT_FALSE(find<QRadioButton>(page, 1233)->isVisible());
    EXPECT_FALSE(find<QWidget>(page, 1090)->isVisible());
    EXPECT_EQ(find<trackbar>(page, item::ch1_limit)->maximum(), 100);
    EXPECT_EQ(find<QLabel>(page, item::ch1_limit_text)->text(), "6.0 W");
    EXPECT_EQ(find<QLabel>(page, item::threshold_text)->text(), "250 mA");
    EXPECT_TRUE(find<trackbar>(page, item::ch2_limit)->isEnabled());
    EXPECT_FALSE(find<trackbar>(page, item::pbtl_limit)->isEnabled());
    EXPECT_EQ(find<trackbar>(page, item::release)->geometry(),
              dlu_rect(page.controls().units, 100, 110, 220, 12));
}

TEST(PowerPage, SlidersCombosAndButtonsSendThroughTheLogic) {
    testing::qt_app();
    power_ui_fixture f;
    power_page page(f.ctx, nullptr);

    // CH2 may take what CH1 leaves of 10.0 W: a page step up to 4.0 W and no further.
    auto* ch2 = find<trackbar>(page, item::ch2_limit);
    ch2->setPageStep(25);
    QTest::keyClick(ch2, Qt::Key_PageUp);
    QTest::keyClick(ch2, Qt::Key_PageUp);
    EXPECT_EQ(ch2->position(), 40);
    EXPECT_EQ(find<QLabel>(page, item::ch2_limit_text)->text(), "4.0 W");
    EXPECT_TRUE(f.sent().empty());
    f.time.advance(300);
    page.timers().fire(send_timer_id);
    EXPECT_EQ(f.sent(), (sent_list{"2c 01 01 02 00 28"}));

    find<QCheckBox>(page, item::manual)->click();
    auto* combo = find<QComboBox>(page, item::power_class);
    EXPECT_TRUE(combo->isEnabled());
    QTest::keyClick(combo, Qt::Key_Down);  // PoE+
    EXPECT_EQ(f.sent(), (sent_list{"07 a1 01 00 00 00", "07 a1 01 01 00 00"}));
    EXPECT_EQ(find<trackbar>(page, item::ch1_limit)->maximum(), 200);

    // The threshold sends at once.
    auto* threshold = find<trackbar>(page, item::threshold);
    find<QCheckBox>(page, item::current_enable)->click();
    EXPECT_TRUE(threshold->isEnabled());
    threshold->setValue(20);
    QTest::keyClick(threshold, Qt::Key_Right);
    EXPECT_EQ(f.sent(), (sent_list{"2c 02 02 03 80 00", "2c 02 02 01 00 15"}));
    EXPECT_EQ(find<QLabel>(page, item::threshold_text)->text(), "525 mA");

    find<QRadioButton>(page, item::speaker_8)->click();
    EXPECT_TRUE(f.sent().empty());
    find<QRadioButton>(page, item::speaker_4)->click();
    find<QCheckBox>(page, item::pbtl)->click();
    EXPECT_EQ(f.sent(), (sent_list{"2c 04 01 01 00 04", "07 a0 00 00 00 01"}));
    EXPECT_EQ(f.shared.selected_channel.load(), 2);
    // PoE+ has its limit off: no limit slider takes input.
    EXPECT_FALSE(find<trackbar>(page, item::pbtl_limit)->isEnabled());
    find<QCheckBox>(page, item::limit_enable)->click();
    EXPECT_EQ(f.sent(), (sent_list{"2c 02 04 03 80 00"}));
    EXPECT_TRUE(find<trackbar>(page, item::pbtl_limit)->isEnabled());
    EXPECT_FALSE(find<trackbar>(page, item::ch1_limit)->isEnabled());
}

TEST(PowerPage, LeavingThePageSendsTheWaitingLimit) {
    testing::qt_app();
    power_ui_fixture f;
    auto* page = new power_page(f.ctx, nullptr);
    auto* ch1 = find<trackbar>(*page, item::ch1_limit);
    QTest::keyClick(ch1, Qt::Key_Left);
    // Home is a move like any other: the limit goes to the bottom of the range.
    QTest::keyClick(ch1, Qt::Key_Home);
    EXPECT_EQ(find<QLabel>(*page, item::ch1_limit_text)->text(), "0.1 W");
    EXPECT_TRUE(f.sent().empty());
    delete page;
    EXPECT_EQ(f.sent(), (sent_list{"2c 01 01 01 00 01"}));
}

}  // namespace
}  // namespace tavrin
