// tavrin-cli preset and summary against a virtual amplifier: save, list, load (the
// 520-byte write on the wire, the answer shown), delete, and the files it refuses.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "lab_cli.h"

namespace tavrin::testing {
namespace {

namespace fs = std::filesystem;
using bytes = std::vector<uint8_t>;

constexpr const char* amp = "Amp-1";

bytes read_file(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void write_file(const fs::path& p, const bytes& b) {
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

void reseal(bytes& preset) {
    uint8_t sum = 0;
    for (size_t i = 0; i + 1 < preset.size(); ++i)
        sum = static_cast<uint8_t>(sum + preset[i]);
    preset.back() = sum;
}

size_t frames_of_size(const std::string& device, size_t size) {
    size_t n = 0;
    for (const bytes& f : wire_frames(device))
        n += f.size() == size ? 1 : 0;
    return n;
}

class preset_lab : public lab_case {
  protected:
    void SetUp() override {
        lab_case::SetUp();
        if (IsSkipped())
            return;
        dir = fs::temp_directory_path() / ("tavrin-preset-lab-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        // The amplifier gets back what it had.
        if (fs::exists(dir / "Preset" / "original"))
            run("preset load " + std::string(amp) + " original --yes");
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    cli_run run(const std::string& args) { return lab_cli(dir.string(), args); }

    fs::path dir;
};

TEST_F(preset_lab, save_list_load_summary_delete) {
    const cli_run saved = run("preset save Amp-1 original");
    ASSERT_EQ(saved.code, 0) << saved.out;
    EXPECT_TRUE(has(saved.out, "File saved."));
    const bytes original = read_file(dir / "Preset" / "original");
    ASSERT_EQ(original.size(), 523u);
    EXPECT_EQ(original[0], 0x55);
    EXPECT_EQ(original[1], 0xD5);
    // The firmware date at the front repeats the block's own.
    EXPECT_TRUE(std::equal(original.begin() + 2, original.begin() + 6, original.begin() + 518));

    bytes stage = original;
    stage[10 + 0] = 40;  // master volume 80 %
    const std::string where = "Stage";
    std::copy(where.begin(), where.end(), stage.begin() + 10 + 149);
    reseal(stage);
    write_file(dir / "Preset" / "stage", stage);
    fs::create_directories(dir / "Preset" / "not-a-preset");
    EXPECT_EQ(run("preset list").out, "original\nstage\n");

    // Without --yes the question is refused and nothing goes out.
    const size_t writes = frames_of_size(amp, 520);
    const cli_run asked = run("preset load Amp-1 stage");
    EXPECT_EQ(asked.code, 64) << asked.out;
    EXPECT_TRUE(has(asked.out, "Load stage ?"));
    EXPECT_EQ(frames_of_size(amp, 520), writes);

    const cli_run loaded = run("preset load Amp-1 stage --yes");
    ASSERT_EQ(loaded.code, 0) << loaded.out;
    EXPECT_TRUE(has(loaded.out, "Load preset file."));
    // The amplifier's answer, as show prints it.
    const cli_run shown = run("show Amp-1");
    ASSERT_EQ(shown.code, 0) << shown.out;
    EXPECT_TRUE(has(shown.out, "master=80\n")) << shown.out;
    EXPECT_TRUE(
        loaded.out.size() >= shown.out.size() &&
        loaded.out.compare(loaded.out.size() - shown.out.size(), shown.out.size(), shown.out) == 0)
        << loaded.out;
    const auto frames = wire_frames(amp);
    ASSERT_EQ(frames_of_size(amp, 520), writes + 1);
    const bytes* write = nullptr;
    for (const bytes& f : frames)
        write = f.size() == 520 ? &f : write;
    ASSERT_NE(write, nullptr);
    EXPECT_EQ((*write)[4], 0xE3);
    EXPECT_TRUE(std::equal(stage.begin() + 10, stage.begin() + 522, write->begin() + 7));

    const cli_run summary = run("summary Amp-1");
    EXPECT_EQ(summary.code, 0) << summary.out;
    EXPECT_TRUE(has(summary.out, "Master Volume: 80%\n"));
    EXPECT_TRUE(has(summary.out, "Location: Stage\n"));

    // Saving over a file asks; a new name takes the amplifier's block as loaded.
    EXPECT_EQ(run("preset save Amp-1 stage").code, 64);
    ASSERT_EQ(run("preset save Amp-1 after --yes").code, 0);
    const bytes after = read_file(dir / "Preset" / "after");
    EXPECT_TRUE(std::equal(stage.begin() + 10, stage.begin() + 10 + 508, after.begin() + 10));

    EXPECT_EQ(run("preset delete stage").code, 64);
    const cli_run deleted = run("preset delete stage --yes");
    EXPECT_EQ(deleted.code, 0) << deleted.out;
    EXPECT_TRUE(has(deleted.out, "File deleted."));
    EXPECT_EQ(run("preset list").out, "after\noriginal\n");
}

TEST_F(preset_lab, bad_files_are_refused_before_anything_is_sent) {
    ASSERT_EQ(run("preset save Amp-1 original").code, 0);
    bytes broken = read_file(dir / "Preset" / "original");
    broken[200] ^= 0x01;
    write_file(dir / "Preset" / "broken", broken);
    bytes short_file = read_file(dir / "Preset" / "original");
    short_file.pop_back();
    write_file(dir / "Preset" / "short", short_file);

    const size_t frames = wire_frames(amp).size();
    const cli_run sum = run("preset load Amp-1 broken --yes");
    EXPECT_EQ(sum.code, 65);
    EXPECT_TRUE(has(sum.out, "Load file error."));
    const cli_run size = run("preset load Amp-1 short --yes");
    EXPECT_EQ(size.code, 65);
    EXPECT_TRUE(has(size.out, "File error."));
    EXPECT_EQ(run("preset load Amp-1 missing --yes").code, 65);
    EXPECT_EQ(run("preset load Amp-1 ../original --yes").code, 64);
    // Not even connected: the amplifier heard nothing.
    EXPECT_EQ(wire_frames(amp).size(), frames);
}

}  // namespace
}  // namespace tavrin::testing
