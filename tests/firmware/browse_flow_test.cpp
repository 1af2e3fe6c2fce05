#include "firmware/browse_flow.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "firmware_fakes.h"
#include "tests/support/session_fakes.h"

namespace tavrin {
namespace {

using testing::firmware_text;
using testing::scripted_events;

class Browse : public ::testing::Test {
  protected:
    Browse()
        : dir_(std::filesystem::temp_directory_path() /
               ("fw_browse_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        std::filesystem::create_directories(dir_);
        testing::open_session(bench.session, bench.time);
        good = write("good.hex", firmware_text(testing::counting_data(600)));
    }
    ~Browse() override { std::filesystem::remove_all(dir_); }

    std::string write(const std::string& name, const std::string& text) {
        const std::filesystem::path p = dir_ / name;
        std::ofstream(p, std::ios::binary) << text;
        return p.string();
    }

    std::filesystem::path dir_;
    fake_time time{50'000};
    testing::session_bench bench{true};
    command_ring& ring = bench.session.outbox();
    scripted_events events;
    firmware_update update{{bench.session, events, time}};
    std::string good;
};

TEST_F(Browse, ConfirmedOnALinkedAmplifierStartsTheTransfer) {
    events.answers = {box_answer::yes};
    EXPECT_EQ(browse_firmware(update, good), browse_outcome::started);
    EXPECT_EQ(events.statuses,
              (std::vector<std::string>{"Loading file...", "Loading file... done"}));
    ASSERT_EQ(events.boxes.size(), 1u);
    const question& q = events.boxes[0].q;
    EXPECT_EQ(q.text, "All parameters will be reset to default value after updated.\n Update?");
    EXPECT_EQ(q.caption, "Warning");
    EXPECT_EQ(q.icon, box_icon::warning);
    EXPECT_EQ(q.buttons, box_buttons::yes_no);
    EXPECT_TRUE(update.running());
    EXPECT_EQ(events.running, std::vector<bool>{true});
    EXPECT_EQ(update.total_blocks(), 3u);

    // The window is disabled meanwhile, but a second request must still do nothing.
    events = scripted_events();
    EXPECT_EQ(browse_firmware(update, good), browse_outcome::busy);
    EXPECT_TRUE(events.statuses.empty());
    EXPECT_TRUE(events.boxes.empty());
}

TEST_F(Browse, NothingStartsWithoutConsentOrLink) {
    EXPECT_EQ(browse_firmware(update, std::nullopt), browse_outcome::cancelled);
    EXPECT_TRUE(events.statuses.empty());

    events.answers = {box_answer::no};
    EXPECT_EQ(browse_firmware(update, good), browse_outcome::declined);
    EXPECT_EQ(events.statuses.back(), "Loading file... done");

    testing::close_session(bench.session, bench.time);
    events = scripted_events();
    events.answers = {box_answer::yes};
    EXPECT_EQ(browse_firmware(update, good), browse_outcome::not_connected);
    ASSERT_EQ(events.boxes.size(), 2u);
    EXPECT_EQ(events.boxes[1].q.text, "Please link device first.");
    EXPECT_EQ(events.boxes[1].q.caption, "Error");
    EXPECT_EQ(events.boxes[1].q.buttons, box_buttons::ok);

    EXPECT_FALSE(update.running());
    EXPECT_TRUE(events.running.empty());
}

TEST_F(Browse, RefusedFileLeavesTheLoadingText) {
    events.answers = {box_answer::yes};
    EXPECT_EQ(browse_firmware(update, write("plain.hex", ":00000001FF\r\n")),
              browse_outcome::load_failed);
    EXPECT_EQ(events.statuses, std::vector<std::string>{"Loading file..."});
    EXPECT_EQ(events.box_texts(), std::vector<std::string>{"Firmware format error."});
    EXPECT_FALSE(update.running());

    // A missing file says nothing beyond the status text.
    events = scripted_events();
    EXPECT_EQ(browse_firmware(update, (dir_ / "gone.hex").string()), browse_outcome::load_failed);
    EXPECT_TRUE(events.boxes.empty());
}

}  // namespace
}  // namespace tavrin
