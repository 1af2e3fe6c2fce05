// The Update page's logic against a recording view: what it shows when made, on a
// repaint after new parameters, and what Browse does without a transfer procedure.
#include "firmware/update_page.h"

#include <gtest/gtest.h>

#include "firmware/firmware_update.h"
#include "firmware_fakes.h"
#include "tests/support/session_fakes.h"

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
    testing::session_bench bench{false};
    command_ring& ring = bench.session.outbox();
    amp_params& params = bench.session.params();
    testing::scripted_events events;
    fake_time time{10'000};
    page_shared shared;
    firmware_update update{{bench.session, events, time}};
    page_context ctx{bench.session.view(),
                     bench.session.device(),
                     ring,
                     params,
                     events,
                     time,
                     shared,
                     ".",
                     &update,
                     nullptr,
                     &bench.session};
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
    testing::open_session(bench.session, bench.time);
    ASSERT_TRUE(update.update_start(testing::image_of(testing::counting_data(1024))));
    shared.update_status = "Update Pre-Amplifier...";
    shared.update_position = 2;
    shared.update_total = 4;
    logic.init();
    EXPECT_EQ(view.status, "Update Pre-Amplifier...");
    EXPECT_EQ(view.position, 2u);
    EXPECT_EQ(view.total, 4u);
}

TEST_F(UpdatePage, NewParametersResetTheStatus) {
    logic.init();
    shared.update_status = "Loading file... done";
    logic.paint_begins();
    EXPECT_EQ(view.status, "Loading file... done");

    logic.params_changed(field_bit(param_field::master_volume));
    EXPECT_EQ(view.status, "Select a firmware file to update.");

    shared.update_status = "Check Resume";
    shared.update_position = 1;
    shared.update_total = 3;
    logic.paint_begins();
    EXPECT_EQ(view.status, "Check Resume");
    EXPECT_EQ(view.position, 1u);
    EXPECT_EQ(view.total, 3u);
}

TEST(UpdatePageWithoutProcedure, BrowseDoesNothing) {
    testing::session_bench bench{false};
    command_ring& ring = bench.session.outbox();
    amp_params& params = bench.session.params();
    session_events events;
    fake_time time;
    page_shared shared;
    page_context ctx{
        bench.session.view(), bench.session.device(), ring, params, events, time, shared, "."};
    recording_view view;
    update_page_logic logic(ctx, view);
    EXPECT_FALSE(logic.can_update());
    EXPECT_EQ(logic.browse(std::string("/any.hex")), browse_outcome::cancelled);
    EXPECT_EQ(ring.waiting(), 0u);
}

}  // namespace
}  // namespace tavrin
