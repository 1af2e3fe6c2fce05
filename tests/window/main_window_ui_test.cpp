// The main window offscreen: start-up, the message list, tabs and pages, secondary
// windows, the lamp, the search with its scan window, and the device controls.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "app/lamp_colour.h"
#include "app/tool_core.h"
#include "link/answer_texts.h"
#include "platform/ui/message_box.h"
#include "tests/support/qt_test_app.h"
#include "tests/support/session_fakes.h"
#include "window/main_window_qt.h"
#include "window/scan_window_qt.h"
#include "window/status_lamp_qt.h"

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

class scripted_discovery : public discovery_port {
  public:
    void restart_runtime() override { ++restarts; }
    std::vector<std::string> end_of_scan(brand_rule rule) override {
        // Runs beside the UI thread; a test may hold it until it lets go.
        std::unique_lock lock(mutex);
        end_rules.push_back(rule);
        release.wait(lock, [this] { return !hold; });
        return found;
    }
    void let_go() {
        std::lock_guard lock(mutex);
        hold = false;
        release.notify_all();
    }
    std::vector<std::string> refill(brand_rule rule) override {
        refill_rules.push_back(rule);
        return rule == brand_rule::all ? all : found;
    }
    void select_interfaces(uint32_t p, uint32_t s) override {
        primary = p;
        secondary = s;
    }

    int restarts = 0;
    std::mutex mutex;
    std::condition_variable release;
    bool hold = false;
    std::vector<brand_rule> end_rules, refill_rules;
    std::vector<std::string> found{"Amp-2", "amp-10", "Amp-1"};
    std::vector<std::string> all{"Zed", "Amp-1", "Other-Device"};
    uint32_t primary = 0, secondary = 0;
};

struct shown_box {
    std::string text, caption;
    box_icon icon;
};

class MainWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::qt_app();
        previous_ =
            set_box_presenter([this](QWidget*, const std::string& text, const std::string& caption,
                                     box_icon icon, box_buttons) {
                boxes.push_back({text, caption, icon});
                return box_answer::ok;
            });
    }
    void TearDown() override {
        window.reset();
        set_box_presenter(previous_);
    }
    main_window& make() {
        bench.session.set_events(&port);
        window = std::make_unique<main_window>(
            main_window_parts{bench.session, port, discovery, [this] { return worker_ok; }});
        window->show();
        return *window;
    }
    // One wake-up of the session, as its thread would take it (its events reach the
    // window at once: this is the UI thread).
    void step() { bench.step(); }
    link_state state() const { return bench.session.view().state(); }
    QPushButton* button(int id) { return window->controls().get<QPushButton>(id); }
    QColor lamp_pixel() {
        QCoreApplication::processEvents();
        const QImage image = window->lamp()->grab().toImage();
        return image.pixelColor(window->lamp()->centre());
    }
    // Fires the end of the search and waits until the list is filled.
    void end_search() {
        window->timers().fire(discovery_timer_id);
        wait_for_scan_end();
    }
    // The end step runs on a thread of its own and may take a while on a loaded
    // machine: wait on the window's events until its result arrived.
    void wait_for_scan_end() {
        EXPECT_TRUE(QTest::qWaitFor([this] { return window->scan() == nullptr; }, 10000))
            << "the search's end step never came back";
    }
    QStringList device_names() {
        QStringList names;
        for (int i = 0; i < window->device_list()->count(); ++i)
            names << window->device_list()->item(i)->text();
        return names;
    }

    QObject context;
    queued_events port{&context};
    testing::session_bench bench{false};
    command_ring& ring = bench.session.outbox();
    scripted_discovery discovery;
    bool worker_ok = true;
    std::vector<shown_box> boxes;
    std::unique_ptr<main_window> window;

  private:
    box_presenter previous_;
};

TEST_F(MainWindow, StartsIdleWithTheVolumePage) {
    main_window& w = make();
    EXPECT_TRUE(w.worker_started());
    EXPECT_EQ(&port, &w.events());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("TAVRIN-PA22 Config Tool (V3.0R1)"));
    EXPECT_EQ(w.info_panel()->text(), QStringLiteral("No Device"));
    EXPECT_EQ(w.device_list()->count(), 0);
    EXPECT_EQ(lamp_pixel(), QColor(180, 0, 0));
    step();
    EXPECT_TRUE(bench.session.view().run_flag());
    EXPECT_EQ(state(), link_state::idle);
    EXPECT_TRUE(bench.control.sent().empty());
    EXPECT_FALSE(bench.session.poll_timer_on());

    ASSERT_EQ(w.tabs()->count(), tab_count);
    const QStringList captions{"Volume", "Input",   "Parametric EQ", "Filter", "Frequency Respond",
                               "Power",  "Utility", "Update",        "About"};
    for (int i = 0; i < tab_count; ++i)
        EXPECT_EQ(w.tabs()->tabText(i), captions[i]);
    EXPECT_EQ(w.tabs()->currentIndex(), 0);
    ASSERT_NE(w.page_window(), nullptr);
    EXPECT_EQ(w.page_window()->objectName(), QStringLiteral("page_103"));
    EXPECT_TRUE(w.page_window()->isVisible());
    EXPECT_EQ(w.page_window()->size(), dlu_size(w.controls().units, 400, 235));

    EXPECT_EQ(w.brand_filter()->count(), 3);
    EXPECT_EQ(w.brand_filter()->itemText(0), QStringLiteral("TAVRIN-PA22"));
    EXPECT_EQ(w.brand_filter()->itemText(1), QStringLiteral("Varnoll AB"));
    EXPECT_EQ(w.brand_filter()->itemText(2), QStringLiteral("All"));
    EXPECT_EQ(w.current_rule(), brand_rule::model);
    EXPECT_FALSE(w.message_list()->isVisible());
    EXPECT_EQ(discovery.restarts, 0);  // the runtime waits for the first Discovery
}

TEST_F(MainWindow, WorkerThatCannotStartIsReported) {
    worker_ok = false;
    EXPECT_FALSE(make().worker_started());
}

TEST_F(MainWindow, MessageListKeepsTheHundredNewestOnTop) {
    main_window& w = make();
    for (int i = 1; i <= 101; ++i)
        w.log_line("line " + std::to_string(i));
    ASSERT_EQ(w.message_list()->count(), 100);
    const std::string top = w.message_list()->item(0)->text().toStdString();
    EXPECT_TRUE(stamped(top, "line 101")) << top;
    EXPECT_TRUE(w.message_list()->item(99)->text().endsWith(QStringLiteral("   line 2")));

    // From another thread the line arrives through the event loop.
    std::thread other([&] { w.events().log_line("from the worker"); });
    other.join();
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.message_list()->item(0)->text().endsWith(QStringLiteral("   from the worker")));
    EXPECT_EQ(w.message_list()->count(), 100);

    button(idc_clear)->click();
    EXPECT_EQ(w.message_list()->count(), 0);
}

TEST_F(MainWindow, EachTabGetsAFreshPageAndTheOldOneGoesWithItsTimers) {
    main_window& w = make();
    QPointer<QWidget> first = w.page_window();
    w.tabs()->setCurrentIndex(2);
    EXPECT_TRUE(first.isNull());
    ASSERT_NE(w.page_window(), nullptr);
    EXPECT_EQ(w.page_window()->objectName(), QStringLiteral("page_105"));
    QPointer<QWidget> eq = w.page_window();
    w.tabs()->setCurrentIndex(0);
    EXPECT_TRUE(eq.isNull());
    EXPECT_NE(w.page_window(), nullptr);
    EXPECT_EQ(w.page_window()->objectName(), QStringLiteral("page_103"));
}

TEST_F(MainWindow, PagesComeFromTheFactory) {
    QPointer<QTimer> page_timer;
    int made = 0;
    window = std::make_unique<main_window>(
        main_window_parts{bench.session, port, discovery, [] { return true; },
                          [&](int tab, QWidget* parent) -> QWidget* {
                              ++made;
                              if (tab != 1)
                                  return nullptr;
                              auto* page = new QWidget(parent);
                              page_timer = new QTimer(page);
                              page_timer->start(300);
                              return page;
                          }});
    EXPECT_EQ(made, 1);
    window->tabs()->setCurrentIndex(1);
    EXPECT_EQ(made, 2);
    EXPECT_EQ(window->page_window()->objectName(), QStringLiteral("page_104"));
    ASSERT_FALSE(page_timer.isNull());
    window->tabs()->setCurrentIndex(5);
    EXPECT_TRUE(page_timer.isNull());  // the page's timer ended with it
    EXPECT_EQ(window->page_window()->objectName(), QStringLiteral("page_108"));
}

TEST_F(MainWindow, SecondaryWindowsExistAtMostOnce) {
    main_window& w = make();
    button(idc_network)->click();
    QWidget* network = w.secondary_window(network_template_id);
    ASSERT_NE(network, nullptr);
    EXPECT_EQ(network->windowTitle(), QStringLiteral("Network Interface"));
    button(idc_network)->click();
    EXPECT_EQ(w.secondary_window(network_template_id), network);
    EXPECT_EQ(w.findChildren<QWidget*>(QStringLiteral("window_141")).size(), 1);

    // Closed, it is forgotten and the next press makes a new one.
    network->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(w.secondary_window(network_template_id), nullptr);
    button(idc_network)->click();
    EXPECT_NE(w.secondary_window(network_template_id), nullptr);

    button(idc_save_as)->click();
    button(idc_summary)->click();
    EXPECT_EQ(w.secondary_window(save_as_template_id)->windowTitle(), QStringLiteral("Save As..."));
    EXPECT_EQ(w.secondary_window(summary_template_id)->windowTitle(),
              QStringLiteral("Setting Summary"));
}

TEST_F(MainWindow, LampFollowsConnectionAndVersionGate) {
    main_window& w = make();
    EXPECT_EQ(lamp_pixel(), QColor(180, 0, 0));
    bench.session.choose("Amp-1");
    step();
    EXPECT_EQ(lamp_pixel(), QColor(0, 180, 0));
    const testing::bytes old = testing::full_answer(0, 21, 11, 17, 0);
    bench.session.on_amp_message("Amp-1", old.data(), old.size());
    step();
    EXPECT_EQ(lamp_pixel(), QColor(250, 250, 0));
    // Outline colour at the ellipse's edge.
    const QImage image = w.lamp()->grab().toImage();
    EXPECT_EQ(image.pixelColor(w.lamp()->centre().x(), lamp_top - lamp_area_top),
              QColor(10, 10, 10));
    // The lamp sits at its window rectangle.
    EXPECT_EQ(w.lamp()->geometry(), QRect(15, 20, 20, 20));
}

TEST_F(MainWindow, DiscoveryDisablesTheWindowAndListsWhatTheScanFound) {
    main_window& w = make();
    w.device_list()->addItem(QStringLiteral("stale"));
    button(idc_discovery)->click();
    EXPECT_EQ(discovery.restarts, 1);
    EXPECT_EQ(w.device_list()->count(), 0);
    EXPECT_FALSE(w.isEnabled());
    ASSERT_NE(w.scan(), nullptr);
    EXPECT_TRUE(w.scan()->isVisible());
    EXPECT_TRUE(w.timers().running(discovery_timer_id));
    EXPECT_EQ(w.timers().period(discovery_timer_id), 6000);

    // Centred over the main window.
    const QRect outer = w.frameGeometry();
    EXPECT_EQ(w.scan()->pos(), QPoint(outer.x() + (outer.width() - w.scan()->width()) / 2,
                                      outer.y() + (outer.height() - w.scan()->height()) / 2));

    // The text counts dots once a second.
    scan_window* scan = w.scan();
    EXPECT_EQ(scan->text(), QStringLiteral("Discovering."));
    EXPECT_EQ(scan->timers().period(1000), 1000);
    QStringList texts;
    for (int i = 0; i < 4; ++i) {
        scan->timers().fire(1000);
        texts << scan->text();
    }
    EXPECT_EQ(texts,
              (QStringList{"Discovering..", "Discovering...", "Discovering.", "Discovering.."}));

    QPointer<scan_window> gone = scan;
    end_search();
    EXPECT_TRUE(w.isEnabled());
    EXPECT_TRUE(gone.isNull());
    EXPECT_EQ(w.scan(), nullptr);
    EXPECT_FALSE(w.timers().running(discovery_timer_id));
    ASSERT_EQ(discovery.end_rules.size(), 1u);
    EXPECT_EQ(discovery.end_rules[0], brand_rule::model);
    EXPECT_EQ(device_names(), (QStringList{"Amp-1", "amp-10", "Amp-2"}));
    EXPECT_EQ(w.device_list()->currentRow(), 0);
    EXPECT_TRUE(w.device_list()->item(0)->isSelected());
}

// A name of 31 wide letters: the list shortens it in the middle and keeps it whole in
// its tooltip and text; the info panel shortens it too, and "Location:" stays in sight.
TEST_F(MainWindow, LongNamesStayDistinguishableAndTheLocationLineVisible) {
    const std::string long_name = "WWWWWWWWWWWWWWW-Lobby-WWWWWWWWW";
    discovery.found = {long_name, "Amp-1"};
    main_window& w = make();
    w.discover_devices();
    end_search();
    EXPECT_EQ(w.device_list()->textElideMode(), Qt::ElideMiddle);
    const QListWidgetItem* item = w.device_list()->item(1);
    EXPECT_EQ(item->text().toStdString(), long_name);
    EXPECT_EQ(item->toolTip().toStdString(), long_name);

    w.info_changed(device_info_text(long_name, {'H', 'a', 'l', 'l', ' ', 'B'}));
    QLabel* panel = w.info_panel();
    const QFontMetrics metrics(panel->font());
    const QStringList lines = panel->text().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 5);
    for (const QString& line : lines)
        EXPECT_LE(metrics.horizontalAdvance(line), panel->contentsRect().width())
            << line.toStdString();
    EXPECT_TRUE(lines[4].startsWith(QStringLiteral(" Location:")));
    EXPECT_GE(panel->contentsRect().height(), 5 * metrics.lineSpacing());
    EXPECT_NE(panel->toolTip().toStdString().find(long_name), std::string::npos);
}

// The end step waits on every device; meanwhile the window keeps working: the scan
// window counts its dots and the window stays disabled until the list is there.
TEST_F(MainWindow, TheEndOfASearchRunsBesideTheWindow) {
    discovery.hold = true;
    main_window& w = make();
    w.discover_devices();
    w.timers().fire(discovery_timer_id);
    QCoreApplication::processEvents();
    ASSERT_NE(w.scan(), nullptr);
    EXPECT_FALSE(w.isEnabled());
    w.scan()->timers().fire(1000);
    EXPECT_EQ(w.scan()->text(), QStringLiteral("Discovering.."));
    // A second expiry while the end runs starts no second end step.
    w.timers().fire(discovery_timer_id);
    discovery.let_go();
    wait_for_scan_end();
    EXPECT_TRUE(w.isEnabled());
    EXPECT_EQ(device_names(), (QStringList{"Amp-1", "amp-10", "Amp-2"}));
    std::lock_guard lock(discovery.mutex);
    EXPECT_EQ(discovery.end_rules.size(), 1u);
}

TEST_F(MainWindow, EmptyScanSelectsNothing) {
    discovery.found.clear();
    main_window& w = make();
    w.discover_devices();
    end_search();
    EXPECT_EQ(w.device_list()->count(), 0);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainWindow, BrandFilterRefillsWithTheNewRule) {
    main_window& w = make();
    drop_down* filter = w.brand_filter();
    filter->showPopup();
    filter->setCurrentIndex(2);
    filter->hidePopup();
    emit filter->activated(2);
    QCoreApplication::processEvents();
    ASSERT_EQ(discovery.refill_rules.size(), 1u);
    EXPECT_EQ(discovery.refill_rules[0], brand_rule::all);
    EXPECT_EQ(device_names(), (QStringList{"Amp-1", "Other-Device", "Zed"}));
    EXPECT_TRUE(w.device_list()->selectedItems().isEmpty());

    // Closing without a choice leaves the list alone.
    filter->showPopup();
    filter->hidePopup();
    QCoreApplication::processEvents();
    EXPECT_EQ(discovery.refill_rules.size(), 1u);

    filter->showPopup();
    filter->setCurrentIndex(1);
    filter->hidePopup();
    emit filter->activated(1);
    QCoreApplication::processEvents();
    EXPECT_EQ(discovery.refill_rules.back(), brand_rule::maker);
}

TEST_F(MainWindow, DoubleClickWithoutSelectionAsksForOne) {
    main_window& w = make();
    QTest::mouseDClick(w.device_list()->viewport(), Qt::LeftButton);
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Please select a device.");
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].icon, box_icon::error);
    step();
    EXPECT_EQ(state(), link_state::idle);
    EXPECT_TRUE(bench.session.device().empty());
}

TEST_F(MainWindow, DoubleClickOnAnEntryChoosesItWithoutRepaintingTheLamp) {
    main_window& w = make();
    w.discover_devices();
    end_search();
    QListWidget* list = w.device_list();
    const QRect second = list->visualItemRect(list->item(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, second.center());
    QCoreApplication::processEvents();
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(ring.waiting(), 0u);  // the session connects, not the click
    step();
    EXPECT_EQ(state(), link_state::open);
    EXPECT_EQ(bench.session.name(), "amp-10");
}

TEST_F(MainWindow, HiddenControlsKeepTheirActions) {
    main_window& w = make();
    button(idc_connect)->click();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Please select a device.");

    w.discover_devices();
    end_search();
    button(idc_connect)->click();
    EXPECT_EQ(w.device_list()->count(), 0);
    step();
    EXPECT_EQ(state(), link_state::open);
    EXPECT_EQ(bench.session.name(), "Amp-1");

    // The worker's caption change arrives from its thread.
    std::thread worker([&] { w.events().link_changed(true); });
    worker.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(button(idc_connect)->text(), QStringLiteral("Disconnect"));

    bench.control.clear();
    button(idc_synchronize)->click();
    step();
    EXPECT_EQ(bench.control.codes(), std::vector<std::string>{"e3"});
    EXPECT_TRUE(bench.session.poll_timer_on());

    button(idc_find_me)->click();
    EXPECT_EQ(ring.waiting(), 1u);

    button(idc_connect)->click();
    step();
    EXPECT_EQ(state(), link_state::idle);
}

TEST_F(MainWindow, InfoTextFromTheAnswerHandling) {
    main_window& w = make();
    std::thread worker([&] { w.events().info_changed("Firmware Version Error"); });
    worker.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(w.info_panel()->text(), QStringLiteral("Firmware Version Error"));
}

// The interface arguments reach the wrapper's selection: equal indexes give one
// interface, 0 first keeps the automatic choice.
TEST(StartupInterfaces, ArgumentsReachTheBrowseSelection) {
    library_calls library;
    dante_wrapper wrapper(library);
    session_events events;
    wrapper_discovery discovery(wrapper, events, system_time());

    discovery.select_interfaces(3, 3);
    db_browse_config_t config = wrapper.iface_selection();
    EXPECT_EQ(config.num_networks, 1u);
    EXPECT_EQ(config.interface_indexes[0], 3u);

    discovery.select_interfaces(3, 5);
    config = wrapper.iface_selection();
    EXPECT_EQ(config.num_networks, 2u);
    EXPECT_EQ(config.interface_indexes[0], 3u);
    EXPECT_EQ(config.interface_indexes[1], 5u);

    discovery.select_interfaces(0, 5);
    db_browse_config_t automatic{};
    db_browse_config_init(&automatic);
    config = wrapper.iface_selection();
    EXPECT_EQ(config.num_networks, automatic.num_networks);
    EXPECT_EQ(config.interface_indexes[0], automatic.interface_indexes[0]);
}

}  // namespace
}  // namespace tavrin
