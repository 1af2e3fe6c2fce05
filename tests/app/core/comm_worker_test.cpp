#include "app/core/comm_worker.h"

#include <gtest/gtest.h>

#include <optional>

#include "app/core/poll_tick.h"
#include "app/core/service_report.h"
#include "tests/support/recording_events.h"
#include "worker_fakes.h"

namespace tavrin {
namespace {

using testing::bytes;
using testing::make_frame;
using testing::poll_frame;

// A recording window whose poll timer really fires, driven by the fake clock.
class timed_ui : public testing::recording_events {
  public:
    explicit timed_ui(fake_time& time) : time_(time) {}
    void poll_timer(poll_timer_action action) override {
        recording_events::poll_timer(action);
        if (action == poll_timer_action::stop)
            due_.reset();
        else
            due_ = time_.now_ms() + poll_period_ms;
    }
    bool fire_if_due() {
        if (!due_ || time_.now_ms() < *due_)
            return false;
        *due_ += poll_period_ms;
        return true;
    }

  private:
    fake_time& time_;
    std::optional<uint32_t> due_;
};

class CommWorker : public ::testing::Test {
  protected:
    CommWorker() {
        flags.run_flag = true;
        device.set_name("Amp-1");
    }

    void connect() {
        flags.connect_flag = true;
        worker.wake_once();
        sender.clear();
        ui.clear();
    }
    void fill(const bytes& frame) { mailbox.fill(frame.data(), frame.size()); }
    // The main window and the worker together: timer ticks on the UI side, the
    // worker's wake-up every 100 ms.
    void run_for(uint32_t ms) {
        for (uint32_t t = 0; t < ms; t += comm_worker::wake_period_ms) {
            time.advance(comm_worker::wake_period_ms);
            if (ui.fire_if_due())
                poll_tick(flags, device, ring);
            worker.wake_once();
        }
    }
    size_t polls_sent() const {
        size_t n = 0;
        for (const bytes& f : sender.frames())
            n += f == poll_frame();
        return n;
    }

    link_flags flags;
    selected_device device;
    command_ring ring{flags};
    answer_mailbox mailbox;
    fake_time time;
    timed_ui ui{time};
    testing::recording_sender sender;
    testing::recording_answers answers;
    testing::recording_update update;
    comm_worker worker{{flags, device, ring, mailbox, ui, time, sender, answers, &update}};
};

TEST_F(CommWorker, ConnectTransitionOpensTheLinkAndSendsThePoll) {
    flags.missed_polls = 7;
    flags.connect_flag = true;
    ring.ring_push(amp_command{0xC1, 0x10, {5}});  // queued before the connection; must not leave
    fill(make_frame(0xE3, 0x11, {1, 2}));

    worker.wake_once();

    EXPECT_TRUE(flags.link_open);
    EXPECT_EQ(device.copy(), "Amp-1");
    EXPECT_EQ(ui.links(), std::vector<std::string>{"open"});
    EXPECT_EQ(ui.logs(), std::vector<std::string>{"Connected to Amp-1"});
    EXPECT_EQ(answers.clears(), 1);
    EXPECT_EQ(flags.missed_polls, 0u);
    EXPECT_EQ(ui.timer_calls(), (std::vector<std::string>{"stop", "start", "restart"}));
    EXPECT_EQ(sender.frames(), std::vector<bytes>{poll_frame()});
    // The connecting wake-up leaves the mailbox for the next one.
    EXPECT_TRUE(answers.answers().empty());
    worker.wake_once();
    EXPECT_EQ(answers.answers().size(), 1u);
    EXPECT_EQ(ui.logs().size(), 1u);
}

TEST_F(CommWorker, SendsOneFramePerWakeUpInOrder) {
    connect();
    ring.ring_push(amp_command{0xC1, 0x10, {1}});
    ring.ring_push(amp_command{0xC1, 0x10, {2}});
    ring.ring_push(amp_command{0xC1, 0x10, {3}});
    for (uint8_t i = 1; i <= 3; ++i) {
        worker.wake_once();
        ASSERT_EQ(sender.frames().size(), i);
        EXPECT_EQ(sender.frames().back(), make_frame(0xC1, 0x10, {i}));
    }
    worker.wake_once();
    EXPECT_EQ(sender.frames().size(), 3u);
    EXPECT_EQ(ui.timer_calls(), (std::vector<std::string>(3, "restart")));
}

TEST_F(CommWorker, AnswersReachTheParserOnlyWhileConnectedOrProbing) {
    const bytes answer = make_frame(0xE3, 0x20, {9, 8, 7});
    fill(answer);
    worker.wake_once();
    EXPECT_TRUE(answers.answers().empty());
    EXPECT_FALSE(mailbox.empty());

    flags.probe_flag = true;
    worker.wake_once();
    EXPECT_EQ(answers.answers(), std::vector<bytes>{answer});
    EXPECT_TRUE(mailbox.empty());
    EXPECT_TRUE(update.answers.empty());
}

TEST_F(CommWorker, FourthMissedPollClosesTheConnectionOnTheNextWakeUp) {
    connect();
    for (int i = 1; i <= 3; ++i) {
        poll_tick(flags, device, ring);
        worker.wake_once();
        EXPECT_TRUE(flags.connect_flag);
    }
    poll_tick(flags, device, ring);
    EXPECT_EQ(flags.missed_polls, 4u);
    EXPECT_FALSE(flags.connect_flag);
    EXPECT_TRUE(flags.disconnect_request);
    EXPECT_TRUE(ui.logs().empty());

    worker.wake_once();
    EXPECT_EQ(ui.logs(), std::vector<std::string>{"Disconnected from Amp-1"});
    EXPECT_EQ(ui.links(), std::vector<std::string>{"closed"});
    EXPECT_EQ(ui.state_changes(), 1);
    EXPECT_FALSE(flags.link_open);
    EXPECT_FALSE(flags.disconnect_request);
    EXPECT_EQ(ring.waiting(), 0u);
    // Three polls left; the fourth was dropped with the connection, and the poll timer
    // keeps running so probing can begin.
    EXPECT_EQ(sender.frames().size(), 3u);
    for (const std::string& call : ui.timer_calls())
        EXPECT_NE(call, "stop");
}

TEST_F(CommWorker, SilentAmplifierIsDroppedAfterTwentySecondsThenProbed) {
    flags.connect_flag = true;
    run_for(19'900);
    EXPECT_TRUE(flags.link_open);
    run_for(200);
    EXPECT_FALSE(flags.link_open);
    EXPECT_EQ(ui.logs().back(), "Disconnected from Amp-1");
    EXPECT_EQ(polls_sent(), 4u);  // the connect poll and three timer polls

    // The name stays, so the next tick probes the same amplifier.
    EXPECT_EQ(device.name(), "Amp-1");
    run_for(5'000);
    EXPECT_TRUE(flags.probe_flag);
    EXPECT_EQ(polls_sent(), 5u);
}

TEST_F(CommWorker, ALostServerClosesTheLinkAtOnceAndTheProbeOpensItAgain) {
    service_report services(flags, ui);
    flags.connect_flag = true;
    run_for(1'000);
    ui.clear();

    // No answer can come through a lost server: closed on the next wake-up, not after
    // four missed polls.
    services.conmon_server_lost();
    run_for(100);
    EXPECT_FALSE(flags.link_open);
    EXPECT_EQ(ui.logs(), (std::vector<std::string>{server_lost_text, "Disconnected from Amp-1"}));

    services.conmon_server_back();
    run_for(5'000);
    EXPECT_TRUE(flags.probe_flag);
    fill(make_frame(0xE3, 0x20, {0}));
    run_for(100);
    flags.connect_flag = true;  // what the parser does on a full answer
    flags.probe_flag = false;
    run_for(100);
    EXPECT_TRUE(flags.link_open);
    EXPECT_EQ(ui.logs(), (std::vector<std::string>{server_lost_text, "Disconnected from Amp-1",
                                                   server_back_text, "Connected to Amp-1"}));

    // Without an open link, or during a firmware transfer, only the line is shown.
    flags.update_mode = true;
    services.conmon_server_lost();
    run_for(100);
    EXPECT_TRUE(flags.link_open);
    EXPECT_TRUE(flags.connect_flag);
}

TEST_F(CommWorker, SteadyCommandsKeepThePollTimerFromFiring) {
    flags.connect_flag = true;
    run_for(100);
    for (int i = 0; i < 20; ++i) {
        ring.ring_push(amp_command{0xC1, 0x10, {static_cast<uint8_t>(i)}});
        run_for(3'000);
    }
    EXPECT_EQ(polls_sent(), 1u);  // only the connect poll
    EXPECT_EQ(sender.frames().size(), 21u);
    EXPECT_TRUE(flags.link_open);
    EXPECT_EQ(flags.missed_polls, 0u);
}

TEST_F(CommWorker, ProbeAnswerLeadsBackToTheConnectTransition) {
    connect();
    flags.connect_flag = false;
    flags.disconnect_request = true;
    worker.wake_once();
    ui.clear();
    sender.clear();

    poll_tick(flags, device, ring);
    EXPECT_TRUE(flags.probe_flag);
    worker.wake_once();
    EXPECT_EQ(sender.frames(), std::vector<bytes>{poll_frame()});

    fill(make_frame(0xE3, 0x20, {0}));
    worker.wake_once();
    ASSERT_EQ(answers.answers().size(), 1u);
    // What the parser does on a full parameter answer.
    flags.connect_flag = true;
    flags.probe_flag = false;
    worker.wake_once();
    EXPECT_TRUE(flags.link_open);
    EXPECT_EQ(ui.logs(), std::vector<std::string>{"Connected to Amp-1"});
}

TEST_F(CommWorker, NoProbeWithoutANameOrWhileADisconnectIsPending) {
    device.set_name("");
    poll_tick(flags, device, ring);
    EXPECT_FALSE(flags.probe_flag);

    device.set_name("Amp-1");
    flags.disconnect_request = true;
    poll_tick(flags, device, ring);
    EXPECT_FALSE(flags.probe_flag);
    EXPECT_EQ(ring.waiting(), 0u);
}

TEST_F(CommWorker, UpdateModeSilencesThePollTimer) {
    flags.update_mode = true;
    poll_tick(flags, device, ring);
    EXPECT_FALSE(flags.probe_flag);
    EXPECT_EQ(ring.waiting(), 0u);

    connect();
    ring.ring_clear();
    for (int i = 0; i < 6; ++i)
        poll_tick(flags, device, ring);
    EXPECT_EQ(ring.waiting(), 0u);
    EXPECT_EQ(flags.missed_polls, 0u);
    EXPECT_TRUE(flags.connect_flag);
}

TEST_F(CommWorker, UpdateModeLendsTheRingAndTheAnswersToTheUpdate) {
    connect();
    flags.update_mode = true;
    const bytes block = make_frame(0xA2, 0x01, {1, 2, 3, 4});
    ring.ring_put_frame(block.data(), block.size());
    const bytes ack = make_frame(0xA2, 0x01, {10});
    fill(ack);
    const uint32_t before = time.now_ms();

    worker.wake_once();

    EXPECT_EQ(update.answers, std::vector<bytes>{ack});
    EXPECT_EQ(update.last_capacity, answer_mailbox::capacity);
    EXPECT_TRUE(answers.answers().empty());
    EXPECT_EQ(sender.frames(), std::vector<bytes>{block});
    EXPECT_EQ(time.now_ms() - before, comm_worker::update_gap_ms);
    EXPECT_TRUE(ui.timer_calls().empty());
    EXPECT_EQ(update.steps, 1);

    worker.wake_once();  // nothing to send: no wait, but a step
    EXPECT_EQ(time.now_ms() - before, comm_worker::update_gap_ms);
    EXPECT_EQ(update.steps, 2);

    flags.update_mode = false;
    worker.wake_once();
    EXPECT_EQ(update.steps, 2);
}

}  // namespace
}  // namespace tavrin
