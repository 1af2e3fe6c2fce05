// The main window's preset group and Setting Summary window against the lab, played
// by `tavrin-config --play` (tests/presets/window_presets.play): Save As, the list,
// Load with the 520-byte write on the wire, Save without a question, Delete with
// one, and the summary following a page.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "presets/preset_file.h"
#include "resources/dialog_template.h"
#include "tests/support/lab_exec.h"

namespace tavrin::testing {
namespace {

namespace fs = std::filesystem;
using bytes = std::vector<uint8_t>;

constexpr char inside_flag[] = "TAVRIN_PRESETS_LAB_INNER";

std::string build_dir() {
    char buf[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return lab_env_or("TAVRIN_BUILD_DIR",
                      lab_parent(lab_parent(n > 0 ? std::string(buf, size_t(n)) : "")));
}
std::string source_dir() {
    return lab_env_or("TAVRIN_SOURCE_DIR", lab_parent(lab_parent(build_dir())));
}

bytes read_file(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<bytes> wire(const std::string& device) {
    std::vector<bytes> out;
    std::ifstream in(lab_env_or("LAB_DIR", build_dir() + "/lab") + "/" + device + ".wire");
    for (std::string line; std::getline(in, line);) {
        std::istringstream hex(line);
        bytes f;
        for (unsigned v = 0; hex >> std::hex >> v;)
            f.push_back(static_cast<uint8_t>(v));
        out.push_back(std::move(f));
    }
    return out;
}

// Runs a command from `dir`; its exit code, standard error in `err`.
int run_in(const fs::path& dir, const std::string& command, std::string& err) {
    const fs::path err_file = dir / "stderr.txt";
    const int status = std::system(
        ("cd '" + dir.string() + "' && " + command + " 2>'" + err_file.string() + "' >/dev/null")
            .c_str());
    std::ifstream in(err_file);
    err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    fs::remove(err_file);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Master volume 80 %, location "Stage", the rest zero.
param_block stage_block() {
    param_block stage{};
    stage[field_def(param_field::master_volume).offset] = 40;
    const std::string where = "Stage";
    std::copy(where.begin(), where.end(), stage.begin() + field_def(param_field::location).offset);
    return stage;
}

// Runs the lab test `name` again inside the lab, where it does the work.
void run_inside(const char* name) {
    const lab_exec_result run = run_self_in_lab(inside_flag, name);
    if (run.skipped)
        GTEST_SKIP() << run.why;
    EXPECT_EQ(run.status, 0);
}

// A working folder with cli-stage in its Preset folder and the script beside it.
fs::path working_folder(const std::string& script) {
    char pattern[] = "/tmp/tavrin-presets-play-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        return {};
    const fs::path dir = pattern;
    fs::create_directories(dir / "Preset");
    const preset_bytes stage_file = build_preset_file(stage_block());
    std::ofstream(dir / "Preset" / "cli-stage", std::ios::binary)
        .write(reinterpret_cast<const char*>(stage_file.data()), stage_file.size());
    fs::copy_file(source_dir() + "/tests/presets/" + script, dir / script);
    return dir;
}

int play(const fs::path& dir, const std::string& script, std::string& err) {
    return run_in(dir,
                  "QT_QPA_PLATFORM=offscreen '" + build_dir() +
                      "/tavrin-config/tavrin-config' --play " + script,
                  err);
}

TEST(PresetsLab, TheWindowSavesListsLoadsAndDeletesPresets) {
    if (!inside_lab(inside_flag))
        return run_inside("PresetsLab.TheWindowSavesListsLoadsAndDeletesPresets");
    const fs::path dir = working_folder("window_presets.play");
    ASSERT_FALSE(dir.empty());
    const param_block stage = stage_block();

    const size_t before = wire("Amp-1").size();
    std::string err;
    const int code = play(dir, "window_presets.play", err);
    EXPECT_EQ(code, 0) << err;
    // Save over a listed file asked nothing: no box went unanswered.
    EXPECT_EQ(err.find("no answer waiting"), std::string::npos) << err;

    const std::vector<bytes> frames = wire("Amp-1");
    size_t writes = 0;
    for (size_t i = before; i < frames.size(); ++i) {
        if (frames[i].size() == 520 && frames[i][4] == 0xE3) {
            ++writes;
            EXPECT_TRUE(std::equal(stage.begin(), stage.end(), frames[i].begin() + 7));
        }
    }
    EXPECT_EQ(writes, 1u);
    EXPECT_EQ(read_file(dir / "Preset" / "win-orig").size(), preset_file_size);
    const bytes hall = read_file(dir / "Preset" / "win-hall");
    ASSERT_EQ(hall.size(), preset_file_size);
    // Saved after the load: the stage's settings (the firmware date is the amplifier's).
    EXPECT_TRUE(std::equal(stage.begin(), stage.begin() + 508, hall.begin() + 10));
    EXPECT_FALSE(fs::exists(dir / "Preset" / "cli-stage"));

    // The amplifier gets back what it had.
    EXPECT_EQ(
        run_in(dir, "'" + build_dir() + "/cli/tavrin-cli' preset load Amp-1 win-orig --yes", err),
        0)
        << err;
    fs::remove_all(dir);
}

TEST(PresetsLab, PagesShowALoadedPresetWhenMadeAgainAndTheSummaryFollowsThem) {
    // The Volume page's template is filled when the page is built.
    if (find_template(103) == nullptr || find_template(103)->controls.empty())
        GTEST_SKIP() << "no Volume page yet";
    if (!inside_lab(inside_flag))
        return run_inside("PresetsLab.PagesShowALoadedPresetWhenMadeAgainAndTheSummaryFollowsThem");
    const fs::path dir = working_folder("window_presets_pages.play");
    ASSERT_FALSE(dir.empty());
    std::string err;
    ASSERT_EQ(run_in(dir, "'" + build_dir() + "/cli/tavrin-cli' preset save Amp-1 orig", err), 0)
        << err;
    EXPECT_EQ(play(dir, "window_presets_pages.play", err), 0) << err;
    EXPECT_EQ(run_in(dir, "'" + build_dir() + "/cli/tavrin-cli' preset load Amp-1 orig --yes", err),
              0)
        << err;
    fs::remove_all(dir);
}

// The drop-down changed with the keyboard, without opening it: Save writes the
// preset it shows, not the one chosen before.
TEST(PresetsLab, SaveWritesThePresetTheDropDownShows) {
    if (!inside_lab(inside_flag))
        return run_inside("PresetsLab.SaveWritesThePresetTheDropDownShows");
    const fs::path dir = working_folder("window_presets_keys.play");
    ASSERT_FALSE(dir.empty());
    const bytes stage = read_file(dir / "Preset" / "cli-stage");
    fs::rename(dir / "Preset" / "cli-stage", dir / "Preset" / "alpha");
    fs::copy_file(dir / "Preset" / "alpha", dir / "Preset" / "beta");
    std::string err;
    EXPECT_EQ(play(dir, "window_presets_keys.play", err), 0) << err;
    EXPECT_EQ(read_file(dir / "Preset" / "alpha"), stage) << "saved over the entry chosen before";
    const bytes saved = read_file(dir / "Preset" / "beta");
    EXPECT_EQ(saved.size(), preset_file_size);
    EXPECT_NE(saved, stage) << "the entry on show was not saved";
    fs::remove_all(dir);
}

}  // namespace
}  // namespace tavrin::testing
