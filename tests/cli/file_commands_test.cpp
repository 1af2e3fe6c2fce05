// tavrin-cli preset and firmware: everything they refuse is refused before a
// connection is made, so nothing reaches an amplifier; the folder-only actions.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "cli/commands.h"
#include "cli/exit_codes.h"
#include "presets/preset_file.h"

namespace tavrin::cli {
namespace {

namespace fs = std::filesystem;

// A fresh working directory, made current for the test; standard input is no
// terminal, as in a script.
class file_commands : public ::testing::Test {
  protected:
    void SetUp() override {
        previous = fs::current_path();
        dir = fs::temp_directory_path() /
              ("tavrin-cli-files-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir / "Preset");
        fs::current_path(dir);
        ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
        const preset_bytes good = build_preset_file(param_block{});
        write("good", std::vector<uint8_t>(good.begin(), good.end()));
    }
    void TearDown() override {
        fs::current_path(previous);
        fs::remove_all(dir);
    }
    void write(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(dir / "Preset" / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    static int run(const cli_command& c, std::vector<std::string> words) {
        return c.run(global_options{}, words);
    }

    fs::path previous, dir;
};

TEST_F(file_commands, preset_refusals_come_before_any_connection) {
    EXPECT_EQ(run(preset_command, {}), exit_bad_arguments);
    EXPECT_EQ(run(preset_command, {"copy"}), exit_bad_arguments);
    EXPECT_EQ(run(preset_command, {"load", "Amp-1"}), exit_bad_arguments);
    EXPECT_EQ(run(preset_command, {"load", "Amp-1", "../good", "--yes"}), exit_bad_arguments);
    EXPECT_EQ(run(preset_command, {"save", "Amp-1", "a/b", "--yes"}), exit_bad_arguments);
    EXPECT_EQ(run(preset_command, {"save", "Amp-1", "two\nlines", "--yes"}), exit_bad_arguments);
    EXPECT_EQ(run(preset_command, {"save", "an-amplifier-name-far-too-long-to-be-one", "x"}),
              exit_bad_arguments);
    // An existing file asks before it is replaced, a load asks before it is sent.
    EXPECT_EQ(run(preset_command, {"save", "Amp-1", "good"}), exit_bad_arguments);
    EXPECT_EQ(run(preset_command, {"load", "Amp-1", "good"}), exit_bad_arguments);

    ::testing::internal::CaptureStderr();
    std::vector<uint8_t> bad(preset_file_size, 0);
    write("zeros", bad);
    EXPECT_EQ(run(preset_command, {"load", "Amp-1", "zeros", "--yes"}), exit_bad_input_file);
    const preset_bytes good = build_preset_file(param_block{});
    std::vector<uint8_t> sum(good.begin(), good.end());
    sum[300] = 1;
    write("sum", sum);
    EXPECT_EQ(run(preset_command, {"load", "Amp-1", "sum", "--yes"}), exit_bad_input_file);
    EXPECT_EQ(run(preset_command, {"load", "Amp-1", "missing", "--yes"}), exit_bad_input_file);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("File error."), std::string::npos) << err;
    EXPECT_NE(err.find("Load file error."), std::string::npos) << err;
}

TEST_F(file_commands, list_and_delete_touch_only_the_folder) {
    write("b-second", {1});
    fs::create_directories(dir / "Preset" / "a-folder");
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(run(preset_command, {"list"}), exit_done);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "b-second\ngood\n");

    EXPECT_EQ(run(preset_command, {"delete", "good"}), exit_bad_arguments);
    EXPECT_TRUE(fs::exists(dir / "Preset" / "good"));
    EXPECT_EQ(run(preset_command, {"delete", "missing", "--yes"}), exit_bad_input_file);
    EXPECT_EQ(run(preset_command, {"delete", "a-folder", "--yes"}), exit_bad_input_file);
    EXPECT_TRUE(fs::is_directory(dir / "Preset" / "a-folder"));
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(run(preset_command, {"delete", "good", "--yes"}), exit_done);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "File deleted.\n");
    EXPECT_FALSE(fs::exists(dir / "Preset" / "good"));
}

TEST_F(file_commands, firmware_refusals_come_before_any_connection) {
    std::ofstream(dir / "plain.hex") << ":0400000001020304F2\r\n:00000001FF\r\n";
    std::ofstream(dir / "good.hex") << "10D515070101\r\n:0400000001020304F2\r\n";
    EXPECT_EQ(run(firmware_command, {"Amp-1"}), exit_bad_arguments);
    EXPECT_EQ(run(firmware_command, {"Amp-1", "good.hex", "--force"}), exit_bad_arguments);
    // Nobody to ask on a terminal, and no --yes.
    EXPECT_EQ(run(firmware_command, {"Amp-1", "good.hex"}), exit_bad_arguments);

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(run(firmware_command, {"Amp-1", "plain.hex", "--yes"}), exit_bad_input_file);
    EXPECT_EQ(run(firmware_command, {"Amp-1", "missing.hex", "--yes"}), exit_bad_input_file);
    EXPECT_EQ(run(firmware_command, {"Amp-1", dir.string(), "--yes"}), exit_bad_input_file);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Firmware format error."), std::string::npos) << err;
    EXPECT_NE(err.find("cannot read firmware file"), std::string::npos) << err;
}

}  // namespace
}  // namespace tavrin::cli
