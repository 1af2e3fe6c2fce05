// The Qt layer every window and page uses: dialog units, the template builder, list
// order, edit filtering, trackbars, drop-downs, window timers and the UI port.
#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyleOptionSlider>
#include <QTemporaryDir>
#include <QTest>
#include <thread>

#include "platform/ui/dialog_builder.h"
#include "platform/ui/drop_down.h"
#include "platform/ui/edit_filter.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/list_box.h"
#include "platform/ui/trackbar.h"
#include "platform/ui/window_timers.h"
#include "tests/support/qt_test_app.h"

// Fontconfig keeps caches for the life of the process; they are not our leaks.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}

namespace tavrin {
namespace {

using testing::qt_app;

TEST(DialogUnits, QuarterAndEighthOfTheFontMetricsRounded) {
    const dialog_base_units units{6, 13};
    EXPECT_EQ(dlu_rect(units, 86, 76, 70, 14), QRect(129, 124, 105, 23));
    EXPECT_EQ(dlu_size(units, 595, 279), QSize(893, 453));
    // MulDiv rounds halves away from zero.
    EXPECT_EQ(dlu_to_x({7, 13}, 2), 4);
    EXPECT_EQ(dlu_to_y({7, 13}, 4), 7);
    EXPECT_EQ(dlu_to_x({6, 13}, -2), -3);
}

TEST(DialogBuilder, MainTemplateControls) {
    qt_app();
    QWidget host;
    const dialog_template* tmpl = find_template(main_template_id);
    ASSERT_NE(tmpl, nullptr);
    const built_dialog built = build_dialog(*tmpl, &host);
    EXPECT_EQ(host.windowTitle(), QStringLiteral("TAVRIN-PA22 Config Tool (V3.0R1)"));
    EXPECT_EQ(host.size(), dlu_size(built.units, 595, 279));
    EXPECT_GT(built.units.x, 0);
    EXPECT_GT(built.units.y, 0);

    auto* discovery = host.findChild<QPushButton*>(QStringLiteral("idc_1003"));
    ASSERT_NE(discovery, nullptr);
    EXPECT_EQ(discovery, built.control(1003));
    EXPECT_EQ(discovery->text(), QStringLiteral("Discovery"));
    EXPECT_EQ(discovery->geometry(), dlu_rect(built.units, 86, 76, 70, 14));

    auto* list = host.findChild<QListWidget*>(QStringLiteral("idc_1005"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->geometry(), dlu_rect(built.units, 11, 95, 144, 59));
    EXPECT_TRUE(list->property(sorted_property).toBool());

    // A drop-down keeps its natural height; the template's is that of its list.
    auto* brand = built.get<drop_down>(1292);
    ASSERT_NE(brand, nullptr);
    EXPECT_EQ(brand->geometry().topLeft(), dlu_rect(built.units, 11, 78, 70, 30).topLeft());
    EXPECT_LT(brand->height(), dlu_to_y(built.units, 30));

    // Disabled and hidden controls as the template says.
    EXPECT_FALSE(built.control(1008)->isEnabled());
    EXPECT_TRUE(built.control(1237)->isEnabled());
    for (int id : {1014, 1004, 1006, 1012, 1287, 1013, 1010}) {
        ASSERT_NE(built.control(id), nullptr) << id;
        EXPECT_TRUE(built.control(id)->isHidden()) << id;
    }
    host.show();
    EXPECT_FALSE(built.control(1014)->isVisible());
    EXPECT_TRUE(built.control(1005)->isVisible());
}

TEST(DialogBuilder, ScanTemplateHasNoCaption) {
    qt_app();
    QWidget host;
    const built_dialog built = build_dialog(*find_template(scan_template_id), &host);
    EXPECT_EQ(host.size(), dlu_size(built.units, 139, 33));
    EXPECT_TRUE(host.windowTitle().isEmpty());
    ASSERT_NE(built.get<QLabel>(1220), nullptr);
    EXPECT_EQ(built.get<QLabel>(1220)->text(), QStringLiteral("Scanning."));
    EXPECT_EQ(find_template(4242), nullptr);
}

TEST(ListBox, SortedControlsKeepCaseInsensitiveOrder) {
    qt_app();
    QListWidget list;
    list.setProperty(sorted_property, true);
    for (const char* name : {"amp-2", "Amp-1", "Zeta", "Amp-Old", "Amp-3", "AMP-1"})
        add_string(&list, QString::fromUtf8(name));
    QStringList order;
    for (int i = 0; i < list.count(); ++i)
        order << list.item(i)->text();
    EXPECT_EQ(order, (QStringList{"AMP-1", "Amp-1", "amp-2", "Amp-3", "Amp-Old", "Zeta"}));

    QListWidget plain;
    add_string(&plain, QStringLiteral("b"));
    add_string(&plain, QStringLiteral("a"));
    EXPECT_EQ(plain.item(0)->text(), QStringLiteral("b"));
    EXPECT_FALSE(selected_text(&plain));
    plain.setCurrentRow(1);
    EXPECT_EQ(selected_text(&plain), QStringLiteral("a"));
}

class EditFilter : public ::testing::Test {
  protected:
    void SetUp() override {
        qt_app();
        window.resize(200, 100);
        edit = new QLineEdit(&window);
        other = new QLineEdit(&window);
        other->move(0, 40);
        window.show();
        edit->setFocus();
    }
    edit_rules rules() {
        edit_rules r;
        r.apply = [this] { ++applied; };
        r.page_current = [this] { return page_current; };
        return r;
    }

    // The application comes before the first widget.
    QApplication& app_ = qt_app();
    QWidget window;
    QLineEdit* edit = nullptr;
    QLineEdit* other = nullptr;
    int applied = 0;
    bool page_current = true;
};

TEST_F(EditFilter, OnlyAllowedCharactersAreTyped) {
    install_edit_filter(edit, rules());
    QTest::keyClicks(edit, "1a2 -3.x5");
    EXPECT_EQ(edit->text(), QStringLiteral("12-3.5"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), QStringLiteral("12-3."));
    EXPECT_EQ(applied, 0);
}

TEST_F(EditFilter, EnterAppliesAndIsSwallowed) {
    install_edit_filter(edit, rules());
    QSignalSpy returns(edit, &QLineEdit::returnPressed);
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Enter);
    EXPECT_EQ(applied, 2);
    EXPECT_EQ(returns.count(), 0);
}

TEST_F(EditFilter, TabAppliesOnlyWhenThePageSaysSo) {
    edit_rules r = rules();
    r.tab_applies = false;
    r.page_current = [] { return false; };
    install_edit_filter(edit, r);
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_EQ(applied, 0);
}

// One edit applies once, whatever ends it: the focus leaving after Enter or Tab has
// applied the value adds nothing, and a field the focus only passes through applies
// nothing; typing again makes a new edit, and Enter applies whenever it is pressed.
TEST_F(EditFilter, OneEditAppliesOnceWhateverEndsIt) {
    enum step { type, enter, tab, click_other, click_back };
    const struct {
        const char* what;
        std::vector<step> steps;
        int applies;
    } cases[] = {
        {"Tab", {type, tab}, 1},
        {"Enter, then a click elsewhere", {type, enter, click_other}, 1},
        {"a click elsewhere", {type, click_other}, 1},
        {"Enter, typing again, Tab", {type, enter, type, tab}, 2},
        {"Enter twice", {type, enter, enter}, 2},
        {"Tab, a click back, a click elsewhere", {type, tab, click_back, click_other}, 1},
        {"Tab without typing", {tab}, 0},
        {"a click in and out", {click_back, click_other}, 0},
    };
    install_edit_filter(edit, rules());
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    for (const auto& c : cases) {
        edit->setFocus();
        QCoreApplication::processEvents();
        applied = 0;
        for (step s : c.steps) {
            switch (s) {
                case type:
                    QTest::keyClicks(edit, "5");
                    break;
                case enter:
                    QTest::keyClick(edit, Qt::Key_Return);
                    break;
                case tab:
                    QTest::keyClick(edit, Qt::Key_Tab);
                    break;
                case click_other:
                    other->setFocus(Qt::MouseFocusReason);
                    break;
                case click_back:
                    edit->setFocus(Qt::MouseFocusReason);
                    break;
            }
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(applied, c.applies) << c.what;
    }
}

TEST_F(EditFilter, FocusLossAppliesOnlyWhileThePageIsCurrent) {
    install_edit_filter(edit, rules());
    QFocusEvent out(QEvent::FocusOut, Qt::OtherFocusReason);
    page_current = false;
    QTest::keyClicks(edit, "5");
    QApplication::sendEvent(edit, &out);
    EXPECT_EQ(applied, 0);
    page_current = true;
    QApplication::sendEvent(edit, &out);
    EXPECT_EQ(applied, 1);
}

TEST_F(EditFilter, ClickSelectsAllText) {
    install_edit_filter(edit, rules());
    edit->setText(QStringLiteral("1234"));
    edit->deselect();
    QTest::mouseClick(edit, Qt::LeftButton, {}, QPoint(3, edit->height() / 2));
    QCoreApplication::processEvents();
    EXPECT_EQ(edit->selectedText(), QStringLiteral("1234"));
}

struct trackbar_probe : trackbar {
    using trackbar::trackbar;
    QStyleOptionSlider option() const {
        QStyleOptionSlider o;
        initStyleOption(&o);
        return o;
    }
};

TEST(Trackbar, VerticalPositionCountsFromTheTop) {
    qt_app();
    trackbar_probe bar(Qt::Vertical);
    bar.set_range(0, 100);
    bar.resize(20, 200);
    bar.set_position(0);
    // Position 0 draws at the top: the handle's centre is in the upper half.
    const QStyleOptionSlider option = bar.option();
    const QRect handle =
        bar.style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, &bar);
    EXPECT_LT(handle.center().y(), 100);
    // Down moves the thumb down: the position grows.
    QTest::keyClick(&bar, Qt::Key_Down);
    EXPECT_EQ(bar.position(), 1);
    QTest::keyClick(&bar, Qt::Key_Up);
    EXPECT_EQ(bar.position(), 0);

    trackbar flat(Qt::Horizontal);
    EXPECT_FALSE(flat.invertedAppearance());
}

TEST(Trackbar, ScrollCodesFollowTheKeysAndThePointer) {
    qt_app();
    QWidget window;
    auto* bar = new trackbar(Qt::Vertical, &window);
    bar->setGeometry(0, 0, 24, 260);
    bar->set_range(0, 250);
    window.show();
    std::vector<std::pair<scroll_code, int>> seen;  // each code with the position it saw
    QObject::connect(bar, &trackbar::scrolled, bar, [&](scroll_code c) {
        seen.push_back({c, bar->position()});
    });
    using c = scroll_code;
    using seen_list = std::vector<std::pair<scroll_code, int>>;

    bar->set_position(100);  // the program moving the bar reports nothing
    QTest::keyClick(bar, Qt::Key_Down);
    QTest::keyClick(bar, Qt::Key_PageUp);
    QTest::keyClick(bar, Qt::Key_Home);
    EXPECT_EQ(seen, (seen_list{{c::line_down, 101},
                               {c::end_scroll, 101},
                               {c::page_up, 91},
                               {c::end_scroll, 91},
                               {c::top, 0},
                               {c::end_scroll, 0}}));

    // Dragging the thumb: track at every new position, then position and end.
    seen.clear();
    const QPoint grip = bar->thumb_rect().center();
    QTest::mousePress(bar, Qt::LeftButton, {}, grip);
    QTest::mouseMove(bar, bar->thumb_centre_at(100));
    QTest::mouseMove(bar, bar->thumb_centre_at(200));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->thumb_centre_at(200));
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].first, c::thumb_track);
    EXPECT_EQ(seen[1].first, c::thumb_track);
    EXPECT_EQ(seen[2].first, c::thumb_position);
    EXPECT_EQ(seen[3].first, c::end_scroll);
    // Where the thumb's centre is drawn for a position is where a drag lands on it.
    EXPECT_EQ(seen[0].second, 100);
    EXPECT_EQ(seen[3].second, 200);

    // A click on the channel below the thumb pages down and ends.
    seen.clear();
    bar->set_position(0);
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(12, 250));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::make_pair(c::page_down, 10));
    EXPECT_EQ(seen[1].first, c::end_scroll);
}

// A group box's frame has its top line half the font height below the box's top,
// with the title on that line, so the controls a template puts inside the box lie
// below the line on every window and page.
TEST(DialogBuilder, GroupBoxesPutTheirLineAndTitleWhereTheTemplatesMeanThem) {
    qt_app();
    int groups = 0;
    for (int id = 100; id < 200; ++id) {
        const dialog_template* tmpl = find_template(id);
        if (tmpl == nullptr)
            continue;
        QWidget host;
        const built_dialog built = build_dialog(*tmpl, &host);
        host.setAttribute(Qt::WA_DontShowOnScreen);
        host.show();
        const QImage image = host.grab().toImage();
        const QRgb background = image.pixel(image.width() - 1, image.height() - 1);
        const int half_font = QFontMetrics(host.font()).height() / 2;
        for (const dialog_control& g : tmpl->controls) {
            if (g.kind != control_kind::group_box || g.hidden)
                continue;
            ++groups;
            const QRect box = dlu_rect(built.units, g.x, g.y, g.w, g.h);
            const std::string where = std::to_string(id) + " \"" + std::string(g.text) + "\"";
            // The top line, found on the right edge, away from the title.
            int line = -1;
            for (int y = box.top(); y < box.bottom() && line < 0; ++y) {
                for (int x = box.right() - 2; x <= box.right(); ++x) {
                    if (image.pixel(x, y) != background) {
                        line = y;
                        break;
                    }
                }
            }
            ASSERT_GE(line, 0) << where;
            EXPECT_NEAR(line - box.top(), half_font, 1) << where;
            if (!g.text.empty()) {
                // The title's letters reach above the line.
                bool ink_above = false;
                const int title_end = box.left() + 4 * built.units.x;
                for (int y = box.top(); y < line && !ink_above; ++y) {
                    for (int x = box.left(); x < title_end; ++x)
                        ink_above = ink_above || image.pixel(x, y) != background;
                }
                EXPECT_TRUE(ink_above) << where;
            }
            for (const dialog_control& c : tmpl->controls) {
                const bool inside = &c != &g && !c.hidden && c.x >= g.x && c.y >= g.y &&
                                    c.x + c.w <= g.x + g.w && c.y + c.h <= g.y + g.h;
                if (inside) {
                    EXPECT_GT(dlu_rect(built.units, c.x, c.y, c.w, c.h).top(), line)
                        << where << " holds \"" << c.text << "\" (" << c.id << ")";
                }
            }
        }
    }
    EXPECT_GT(groups, 20);
}

TEST(DialogBuilder, FramesAndPlainTextsLetClicksThrough) {
    qt_app();
    using k = control_kind;
    // The frame and the text come after the controls they lie over.
    const std::array<dialog_control, 4> controls{{
        {10, k::button, "Under", 10, 10, 40, 14},
        {no_control_id, k::group_box, "Frame", 5, 2, 100, 40},
        {11, k::static_text, "Text", 5, 5, 60, 30},
        {12, k::static_text, "Notify", 70, 5, 20, 20, style_notify},
    }};
    const dialog_template tmpl{999, template_kind::page, "", 120, 50, controls};
    QWidget host;
    const built_dialog built = build_dialog(tmpl, &host);
    QWidget* button = built.control(10);
    EXPECT_EQ(host.childAt(button->geometry().center()), button);
    EXPECT_EQ(host.childAt(built.control(12)->geometry().center()), built.control(12));
}

TEST(DropDown, ReportsOpeningAndClosingWithOrWithoutAChoice) {
    qt_app();
    QWidget window;
    auto* combo = new drop_down(&window);
    combo->addItems({QStringLiteral("a"), QStringLiteral("b")});
    window.show();
    QSignalSpy opened(combo, &drop_down::about_to_open);
    QSignalSpy closed(combo, &drop_down::closed);

    combo->showPopup();
    EXPECT_EQ(opened.count(), 1);
    combo->hidePopup();
    QCoreApplication::processEvents();
    ASSERT_EQ(closed.count(), 1);
    EXPECT_FALSE(closed.at(0).at(0).toBool());

    combo->showPopup();
    combo->hidePopup();
    emit combo->activated(1);
    QCoreApplication::processEvents();
    ASSERT_EQ(closed.count(), 2);
    EXPECT_TRUE(closed.at(1).at(0).toBool());

    // Hiding a popup that never opened reports nothing.
    combo->hidePopup();
    QCoreApplication::processEvents();
    EXPECT_EQ(closed.count(), 2);
}

TEST(WindowTimers, OneTimerPerIdOwnedByTheWindow) {
    qt_app();
    auto* window = new QWidget;
    window_timers timers(window);
    int ticks = 0;
    timers.set_timer(1000, 1000, [&] { ++ticks; });
    EXPECT_TRUE(timers.running(1000));
    EXPECT_EQ(timers.period(1000), 1000);
    timers.fire(1000);
    EXPECT_EQ(ticks, 1);
    // Setting it again restarts it with the new period and tick.
    timers.set_timer(1000, 20, [&] { ticks += 10; });
    EXPECT_EQ(timers.period(1000), 20);
    QTest::qWait(80);
    EXPECT_GE(ticks, 11);
    timers.kill_timer(1000);
    EXPECT_FALSE(timers.running(1000));
    EXPECT_FALSE(timers.running(2000));
    timers.kill_timer(2000);  // unknown ids are harmless
    // A tick may kill its own timer.
    timers.set_timer(6000, 10, [&] { timers.kill_timer(6000); });
    timers.fire(6000);
    EXPECT_FALSE(timers.running(6000));
    delete window;
}

// The filters as the dialog matches them: "*.*" admits every file, as it does where
// the patterns come from, files without an extension too.
TEST(FileDialog, FiltersMatchAsTheirPatternsMean) {
    qt_app();
    QTemporaryDir dir;
    for (const char* name : {"firmware", "image.hex", "notes.txt"})
        QFile(dir.filePath(QString::fromUtf8(name))).open(QIODevice::WriteOnly);
    const QStringList filters =
        qt_name_filters({{{"All", "*.*"}, {"Hex file(*.hex)", "*.hex"}}, 1});
    ASSERT_EQ(filters.size(), 2);
    EXPECT_EQ(filters[1], QStringLiteral("Hex file(*.hex)"));
    const auto files_shown = [&](const QString& filter) {
        // The dialog's own reading of a filter: the blank-separated patterns in the
        // last parentheses.
        const qsizetype open = filter.lastIndexOf(QLatin1Char('('));
        const QStringList patterns =
            filter.mid(open + 1, filter.size() - open - 2).split(QLatin1Char(' '));
        return QDir(dir.path()).entryList(patterns, QDir::Files, QDir::Name);
    };
    EXPECT_EQ(files_shown(filters[0]), (QStringList{"firmware", "image.hex", "notes.txt"}));
    EXPECT_EQ(files_shown(filters[1]), QStringList{"image.hex"});
}

}  // namespace
}  // namespace tavrin
