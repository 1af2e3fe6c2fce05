// Scripted sessions on the main window offscreen: every verb against a page of known
// controls and a graph with a known plot rectangle, message boxes and file dialogs
// answered or not, a quick scripted search and connection, and each way a script
// stops (exit codes and messages).
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>
#include <sstream>

#include "app/tool_core.h"
#include "pages/freq_respond_page_qt.h"
#include "platform/ui/drop_down.h"
#include "platform/ui/edit_filter.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/graph_mapping.h"
#include "platform/ui/message_box.h"
#include "platform/ui/trackbar.h"
#include "play/play_driver_qt.h"
#include "play/play_script.h"
#include "play/tour_qt.h"
#include "tests/support/qt_test_app.h"
#include "tests/support/session_fakes.h"
#include "window/main_window_qt.h"
#include "window/queued_events_qt.h"

namespace tavrin {
namespace {

class play_discovery : public discovery_port {
  public:
    void restart_runtime() override { ++searches; }
    std::vector<std::string> end_of_scan(brand_rule) override {
        return searches > empty_searches ? found : std::vector<std::string>{};
    }
    std::vector<std::string> refill(brand_rule) override { return found; }
    void select_interfaces(uint32_t, uint32_t) override {}

    int searches = 0;
    int empty_searches = 0;  // the first searches find nothing
    std::vector<std::string> found{"Amp-1", "Amp-2"};
};

// The plot: 20 ... 330 across, 10 ... 290 down inside a child widget of the page.
const graph_axes known_axes{20, 10, 330, 290, 25, -25, 23000, 10};

class graph_area : public QWidget, public graph_mapping {
  public:
    explicit graph_area(QWidget* parent) : QWidget(parent) {}
    int graph_x(double hz) const override { return freq_to_x(hz, known_axes); }
    int graph_y(double db) const override { return db_to_y(db, known_axes); }

    std::vector<std::pair<char, QPoint>> events;  // 'p'ress, 'm'ove, 'r'elease

  protected:
    void mousePressEvent(QMouseEvent* e) override { events.push_back({'p', e->pos()}); }
    void mouseMoveEvent(QMouseEvent* e) override {
        if (e->buttons() & Qt::LeftButton)
            events.push_back({'m', e->pos()});
    }
    void mouseReleaseEvent(QMouseEvent* e) override { events.push_back({'r', e->pos()}); }
};

// A page with one control of each kind, wired so that a script can see what
// happened: answers, chosen files and applied values land in labels.
struct test_page {
    QWidget* page = nullptr;
    graph_area* graph = nullptr;
    std::vector<scroll_code> codes;
    std::vector<bool> closes;
    int opened = 0;

    QWidget* make(QWidget* parent) {
        page = new QWidget(parent);
        page->setFixedSize(560, 340);
        int row = 0;
        auto place = [&](QWidget* w, int id) {
            w->setObjectName(QStringLiteral("idc_%1").arg(id));
            w->setGeometry(5, 5 + 24 * row++, 180, 22);
            return w;
        };
        auto* edit = new QLineEdit(QStringLiteral("12"), page);
        place(edit, 2001);
        auto* applied = new QLabel(page);
        place(applied, 2002);
        install_edit_filter(edit, {QStringLiteral("0123456789-."), false, [] { return true; },
                                   [edit, applied] { applied->setText(edit->text()); }});
        place(new QLineEdit(page), 2003);
        place(new QCheckBox(QStringLiteral("Check"), page), 2004);
        place(new QRadioButton(QStringLiteral("One"), page), 2005);
        auto* ask = new QPushButton(QStringLiteral("Ask"), page);
        place(ask, 2007);
        auto* answer = new QLabel(page);
        place(answer, 2008);
        QObject::connect(ask, &QPushButton::clicked, answer, [answer, ask] {
            const box_answer a = show_message_box(ask, "Reset the amplifier?", "Reset",
                                                  box_icon::question, box_buttons::yes_no);
            answer->setText(QString::fromUtf8(answer_name(a)));
        });
        auto* open = new QPushButton(QStringLiteral("Open"), page);
        place(open, 2009);
        auto* chosen = new QLabel(page);
        place(chosen, 2010);
        QObject::connect(open, &QPushButton::clicked, chosen, [chosen, open] {
            const std::optional<std::string> file = choose_open_file(open, {});
            chosen->setText(file ? QString::fromStdString(*file) : QStringLiteral("cancelled"));
        });
        auto* list = new drop_down(page);
        place(list, 2011);
        list->addItems({QStringLiteral("20 Hz"), QStringLiteral("50 Hz")});
        QObject::connect(list, &drop_down::about_to_open, list, [this, list] {
            ++opened;
            if (list->findText(QStringLiteral("fresh")) < 0)
                list->addItem(QStringLiteral("fresh"));  // filled as it opens
        });
        QObject::connect(list, &drop_down::closed, list, [this](bool c) { closes.push_back(c); });
        auto* fader = new trackbar(Qt::Vertical, page);
        fader->setObjectName(QStringLiteral("idc_2013"));
        fader->setGeometry(190, 5, 24, 300);
        fader->set_range(0, 250);
        QObject::connect(fader, &trackbar::scrolled, fader,
                         [this](scroll_code c) { codes.push_back(c); });
        auto* trim = new trackbar(Qt::Horizontal, page);
        place(trim, 2014);
        trim->set_range(-100, 100);
        QObject::connect(trim, &trackbar::scrolled, trim,
                         [this](scroll_code c) { codes.push_back(c); });
        place(new QPushButton(QStringLiteral("Hidden"), page), 2015)->hide();
        place(new QPushButton(QStringLiteral("Off"), page), 2016)->setEnabled(false);
        graph = new graph_area(page);
        graph->setGeometry(220, 10, 340, 300);
        // A text lying over a button takes its clicks.
        auto* under = new QPushButton(QStringLiteral("Under"), page);
        under->setObjectName(QStringLiteral("idc_2018"));
        under->setGeometry(230, 312, 100, 24);
        auto* over = new QLabel(QStringLiteral("over"), page);
        over->setGeometry(220, 310, 200, 28);
        return page;
    }
};

class Play : public ::testing::Test {
  protected:
    void SetUp() override { testing::qt_app(); }
    void TearDown() override { window.reset(); }

    // The window with the test page on its first tab and the Frequency Respond page
    // on its own; searches end as soon as they start, and the amplifier's first answer
    // follows a connection at once.
    main_window& make() {
        bench.session.set_events(&port);
        window = std::make_unique<main_window>(
            main_window_parts{bench.session, port, discovery, [] { return true; },
                              [this](int tab, QWidget* parent) -> QWidget* {
                                  if (tab == 0)
                                      return page.make(parent);
                                  if (tab == 4)
                                      return make_freq_respond_page(context, parent);
                                  return nullptr;
                              }});
        window->show();
        auto* amplifier = new QTimer(window.get());
        QObject::connect(amplifier, &QTimer::timeout, window.get(), [this] {
            if (window->scan() != nullptr)
                window->timers().fire(discovery_timer_id);
            bench.step();
            if (answer_connection && bench.session.view().link_open() && !answered) {
                answered = true;
                window->info_changed(bench.session.name() + " answered");
                window->gated(false);
            }
        });
        amplifier->start(10);
        return *window;
    }

    int play(const std::string& text, const play_options& options = {}) {
        const play_parse_result parsed = parse_play_script(text, "t.play");
        EXPECT_FALSE(parsed.error) << (parsed.error ? parsed.error->message : "");
        err.str({});
        out.str({});
        return run_play(*window, parsed.script, options, out, err);
    }

    QObject port_context;
    queued_events port{&port_context};
    testing::session_bench bench{false};
    session_events events;
    page_shared shared;
    page_context context = session_context(bench.session, events, bench.time, shared);
    play_discovery discovery;
    test_page page;
    bool answer_connection = true;
    bool answered = false;
    std::ostringstream out, err;
    std::unique_ptr<main_window> window;
};

TEST_F(Play, ClicksTypingKeysAndFocusGoThroughTheWidgets) {
    make();
    EXPECT_EQ(play("expect 2001 12\n"
                   "type 2001 3.5x\n"  // the click selects "12"; x is filtered out
                   "expect 2001 3.5\n"
                   "expect 2002 \"\"\n"  // nothing applied yet
                   "key 2001 Enter\n"
                   "expect 2002 3.5\n"
                   "type 2001 7\n"
                   "focus 2003\n"  // losing the focus applies
                   "expect 2002 7\n"
                   "key 2003 Backspace\n"
                   "click 2004\n"
                   "expect 2004 checked\n"
                   "click 2004\n"
                   "expect 2004 unchecked\n"
                   "click 2005\n"
                   "expect 2005 checked\n"
                   "expect 2007 Ask\n"
                   "expect 1003 Discovery\n"),
              0)
        << err.str();
    EXPECT_EQ(QApplication::focusWidget(), window->findChild<QWidget*>("idc_2005"));
}

TEST_F(Play, TabsAreChosenByCaption) {
    main_window& w = make();
    EXPECT_EQ(play("tab Frequency Respond\n"
                   "expect 1059 checked\n"
                   "click 1059\n"
                   "expect 1059 unchecked\n"
                   "click 1059\n"
                   "tab Volume\n"
                   "expect 2001 12\n"),
              0)
        << err.str();
    EXPECT_EQ(w.tabs()->currentIndex(), 0);
}

TEST_F(Play, DropDownsOpenChooseAndClose) {
    make();
    EXPECT_EQ(play("choose 2011 1\n"
                   "expect 2011 50 Hz\n"
                   "choose 2011 \"fresh\"\n"  // added while opening
                   "expect 2011 fresh\n"
                   "choose 2011 none\n"
                   "expect 2011 fresh\n"
                   "choose 1292 \"All\"\n"
                   "expect 1292 All\n"),
              0)
        << err.str();
    EXPECT_EQ(page.opened, 3);
    EXPECT_EQ(page.closes, (std::vector<bool>{true, true, false}));

    EXPECT_EQ(play("choose 2011 \"70 Hz\"\nexpect 2011 wrong\n"), 1);
    EXPECT_EQ(err.str(),
              "t.play:1: expected the entry \"70 Hz\" in idc_2011, got \"20 Hz\", \"50 Hz\", "
              "\"fresh\"\n");
    EXPECT_FALSE(window->findChild<drop_down*>("idc_2011")->view()->isVisible());
    EXPECT_EQ(page.closes.back(), false);
    EXPECT_EQ(play("choose 2011 3\n"), 1);
}

TEST_F(Play, TrackbarsMoveWithTheNotificationsOfEachGesture) {
    make();
    using c = scroll_code;
    EXPECT_EQ(play("slide 2013 2 line\nexpect 2013 2\n"), 0) << err.str();
    EXPECT_EQ(page.codes,
              (std::vector<c>{c::line_down, c::end_scroll, c::line_down, c::end_scroll}));
    page.codes.clear();
    EXPECT_EQ(play("slide 2013 0 line\n"), 0) << err.str();
    EXPECT_EQ(page.codes, (std::vector<c>{c::line_up, c::end_scroll, c::line_up, c::end_scroll}));
    page.codes.clear();
    EXPECT_EQ(play("slide 2014 20 page\nexpect 2014 20\n"), 0) << err.str();
    EXPECT_EQ(page.codes,
              (std::vector<c>{c::page_down, c::end_scroll, c::page_down, c::end_scroll}));
    page.codes.clear();

    // A drag: thumb track while it moves, thumb position and end when let go.
    EXPECT_EQ(play("slide 2013 120\nexpect 2013 120\n"), 0) << err.str();
    ASSERT_GE(page.codes.size(), 3u);
    EXPECT_EQ(page.codes.front(), c::thumb_track);
    EXPECT_EQ(page.codes[page.codes.size() - 2], c::thumb_position);
    EXPECT_EQ(page.codes.back(), c::end_scroll);
    page.codes.clear();
    // Held while tracking: only track until `end` lets go.
    EXPECT_EQ(play("slide 2014 50 track\nexpect 2014 50\nslide 2014 40 track\n"
                   "expect 2014 40\nslide 2014 -30 end\nexpect 2014 -30\n"),
              0)
        << err.str();
    ASSERT_GE(page.codes.size(), 4u);
    for (size_t i = 0; i + 2 < page.codes.size(); ++i)
        EXPECT_EQ(page.codes[i], c::thumb_track);
    EXPECT_EQ(page.codes[page.codes.size() - 2], c::thumb_position);
    EXPECT_EQ(page.codes.back(), c::end_scroll);
    // A thumb still held when the script ends is let go.
    page.codes.clear();
    EXPECT_EQ(play("slide 2014 -40 track\n"), 0) << err.str();
    EXPECT_FALSE(window->findChild<trackbar*>("idc_2014")->isSliderDown());
    EXPECT_EQ(page.codes.back(), c::end_scroll);

    // Pages that would pass the position, and positions off the bar, fail.
    EXPECT_EQ(play("slide 2014 25 page\n"), 1);
    EXPECT_EQ(err.str(), "t.play:1: expected idc_2014 to reach 25 by pages, got 20\n");
    EXPECT_EQ(play("slide 2013 251\n"), 1);
    EXPECT_EQ(err.str(), "t.play:1: expected a position of idc_2013 within 0 ... 250, got 251\n");
}

TEST_F(Play, PointerOnThePageInPixelsAndGraphCoordinates) {
    make();
    EXPECT_EQ(play("drag 1000hz 0db 2khz +6db 4\n"), 0) << err.str();
    const QPoint from(freq_to_x(1000, known_axes), db_to_y(0, known_axes));
    const QPoint to(freq_to_x(2000, known_axes), db_to_y(6, known_axes));
    ASSERT_EQ(page.graph->events.size(), 6u);
    EXPECT_EQ(page.graph->events.front(), std::make_pair('p', from));
    EXPECT_EQ(page.graph->events[4], std::make_pair('m', to));
    EXPECT_EQ(page.graph->events.back(), std::make_pair('r', to));

    // Page pixels, and a mixed pair: the graph is at (220, 10) on the page.
    page.graph->events.clear();
    EXPECT_EQ(play("press 250 100\nmove 100hz 100\nrelease 100hz -25db\n"), 0) << err.str();
    // Qt moves the pointer to where the button is let go, as a hand would.
    ASSERT_EQ(page.graph->events.size(), 4u);
    const int x100 = freq_to_x(100, known_axes);
    EXPECT_EQ(page.graph->events[0], std::make_pair('p', QPoint(30, 90)));
    EXPECT_EQ(page.graph->events[1], std::make_pair('m', QPoint(x100, 90)));
    EXPECT_EQ(page.graph->events[3], std::make_pair('r', QPoint(x100, known_axes.bottom)));
}

TEST_F(Play, TheFrequencyRespondPageMapsItsOwnAxes) {
    main_window& w = make();
    EXPECT_EQ(play("tab Frequency Respond\n"), 0);
    const found_graph graph = find_graph(w.page_window());
    ASSERT_EQ(graph.widget, w.page_window());
    const auto* page_widget = dynamic_cast<freq_respond_page*>(w.page_window());
    ASSERT_NE(page_widget, nullptr);
    const graph_axes& axes = page_widget->logic().axes();
    EXPECT_EQ(graph.mapping->graph_x(1000), freq_to_x(1000, axes));
    EXPECT_EQ(graph.mapping->graph_y(-12), db_to_y(-12, axes));
    // The pages without a graph refuse graph coordinates.
    EXPECT_EQ(play("tab Power\npress 1000hz 0db\n"), 2);
    EXPECT_EQ(err.str(),
              "t.play:2: the page draws no graph to place the point on: press 1000hz 0db\n");
}

TEST_F(Play, MessageBoxesTakeTheWaitingAnswerOrTheSafeOne) {
    make();
    EXPECT_EQ(play("answer yes\nclick 2007\nexpect 2008 yes\nexpect-box Reset the amplifier?\n"), 0)
        << err.str();
    EXPECT_EQ(err.str(), "");
    // None waiting: the safe answer, said on standard error.
    EXPECT_EQ(play("click 2007\nexpect 2008 no\n"), 0);
    EXPECT_EQ(err.str(),
              "t.play:1: no answer waiting for the message box \"Reset the amplifier?\"; "
              "answered no\n");
    // An answer the box has no button for, and one no box ever took.
    EXPECT_EQ(play("answer ok\nclick 2007\nexpect 2008 never\n"), 1);
    EXPECT_EQ(err.str(),
              "t.play:1: expected a message box to answer ok, got \"Reset the amplifier?\" "
              "with Yes and No\n");
    EXPECT_EQ(play("expect 2001 12\nanswer yes\nexpect 2001 12\n"), 1);
    EXPECT_EQ(err.str(), "t.play:2: expected a message box to answer yes, got none\n");
    EXPECT_EQ(play("expect-box Something else\n"), 1);
    EXPECT_EQ(err.str(),
              "t.play:1: expected the message box \"Something else\", got no message box\n");
}

TEST_F(Play, FileDialogsTakeTheWaitingFile) {
    make();
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("image.hex")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    play_options options;
    options.files_dir = dir.path().toStdString();
    EXPECT_EQ(play("file image.hex\nclick 2009\n", options), 0) << err.str();
    EXPECT_EQ(window->findChild<QLabel*>("idc_2010")->text(), file.fileName());

    EXPECT_EQ(play("click 2009\nexpect 2010 cancelled\n", options), 0);
    EXPECT_EQ(err.str(), "t.play:1: no file waiting for the file dialog; cancelled\n");
    EXPECT_EQ(play("file missing.hex\nclick 2009\n", options), 1);
    EXPECT_EQ(err.str(), "t.play:1: expected a file \"" +
                             dir.filePath("missing.hex").toStdString() +
                             "\" to choose, got none there\n");
    EXPECT_EQ(play("file image.hex\n", options), 1);
    EXPECT_EQ(err.str(), "t.play:1: expected a file dialog for \"image.hex\", got none\n");
}

TEST_F(Play, DiscoverConnectAndTheLampAsShown) {
    make();
    discovery.empty_searches = 1;  // a busy network: the first search finds nothing
    EXPECT_EQ(play("expect-lamp red\n"
                   "discover Amp-2\n"
                   "expect 1005 Amp-1\n"
                   "connect Amp-2\n"
                   "expect-lamp green\n"
                   "expect 1002 Amp-2 answered\n"),
              0)
        << err.str();
    EXPECT_EQ(discovery.searches, 2);
    EXPECT_EQ(bench.session.name(), "Amp-2");

    // The lamp reads the screen: an answer from refused firmware turns it yellow.
    const testing::bytes old = testing::full_answer(0, 21, 11, 17, 0);
    bench.session.on_amp_message("Amp-2", old.data(), old.size());
    EXPECT_EQ(play("wait 300\nexpect-lamp yellow\n"), 0) << err.str();

    EXPECT_EQ(play("connect Amp-9\n"), 1);
    EXPECT_EQ(err.str().rfind("t.play:1: expected \"Amp-9\" in the device list, got ", 0), 0u)
        << err.str();
}

TEST_F(Play, AConnectionThatNeverAnswersTimesOut) {
    make();
    answer_connection = false;
    play_options options;
    options.connect_ms = 200;
    EXPECT_EQ(play("discover\nconnect\nexpect 1002 never\n", options), 1);
    EXPECT_EQ(err.str(), "t.play:2: expected the lamp green or yellow within 200 ms, got red\n");
    EXPECT_EQ(bench.session.name(), "Amp-1");  // the first entry
}

TEST_F(Play, WaitsAndTheMessageList) {
    main_window& w = make();
    QTimer::singleShot(100, &w, [&w] {
        w.info_changed("Later");
        w.log_line("Connected to Amp-1");
    });
    EXPECT_EQ(play("wait-for 1002 Later 3000\nexpect-log Connected to Amp-1\nwait 10\n"), 0)
        << err.str();
    EXPECT_EQ(play("wait-for 1002 \"Never\" 50\n"), 1);
    EXPECT_EQ(err.str(), "t.play:1: expected idc_1002 \"Never\" within 50 ms, got \"Later\"\n");
    EXPECT_EQ(play("expect-log Disconnected\n"), 1);
    EXPECT_EQ(err.str(),
              "t.play:1: expected the log line \"Disconnected\", got \"Connected to "
              "Amp-1\"\n");
}

TEST_F(Play, ShotsAreSavedBesideTheShotsFolder) {
    make();
    QTemporaryDir dir;
    play_options options;
    options.shots_dir = dir.path().toStdString();
    options.announce_shots = true;
    EXPECT_EQ(play("shot deep/one.png\n", options), 0) << err.str();
    const QImage picture(dir.filePath(QStringLiteral("deep/one.png")));
    EXPECT_EQ(picture.size(), window->size());
    EXPECT_EQ(out.str(), "  " + dir.filePath("deep/one.png").toStdString() + "\n");
    EXPECT_EQ(play("shot /proc/no/such/place.png\n"), 2);

    // A secondary window's own picture, once it is open.
    EXPECT_EQ(play("shot-window 147 summary.png\n", options), 1);
    EXPECT_EQ(play("click 1238\nshot-window 147 summary.png\n", options), 0) << err.str();
    const QImage summary(dir.filePath(QStringLiteral("summary.png")));
    EXPECT_EQ(summary.size(), window->secondary_window(summary_template_id)->size());
}

TEST_F(Play, ControlsAPersonCannotReachFailAndUnknownOnesAreScriptErrors) {
    make();
    struct failing {
        const char* script;
        int code;
        const char* message;
    };
    const failing cases[] = {
        {"click 2015\n", 1, "t.play:1: expected idc_2015 shown, got hidden"},
        {"click 2016\n", 1, "t.play:1: expected idc_2016 enabled, got disabled"},
        {"click 2018\n", 1, "t.play:1: expected idc_2018 under the pointer, got QLabel"},
        {"expect 2001 12\nclick 9999\nexpect 2001 12\n", 2,
         "t.play:2: no control idc_9999 on the window, its page or an open window: click 9999"},
        {"type 2004 1\n", 2, "t.play:1: idc_2004 is not an edit: type 2004 1"},
        {"choose 2001 0\n", 2, "t.play:1: idc_2001 is not a drop-down: choose 2001 0"},
        {"slide 2001 0\n", 2, "t.play:1: idc_2001 is not a trackbar: slide 2001 0"},
        {"focus 2002\n", 2, "t.play:1: idc_2002 cannot take the focus: focus 2002"},
        {"tab Mixer\n", 2, "t.play:1: no tab \"Mixer\": tab Mixer"},
        {"expect 2001 13\nexpect 2001 12\n", 1, "t.play:1: expected idc_2001 \"13\", got \"12\""},
    };
    for (const failing& f : cases) {
        EXPECT_EQ(play(f.script), f.code) << f.script;
        EXPECT_EQ(err.str(), std::string(f.message) + "\n") << f.script;
    }
    // Secondary windows are found while open.
    EXPECT_EQ(play("click 1237\ntype 1239 Night\nexpect 1239 Night\nexpect 1241 Cancel\n"), 0)
        << err.str();
}

TEST(Tour, ABuiltInScriptWithOnePicturePerStep) {
    const play_parse_result parsed = parse_play_script(tour_script(), "tour");
    ASSERT_FALSE(parsed.error);
    std::vector<std::string> shots;
    for (const play_step& s : parsed.script.steps) {
        if (s.verb == play_verb::shot)
            shots.push_back(s.text);
    }
    ASSERT_EQ(shots.size(), 13u);
    EXPECT_EQ(shots[0], "01-start.png");
    EXPECT_EQ(shots[1], "02-discovering.png");
    EXPECT_EQ(shots[3], "04-connected.png");
    EXPECT_EQ(shots[8], "09-tab-frequency-respond.png");
    EXPECT_EQ(shots[12], "13-tab-about.png");
}

}  // namespace
}  // namespace tavrin
