// The Parametric EQ and Filter pages driven through tavrin-config --play against the
// lab's Amp-3 (factory settings, fresh from `scripts/lab up`): every action puts its
// frame on the amplifier's wire log.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/catalogue.h"
#include "tests/support/lab_exec.h"
#include "tests/support/play_lab.h"

namespace tavrin {
namespace {

constexpr char inside_flag[] = "TAVRIN_PEQ_FILTER_LAB_INNER";
using bytes = std::vector<uint8_t>;

// The frames Amp-3 received, in order, one per wire log line.
std::vector<bytes> wire_of(const std::string& device) {
    std::ifstream in(testing::lab_env_or("LAB_DIR", testing::build_dir() + "/lab") + "/" + device +
                     ".wire");
    std::vector<bytes> out;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream hex(line);
        bytes frame;
        unsigned v = 0;
        while (hex >> std::hex >> v)
            frame.push_back(static_cast<uint8_t>(v));
        out.push_back(std::move(frame));
    }
    return out;
}

// One expected frame: either exactly these bytes, or a frame a predicate accepts
// (a dragged value depends on the page's size in pixels).
struct expected_frame {
    std::string what;
    std::function<bool(const bytes&)> matches;
};

expected_frame exactly(const std::string& what, const amp_command& c) {
    const bytes want = frame_of(c);
    return {what, [want](const bytes& f) { return f == want; }};
}

// The frames of `code` after the first `skip` lines must be these, in this order:
// one frame per edit, however it ended.
void expect_settings(const std::vector<bytes>& wire, size_t skip, uint8_t code,
                     const std::vector<expected_frame>& want) {
    std::vector<bytes> settings;
    for (size_t i = skip; i < wire.size(); ++i) {
        if (wire[i].size() > 4 && wire[i][4] == code)
            settings.push_back(wire[i]);
    }
    ASSERT_EQ(settings.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_TRUE(want[i].matches(settings[i])) << i << ": " << want[i].what;
}

// Plays one of this folder's scripts: every line must run and hold.
void play(const std::string& script) {
    const testing::play_result run =
        testing::play_file_in_lab(testing::source_dir() + "/tests/pages/play/" + script);
    ASSERT_EQ(run.code, 0) << run.err;
}

// Outside the lab: runs the test again inside it.
void run_inside_lab(const char* test) {
    const testing::lab_exec_result run = testing::run_self_in_lab(inside_flag, test);
    if (run.skipped)
        GTEST_SKIP() << run.why;
    EXPECT_EQ(run.status, 0);
}

TEST(PeqFilterLab, ParametricEqActionsPutTheirFramesOnTheWire) {
    if (!testing::inside_lab(inside_flag))
        return run_inside_lab("PeqFilterLab.ParametricEqActionsPutTheirFramesOnTheWire");
    const size_t before = wire_of("Amp-3").size();
    ASSERT_NO_FATAL_FAILURE(play("peq_page.play"));
    using cmd::eq_band;
    const amp_channel ch1 = amp_channel::ch1;
    expect_settings(wire_of("Amp-3"), before, 0x4A,
                    {exactly("band 2 gain 15 -> +10 dB", eq_band(ch1, 1, {false, 60, {}, {}})),
                     exactly("band 4 Q 0.29 -> 28", eq_band(ch1, 3, {false, {}, {}, 28})),
                     exactly("band 1 5 Hz -> 10 Hz", eq_band(ch1, 0, {false, {}, 10, {}})),
                     exactly("band 3 on", eq_band(ch1, 2, {true, {}, {}, {}})),
                     {"band 3 dragged to about 2 kHz, +6 dB", [](const bytes& f) {
                          // 55 10 AA D5 4A 00 0C 01 01 01 FF 02 FF gain flag|hi lo FF FF sum
                          if (f.size() != 19 || f[4] != 0x4A || f[11] != 2)
                              return false;
                          const int hz = ((f[14] & 0x7F) << 8) | f[15];
                          return f[13] == 52 && (f[14] & 0x80) && hz > 1900 && hz <= 2000 &&
                                 f[16] == 0xFF && f[17] == 0xFF;
                      }}});
}

TEST(PeqFilterLab, FilterActionsPutTheirFramesOnTheWire) {
    if (!testing::inside_lab(inside_flag))
        return run_inside_lab("PeqFilterLab.FilterActionsPutTheirFramesOnTheWire");
    const size_t before = wire_of("Amp-3").size();
    ASSERT_NO_FATAL_FAILURE(play("filter_page.play"));
    using cmd::filter;
    const amp_channel ch1 = amp_channel::ch1;
    const filter_kind hp = filter_kind::high_pass;
    const filter_kind lp = filter_kind::low_pass;
    expect_settings(wire_of("Amp-3"), before, 0x22,
                    {exactly("low-pass on", filter(ch1, lp, {true, {}, {}})),
                     exactly("high-pass 30 dB/oct while off", filter(ch1, hp, {false, {}, 3})),
                     exactly("high-pass on", filter(ch1, hp, {true, {}, {}})),
                     exactly("high-pass 5 Hz -> 10 Hz", filter(ch1, hp, {true, 10, {}})),
                     {"high-pass dragged to about 100 Hz",
                      [](const bytes& f) {
                          // 55 10 AA D5 22 00 08 01 01 01 01 flag|hi lo FF sum
                          if (f.size() != 15 || f[4] != 0x22 || f[9] != 1 || f[10] != 1)
                              return false;
                          const int hz = ((f[11] & 0x7F) << 8) | f[12];
                          return (f[11] & 0x80) && hz > 90 && hz <= 100 && f[13] == 0xFF;
                      }},
                     exactly("channel 2 low-pass 20000 -> 16000",
                             filter(amp_channel::ch2, lp, {false, 16000, {}}))});
}

}  // namespace
}  // namespace tavrin
