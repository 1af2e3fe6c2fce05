#include "link/session_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "link/session_directory.h"
#include "tests/support/session_fakes.h"

namespace tavrin {
namespace {

// Many sessions on a pool of two threads, fed by one network thread through one
// directory: each opens, takes only its own amplifier's answers, and leaves the pool
// while the others run on.
TEST(SessionPool, ManySessionsOnTwoThreadsEachHearOnlyTheirOwnAmplifier) {
    constexpr int count = 40;
    testing::recording_control control;
    session_directory directory;
    std::vector<std::unique_ptr<amp_session>> sessions;
    for (int i = 0; i < count; ++i) {
        sessions.push_back(std::make_unique<amp_session>(session_parts{system_time(), control}));
        sessions.back()->start();
        sessions.back()->choose("Amp-" + std::to_string(i));
        directory.add(*sessions.back());
    }
    session_pool pool(system_time(), 2);
    for (auto& s : sessions)
        pool.add(*s);

    std::atomic<bool> stop{false};
    std::thread network([&] {
        while (!stop.load()) {
            for (int i = 0; i < count; ++i) {
                const testing::bytes a = testing::full_answer(static_cast<uint8_t>(i));
                const std::string name = "Amp-" + std::to_string(i);
                directory.deliver(name.c_str(), a.data(), a.size(), true);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });

    const auto all_answered = [&] {
        for (auto& s : sessions) {
            if (s->answers() == 0)
                return false;
        }
        return true;
    };
    for (int waited = 0; waited < 5000 && !all_answered(); waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(all_answered());
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(sessions[i]->view().state(), link_state::open);
        EXPECT_EQ(sessions[i]->params().master_volume(), i) << "Amp-" << i;
    }

    // Half leave while the network thread still delivers to them.
    for (int i = 0; i < count; i += 2) {
        directory.remove(*sessions[i]);
        pool.remove(*sessions[i]);
    }
    EXPECT_EQ(pool.size(), static_cast<size_t>(count / 2));
    stop.store(true);
    network.join();
    pool.stop();
}

}  // namespace
}  // namespace tavrin
