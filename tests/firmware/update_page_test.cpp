// The Update page's logic against a recording view: what it shows when made, on a
// repaint after new parameters, and what Browse does without a transfer procedure.
#include "firmware/update_page.h"

#include <gtest/gtest.h>

#include "firmware/firmware_update.h"
#include "firmware_fakes.h"

namespace tavrin {
namespace {

class recording_view : public update_page_view {
  public:
    void show_status(const std::string& text) override { status = text; }
    void show_progress(uint32_t p, uint32_t t) override {
        position = p;
        total = t;
    }
    std::string status = "<none>";
    uint32_t position = 99, total = 99;
};

struct page_fixture : ::testing::Test {
    link_flags flags;
    selected_device device;
    command_ring ring{flags};
    amp_params params;
    testing::scripted_events events;
    fake_time time{10'000};
    page_shared shared;
    firmware_update update{{flags, ring, events, time}};
    page_context ctx{flags, device, ring, params, events, time, shared, ".", &update};
    recording_view view;
    update_page_logic logic{ctx, view};
};

using UpdatePage = page_fixture;

TEST_F(UpdatePage, MadeIdleItForgetsAnEndedTransfer) {
    shared.update_status = "Loading file... done";
    shared.update_position = 40;
    shared.update_total = 256;
    logic.init();
    EXPECT_EQ(view.status, "Select a firmware file to update.");
    EXPECT_EQ(view.position, 0u);
    EXPECT_EQ(view.total, 0u);
}

TEST_F(UpdatePage, MadeDuringATransferItShowsItAsItStands) {
    flags.connect_flag = true;
    ASSERT_TRUE(update.update_start(testing::image_of(testing::counting_data(1024))));
    shared.update_status = "Update Pre-Amplifier...";
    shared.update_position = 2;
    shared.update_total = 4;
    logic.init();
    EXPECT_EQ(view.status, "Update Pre-Amplifier...");
    EXPECT_EQ(view.position, 2u);
    EXPECT_EQ(view.total, 4u);
}

TEST_F(UpdatePage, NewParametersResetTheStatusOnTheNextPaintOnly) {
    logic.init();
    shared.update_status = "Loading file... done";
    logic.paint_begins();
    EXPECT_EQ(view.status, "Loading file... done");

    params.mark_changed();
    logic.paint_begins();
    EXPECT_EQ(view.status, "Select a firmware file to update.");
    EXPECT_FALSE(params.record_changed());

    shared.update_status = "Check Resume";
    shared.update_position = 1;
    shared.update_total = 3;
    logic.paint_begins();
    EXPECT_EQ(view.status, "Check Resume");
    EXPECT_EQ(view.position, 1u);
    EXPECT_EQ(view.total, 3u);
}

TEST(UpdatePageWithoutProcedure, BrowseDoesNothing) {
    link_flags flags;
    selected_device device;
    command_ring ring{flags};
    amp_params params;
    null_app_events events;
    fake_time time;
    page_shared shared;
    page_context ctx{flags, device, ring, params, events, time, shared, "."};
    recording_view view;
    update_page_logic logic(ctx, view);
    EXPECT_FALSE(logic.can_update());
    EXPECT_EQ(logic.browse(std::string("/any.hex")), browse_outcome::cancelled);
    EXPECT_EQ(ring.waiting(), 0u);
}

}  // namespace
}  // namespace tavrin
