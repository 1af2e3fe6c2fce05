// The Volume, Input and Power pages end to end: tavrin-config --play performs a
// user's clicks, typing and slides on the real window in the lab (scripts in
// tests/pages/play/), and the virtual amplifier's wire log shows the frames that
// left. tavrin-cli set puts the amplifier in a known state first and back as it was
// afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/lab_exec.h"
#include "tests/support/play_lab.h"

namespace tavrin {
namespace {

constexpr char inside_flag[] = "TAVRIN_SETTING_PAGES_LAB_INNER";
constexpr char device[] = "Amp-1";

using testing::build_dir;
using testing::source_dir;

std::string lab_dir() {
    return testing::lab_env_or("LAB_DIR", build_dir() + "/lab");
}

struct cli_result {
    int status = -1;
    std::string out;
};

cli_result cli(const std::string& args) {
    cli_result r;
    const std::string command = "'" + build_dir() + "/cli/tavrin-cli' " + args + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return r;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe) != nullptr)
        r.out += line;
    r.status = ::pclose(pipe);
    return r;
}

std::vector<std::string> wire_lines() {
    std::ifstream in(lab_dir() + "/" + device + ".wire");
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

// Code and data of each setting frame received since `from` ("08 32 ff"); polls left out.
std::vector<std::string> settings_since(size_t from) {
    const std::vector<std::string> lines = wire_lines();
    std::vector<std::string> out;
    for (size_t i = from; i < lines.size(); ++i) {
        // "55 10 aa d5 cc ll ll dd ... ss": code at 12, data from 21 up to the sum.
        const std::string& l = lines[i];
        if (l.size() < 24 || l.compare(12, 2, "e3") == 0)
            continue;
        out.push_back(l.substr(12, 2) + " " + l.substr(21, l.size() - 24));
    }
    return out;
}

// True when `want` appears in `got` in this order (other frames may lie between).
bool in_order(const std::vector<std::string>& got, const std::vector<std::string>& want) {
    size_t k = 0;
    for (const std::string& g : got) {
        if (k < want.size() && g == want[k])
            ++k;
    }
    return k == want.size();
}

long count_of(const std::vector<std::string>& got, const std::string& frame) {
    return std::count(got.begin(), got.end(), frame);
}

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines)
        out += l + "\n";
    return out;
}

// Sets the start state, plays the script and puts the amplifier's Volume, Input and
// Power settings back as they were.
class page_run {
  public:
    explicit page_run(const std::vector<std::string>& start) {
        const cli_result shown = cli(std::string("show ") + device);
        std::istringstream in(shown.status == 0 ? shown.out : std::string());
        // The Parametric EQ and Filter settings stay as they are (the factory low-pass
        // at 20000 Hz is more than the Filter page, and so `set`, can give back).
        for (std::string line; std::getline(in, line);) {
            if (line.find(".peq") == std::string::npos && line.find("pf.") == std::string::npos)
                saved_ += " " + line;
        }
        for (const std::string& words : start)
            ok_ = ok_ && cli(std::string("set ") + device + " " + words).status == 0;
    }
    ~page_run() {
        // "auto" keeps the class in force: the lab's amplifiers start on PoE++.
        cli(std::string("set ") + device + " power.class=poe++");
        if (!saved_.empty())
            cli(std::string("set ") + device + saved_);
    }
    bool ready() const { return ok_ && !saved_.empty(); }

    // Plays the script; the frames received meanwhile.
    std::vector<std::string> play(const std::string& script, int& code, std::string& err) {
        const size_t before = wire_lines().size();
        const testing::play_result r =
            testing::play_file_in_lab(source_dir() + "/tests/pages/play/" + script);
        code = r.code;
        err = r.err;
        return settings_since(before);
    }

  private:
    std::string saved_;
    bool ok_ = true;
};

enum class place { inside, done, skipped };

// Runs the test again inside the lab.
place run_in_lab(const char* test, std::string& why) {
    if (testing::inside_lab(inside_flag))
        return place::inside;
    const testing::lab_exec_result r =
        testing::run_self_in_lab(inside_flag, std::string("SettingPagesLab.") + test);
    if (r.skipped) {
        why = r.why;
        return place::skipped;
    }
    EXPECT_EQ(r.status, 0);
    return place::done;
}

#define RUN_IN_LAB(test)                 \
    do {                                 \
        std::string why;                 \
        switch (run_in_lab(test, why)) { \
            case place::skipped:         \
                GTEST_SKIP() << why;     \
            case place::done:            \
                return;                  \
            case place::inside:          \
                break;                   \
        }                                \
    } while (false)

TEST(SettingPagesLab, VolumePage) {
    RUN_IN_LAB("VolumePage");
    page_run page({"master=60 mute=off ch1.level=0 ch2.level=0 route=bypass invert=off"});
    ASSERT_TRUE(page.ready());
    int code = -1;
    std::string err;
    const std::vector<std::string> sent = page.play("volume_page.play", code, err);
    EXPECT_EQ(code, 0) << err;
    EXPECT_TRUE(in_order(
        sent, {"08 32 ff", "08 ff ff", "08 9e ff", "08 7f ff", "0a 01 01 fa ff", "0a 01 01 00 ff",
               "0a 01 01 ff d4", "0a 01 01 ff 00", "07 06 04", "29 01 01 02 01"}))
        << joined(sent);
    // Each typed level went out once, whether Enter or Tab ended it.
    for (const char* typed : {"0a 01 01 fa ff", "0a 01 01 00 ff", "0a 01 01 ff d4"})
        EXPECT_EQ(count_of(sent, typed), 1) << typed << "\n" << joined(sent);
}

TEST(SettingPagesLab, InputPage) {
    RUN_IN_LAB("InputPage");
    page_run page(
        {"speaker=8 ch1.trim=0 ch2.trim=0 ch1.limiter.ratio=10 ch1.limiter.attack=5 "
         "ch1.limiter.hold=10 ch2.limiter.threshold=0 ch2.limiter.release=200"});
    ASSERT_TRUE(page.ready());
    int code = -1;
    std::string err;
    const std::vector<std::string> sent = page.play("input_page.play", code, err);
    EXPECT_EQ(code, 0) << err;
    // Three moves of the trim, one command after the pause.
    EXPECT_EQ(count_of(sent, "10 01 01 dd"), 1) << joined(sent);
    EXPECT_EQ(count_of(sent, "10 01 01 f6") + count_of(sent, "10 01 01 ec"), 0) << joined(sent);
    // The attack above the hold raised the hold on the amplifier too.
    EXPECT_TRUE(in_order(sent, {"10 01 01 dd", "2c 03 01 02 00 00", "2c 03 02 01 27 10",
                                "2c 03 04 01 00 32", "2c 03 10 01 00 32", "2c 03 08 02 07 d0"}))
        << joined(sent);
}

TEST(SettingPagesLab, PowerPage) {
    RUN_IN_LAB("PowerPage");
    page_run page({"power.class=poe ch1.power=6 ch2.power=3.5 power.limit=on",
                   "power.class=poe++ current.limit=on current.threshold=1800 power.limit=off "
                   "pbtl=off speaker=8",
                   "power.class=auto"});
    ASSERT_TRUE(page.ready());
    int code = -1;
    std::string err;
    const std::vector<std::string> sent = page.play("power_page.play", code, err);
    EXPECT_EQ(code, 0) << err;
    EXPECT_TRUE(in_order(
        sent, {"07 a1 01 02 00 00", "07 a1 01 00 00 00", "2c 01 01 02 00 28", "07 a1 01 02 00 00",
               "2c 05 02 01 00 28", "2c 04 01 01 00 04", "07 a0 00 00 00 01", "07 a0 00 00 00 00",
               "2c 04 01 01 00 08", "07 a1 00 02 00 00", "2c 05 01 03 80 00", "2c 05 01 01 00 32"}))
        << joined(sent);
    // The cut limit went out once, after its pause; the click on 8 ohm sent nothing.
    EXPECT_EQ(count_of(sent, "2c 01 01 02 00 28"), 1) << joined(sent);
    EXPECT_EQ(count_of(sent, "2c 04 01 01 00 08"), 1) << joined(sent);
    for (const std::string& s : sent)
        EXPECT_NE(s.rfind("2c 01 01 02 00 46", 0), 0u) << "an uncut limit: " << s;
}

}  // namespace
}  // namespace tavrin
