// preset show, preset edit, diff of two files and apply of a bad site: without an
// amplifier, each gives its exit status and writes nothing it should not.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "presets/preset_file.h"

namespace tavrin::cli {
namespace {

namespace fs = std::filesystem;
using bytes = std::vector<uint8_t>;

class offline_commands : public ::testing::Test {
  protected:
    void SetUp() override {
        previous = fs::current_path();
        dir = fs::temp_directory_path() /
              ("tavrin-cli-offline-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir / "Preset");
        fs::current_path(dir);
        param_block block{};
        block[0] = 30;  // master 60 %
        const preset_bytes b = build_preset_file(block);
        write(dir / "Preset" / "base", bytes(b.begin(), b.end()));
    }
    void TearDown() override {
        fs::current_path(previous);
        fs::remove_all(dir);
    }
    static void write(const fs::path& p, const bytes& b) {
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    }
    static bytes read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    // The exit status, with standard output and error captured.
    int run(const cli_command& c, std::vector<std::string> words) {
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        const int code = c.run(global_options{}, words);
        out = ::testing::internal::GetCapturedStdout();
        err = ::testing::internal::GetCapturedStderr();
        return code;
    }

    fs::path previous, dir;
    std::string out, err;
};

TEST_F(offline_commands, refusals_write_nothing) {
    const bytes base = read(dir / "Preset" / "base");
    bytes bad_sum = base;
    bad_sum[100] ^= 1;
    write(dir / "Preset" / "bad-sum", bad_sum);
    write(dir / "Preset" / "taken", base);
    const struct {
        std::vector<std::string> words;
        int code;
        const char* says;
    } cases[] = {
        {{"edit", "base"}, exit_bad_arguments, "at least one SETTING=VALUE"},
        {{"edit", "base", "loudness=3"}, exit_bad_arguments, "unknown setting 'loudness'"},
        {{"edit", "base", "master=loud"}, exit_bad_arguments, "master needs a number"},
        {{"edit", "base", "master=10", "--to", "taken"}, exit_bad_arguments, "give --yes"},
        {{"edit", "..", "master=10"}, exit_bad_arguments, "preset FILE '..'"},
        {{"edit", "missing", "master=10", "--to", "new"}, exit_bad_input_file, "File error."},
        {{"edit", "bad-sum", "master=10"}, exit_bad_input_file, "Load file error."},
        {{"show", "bad-sum"}, exit_bad_input_file, "Load file error."},
        {{"show", "base", "--csv"}, exit_bad_arguments, "unknown option '--csv'"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run(preset_command, c.words), c.code) << c.words[1];
        EXPECT_NE(err.find(c.says), std::string::npos) << err;
    }
    EXPECT_EQ(read(dir / "Preset" / "base"), base);
    EXPECT_EQ(read(dir / "Preset" / "bad-sum"), bad_sum);
    EXPECT_EQ(read(dir / "Preset" / "taken"), base);
    EXPECT_FALSE(fs::exists(dir / "Preset" / "new"));

    // A site file with a fault ends before any connection is tried (which would be 9
    // here, with no ConMon server to reach).
    std::ofstream(dir / "site.toml") << "[amp.A-1]\npreset = \"gone\"\n";
    EXPECT_EQ(run(apply_command, {"site.toml", "--check"}), exit_bad_input_file);
    EXPECT_EQ(err, "site.toml:2:10: preset 'gone': cannot read gone\n");
    EXPECT_EQ(run(apply_command, {"nowhere.toml"}), exit_bad_input_file);
    EXPECT_EQ(err, "nowhere.toml: cannot read the site file\n");
}

TEST_F(offline_commands, edit_then_show_and_diff_of_two_files) {
    EXPECT_EQ(run(preset_command, {"edit", "base", "master=73", "--to", "./louder"}), exit_done);
    EXPECT_EQ(out, "master=74 (typed 73)\nFile saved.\n");
    EXPECT_EQ(run(preset_command, {"show", "./louder"}), exit_done);
    EXPECT_EQ(out.substr(0, 10), "master=74\n");
    EXPECT_NE(err.find("saved from firmware 00.00.00.00"), std::string::npos) << err;

    EXPECT_EQ(run(diff_command, {"Preset/base", "./louder"}), exit_differs);
    EXPECT_EQ(out, "master  60  74\n");
    EXPECT_EQ(run(diff_command, {"Preset/base", "Preset/base"}), exit_done);
    EXPECT_EQ(out, "");
    EXPECT_EQ(run(diff_command, {"Preset/base", "./gone"}), exit_bad_input_file);
    EXPECT_EQ(run(diff_command, {"Preset/base"}), exit_bad_arguments);
}

}  // namespace
}  // namespace tavrin::cli
