// The Utility and About page widgets: their templates, the fields' limits, the
// buttons and the Find Me timer.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "tests/support/qt_test_app.h"
#include "utilities/about_page_qt.h"
#include "utilities/utility_page_qt.h"
#include "utility_fixture.h"

namespace tavrin {
namespace {

using testing::utility_fixture;

// Types each character as a key press carrying it (QTest's key clicks know ASCII only).
void type_text(QWidget* w, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
    }
}

struct utility_page_ui : ::testing::Test, utility_fixture {
    utility_page_ui() {
        testing::qt_app();
        find_me_active().store(false);
    }
    QPushButton* button(QWidget& page, int id) {
        return page.findChild<QPushButton*>(control_name(id));
    }
    QLineEdit* edit(QWidget& page, int id) { return page.findChild<QLineEdit*>(control_name(id)); }
};

TEST_F(utility_page_ui, template_and_fields) {
    const uint8_t where[] = {'S', 't', 'a', 'g', 'e'};
    params.set_location(where, sizeof where);
    utility_page page(ctx, nullptr);
    QStringList groups;
    for (auto* g : page.findChildren<QGroupBox*>())
        groups << g->title();
    EXPECT_EQ(groups,
              (QStringList{"Device Rename", "Location Name",
                           "Load default  setting in amplifier device", "Audible Find Me"}));
    EXPECT_EQ(button(page, idc_rename_ok)->text(), "OK");
    EXPECT_EQ(button(page, idc_reset)->text(), "Reset");
    EXPECT_EQ(button(page, idc_find_me_toggle)->text(), "Start");
    EXPECT_EQ(edit(page, idc_rename_field)->text(), "Amp-2");
    EXPECT_EQ(edit(page, idc_location_field)->text(), "Stage");

    // Typing keeps to what the amplifier takes.
    QLineEdit* name = edit(page, idc_rename_field);
    name->clear();
    type_text(name, "Hall 2_b-" + QString(40, 'x'));
    EXPECT_EQ(name->text(), "Hall2b-" + QString(9, 'x'));  // 16 characters
    QLineEdit* location = edit(page, idc_location_field);
    location->clear();
    type_text(location, QString::fromUtf8("Caf\xC3\xA9 \xE2\x82\xAC no 1234567890"));
    EXPECT_EQ(location->text(), QString::fromUtf8("Caf\xC3\xA9  no 1234567"));
}

TEST_F(utility_page_ui, location_and_reset_buttons_send) {
    utility_page page(ctx, nullptr);
    edit(page, idc_location_field)->setText("Hall A");
    QTest::mouseClick(button(page, idc_location_ok), Qt::LeftButton);
    events.queue_answer(box_answer::yes);
    QTest::mouseClick(button(page, idc_reset), Qt::LeftButton);
    const auto frames = sent();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].substr(0, 39), "55 10 aa d5 c4 00 11 48 61 6c 6c 20 41 ");
    EXPECT_EQ(frames[1], "55 01 aa d5 34 00 02 c0 cb");
}

TEST_F(utility_page_ui, rename_without_the_routing_layer_fails) {
    utility_page page(ctx, nullptr);
    edit(page, idc_rename_field)->setText("New-Name");
    QTest::mouseClick(button(page, idc_rename_ok), Qt::LeftButton);
    ASSERT_EQ(events.boxes().size(), 1u);
    EXPECT_EQ(events.boxes()[0].text, "Rename Failed!");
    EXPECT_EQ(device.name(), "Amp-2");
}

TEST_F(utility_page_ui, find_me_runs_on_the_page_timer_and_ends_with_the_page) {
    auto page = std::make_unique<utility_page>(ctx, nullptr);
    QTest::mouseClick(button(*page, idc_find_me_toggle), Qt::LeftButton);
    EXPECT_EQ(button(*page, idc_find_me_toggle)->text(), "Stop");
    EXPECT_TRUE(page->timers().running(find_me_timer_id));
    EXPECT_EQ(page->timers().period(find_me_timer_id), 2000);
    EXPECT_TRUE(sent().empty());
    page->timers().fire(find_me_timer_id);
    EXPECT_EQ(sent(), std::vector<std::string>{"55 10 aa d5 07 00 03 f0 01 df"});

    // Leaving the tab deletes the page; the next one starts idle.
    page.reset();
    EXPECT_FALSE(find_me_active().load());
    page = std::make_unique<utility_page>(ctx, nullptr);
    EXPECT_EQ(button(*page, idc_find_me_toggle)->text(), "Start");
    EXPECT_FALSE(page->timers().running(find_me_timer_id));
}

TEST_F(utility_page_ui, about_page_shows_both_versions) {
    params.set_fw_date(21, 11, 17, 1);
    about_page page(ctx, nullptr);
    const auto text = [&](int id) { return page.findChild<QLabel*>(control_name(id))->text(); };
    EXPECT_EQ(text(idc_app_version), "V3.0R1");
    EXPECT_EQ(text(idc_amp_version), "V21.11.17.1");
    QStringList groups;
    for (auto* g : page.findChildren<QGroupBox*>())
        groups << g->title();
    EXPECT_EQ(groups, (QStringList{"App Version", "Amplifier Version"}));
}

}  // namespace
}  // namespace tavrin
