// tavrin-cli end to end in the lab: run inside the lab's namespace through
// `scripts/lab exec`, against conmon-server and the virtual devices.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string env_or(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? v : fallback;
}

std::string parent(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

struct lab_paths {
    std::string build;
    std::string source;
    std::string lab_dir;
};

lab_paths paths() {
    char exe[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    const std::string exe_dir = n > 0 ? parent(std::string(exe, n)) : ".";
    lab_paths p;
    p.build = env_or("TAVRIN_BUILD_DIR", parent(exe_dir));
    p.source = env_or("TAVRIN_SOURCE_DIR", parent(parent(p.build)));
    p.lab_dir = env_or("LAB_DIR", p.build + "/lab");
    return p;
}

std::string lab_command(const std::string& args) {
    const lab_paths p = paths();
    return "LAB_DIR='" + p.lab_dir + "' TAVRIN_BUILD_DIR='" + p.build + "' '" + p.source +
           "/scripts/lab' " + args;
}

int lab(const std::string& args) {
    const int status = std::system((lab_command(args) + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct run_result {
    int code = -1;
    std::string out;
};

// Runs tavrin-cli in the lab; `on_line` sees each output line as it comes.
run_result cli(const std::string& args,
               const std::function<void(const std::string&)>& on_line = {}) {
    const std::string cmd =
        lab_command("exec '" + paths().build + "/cli/tavrin-cli' " + args + " 2>/dev/null");
    run_result r;
    FILE* pipe = ::popen(cmd.c_str(), "r");
    if (pipe == nullptr)
        return r;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        r.out += line;
        if (on_line)
            on_line(line);
    }
    const int status = ::pclose(pipe);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

class cli_lab_environment : public ::testing::Environment {
  public:
    void SetUp() override {
        if (::geteuid() != 0)
            return;
        if (lab("status") != 0) {
            owns_ = lab("up") == 0;
            up_ = owns_;
        } else {
            up_ = true;
        }
    }
    void TearDown() override {
        if (owns_)
            lab("down");
    }
    static bool up_;
    bool owns_ = false;
};
bool cli_lab_environment::up_ = false;
const auto* registered = ::testing::AddGlobalTestEnvironment(new cli_lab_environment);

class cli_lab : public ::testing::Test {
  protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "the lab needs root";
        if (!cli_lab_environment::up_)
            GTEST_SKIP() << "the lab did not come up";
    }
};

TEST_F(cli_lab, discover_lists_by_brand) {
    EXPECT_EQ(lines_of(cli("discover").out),
              (std::vector<std::string>{"Amp-1", "Amp-2", "Amp-3", "Amp-Old"}));
    EXPECT_EQ(lines_of(cli("discover --brand maker").out),
              (std::vector<std::string>{"Amp-1", "Amp-2", "Amp-3", "Amp-Old", "Varnoll-PA42"}));
    const run_result all = cli("discover --brand all");
    EXPECT_EQ(all.code, 0);
    EXPECT_EQ(lines_of(all.out), (std::vector<std::string>{"Amp-1", "Amp-2", "Amp-3", "Amp-Old",
                                                           "Stagebox-1", "Varnoll-PA42"}));
}

TEST_F(cli_lab, show_connects_polls_and_checks_the_firmware) {
    const run_result amp = cli("show Amp-1");
    EXPECT_EQ(amp.code, 0);
    EXPECT_NE(amp.out.find(" Model: RQ417"), std::string::npos) << amp.out;
    EXPECT_NE(amp.out.find(" Device Name: Amp-1"), std::string::npos);
    EXPECT_NE(amp.out.find("master_volume: "), std::string::npos);
    std::ifstream wire(paths().lab_dir + "/Amp-1.wire");
    std::stringstream log;
    log << wire.rdbuf();
    EXPECT_NE(log.str().find("55 11 aa d5 e3 00 02 01 cb"), std::string::npos) << log.str();

    const run_result json = cli("show Amp-2 --json");
    EXPECT_EQ(json.code, 0);
    EXPECT_EQ(json.out.rfind("{\"master_volume\": ", 0), 0u) << json.out;

    const run_result old = cli("show Amp-Old");
    EXPECT_EQ(old.code, 3);
    EXPECT_NE(old.out.find("Firmware Version Error"), std::string::npos) << old.out;

    ASSERT_EQ(lab("ctl Amp-3 wrong-size on"), 0);
    const run_result wrong = cli("show Amp-3");
    lab("ctl Amp-3 wrong-size off");
    EXPECT_EQ(wrong.code, 3);
    EXPECT_NE(wrong.out.find("FW Version Error"), std::string::npos) << wrong.out;

    EXPECT_EQ(cli("show Nobody-Here").code, 2);
}

TEST_F(cli_lab, watch_sees_the_amplifier_go_and_come_back) {
    std::mutex mutex;
    std::vector<std::string> seen;
    const auto count = [&](const std::string& text) {
        std::lock_guard lock(mutex);
        int n = 0;
        for (const std::string& line : seen)
            n += line.find(text) != std::string::npos;
        return n;
    };
    const auto wait_for = [&](const std::string& text, int times, int seconds) {
        for (int i = 0; i < seconds * 10 && count(text) < times; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return count(text) >= times;
    };
    run_result result;
    std::thread watcher([&] {
        result = cli("watch Amp-2 --seconds 40", [&](const std::string& line) {
            std::lock_guard lock(mutex);
            seen.push_back(line);
        });
    });
    const bool connected = wait_for("Connected to Amp-2", 1, 10);
    lab("ctl Amp-2 silence on");
    const bool lost = connected && wait_for("Disconnected from Amp-2", 1, 30);
    lab("ctl Amp-2 silence off");
    const bool back = lost && wait_for("Connected to Amp-2", 2, 10);
    watcher.join();
    EXPECT_TRUE(connected);
    EXPECT_TRUE(lost);
    EXPECT_TRUE(back);
    EXPECT_EQ(result.code, 0);
    // Every line is "HH:MM:SS" + three blanks + text.
    for (const std::string& line : seen) {
        ASSERT_GE(line.size(), 11u) << line;
        EXPECT_EQ(line[2], ':');
        EXPECT_EQ(line[5], ':');
        EXPECT_EQ(line.substr(8, 3), "   ");
    }
}

}  // namespace
