// The core's Discovery across a restarted avahi-daemon, in one process as the window
// runs it: the running browse tells once that the daemon went, and the next Discovery
// finds the devices again without restarting the tool. The window says why a
// Discovery without the daemon finds nothing. avahi-daemon is running again when each
// test ends.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

#include "app/tool_core.h"
#include "tests/support/lab_exec.h"
#include "tests/support/play_lab.h"
#include "tests/support/recording_events.h"

namespace tavrin {
namespace {

constexpr char inside_flag[] = "TAVRIN_DISCOVERY_RECOVERY_LAB_INNER";

size_t count(const std::vector<std::string>& lines, const std::string& text) {
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), text));
}

// Outside the lab: runs the named test again inside it and returns.
#define RUN_INSIDE_THE_LAB(test)                                                 \
    if (!testing::inside_lab(inside_flag)) {                                     \
        const testing::lab_exec_result run =                                     \
            testing::run_self_in_lab(inside_flag, "DiscoveryRecoveryLab." test); \
        if (run.skipped)                                                         \
            GTEST_SKIP() << run.why;                                             \
        EXPECT_EQ(run.status, 0);                                                \
        return;                                                                  \
    }

TEST(DiscoveryRecoveryLab, TheWindowSaysWhyADiscoveryWithoutAvahiFindsNothing) {
    RUN_INSIDE_THE_LAB("TheWindowSaysWhyADiscoveryWithoutAvahiFindsNothing")
    std::ifstream pid_file(testing::find_lab_paths().lab_dir + "/pids/avahi.pid");
    pid_t pid = 0;
    ASSERT_TRUE(pid_file >> pid);
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    for (int i = 0; i < 50 && ::kill(pid, 0) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const testing::play_result run =
        testing::play_in_lab(std::string("discover\nexpect-log ") + dnssd_not_running_text + "\n");
    ASSERT_EQ(testing::lab_command("restart avahi >/dev/null"), 0);
    EXPECT_EQ(run.code, 0) << run.err;
}

TEST(DiscoveryRecoveryLab, TheNextDiscoveryFindsTheDevicesAfterAvahiComesBack) {
    RUN_INSIDE_THE_LAB("TheNextDiscoveryFindsTheDevicesAfterAvahiComesBack")
    testing::recording_events seen;
    tool_core core(seen);
    const std::vector<std::string> first =
        discover_devices(core.wrapper, core.time, brand_rule::all, seen);
    ASSERT_NE(std::find(first.begin(), first.end(), "Amp-1"), first.end());
    ASSERT_EQ(core.wrapper.browse_status(), AUD_SUCCESS);

    ASSERT_EQ(testing::lab_command("restart avahi >/dev/null"), 0);
    for (int i = 0; i < 50 && count(seen.logs(), dnssd_lost_text) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(count(seen.logs(), dnssd_lost_text), 1u);
    EXPECT_EQ(core.wrapper.browse_status(), AUD_ERR_NOTRUNNING);

    const std::vector<std::string> again =
        discover_devices(core.wrapper, core.time, brand_rule::all, seen);
    EXPECT_EQ(again, first);
    EXPECT_EQ(core.wrapper.browse_status(), AUD_SUCCESS);
    // Told once, and nothing of a daemon missing at the new start.
    EXPECT_EQ(count(seen.logs(), dnssd_lost_text), 1u);
    EXPECT_EQ(count(seen.logs(), dnssd_not_running_text), 0u);
    core.stop();
}

}  // namespace
}  // namespace tavrin
