// Presets without an amplifier and site files, end to end in the lab: capture then
// check, drift found and applied back (by name, or as one whole write that keeps the
// amplifier's own bytes), a preset edited offline then loaded, and bad site files
// that send nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "lab_cli.h"

namespace tavrin::testing {
namespace {

namespace fs = std::filesystem;
using bytes = std::vector<uint8_t>;

constexpr size_t block_at = 10;  // in a preset file
constexpr size_t frame_data_at = 7;
constexpr size_t own_from = 176, own_to = 508;  // the bytes the tool does not interpret

bytes read_file(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void write_file(const fs::path& p, const bytes& b) {
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// Fills the block's bytes 176-507 with a pattern and mends the checksum.
void pattern_own_bytes(bytes& preset) {
    for (size_t i = own_from; i < own_to; ++i)
        preset[block_at + i] = static_cast<uint8_t>(i * 5 + 3);
    uint8_t sum = 0;
    for (size_t i = 0; i + 1 < preset.size(); ++i)
        sum = static_cast<uint8_t>(sum + preset[i]);
    preset.back() = sum;
}

// The frames a device received after the first `from`.
std::vector<bytes> frames_after(const std::string& device, size_t from) {
    std::vector<bytes> all = wire_frames(device);
    all.erase(all.begin(), all.begin() + static_cast<long>(std::min(from, all.size())));
    return all;
}

size_t count_code(const std::vector<bytes>& frames, uint8_t unit, uint8_t code) {
    size_t n = 0;
    for (const bytes& f : frames)
        n += f.size() > 4 && f[1] == unit && f[4] == code ? 1 : 0;
    return n;
}

class site_lab : public lab_case {
  protected:
    void SetUp() override {
        lab_case::SetUp();
        if (IsSkipped())
            return;
        dir = fs::temp_directory_path() / ("tavrin-site-lab-" + std::to_string(::getpid()));
        fs::create_directories(dir / "site");
    }
    void TearDown() override {
        // The amplifiers get back what they had.
        if (fs::exists(dir / "site" / "hall.toml"))
            run("apply site/hall.toml");
        if (fs::exists(dir / "Preset" / "original"))
            run("preset load Amp-3 original --yes");
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    cli_run run(const std::string& args) { return lab_cli(dir.string(), args); }

    fs::path dir;
};

TEST_F(site_lab, capture_then_check_finds_drift_and_apply_sends_only_what_differs) {
    const cli_run captured = run("capture site/hall.toml Amp-1,Amp-2");
    ASSERT_EQ(captured.code, 0) << captured.out;
    EXPECT_TRUE(has(captured.out, "wrote site/hall.toml")) << captured.out;
    const bytes own = read_file(dir / "site" / "Amp-2.preset");
    ASSERT_EQ(own.size(), 523u);

    const cli_run clean = run("apply site/hall.toml --check");
    EXPECT_EQ(clean.code, 0) << clean.out;
    EXPECT_EQ(clean.out, "Amp-1: ok\nAmp-2: ok\n2 amplifiers: 2 ok\n");
    const cli_run same = run("diff Amp-1 site/Amp-1.preset");
    EXPECT_EQ(same.code, 0) << same.out;
    EXPECT_EQ(same.out, "");

    // The site's preset now holds other bytes where the amplifier keeps its own: no
    // setting, so no drift, and a whole write must not carry them.
    bytes patterned = own;
    pattern_own_bytes(patterned);
    write_file(dir / "site" / "Amp-2.preset", patterned);
    ASSERT_TRUE(has(run("preset show site/Amp-2.preset").out, "\nch1.lpf.freq=20000\n"))
        << "the factory low-pass, beyond what the Filter page gives";

    ASSERT_EQ(run("set Amp-2 master=20").code, 0);
    const cli_run drifted = run("apply site/hall.toml --check");
    EXPECT_EQ(drifted.code, 4) << drifted.out;
    EXPECT_TRUE(has(drifted.out, "Amp-2: drifted: 1 setting\n  master  20  ")) << drifted.out;
    EXPECT_TRUE(has(drifted.out, "2 amplifiers: 1 ok, 1 drifted\n")) << drifted.out;
    const cli_run differs = run("diff Amp-2 site/Amp-2.preset");
    EXPECT_EQ(differs.code, 1) << differs.out;
    EXPECT_TRUE(has(differs.out, "master  20  ")) << differs.out;

    size_t mark = wire_frames("Amp-2").size();
    const cli_run by_name = run("apply site/hall.toml");
    EXPECT_EQ(by_name.code, 0) << by_name.out;
    EXPECT_TRUE(has(by_name.out, "Amp-1: ok: nothing to send\nAmp-2: ok: sent 1 setting\n"))
        << by_name.out;
    std::vector<bytes> sent = frames_after("Amp-2", mark);
    EXPECT_EQ(count_code(sent, 0x10, 0x08), 1u) << "the master alone";
    EXPECT_EQ(sent.size(), count_code(sent, 0x10, 0x08) + count_code(sent, 0x11, 0xE3))
        << "besides it only polls";

    ASSERT_EQ(run("set Amp-2 ch1.lpf.freq=8000").code, 0);
    mark = wire_frames("Amp-2").size();
    const cli_run whole = run("apply site/hall.toml");
    EXPECT_EQ(whole.code, 0) << whole.out;
    EXPECT_TRUE(has(whole.out, "Amp-2: ok: sent the whole parameter block\n")) << whole.out;
    sent = frames_after("Amp-2", mark);
    ASSERT_EQ(count_code(sent, 0x10, 0xE3), 1u);
    for (const bytes& f : sent) {
        if (f[1] != 0x10)
            continue;
        ASSERT_EQ(f.size(), 520u);
        EXPECT_TRUE(std::equal(f.begin() + frame_data_at + own_from,
                               f.begin() + frame_data_at + own_to,
                               own.begin() + block_at + own_from))
            << "the amplifier's own bytes 176-507, not the site preset's";
    }
    EXPECT_EQ(run("apply site/hall.toml --check").code, 0);
}

TEST_F(site_lab, a_preset_edited_offline_loads_with_its_untouched_bytes) {
    ASSERT_EQ(run("preset save Amp-3 original").code, 0);
    bytes patterned = read_file(dir / "Preset" / "original");
    pattern_own_bytes(patterned);
    write_file(dir / "Preset" / "patterned", patterned);

    const cli_run edited = run("preset edit patterned master=50 ch1.level=-6 --to edited");
    ASSERT_EQ(edited.code, 0) << edited.out;
    EXPECT_EQ(edited.out, "master=50\nch1.level=-6.0\nFile saved.\n");

    const size_t mark = wire_frames("Amp-3").size();
    const cli_run loaded = run("preset load Amp-3 edited --yes");
    ASSERT_EQ(loaded.code, 0) << loaded.out;
    const std::vector<bytes> sent = frames_after("Amp-3", mark);
    ASSERT_EQ(count_code(sent, 0x10, 0xE3), 1u);
    for (const bytes& f : sent) {
        if (f[1] != 0x10)
            continue;
        ASSERT_EQ(f.size(), 520u);
        EXPECT_EQ(f[frame_data_at + 0], 25) << "master 50 %";
        EXPECT_TRUE(std::equal(f.begin() + frame_data_at + own_from,
                               f.begin() + frame_data_at + own_to,
                               patterned.begin() + block_at + own_from));
    }
    const cli_run shown = run("show Amp-3");
    EXPECT_TRUE(has(shown.out, "master=50\n")) << shown.out;
    EXPECT_TRUE(has(shown.out, "\nch1.level=-6.0\n")) << shown.out;
}

TEST_F(site_lab, a_bad_site_file_sends_nothing) {
    ASSERT_EQ(run("preset save Amp-1 p").code, 0);
    fs::copy_file(dir / "Preset" / "p", dir / "site" / "p");
    const char* bad[] = {
        "[amp.Amp-1]\npreset = \"p\"\nsettings = { master = 80 \n",
        "[amp.Amp-1]\npreset = \"p\"\nvolume = 3\n",
        "[amp.Amp-1]\npreset = \"p\"\nsettings = { loudness = 3 }\n",
        "[amp.Amp-1]\npreset = \"p\"\nsettings = { master = 101 }\n",
        "[amp.Amp-1]\npreset = \"gone\"\n",
        "[amp.Amp-1]\npreset = \"p\"\n[amp.AMP-1]\npreset = \"p\"\n",
    };
    const size_t mark = wire_frames("Amp-1").size();
    for (const char* text : bad) {
        std::ofstream(dir / "site" / "bad.toml") << text;
        for (const char* mode : {"", " --check"}) {
            const cli_run r = run(std::string("apply site/bad.toml") + mode);
            EXPECT_EQ(r.code, 65) << text << r.out;
            EXPECT_TRUE(has(r.out, "site/bad.toml:")) << r.out;
        }
    }
    EXPECT_EQ(wire_frames("Amp-1").size(), mark) << "not even a poll";
}

}  // namespace
}  // namespace tavrin::testing
