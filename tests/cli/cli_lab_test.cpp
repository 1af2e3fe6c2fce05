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
    EXPECT_EQ(amp.out.rfind("master=", 0), 0u) << amp.out;
    EXPECT_NE(amp.out.find("\nroute="), std::string::npos) << amp.out;
    const run_result raw = cli("show Amp-1 --raw");
    EXPECT_EQ(raw.code, 0);
    EXPECT_NE(raw.out.find(" Model: RQ417"), std::string::npos) << raw.out;
    EXPECT_NE(raw.out.find(" Device Name: Amp-1"), std::string::npos);
    EXPECT_NE(raw.out.find("master_volume: "), std::string::npos);
    std::ifstream wire(paths().lab_dir + "/Amp-1.wire");
    std::stringstream log;
    log << wire.rdbuf();
    EXPECT_NE(log.str().find("55 11 aa d5 e3 00 02 01 cb"), std::string::npos) << log.str();

    const run_result json = cli("show Amp-2 --json");
    EXPECT_EQ(json.code, 0);
    EXPECT_EQ(json.out.rfind("{\"info\": \" Model: RQ417", 0), 0u) << json.out;
    EXPECT_NE(json.out.find("\"settings\": {\"master\": "), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"fields\": {\"master_volume\": "), std::string::npos) << json.out;

    const run_result old = cli("show Amp-Old");
    EXPECT_EQ(old.code, 3);
    EXPECT_NE(old.out.find("Firmware Version Error"), std::string::npos) << old.out;

    ASSERT_EQ(lab("ctl Amp-3 wrong-size on"), 0);
    const run_result wrong = cli("show Amp-3");
    lab("ctl Amp-3 wrong-size off");
    EXPECT_EQ(wrong.code, 3);
    EXPECT_NE(wrong.out.find("FW Version Error"), std::string::npos) << wrong.out;

    // A name the server does not know is told at once (see exit_codes_lab_test.cpp).
    EXPECT_EQ(cli("show Nobody-Here").code, 7);
}

// The frames a virtual amplifier has received so far, one line each.
std::vector<std::string> wire_lines(const std::string& device) {
    std::ifstream in(paths().lab_dir + "/" + device + ".wire");
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// The wire-log line of a setting command (unit 0x10): "55 10 aa d5 <code> <length> <data> <sum>".
std::string setting_frame(const std::vector<int>& code_and_data) {
    std::vector<int> f = {
        0x55, 0x10, 0xAA, 0xD5, code_and_data[0], 0, static_cast<int>(code_and_data.size())};
    f.insert(f.end(), code_and_data.begin() + 1, code_and_data.end());
    int sum = 0;
    for (int b : f)
        sum += b;
    f.push_back(sum & 0xFF);
    std::string out;
    for (int b : f) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x", b);
        if (!out.empty())
            out += ' ';
        out += hex;
    }
    return out;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A setting of the Parametric EQ or Filter page, which these tests leave alone.
bool eq_or_filter(const std::string& line) {
    return contains(line, ".peq") || contains(line, "pf.");
}

// `show` output as the words of a `set` command, without the lines `skip` picks.
std::string as_words(const std::string& show_output, bool (*skip)(const std::string&) = nullptr) {
    std::string out;
    for (const std::string& line : lines_of(show_output)) {
        if (skip == nullptr || !skip(line))
            out += " " + line;
    }
    return out;
}

// Keeps an amplifier's Volume, Input and Power settings as `show` prints them and
// puts them back afterwards, so that the lab's other tests find it as it was. (Amp-3
// is left to the Parametric EQ and Filter pages' lab test, which wants it fresh.)
class kept_settings {
  public:
    explicit kept_settings(std::string device) : device_(std::move(device)) {
        saved_ = cli("show " + device_).out;
    }
    ~kept_settings() {
        if (saved_.empty())
            return;
        // "auto" keeps the class in force: the lab's amplifiers start on PoE++.
        cli("set " + device_ + " power.class=poe++");
        cli("set " + device_ + as_words(saved_, eq_or_filter));
    }
    const std::string& saved() const { return saved_; }

  private:
    std::string device_;
    std::string saved_;
};

TEST_F(cli_lab, set_goes_through_the_page_logic_and_reads_the_amplifier_back) {
    kept_settings keep("Amp-2");
    ASSERT_NE(keep.saved(), "");
    const size_t before = wire_lines("Amp-2").size();
    const run_result r =
        cli("set Amp-2 master=73 ch1.level=-3.75 route=SWAP ch1.trim=-3.5 "
            "ch2.limiter.threshold=-95 ch2.power=9 ch1.power=3 power.class=poe speaker=8");
    EXPECT_EQ(r.code, 0) << r.out;
    for (const char* line : {"power.class=poe\n", "speaker=8\n", "master=74 (typed 73)\n",
                             "ch1.level=-3.8 (typed -3.75)\n", "route=swap\n", "ch1.trim=-3.5\n",
                             "ch2.limiter.threshold=-90 (typed -95)\n", "ch1.power=3.0\n",
                             "ch2.power=7.0 (typed 9)\n", "Amp-2: ok\n"})
        EXPECT_TRUE(contains(r.out, line)) << line << r.out;
    // The class went first, then the settings in show's order; the poll read them back.
    EXPECT_LT(r.out.find("power.class="), r.out.find("master="));

    std::vector<std::string> sent = wire_lines("Amp-2");
    sent.erase(sent.begin(), sent.begin() + static_cast<long>(std::min(before, sent.size())));
    std::string wire;
    for (const std::string& line : sent)
        wire += line + "\n";
    for (const std::vector<int>& frame : std::vector<std::vector<int>>{
             {0x07, 0xA1, 0x01, 0x00, 0x00, 0x00},
             {0x08, 0x25, 0xFF},
             {0x0A, 0x01, 0x01, 0xD4, 0xFF},
             {0x07, 0x06, 0x04},
             {0x10, 0x01, 0x01, 0xDD},
             {0x2C, 0x03, 0x01, 0x02, 0x00, 0x00},
             {0x2C, 0x01, 0x01, 0x01, 0x00, 0x1E},
             {0x2C, 0x01, 0x01, 0x02, 0x00, 0x46},
         })
        EXPECT_TRUE(contains(wire, setting_frame(frame) + "\n")) << setting_frame(frame) << "\n"
                                                                 << wire;
    // The speaker was 8 already: no speaker command.
    EXPECT_FALSE(contains(wire, "aa d5 2c 00 06 04 01 01")) << wire;
    ASSERT_FALSE(sent.empty());
    EXPECT_TRUE(contains(sent.back(), "55 11 aa d5 e3 00 02 01 cb")) << sent.back();

    const run_result shown = cli("show Amp-2");
    EXPECT_EQ(shown.code, 0);
    for (const char* line : {"\nmaster=74\n", "\nch1.level=-3.8\n", "\nroute=swap\n",
                             "\npower.class=poe\n", "\nch2.power=7.0\n", "\nch1.trim=-3.5\n"})
        EXPECT_TRUE(contains("\n" + shown.out, line)) << line << shown.out;
}

// set B $(show A) copies A exactly: what B holds already is left alone and nothing
// is sent for it, so the factory low-pass at 20000 Hz (more than the Filter page can
// give) stays; only what differs goes out.
TEST_F(cli_lab, the_output_of_show_given_to_set_copies_an_amplifier_exactly) {
    kept_settings keep1("Amp-1");
    kept_settings keep2("Amp-2");
    ASSERT_EQ(cli("set Amp-2 master=40 mute=on ch2.level=-12.5 invert=on route=mixed ch2.trim=4.5 "
                  "ch1.limiter.ratio=2.5 ch1.limiter.attack=80 ch1.limiter.hold=90 speaker=4 "
                  "power.class=poe+ ch1.power=15 ch2.power=5 current.limit=on "
                  "current.threshold=400 current.release=12 power.limit=on")
                  .code,
              0);
    // Leaning the other way on the target: raising CH1 first would overrun the budget.
    ASSERT_EQ(cli("set Amp-1 power.class=poe+ ch1.power=5 ch2.power=15").code, 0);
    const run_result target = cli("show Amp-1");
    const run_result source = cli("show Amp-2");
    ASSERT_EQ(source.code, 0);
    ASSERT_TRUE(contains(source.out, "\nch1.lpf.freq=20000\n")) << source.out;
    ASSERT_TRUE(contains(target.out, "\nmute=off\n")) << target.out;
    std::string target_eq, source_eq;
    for (const std::string& line : lines_of(target.out))
        target_eq += eq_or_filter(line) ? line + "\n" : "";
    for (const std::string& line : lines_of(source.out))
        source_eq += eq_or_filter(line) ? line + "\n" : "";
    ASSERT_EQ(target_eq, source_eq) << "both amplifiers keep the factory equaliser and filters";

    const size_t before = wire_lines("Amp-1").size();
    const run_result copy = cli("set Amp-1" + as_words(source.out));
    EXPECT_EQ(copy.code, 0) << copy.out;
    EXPECT_TRUE(contains(copy.out, "\nch1.lpf.freq=20000\n")) << copy.out;
    EXPECT_FALSE(contains(copy.out, "(typed")) << copy.out;
    EXPECT_TRUE(contains(copy.out, "Amp-1: ok\n")) << copy.out;
    EXPECT_EQ(cli("show Amp-1").out, source.out);

    std::vector<std::string> sent = wire_lines("Amp-1");
    sent.erase(sent.begin(), sent.begin() + static_cast<long>(std::min(before, sent.size())));
    std::string wire;
    for (const std::string& line : sent)
        wire += line + "\n";
    // Nothing for the 52 equaliser and filter settings it held already.
    EXPECT_FALSE(contains(wire, "55 10 aa d5 22 ")) << wire;
    EXPECT_FALSE(contains(wire, "55 10 aa d5 4a ")) << wire;
    // What differed did go out: the mute.
    EXPECT_TRUE(contains(wire, setting_frame({0x08, 0xFF, 0xFF}) + "\n")) << wire;
}

TEST_F(cli_lab, several_amplifiers_each_get_a_result_line_and_the_worst_code) {
    kept_settings keep("Amp-2");
    const size_t old_before = wire_lines("Amp-Old").size();
    const run_result r = cli("set Amp-2,Nobody-Here,Amp-Old invert=on");
    EXPECT_EQ(r.code, 7) << r.out;
    const std::vector<std::string> lines = lines_of(r.out);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "invert=on", "Amp-2: ok", "Nobody-Here: no such device on the network",
                         "Amp-Old: Firmware Version Error, nothing sent",
                         "3 amplifiers: 1 ok, 1 firmware refused (Amp-Old), 1 not found "
                         "(Nobody-Here)"}));
    // The amplifier with the old firmware saw nothing but polls.
    const std::vector<std::string> old = wire_lines("Amp-Old");
    for (size_t i = old_before; i < old.size(); ++i)
        EXPECT_TRUE(contains(old[i], "aa d5 e3 ")) << old[i];

    // An unreadable value sends nothing at all.
    const size_t amp2_before = wire_lines("Amp-2").size();
    EXPECT_EQ(cli("set Amp-2 invert=off master=loud").code, 64);
    EXPECT_EQ(cli("set Amp-2 volume=10").code, 64);
    EXPECT_EQ(wire_lines("Amp-2").size(), amp2_before);
}

TEST_F(cli_lab, set_all_takes_every_amplifier_of_one_discovery) {
    const run_result r = cli("set --all mute=off");
    EXPECT_EQ(r.code, 3) << r.out;
    for (const char* line :
         {"Amp-1: ok\n", "Amp-2: ok\n", "Amp-3: ok\n", "Amp-Old: Firmware Version Error"})
        EXPECT_TRUE(contains(r.out, line)) << line << r.out;
    EXPECT_FALSE(contains(r.out, "Varnoll-PA42")) << r.out;
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
