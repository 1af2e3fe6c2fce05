// The events port of the window: events from other threads reach the UI thread.
#include "window/queued_events_qt.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <atomic>
#include <thread>

#include "tests/support/qt_test_app.h"
#include "tests/support/recording_events.h"

namespace tavrin {
namespace {

using testing::qt_app;

TEST(QueuedEvents, OtherThreadsAreQueuedToTheUiThread) {
    qt_app();
    QObject context;
    testing::recording_events direct;
    queued_events port(&context);
    port.set_target(&direct);

    // On the UI thread the call runs at once.
    port.log_line("here");
    EXPECT_EQ(direct.logs().size(), 1u);

    std::thread worker([&] {
        port.log_line("from worker");
        port.link_changed(true);
        port.params_changed(field_bit(param_field::mute));
    });
    worker.join();
    EXPECT_EQ(direct.logs().size(), 1u);
    QCoreApplication::processEvents();
    EXPECT_EQ(direct.logs(), (std::vector<std::string>{"here", "from worker"}));
    EXPECT_EQ(direct.links(), (std::vector<std::string>{"open"}));
    EXPECT_EQ(direct.state_changes(), 1);
}

TEST(QueuedEvents, MessageBoxesBlockTheCallingThreadUntilAnswered) {
    qt_app();
    QObject context;
    testing::recording_events direct;
    direct.set_next_answer(box_answer::yes);
    queued_events port(&context);
    port.set_target(&direct);
    std::atomic<int> answer{-1};
    std::thread worker([&] {
        answer = static_cast<int>(
            port.ask({"Update done", "Info", box_icon::information, box_buttons::yes_no}));
    });
    while (answer.load() < 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker.join();
    EXPECT_EQ(answer.load(), static_cast<int>(box_answer::yes));
    ASSERT_EQ(direct.boxes().size(), 1u);
    EXPECT_EQ(direct.boxes()[0].caption, "Info");
}

TEST(QueuedEvents, CallsAfterTheWindowWentAreDropped) {
    qt_app();
    testing::recording_events direct;
    auto* context = new QObject;
    queued_events port(context);
    port.set_target(&direct);
    delete context;
    port.log_line("late");
    EXPECT_EQ(port.ask({"t", "c", box_icon::error, box_buttons::ok_cancel}), box_answer::cancel);
    QCoreApplication::processEvents();
    EXPECT_TRUE(direct.logs().empty());
}

TEST(QueuedEvents, ClosingAnswersQuestionsStillWaitingSoNoThreadHangs) {
    qt_app();
    QObject context;
    testing::recording_events direct;
    direct.set_next_answer(box_answer::yes);
    queued_events port(&context);
    port.set_target(&direct);
    std::atomic<int> answer{-1};
    // The UI thread never runs its event loop here, as when the window has gone
    // and the program is stopping the worker.
    std::thread worker([&] {
        answer = static_cast<int>(
            port.ask({"Update Finished.", "", box_icon::none, box_buttons::yes_no}));
    });
    while (answer.load() < 0) {
        port.close();
        std::this_thread::yield();
    }
    worker.join();
    EXPECT_EQ(answer.load(), static_cast<int>(box_answer::no));
    // Later questions get their default at once, and the queued one is never shown.
    box_answer later = box_answer::ok;
    std::thread again([&] {
        later = port.ask({"t", "c", box_icon::error, box_buttons::ok_cancel});
    });
    again.join();
    EXPECT_EQ(later, box_answer::cancel);
    QCoreApplication::processEvents();
    EXPECT_TRUE(direct.boxes().empty());
}

}  // namespace
}  // namespace tavrin
