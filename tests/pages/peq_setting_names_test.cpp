// The Parametric EQ and Filter settings by name, as tavrin-cli set and show use them.
#include <gtest/gtest.h>

#include "page_fixture.h"
#include "pages/settings.h"

namespace tavrin {
namespace {

using bytes = std::vector<uint8_t>;
using testing::connected_context;

const setting_def& def(std::string_view name) {
    const setting_def* d = find_setting(name);
    if (d == nullptr)
        throw std::runtime_error("no setting " + std::string(name));
    return *d;
}

TEST(PeqSettings, EveryBandOfBothChannelsHasFourSettingsWithTheirRanges) {
    for (const char* ch : {"ch1", "ch2"}) {
        for (int band = 1; band <= 5; ++band) {
            const std::string base = std::string(ch) + ".peq" + std::to_string(band) + ".";
            for (const char* item : {"freq", "gain", "q", "on"})
                EXPECT_NE(find_setting(base + item), nullptr) << base << item;
        }
        for (const char* f : {".hpf.", ".lpf."}) {
            for (const char* item : {"on", "freq", "slope"})
                EXPECT_NE(find_setting(std::string(ch) + f + item), nullptr) << ch << f << item;
        }
    }
    EXPECT_EQ(find_setting("ch3.peq1.gain"), nullptr);
    EXPECT_EQ(find_setting("ch1.peq6.gain"), nullptr);
    EXPECT_EQ(def("ch1.peq1.gain").range, "-20.0 to 20.0");
    EXPECT_EQ(def("ch2.peq2.gain").range, "-10.0 to 10.0");
    EXPECT_EQ(def("ch1.peq2.freq").unit, "Hz");
    EXPECT_EQ(def("ch2.lpf.freq").range, "10 to 16000");
    EXPECT_EQ(def("ch2.hpf.slope").unit, "dB/oct");
}

TEST(PeqSettings, ApplyGoesThroughThePageRulesAndQueuesItsCommand) {
    connected_context c;
    c.params.set(param_field::peq_ch1_enable, 1, 1);
    struct case_ {
        const char* name;
        const char* value;
        const char* applied;
        bytes body;
    };
    const case_ cases[] = {
        {"ch1.peq2.freq",
         "1000",
         "1000",
         {0x4A, 1, 1, 1, 0xFF, 1, 0xFF, 0xFF, 0x83, 0xE8, 0xFF, 0xFF}},
        {"ch1.peq2.gain", "3.7", "3.5", {0x4A, 1, 1, 1, 0xFF, 1, 0xFF, 47, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"ch1.peq2.gain", "15", "10.0", {0x4A, 1, 1, 1, 0xFF, 1, 0xFF, 60, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"ch1.peq1.gain",
         "-25",
         "-20.0",
         {0x4A, 1, 1, 1, 0xFF, 0, 0xFF, 0, 0x7F, 0xFF, 0xFF, 0xFF}},
        {"ch1.peq2.q", "1.4", "1.40", {0x4A, 1, 1, 1, 0xFF, 1, 0xFF, 0xFF, 0xFF, 0xFF, 0, 140}},
        // Q x 100 is truncated: what is stored, 0.28, is what is said.
        {"ch1.peq2.q", "0.29", "0.28", {0x4A, 1, 1, 1, 0xFF, 1, 0xFF, 0xFF, 0xFF, 0xFF, 0, 28}},
        {"ch2.peq5.freq",
         "99999999999",
         "23000",
         {0x4A, 1, 1, 2, 0xFF, 4, 0xFF, 0xFF, 0x59, 0xD8, 0xFF, 0xFF}},
        {"ch2.peq5.on", "on", "on", {0x4A, 1, 1, 2, 0xFF, 4, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
        {"ch2.hpf.on", "on", "on", {0x22, 1, 1, 2, 1, 0xFF, 0xFF, 0xFF}},
        {"ch2.hpf.freq", "80", "80", {0x22, 1, 1, 2, 1, 0x80, 80, 0xFF}},
        {"ch2.hpf.slope", "24", "24", {0x22, 1, 1, 2, 1, 0xFF, 0xFF, 2}},
        {"ch1.lpf.freq", "20000", "16000", {0x22, 1, 1, 1, 2, 0x3E, 0x80, 0xFF}},
        {"ch1.lpf.slope", "36", "36", {0x22, 1, 1, 1, 2, 0x7F, 0xFF, 4}},
    };
    for (const case_& t : cases) {
        const setting_outcome out = def(t.name).apply(c.ctx, t.value);
        EXPECT_TRUE(out.ok) << t.name << "=" << t.value << ": " << out.error;
        EXPECT_EQ(out.applied, t.applied) << t.name << "=" << t.value;
        EXPECT_EQ(c.sent(), std::vector<bytes>{t.body}) << t.name << "=" << t.value;
    }
    // The mirror took each value, and the window's channel did not move.
    EXPECT_EQ(c.params.get(param_field::peq_ch1_gain, 1), 60);
    EXPECT_EQ(c.params.get(param_field::peq_ch1_q_lo, 1), 28);
    EXPECT_EQ(c.params.get(param_field::peq_ch2_enable, 4), 1);
    EXPECT_EQ(c.params.get(param_field::hpf_ch2_freq), 80);
    EXPECT_EQ(c.params.get(param_field::hpf_ch2_slope), 2);
    EXPECT_EQ(c.params.get(param_field::lpf_ch1_slope), 4);
    EXPECT_EQ(c.shared.selected_channel, 1);
}

TEST(PeqSettings, UnreadableValuesAreRefusedAndNothingIsSent) {
    connected_context c;
    struct case_ {
        const char* name;
        const char* value;
    };
    const case_ cases[] = {{"ch1.peq2.freq", "1000.5"}, {"ch1.peq2.freq", "1k"},
                           {"ch1.peq2.gain", "abc"},    {"ch1.peq2.gain", ""},
                           {"ch1.peq2.q", "1e3"},       {"ch1.peq2.on", "yes"},
                           {"ch2.hpf.on", "ON"},        {"ch2.hpf.slope", "20"},
                           {"ch2.hpf.slope", "2"},      {"ch2.lpf.freq", "-"}};
    for (const case_& t : cases) {
        const setting_def& d = def(t.name);
        const auto why = d.check(t.value);
        ASSERT_TRUE(why.has_value()) << t.name << "=" << t.value;
        EXPECT_NE(why->find("'" + std::string(t.value) + "'"), std::string::npos) << *why;
        const setting_outcome out = d.apply(c.ctx, t.value);
        EXPECT_FALSE(out.ok) << t.name << "=" << t.value;
        EXPECT_EQ(out.error, *why);
    }
    EXPECT_TRUE(c.sent().empty());
    EXPECT_EQ(c.params.snapshot(), param_block{});
}

TEST(PeqSettings, ShowPrintsWhatThePagesShow) {
    param_block b{};
    b[22 + 1] = 1, b[27 + 1] = 47, b[37 + 1] = 141, b[42 + 1] = 0x01, b[47 + 1] = 0xB8;
    b[77 + 4] = 0;                                // channel 2 band 5: 0 Hz, shown as 1000
    b[13] = 1, b[14] = 0, b[15] = 80, b[16] = 2;  // ch2 high-pass
    b[20] = 9;                                    // ch2 low-pass slope byte 9
    const std::pair<const char*, const char*> expected[] = {
        {"ch1.peq2.on", "on"},   {"ch1.peq2.freq", "440"},  {"ch1.peq2.gain", "3.5"},
        {"ch1.peq2.q", "1.41"},  {"ch2.peq5.freq", "1000"}, {"ch2.peq5.q", "0.71"},
        {"ch2.peq5.on", "off"},  {"ch2.hpf.on", "on"},      {"ch2.hpf.freq", "80"},
        {"ch2.hpf.slope", "24"}, {"ch2.lpf.slope", "12"},   {"ch2.lpf.freq", "0"},
    };
    for (const auto& [name, text] : expected)
        EXPECT_EQ(def(name).show(b), text) << name;
}

}  // namespace
}  // namespace tavrin
