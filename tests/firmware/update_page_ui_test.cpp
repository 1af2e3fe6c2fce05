// The Update page offscreen: its controls, Browse through the file dialog with the
// firmware filters, and the status and progress the window keeps for it.
#include "firmware/update_page_qt.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "firmware/firmware_update.h"
#include "firmware_fakes.h"
#include "platform/ui/file_dialog.h"
#include "tests/support/qt_test_app.h"
#include "tests/support/session_fakes.h"

namespace tavrin {
namespace {

// What the main window does with the transfer's reports: keeps them for the page
// and repaints it.
class window_like_events : public testing::scripted_events {
  public:
    explicit window_like_events(page_shared& shared) : shared_(shared) {}
    void update_status(const std::string& text) override {
        testing::scripted_events::update_status(text);
        shared_.update_status = text;
        repaint();
    }
    void update_progress(uint32_t position, uint32_t total) override {
        testing::scripted_events::update_progress(position, total);
        shared_.update_position = position;
        shared_.update_total = total;
        repaint();
    }
    QWidget* page = nullptr;

  private:
    void repaint() {
        if (page != nullptr)
            page->repaint();
    }
    page_shared& shared_;
};

class UpdatePageUi : public ::testing::Test {
  protected:
    UpdatePageUi() {
        testing::qt_app();
        dir = std::filesystem::temp_directory_path() / ("fw_page_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        hex = (dir / "good.hex").string();
        std::ofstream(hex, std::ios::binary) << testing::firmware_text(testing::counting_data(600));
        previous = set_file_chooser([this](QWidget*, const open_file_request& r) {
            requests.push_back(r);
            return chosen;
        });
        page.reset(static_cast<update_page*>(make_update_page(ctx, nullptr)));
        events.page = page.get();
        page->show();
        // Painting needs an exposed window.
        EXPECT_TRUE(QTest::qWaitForWindowExposed(page.get()));
    }
    ~UpdatePageUi() override {
        events.page = nullptr;
        page.reset();
        set_file_chooser(previous);
        std::filesystem::remove_all(dir);
    }

    std::string status() const {
        return page->findChild<QLabel*>(control_name(update_ids::status))->text().toStdString();
    }
    QProgressBar* bar() const {
        return page->findChild<QProgressBar*>(control_name(update_ids::progress));
    }
    QPushButton* browse() const {
        return page->findChild<QPushButton*>(control_name(update_ids::browse));
    }

    std::filesystem::path dir;
    std::string hex;
    testing::session_bench bench{false};
    command_ring& ring = bench.session.outbox();
    amp_params& params = bench.session.params();
    page_shared shared;
    window_like_events events{shared};
    fake_time time{50'000};
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
    std::unique_ptr<update_page> page;
    file_chooser previous;
    std::vector<open_file_request> requests;
    std::optional<std::string> chosen;
};

TEST_F(UpdatePageUi, BuildsTheAmplifierGroupIdle) {
    auto* group = page->findChild<QGroupBox*>();
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->title(), "Amplifier");
    EXPECT_EQ(status(), "Select a firmware file to update.");
    EXPECT_EQ(browse()->text(), "Browse");
    EXPECT_TRUE(browse()->isEnabled());
    EXPECT_EQ(bar()->value(), 0);
    // Inside the group, below the status text.
    EXPECT_TRUE(group->geometry().contains(bar()->geometry()));
    EXPECT_GT(bar()->geometry().top(),
              page->findChild<QLabel*>(control_name(update_ids::status))->geometry().top());
}

TEST_F(UpdatePageUi, BrowseOffersTheTwoFiltersAndCancelDoesNothing) {
    QTest::mouseClick(browse(), Qt::LeftButton);
    ASSERT_EQ(requests.size(), 1u);
    ASSERT_EQ(requests[0].filters.size(), 2u);
    EXPECT_EQ(requests[0].filters[0].name, "All");
    EXPECT_EQ(requests[0].filters[0].pattern, "*.*");
    EXPECT_EQ(requests[0].filters[1].name, "Hex file(*.hex)");
    EXPECT_EQ(requests[0].filters[1].pattern, "*.hex");
    EXPECT_EQ(requests[0].initial_filter, 1u);
    EXPECT_TRUE(events.boxes.empty());
    EXPECT_EQ(status(), "Select a firmware file to update.");
}

TEST_F(UpdatePageUi, ConfirmedBrowseStartsTheTransferAndThePageFollowsIt) {
    testing::open_session(bench.session, bench.time);
    chosen = hex;
    events.answers = {box_answer::yes};
    EXPECT_EQ(page->press_browse(), browse_outcome::started);
    EXPECT_TRUE(update.running());
    ASSERT_EQ(events.boxes.size(), 1u);
    EXPECT_EQ(events.boxes[0].q.caption, "Warning");
    EXPECT_EQ(status(), "Loading file... done");
    // 600 bytes are three blocks.
    EXPECT_EQ(bar()->maximum(), 3);
    EXPECT_EQ(bar()->value(), 0);

    events.update_status("Update Pre-Amplifier...");
    events.update_progress(2, 3);
    EXPECT_EQ(status(), "Update Pre-Amplifier...");
    EXPECT_EQ(bar()->value(), 2);

    // A page made again while it runs shows the transfer as it stands.
    events.page = nullptr;
    page.reset(static_cast<update_page*>(make_update_page(ctx, nullptr)));
    EXPECT_EQ(status(), "Update Pre-Amplifier...");
    EXPECT_EQ(bar()->value(), 2);
    EXPECT_EQ(bar()->maximum(), 3);
}

TEST_F(UpdatePageUi, DeclinedLeavesTheStatusUntilNewParametersArrive) {
    testing::open_session(bench.session, bench.time);
    chosen = hex;
    events.answers = {box_answer::no};
    EXPECT_EQ(page->press_browse(), browse_outcome::declined);
    EXPECT_FALSE(update.running());
    EXPECT_EQ(status(), "Loading file... done");

    page->repaint();
    EXPECT_EQ(status(), "Loading file... done");
    page->params_changed(field_bit(param_field::master_volume));
    EXPECT_EQ(status(), "Select a firmware file to update.");
}

}  // namespace
}  // namespace tavrin
