// The Update page against the lab, played by `tavrin-config --play`
// (tests/firmware/window_update.play): Browse, the warning, a 64-block transfer and
// the amplifier's restart.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "firmware_fakes.h"
#include "tests/support/lab_exec.h"

namespace tavrin::testing {
namespace {

namespace fs = std::filesystem;

constexpr char inside_flag[] = "TAVRIN_FIRMWARE_LAB_INNER";

std::string build_dir() {
    char buf[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return lab_env_or("TAVRIN_BUILD_DIR",
                      lab_parent(lab_parent(n > 0 ? std::string(buf, size_t(n)) : "")));
}
std::string source_dir() {
    return lab_env_or("TAVRIN_SOURCE_DIR", lab_parent(lab_parent(build_dir())));
}
std::string lab_dir() {
    return lab_env_or("LAB_DIR", build_dir() + "/lab");
}

std::vector<bytes> wire(const std::string& device) {
    std::vector<bytes> out;
    std::ifstream in(lab_dir() + "/" + device + ".wire");
    for (std::string line; std::getline(in, line);) {
        std::istringstream hex(line);
        bytes f;
        for (unsigned v = 0; hex >> std::hex >> v;)
            f.push_back(static_cast<uint8_t>(v));
        out.push_back(std::move(f));
    }
    return out;
}

TEST(FirmwareLab, TheUpdatePageTransfersAnImage) {
    if (!inside_lab(inside_flag)) {
        const lab_exec_result run =
            run_self_in_lab(inside_flag, "FirmwareLab.TheUpdatePageTransfersAnImage");
        if (run.skipped)
            GTEST_SKIP() << run.why;
        EXPECT_EQ(run.status, 0);
        return;
    }
    char pattern[] = "/tmp/tavrin-update-play-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path dir = pattern;
    // 16128 data bytes: 64 blocks. Data of its own, so no earlier transfer resumes.
    bytes data(16128);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>((i * 13 + 7) % 251);
    std::ofstream(dir / "fw16k.hex", std::ios::binary) << firmware_text(data, 16, "10D517060F10");
    fs::copy_file(source_dir() + "/tests/firmware/window_update.play", dir / "update.play");

    const size_t before = wire("Amp-2").size();
    const std::string command = "cd '" + dir.string() + "' && QT_QPA_PLATFORM=offscreen '" +
                                build_dir() +
                                "/tavrin-config/tavrin-config' --play update.play 2>'" +
                                (dir / "err").string() + "' >/dev/null";
    const int status = std::system(command.c_str());
    std::ifstream err_in(dir / "err");
    const std::string err((std::istreambuf_iterator<char>(err_in)),
                          std::istreambuf_iterator<char>());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << err;

    const std::vector<bytes> frames = wire("Amp-2");
    std::vector<bool> seen(64, false);
    bool version = false, finish = false;
    for (size_t i = before; i < frames.size(); ++i) {
        const bytes& f = frames[i];
        if (f.size() == 268 && f[4] == 0xF9 && f[8] == 0 && f[9] < 64)
            seen[f[9]] = true;
        version = version || (f.size() == 14 && f[4] == 0xF8 && f[9] == 23 && f[12] == 16);
        finish = finish || (f.size() == 8 && f[4] == 0xF0);
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 64);
    EXPECT_TRUE(version && finish);

    // Back to the date the other lab tests expect.
    std::string restore = source_dir();
    restore += "/scripts/lab ctl Amp-2 firmware 21 11 17 1 >/dev/null 2>&1";
    (void)std::system(restore.c_str());
    fs::remove_all(dir);
}

}  // namespace
}  // namespace tavrin::testing
