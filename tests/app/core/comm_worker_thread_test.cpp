#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/core/comm_worker.h"
#include "tests/support/recording_events.h"
#include "worker_fakes.h"

namespace tavrin {
namespace {

using namespace std::chrono_literals;

// Sleeps a thousandth of what it is asked, so the 100 ms wake-up takes 100 us.
class fast_time : public time_source {
  public:
    uint32_t now_ms() override { return system_time().now_ms(); }
    void sleep_ms(uint32_t ms) override { std::this_thread::sleep_for(ms * 1us); }
};

template <typename Pred>
bool wait_until(Pred pred) {
    for (int i = 0; i < 5000 && !pred(); ++i)
        std::this_thread::sleep_for(1ms);
    return pred();
}

struct WorkerThread : ::testing::Test {
    link_flags flags;
    selected_device device;
    command_ring ring{flags};
    answer_mailbox mailbox;
    fast_time time;
    testing::recording_events ui;
    testing::recording_sender sender;
    testing::recording_answers answers;
};

TEST_F(WorkerThread, WaitsForRunFlagThenConnectsAndStopJoins) {
    std::atomic<int> started{0};
    comm_worker worker{
        {flags, device, ring, mailbox, ui, time, sender, answers, nullptr, [&] { ++started; }}};
    device.set_name("Amp-2");
    flags.connect_flag = true;
    ASSERT_TRUE(worker.start());
    ASSERT_TRUE(wait_until([&] { return started.load() == 1; }));
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(flags.link_open);

    flags.run_flag = true;
    ASSERT_TRUE(wait_until([&] { return !sender.frames().empty(); }));
    EXPECT_EQ(sender.frames().front(), testing::poll_frame());
    EXPECT_EQ(ui.logs().front(), "Connected to Amp-2");

    worker.stop();
    EXPECT_FALSE(worker.running());
    worker.stop();
}

}  // namespace
}  // namespace tavrin
