// tavrin-cli when the lab's services go away and come back: a running watch follows a
// restarted ConMon server and its amplifier answers again by itself; a stopped server
// or avahi-daemon, or a command run outside the lab, exits 9 with a hint. Every lab
// process stopped here is started again before the test ends.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

#include "lab_cli.h"

namespace tavrin::testing {
namespace {

class recovery : public lab_case {
  protected:
    static std::string dir() { return std::filesystem::temp_directory_path().string(); }
    static cli_run cli(const std::string& args) { return lab_cli(dir(), args); }

    // Stops one lab process (as `scripts/lab restart` would before starting it again).
    static void stop(const std::string& name) {
        std::ifstream in(lab_paths().lab_dir + "/pids/" + name + ".pid");
        pid_t pid = 0;
        ASSERT_TRUE(in >> pid) << name;
        ASSERT_EQ(::kill(pid, SIGTERM), 0) << name;
        for (int i = 0; i < 50 && ::kill(pid, 0) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
};

// Lines of a running command as they come, and its exit status at the end.
class streamed_cli {
  public:
    explicit streamed_cli(const std::string& args) {
        thread_ = std::thread([this, args] {
            const std::string cmd =
                lab_script("exec '" + lab_paths().build + "/cli/tavrin-cli' " + args) + " 2>&1";
            FILE* pipe = ::popen(cmd.c_str(), "r");
            if (pipe == nullptr)
                return;
            char line[4096];
            while (std::fgets(line, sizeof line, pipe) != nullptr) {
                std::lock_guard lock(mutex_);
                lines_.emplace_back(line);
            }
            const int status = ::pclose(pipe);
            code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        });
    }
    ~streamed_cli() { join(); }

    // Waits up to `seconds` for `times` lines that end with `text`.
    bool wait_for(const std::string& text, int times, int seconds) {
        for (int i = 0; i < seconds * 10 && count(text) < times; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return count(text) >= times;
    }
    int count(const std::string& text) {
        std::lock_guard lock(mutex_);
        int n = 0;
        for (const std::string& line : lines_)
            n += line.size() > text.size() &&
                 line.compare(line.size() - text.size() - 1, text.size(), text) == 0;
        return n;
    }
    // The lines after the time stamp, in order.
    std::vector<std::string> texts() {
        std::lock_guard lock(mutex_);
        std::vector<std::string> out;
        for (const std::string& line : lines_)
            out.push_back(line.size() > 11 ? line.substr(11, line.size() - 12) : line);
        return out;
    }
    int join() {
        if (thread_.joinable())
            thread_.join();
        return code_;
    }

  private:
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::string> lines_;
    int code_ = -1;
};

TEST_F(recovery, watch_follows_a_restarted_conmon_server_and_the_amplifier_answers_again) {
    streamed_cli watch("watch Amp-2 --seconds 30");
    ASSERT_TRUE(watch.wait_for("Connected to Amp-2", 1, 10));
    ASSERT_EQ(lab_run("restart conmon-server"), 0);
    // The next poll draws "Invalid State" from the new server: the loss shows at once,
    // the library connects again, and the next poll's answer opens the link again.
    const bool lost = watch.wait_for("Disconnected from Amp-2", 1, 10);
    const bool back = lost && watch.wait_for("Connected to Amp-2", 2, 15);
    EXPECT_EQ(watch.join(), 0);
    EXPECT_TRUE(lost);
    EXPECT_TRUE(back);
    const std::vector<std::string> seen = watch.texts();
    const auto at = [&](const std::string& text) {
        return std::find(seen.begin(), seen.end(), text) - seen.begin();
    };
    EXPECT_LT(at("Lost the connection to the ConMon server"), at("Disconnected from Amp-2"));
    EXPECT_LT(at("Disconnected from Amp-2"), at("Connected to the ConMon server again"));
    EXPECT_EQ(watch.count("Lost the connection to the ConMon server"), 1);
    // And the amplifier answers a new command line as before.
    EXPECT_EQ(cli("show Amp-2").code, 0);
}

// A slow amplifier whose answer was on its way through a ConMon server that restarted:
// the command waits for the server, asks again and carries on, or says it lost the
// server (9); it never puts the lost answer down to the amplifier.
TEST_F(recovery, a_server_lost_while_waiting_is_named_never_the_amplifier) {
    // Restarts the server as soon as `device` has received `frames` more frames, while
    // `args` runs.
    const auto restart_during = [](const std::string& args, const std::string& device,
                                   size_t frames) {
        const size_t before = wire_frames(device).size();
        cli_run r;
        std::thread t([&] { r = cli(args); });
        bool sent = false;
        for (int i = 0; i < 300 && !sent; ++i) {
            sent = wire_frames(device).size() >= before + frames;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_TRUE(sent) << args;
        EXPECT_EQ(lab_run("restart conmon-server"), 0);
        t.join();
        return r;
    };
    ASSERT_EQ(lab_run("ctl Amp-3 delay 3000"), 0);
    // The poll's answer is lost with the server.
    const cli_run show = restart_during("show Amp-3", "Amp-3", 1);
    ASSERT_EQ(lab_run("ctl Amp-3 delay 0"), 0);
    EXPECT_TRUE(show.code == 0 || show.code == 9) << show.out;
    EXPECT_FALSE(has(show.out, "no answer")) << show.out;

    // The server restarts while the second amplifier's first answer is on its way.
    ASSERT_EQ(lab_run("ctl Amp-2 delay 3000"), 0);
    const size_t amp2 = wire_frames("Amp-2").size();
    const cli_run set = restart_during("set Amp-1,Amp-2,Amp-3 master=70", "Amp-2", 1);
    ASSERT_EQ(lab_run("ctl Amp-2 delay 0"), 0);
    EXPECT_TRUE(set.code == 0 || set.code == 9) << set.out;
    EXPECT_FALSE(has(set.out, "disagrees")) << set.out;
    EXPECT_FALSE(has(set.out, "no answer")) << set.out;
    EXPECT_GT(wire_frames("Amp-2").size(), amp2);
    // The amplifiers are set side by side: each ends compared, or with the lost server
    // named for the settings it may have taken with it.
    for (const char* amp : {"Amp-1", "Amp-2", "Amp-3"}) {
        const std::string name = amp;
        EXPECT_TRUE(has(set.out, name + ": ok\n") ||
                    has(set.out, name + ": Lost the connection to the ConMon server"))
            << set.out;
    }
}

TEST_F(recovery, a_stopped_conmon_server_is_9_with_a_hint) {
    stop("conmon-server");
    const cli_run show = cli("show Amp-1");
    const cli_run json = cli("show Amp-1 --json");
    const cli_run discover = cli("discover");
    ASSERT_EQ(lab_run("restart conmon-server"), 0);
    EXPECT_EQ(show.code, 9) << show.out;
    EXPECT_TRUE(has(show.out,
                    "tavrin-cli: ConMon server not reachable (127.0.0.1:8900: "
                    "connection refused)\nhint: scripts/lab status"))
        << show.out;
    EXPECT_EQ(json.code, 9);
    EXPECT_TRUE(has(json.out,
                    "{\"device\": \"Amp-1\", \"model\": null, \"error\": \"ConMon "
                    "server not reachable (127.0.0.1:8900: connection refused)\", "
                    "\"exit\": 9}\n"))
        << json.out;
    // No empty list that looks like a network without amplifiers.
    EXPECT_EQ(discover.code, 9) << discover.out;
    EXPECT_FALSE(has(discover.out, "Amp-1")) << discover.out;
    EXPECT_EQ(cli("show Amp-1").code, 0);
}

TEST_F(recovery, a_stopped_avahi_daemon_is_9_and_a_restarted_one_finds_the_devices) {
    stop("avahi");
    const cli_run show = cli("show Amp-1");
    const cli_run discover = cli("discover");
    ASSERT_EQ(lab_run("restart avahi"), 0);
    EXPECT_EQ(show.code, 9) << show.out;
    EXPECT_TRUE(has(show.out, "tavrin-cli: avahi-daemon not running\n")) << show.out;
    EXPECT_EQ(discover.code, 9) << discover.out;
    EXPECT_TRUE(has(discover.out, "tavrin-cli: avahi-daemon not running\n")) << discover.out;

    const cli_run found = cli("discover");
    EXPECT_EQ(found.code, 0) << found.out;
    EXPECT_EQ(found.out, "Amp-1\nAmp-2\nAmp-3\nAmp-Old\n");
}

TEST_F(recovery, watch_says_when_avahi_daemon_runs_again) {
    streamed_cli watch("watch Amp-1 --seconds 20");
    ASSERT_TRUE(watch.wait_for("Connected to Amp-1", 1, 10));
    stop("avahi");
    const bool lost =
        watch.wait_for("avahi-daemon stopped: no devices are found until it runs again", 1, 10);
    ASSERT_EQ(lab_run("restart avahi"), 0);
    EXPECT_TRUE(lost);
    EXPECT_TRUE(watch.wait_for("avahi-daemon runs again: a new search finds devices again", 1, 10));
    EXPECT_EQ(watch.join(), 0);
}

TEST_F(recovery, outside_the_lab_a_command_is_9_and_says_where_to_run_it) {
    const std::string cmd = "'" + lab_paths().build + "/cli/tavrin-cli' show Amp-1 2>&1";
    FILE* pipe = ::popen(cmd.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe) != nullptr)
        out += line;
    const int status = ::pclose(pipe);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 9) << out;
    EXPECT_TRUE(has(out,
                    "hint: a lab is up, but this command runs outside it: run it inside, "
                    "scripts/lab exec tavrin-cli ..."))
        << out;
}

}  // namespace
}  // namespace tavrin::testing
