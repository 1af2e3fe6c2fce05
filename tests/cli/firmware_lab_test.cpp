// tavrin-cli firmware against a virtual amplifier: a 64 KiB image installed with its
// new date, a transfer silenced part-way that resumes at its last whole page, an
// image the amplifier holds differently ("Update Failed."), and a lossy link.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "cli/cli_session.h"
#include "lab_cli.h"
#include "protocol/catalogue.h"
#include "tests/firmware/firmware_fakes.h"

namespace tavrin::testing {
namespace {

namespace fs = std::filesystem;

// Image bytes that differ from test to test, so that a transfer another test left
// open on an amplifier never offers a resume for this one.
bytes image_data(size_t n, unsigned seed) {
    bytes out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<uint8_t>((i * (seed + 3) + seed) % 251);
    return out;
}

bool is_block(const bytes& f) {
    return f.size() == 268 && f[4] == 0xF9;
}
unsigned block_index(const bytes& f) {
    return f[8] * 256u + f[9];
}
bool is_start(const bytes& f) {
    return f.size() == 14 && f[1] == 0x10 && f[4] == 0xF8 && f[8] == 0x01 && f[9] == 0 &&
           f[10] == 0 && f[11] == 0 && f[12] == 0;
}
bool is_resume_query(const bytes& f) {
    return f.size() == 10 && f[1] == 0x11 && f[4] == 0xF8 && f[8] == 0x02;
}

std::vector<bytes> frames_after(const std::string& device, size_t skip) {
    std::vector<bytes> all = wire_frames(device);
    return std::vector<bytes>(all.begin() + static_cast<long>(std::min(skip, all.size())),
                              all.end());
}

size_t blocks_after(const std::string& device, size_t skip) {
    size_t n = 0;
    for (const bytes& f : frames_after(device, skip))
        n += is_block(f) ? 1 : 0;
    return n;
}

class firmware_lab : public lab_case {
  protected:
    void SetUp() override {
        lab_case::SetUp();
        if (IsSkipped())
            return;
        dir = fs::temp_directory_path() / ("tavrin-firmware-lab-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        for (const char* amp : {"Amp-2", "Amp-3"}) {
            lab_run(std::string("ctl ") + amp + " silence off");
            lab_run(std::string("ctl ") + amp + " drop 0");
            // Back to the date the other lab tests expect.
            lab_run(std::string("ctl ") + amp + " firmware 21 11 17 1");
        }
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    std::string write_hex(const std::string& name, const bytes& data, const char* header) {
        const fs::path p = dir / name;
        std::ofstream(p, std::ios::binary) << firmware_text(data, 16, header);
        return p.string();
    }
    cli_run run(const std::string& args) { return lab_cli(dir.string(), args); }

    // Runs the command on a thread of its own, for a test that acts while it runs.
    std::thread run_in_background(const std::string& args, cli_run& result) {
        return std::thread([this, args, &result] { result = run(args); });
    }
    // Waits up to `seconds` until `device` received at least `n` blocks after `skip`.
    static bool wait_for_blocks(const std::string& device, size_t skip, size_t n, int seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (blocks_after(device, skip) < n) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return true;
    }

    fs::path dir;
};

TEST_F(firmware_lab, a_64_kib_image_is_installed_and_the_new_date_reported) {
    // 65280 data bytes make exactly 256 blocks.
    const std::string hex = write_hex("fw64k.hex", image_data(65280, 1), "10D517060F0A");
    const size_t skip = wire_frames("Amp-3").size();
    const cli_run r = run("firmware Amp-3 '" + hex + "' --yes");
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_TRUE(has(r.out, "Update Finished.\n"));
    EXPECT_TRUE(has(r.out, "progress 256/256 blocks (100%)"));
    EXPECT_TRUE(has(r.out, "Firmware date now 23.06.15.10\n"));

    // Every block carries its 256 bytes of the image, byte for byte.
    bytes image = image_data(65280, 1);
    image.resize(65536, 0);
    std::vector<bool> seen(256, false);
    bool start = false, end = false, version = false, finish = false;
    for (const bytes& f : frames_after("Amp-3", skip)) {
        if (is_block(f) && block_index(f) < 256) {
            const unsigned at = block_index(f) * 256;
            EXPECT_TRUE(std::equal(f.begin() + 11, f.begin() + 267, image.begin() + at))
                << "block " << block_index(f);
            seen[block_index(f)] = true;
        }
        start = start || is_start(f);
        end = end || (f.size() == 12 && f[4] == 0xF9 && f[8] == 0xFF && f[9] == 0xFF);
        version = version || (f.size() == 14 && f[4] == 0xF8 && f[9] == 23 && f[10] == 6 &&
                              f[11] == 15 && f[12] == 10);
        finish = finish || (f.size() == 8 && f[4] == 0xF0);
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 256);
    EXPECT_TRUE(start && end && version && finish);

    const cli_run show = run("show Amp-3 --json");
    EXPECT_EQ(show.code, 0) << show.out;
    EXPECT_TRUE(has(show.out, "\"fw_year\": 23")) << show.out;
}

TEST_F(firmware_lab, refusals_send_nothing) {
    const std::string hex = write_hex("small.hex", image_data(1000, 2), "10D515070101");
    const size_t frames = wire_frames("Amp-3").size();
    // No terminal to ask on and no --yes.
    EXPECT_EQ(run("firmware Amp-3 '" + hex + "'").code, 64);
    std::ofstream(dir / "plain.hex") << ":0400000001020304F2\r\n:00000001FF\r\n";
    const cli_run bad = run("firmware Amp-3 '" + (dir / "plain.hex").string() + "' --yes");
    EXPECT_EQ(bad.code, 65);
    EXPECT_TRUE(has(bad.out, "Firmware format error."));
    EXPECT_EQ(run("firmware Amp-3 '" + (dir / "none.hex").string() + "' --yes").code, 65);
    EXPECT_EQ(wire_frames("Amp-3").size(), frames);
}

// Each file once went to the amplifier and ended "Update Finished.".
TEST_F(firmware_lab, damaged_files_are_refused_at_their_fault_and_send_nothing) {
    struct damaged {
        const char* file;
        const char* says;
    };
    const damaged files[] = {
        {"cut_at_2000.hex", " line 46: the record is cut short"},
        {"header_only.hex", ": not one data record"},
        {"one_digit_changed.hex", " line 12: the record checksum is 28, its bytes need 2A"},
        {"records_reversed.hex", " line 4: data at address 0x0EE0 goes back"},
        {"stamp_ffffffff.hex", " line 1: the version stamp 255.255.255.255 is no firmware date"},
        {"stamp_00000000.hex", " line 1: the version stamp 0.0.0.0 is no firmware date"},
    };
    const size_t frames = wire_frames("Amp-3").size();
    for (const damaged& d : files) {
        const std::string path = lab_paths().source + "/tests/firmware/data/" + d.file;
        const cli_run r = run("firmware Amp-3 '" + path + "' --yes");
        EXPECT_EQ(r.code, 65) << d.file << "\n" << r.out;
        EXPECT_TRUE(has(r.out, "Firmware error.\n")) << r.out;
        EXPECT_TRUE(has(r.out, "Firmware format error.\n")) << r.out;
        EXPECT_TRUE(has(r.out, std::string(d.file) + d.says)) << r.out;
    }
    EXPECT_EQ(wire_frames("Amp-3").size(), frames);
}

TEST_F(firmware_lab, a_silenced_transfer_times_out_and_resumes_at_its_last_page) {
    // 64 blocks.
    const std::string hex = write_hex("fw16k.hex", image_data(16128, 3), "10D517060F0B");
    const size_t skip = wire_frames("Amp-2").size();
    cli_run first;
    std::thread t = run_in_background("firmware Amp-2 '" + hex + "' --yes", first);
    const bool under_way = wait_for_blocks("Amp-2", skip, 20, 60);
    lab_run("ctl Amp-2 silence on");
    t.join();
    lab_run("ctl Amp-2 silence off");
    ASSERT_TRUE(under_way) << first.out;
    EXPECT_EQ(first.code, 6) << first.out;
    EXPECT_TRUE(has(first.out, "Update timeout.\n"));
    unsigned highest = 0;
    for (const bytes& f : frames_after("Amp-2", skip))
        highest = is_block(f) ? std::max(highest, block_index(f)) : highest;
    ASSERT_GE(highest, 16u);

    const size_t second_skip = wire_frames("Amp-2").size();
    const cli_run second = run("firmware Amp-2 '" + hex + "' --yes");
    ASSERT_EQ(second.code, 0) << second.out;
    EXPECT_TRUE(has(second.out, "Update Finished.\n"));
    const std::vector<bytes> again = frames_after("Amp-2", second_skip);
    EXPECT_TRUE(std::any_of(again.begin(), again.end(), is_resume_query));
    EXPECT_TRUE(std::none_of(again.begin(), again.end(), is_start));
    const auto first_block = std::find_if(again.begin(), again.end(), is_block);
    ASSERT_NE(first_block, again.end());
    // On at a page boundary the first run had passed, not from the start.
    EXPECT_EQ(block_index(*first_block) % 16, 0u);
    EXPECT_GE(block_index(*first_block), 16u);
    EXPECT_LE(block_index(*first_block), highest);
    // Progress starts there, and the closing line counts this run's blocks only.
    const unsigned resumed = block_index(*first_block);
    const size_t progress = second.out.find("progress ");
    ASSERT_NE(progress, std::string::npos) << second.out;
    const std::string first_line = "progress " + std::to_string(resumed) + "/64 ";
    EXPECT_EQ(second.out.substr(progress, first_line.size()), first_line) << second.out;
    EXPECT_TRUE(has(second.out, "Sent " + std::to_string(64 - resumed) +
                                    " blocks, resumed at block " + std::to_string(resumed) + ","))
        << second.out;
}

TEST_F(firmware_lab, an_image_the_amplifier_holds_differently_fails) {
    const std::string hex = write_hex("fw16k.hex", image_data(16128, 4), "10D517060F0C");
    const size_t skip = wire_frames("Amp-3").size();
    cli_run r;
    std::thread t = run_in_background("firmware Amp-3 '" + hex + "' --yes", r);
    const bool under_way = wait_for_blocks("Amp-3", skip, 4, 60);
    // Another tool on the network writes its own block 0 into the transfer.
    const int injected =
        under_way
            ? std::system((lab_script("exec env TAVRIN_FOREIGN_BLOCK_TO=Amp-3 '" + lab_paths().exe +
                                      "' --gtest_also_run_disabled_tests "
                                      "--gtest_filter=firmware_lab_inside.*") +
                           " >/dev/null 2>&1")
                              .c_str())
            : -1;
    t.join();
    ASSERT_TRUE(under_way) << r.out;
    EXPECT_EQ(injected, 0);
    const std::vector<bytes> frames = frames_after("Amp-3", skip);
    EXPECT_TRUE(std::any_of(frames.begin(), frames.end(), [](const bytes& f) {
        return is_block(f) && block_index(f) == 0 && f[11] == 0xFF && f[266] == 0xFF;
    }));
    EXPECT_EQ(r.code, 5) << r.out;
    EXPECT_TRUE(has(r.out, "cksum,"));
    EXPECT_TRUE(has(r.out, "Update Failed.\n"));
    EXPECT_FALSE(has(r.out, "Firmware date now"));
}

TEST_F(firmware_lab, a_lossy_link_still_finishes) {
    // 16 blocks: every fifth message lost costs a resend 2 s later, not the test its time.
    const std::string hex = write_hex("fw4k.hex", image_data(3840, 5), "10D517060F0D");
    const size_t skip = wire_frames("Amp-2").size();
    cli_run r;
    std::thread t = run_in_background("firmware Amp-2 '" + hex + "' --yes", r);
    const bool under_way = wait_for_blocks("Amp-2", skip, 1, 60);
    lab_run("ctl Amp-2 drop 20");
    t.join();
    lab_run("ctl Amp-2 drop 0");
    ASSERT_TRUE(under_way) << r.out;
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_TRUE(has(r.out, "Update Finished.\n"));
}

// No lab needed: the file is checked before anything else. The file (200 MiB, most of
// it one line of zero bytes) was read whole and ended the tool with std::bad_alloc
// under a 100 MiB address-space limit.
TEST(firmware_file, a_file_larger_than_the_memory_is_refused_not_fatal) {
    const fs::path path =
        fs::temp_directory_path() / ("tavrin-big-" + std::to_string(::getpid()) + ".hex");
    std::ofstream(path, std::ios::binary) << "10D5150B1101\r\n";
    fs::resize_file(path, 200ull * 1024 * 1024);  // sparse: no disk space used
    const std::string cmd = "prlimit --as=" + std::to_string(100ull * 1024 * 1024) + " '" +
                            lab_paths().build + "/cli/tavrin-cli' firmware Amp-1 '" +
                            path.string() + "' --yes </dev/null 2>&1";
    FILE* pipe = ::popen(cmd.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr)
        out += line;
    const int status = ::pclose(pipe);
    fs::remove(path);
    ASSERT_TRUE(WIFEXITED(status)) << out;
    EXPECT_EQ(WEXITSTATUS(status), 65) << out;
    EXPECT_TRUE(has(out, "Firmware format error.\n")) << out;
    EXPECT_TRUE(has(out, ".hex line 2: the line is longer than any record can be")) << out;
}

// Runs inside the lab, started by the test above: connects as a second tool and
// writes a block 0 of other bytes into the transfer under way.
TEST(firmware_lab_inside, DISABLED_send_foreign_block_zero) {
    const char* device = std::getenv("TAVRIN_FOREIGN_BLOCK_TO");
    ASSERT_NE(device, nullptr);
    cli::cli_session session;
    session.open({}, device);
    // Not its first answer: the amplifier answers the transfer's blocks every 220 ms.
    // The connect transition (which empties the ring) is what must be over.
    for (int i = 0; i < 100 && !session.flags().link_open(); ++i)
        session.pump(50);
    ASSERT_TRUE(session.flags().link_open());
    std::array<uint8_t, 256> foreign;
    foreign.fill(0xFF);
    const frame_bytes frame = frames::fw_block(0, foreign.data());
    ASSERT_EQ(session.ring().ring_put_frame(frame.data(), frame.size()), push_status::queued);
    session.pump(1000);
    session.stop();
}

}  // namespace
}  // namespace tavrin::testing
