// One session under the window's thread layout: a UI thread queuing commands and
// clicking Connect, Disconnect and Synchronize, the session's own thread sending and
// taking answers, and a network thread delivering answers. Run under TSan; no frame
// may leave torn and the session must end in a state of its table.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "link/session_thread.h"
#include "protocol/frame.h"
#include "tests/support/session_fakes.h"

namespace tavrin {
namespace {

using namespace std::chrono_literals;

class fast_time : public time_source {
  public:
    uint32_t now_ms() override { return system_time().now_ms(); }
    void sleep_ms(uint32_t ms) override { std::this_thread::sleep_for(ms * 20us); }
};

// A frame is whole when its length field, checksum and data pattern agree; a torn copy
// out of a slot being rewritten would break one of them.
bool whole(const testing::bytes& f) {
    frame_view v;
    if (decode_frame(f.data(), f.size(), v) != frame_status::ok)
        return false;
    for (size_t i = 1; i < v.count; ++i)
        if (v.data[i] != v.data[0])
            return false;
    return true;
}

TEST(SessionThread, PushesClicksAndAnswersFromThreeThreadsStayWhole) {
    fast_time time;
    testing::recording_control control;
    testing::recording_listener listener;
    amp_session session({time, control});
    session.set_events(&listener);
    session.start();
    session.choose("Amp-1");
    session_thread worker(session, time);
    ASSERT_TRUE(worker.start());

    std::atomic<bool> stop{false};
    std::thread network([&] {
        const testing::bytes answer = testing::full_answer(7);
        while (!stop.load()) {
            session.on_amp_message("Amp-1", answer.data(), answer.size());
            std::this_thread::sleep_for(200us);
        }
    });
    for (int i = 0; i < 3000; ++i) {
        const uint8_t v = static_cast<uint8_t>(i);
        session.outbox().ring_push(amp_command{0x01, 0x10, {v, v, v, v}});
        if (i % 500 == 250)
            session.close();
        if (i % 500 == 0)
            session.choose("Amp-1");
        if (i % 700 == 0)
            session.synchronize();
        std::this_thread::sleep_for(50us);
    }
    stop.store(true);
    network.join();
    worker.stop();

    size_t torn = 0;
    for (const testing::bytes& f : control.sent())
        torn += whole(f) ? 0 : 1;
    EXPECT_EQ(torn, 0u);
    EXPECT_GT(control.sent().size(), 10u);
    EXPECT_GT(session.answers(), 0u);
}

}  // namespace
}  // namespace tavrin
