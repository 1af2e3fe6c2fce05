// The Utility page's logic: what each button sends, asks and changes.
#include "utilities/utility_page.h"

#include <gtest/gtest.h>

#include <map>

#include "link/answer_texts.h"
#include "utility_fixture.h"

namespace tavrin {
namespace {

using testing::close_session;
using testing::open_session;
using testing::utility_fixture;

class recording_utility_view : public utility_view {
  public:
    void set_item_text(int item, const std::string& text) override { texts[item] = text; }
    std::string item_text(int item) const override {
        const auto it = texts.find(item);
        return it == texts.end() ? std::string() : it->second;
    }
    void start_timer(int id, int period_ms) override { timers[id] = period_ms; }
    void kill_timer(int id) override { timers.erase(id); }
    void invalidate() override { ++repaints; }

    std::map<int, std::string> texts;
    std::map<int, int> timers;  // running timers and their periods
    int repaints = 0;
};

struct utility_page_test : ::testing::Test, utility_fixture {
    std::vector<std::pair<std::string, std::string>> renames;
    bool rename_answer = true;
    std::vector<std::string> on_the_network{"Amp-1", "Amp-2", "Stagebox-1"};
    recording_utility_view view;
    utility_page_logic logic{{session.view(), device, ring, params, events, &session,
                              [this](const std::string& name, const std::string& new_name) {
                                  renames.emplace_back(name, new_name);
                                  return rename_answer;
                              },
                              [this] { return on_the_network; }},
                             view};

    utility_page_test() { find_me_active().store(false); }
    ~utility_page_test() override { find_me_active().store(false); }
};

// The 16 data bytes of a location frame (55 10 aa d5 c4 00 11, data, sum).
std::string location_data(const std::string& frame) {
    return frame.substr(7 * 3, 16 * 3 - 1);
}

TEST_F(utility_page_test, location_is_sixteen_bytes_padded_with_zeros) {
    view.texts[idc_location_field] = "Hall A";
    logic.location_clicked();
    view.texts[idc_location_field] = "Sixteen chars 16";
    logic.location_clicked();
    // Latin-1 letters travel as one byte each, so that the answer reads back alike.
    view.texts[idc_location_field] = "Caf\xC3\xA9";
    logic.location_clicked();
    const auto frames = sent();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].substr(0, 20), "55 10 aa d5 c4 00 11");
    EXPECT_EQ(location_data(frames[0]), "48 61 6c 6c 20 41 00 00 00 00 00 00 00 00 00 00");
    EXPECT_EQ(location_data(frames[1]), "53 69 78 74 65 65 6e 20 63 68 61 72 73 20 31 36");
    EXPECT_EQ(location_data(frames[2]), "43 61 66 e9 00 00 00 00 00 00 00 00 00 00 00 00");
    // The mirror waits for the amplifier's answer.
    EXPECT_EQ(params.location(), "");
}

TEST_F(utility_page_test, location_that_does_not_fit_sends_nothing) {
    for (const char* text : {"Seventeen chars17", "\xCE\xA9mega", "Tab\there", "\xC3"}) {
        view.texts[idc_location_field] = text;
        logic.location_clicked();
        EXPECT_TRUE(sent().empty()) << text;
    }
}

TEST_F(utility_page_test, reset_asks_first_and_sends_the_reset_frame_on_yes) {
    events.queue_answer(box_answer::no);
    logic.reset_clicked();
    EXPECT_TRUE(sent().empty());
    EXPECT_TRUE(events.logs().empty());

    events.queue_answer(box_answer::yes);
    logic.reset_clicked();
    EXPECT_EQ(sent(), std::vector<std::string>{"55 01 aa d5 34 00 02 c0 cb"});
    EXPECT_EQ(events.logs(), std::vector<std::string>{"Restart amplifier now..."});
    const auto boxes = events.boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "Reset to default?");
    EXPECT_EQ(boxes[1].caption, "Reset");
    EXPECT_EQ(boxes[1].icon, box_icon::question);
    EXPECT_EQ(boxes[1].buttons, box_buttons::yes_no);
}

TEST_F(utility_page_test, reset_while_not_connected_is_dropped) {
    close_session(session, time);
    events.queue_answer(box_answer::yes);
    logic.reset_clicked();
    EXPECT_TRUE(sent().empty());
}

TEST_F(utility_page_test, find_me_repeats_every_two_seconds_until_stopped) {
    logic.init();
    EXPECT_EQ(view.texts[idc_find_me_toggle], "Start");
    logic.find_me_clicked();
    EXPECT_EQ(view.texts[idc_find_me_toggle], "Stop");
    EXPECT_TRUE(find_me_active().load());
    EXPECT_EQ(view.timers, (std::map<int, int>{{2000, 2000}}));
    // The first command waits for the first tick, 2 s after Start.
    EXPECT_TRUE(sent().empty());
    logic.find_me_tick();
    logic.find_me_tick();
    EXPECT_EQ(sent(), std::vector<std::string>(2, "55 10 aa d5 07 00 03 f0 01 df"));

    logic.find_me_clicked();
    EXPECT_EQ(view.texts[idc_find_me_toggle], "Start");
    EXPECT_FALSE(find_me_active().load());
    EXPECT_TRUE(view.timers.empty());
}

TEST_F(utility_page_test, find_me_stops_without_connection_or_during_an_update) {
    struct : update_procedure {
        void update_on_answer(const uint8_t*, size_t, size_t) override {}
        void update_step() override {}
    } update;
    for (int round = 0; round < 2; ++round) {
        if (round == 0) {
            close_session(session, time);
        } else {
            open_session(session, time, "Amp-2");
            session.begin_update(&update);
            bench.step();
        }
        sent();
        logic.find_me_clicked();
        logic.find_me_tick();
        EXPECT_TRUE(sent().empty());
        EXPECT_FALSE(find_me_active().load());
        EXPECT_TRUE(view.timers.empty());
        EXPECT_EQ(view.texts[idc_find_me_toggle], "Start");
    }
}

TEST_F(utility_page_test, leaving_the_tab_ends_find_me) {
    logic.find_me_clicked();
    logic.page_destroyed();
    EXPECT_FALSE(find_me_active().load());
    EXPECT_TRUE(view.timers.empty());
    // The page made when the tab is chosen again offers to start.
    recording_utility_view again;
    utility_page_logic next({session.view(), device, ring, params, events, &session, {}}, again);
    next.init();
    EXPECT_EQ(again.texts[idc_find_me_toggle], "Start");
    EXPECT_TRUE(sent().empty());
}

TEST_F(utility_page_test, fields_show_the_name_and_the_location) {
    const uint8_t where[] = {'C', 'a', 'f', 0xE9, 0, 'x'};
    params.set_location(where, sizeof where);
    logic.init();
    EXPECT_EQ(view.texts[idc_rename_field], "Amp-2");
    EXPECT_EQ(view.texts[idc_location_field], "Caf\xC3\xA9");
    // An answer refills them only when it changed the location.
    view.texts[idc_location_field] = "typing";
    logic.params_changed(field_bit(param_field::master_volume));
    EXPECT_EQ(view.texts[idc_location_field], "typing");
    logic.params_changed(field_bit(param_field::location));
    EXPECT_EQ(view.texts[idc_location_field], "Caf\xC3\xA9");
}

TEST_F(utility_page_test, rename_takes_the_new_name_at_the_next_wake_up) {
    const uint8_t where[] = {'H', 'a', 'l', 'l'};
    params.set_location(where, sizeof where);
    logic.init();
    view.texts[idc_rename_field] = "Stage-Left";
    logic.rename_clicked();
    EXPECT_EQ(renames, (std::vector<std::pair<std::string, std::string>>{{"Amp-2", "Stage-Left"}}));
    bench.step();
    EXPECT_EQ(device.name(), "Stage-Left");
    // Answers now carry the new name and are still accepted.
    EXPECT_TRUE(device.matches_copy("Stage-Left"));
    EXPECT_FALSE(device.matches_copy("Amp-2"));
    // The window shows the new name at once, and the session tells it again once it
    // took the name.
    const std::string info = " Model: RQ417\n\n Device Name: Stage-Left\n\n Location: Hall";
    EXPECT_EQ(events.infos(), (std::vector<std::string>{info, info}));
    const auto boxes = events.boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Rename Success!");
    EXPECT_EQ(boxes[0].caption, "Rename");
    EXPECT_EQ(boxes[0].icon, box_icon::information);
    // The field keeps the new name.
    EXPECT_EQ(view.texts[idc_rename_field], "Stage-Left");
    EXPECT_TRUE(sent().empty());
}

TEST_F(utility_page_test, refused_rename_changes_nothing) {
    rename_answer = false;
    view.texts[idc_rename_field] = "Refused";
    logic.rename_clicked();
    // A name tavrin-cli rename refuses is not sent either; an empty one would make
    // the device take its factory name.
    for (const char* bad : {"-Bad", "Seventeen-Letters", ""}) {
        view.texts[idc_rename_field] = bad;
        logic.rename_clicked();
    }
    EXPECT_EQ(renames.size(), 1u);
    EXPECT_EQ(device.name(), "Amp-2");
    EXPECT_TRUE(device.matches_copy("Amp-2"));
    EXPECT_TRUE(events.infos().empty());
    const auto boxes = events.boxes();
    ASSERT_EQ(boxes.size(), 4u);
    for (const question& q : boxes) {
        EXPECT_EQ(q.text, "Rename Failed!");
        EXPECT_EQ(q.caption, "Rename");
        EXPECT_EQ(q.icon, box_icon::warning);
    }
}

TEST_F(utility_page_test, renaming_to_the_same_name_sends_nothing) {
    view.texts[idc_rename_field] = "Amp-2";
    logic.rename_clicked();
    EXPECT_TRUE(renames.empty());
    ASSERT_EQ(events.boxes().size(), 1u);
    EXPECT_EQ(events.boxes()[0].text, "Rename Success!");
}

TEST_F(utility_page_test, another_devices_name_in_any_case_is_refused_before_sending) {
    for (const char* taken : {"Amp-1", "amp-1", "STAGEBOX-1"}) {
        view.texts[idc_rename_field] = taken;
        logic.rename_clicked();
    }
    EXPECT_TRUE(renames.empty());
    EXPECT_EQ(device.name(), "Amp-2");
    const auto boxes = events.boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, "A device named Amp-1 is already on the network.");
    EXPECT_EQ(boxes[1].text, "A device named Amp-1 is already on the network.");
    EXPECT_EQ(boxes[2].text, "A device named Stagebox-1 is already on the network.");
    EXPECT_EQ(boxes[0].caption, "Rename");
    EXPECT_EQ(boxes[0].icon, box_icon::warning);
    // Its own name in another case is no conflict.
    view.texts[idc_rename_field] = "AMP-2";
    logic.rename_clicked();
    ASSERT_EQ(renames.size(), 1u);
    EXPECT_EQ(renames[0].second, "AMP-2");
}

TEST(utility_rename, no_wrapper_refuses) {
    utility_fixture f;
    EXPECT_EQ(rename_amplifier(wrapper_rename(nullptr), f.device.name(), &f.session, "New-1"),
              rename_outcome::refused);
    EXPECT_EQ(f.device.name(), "Amp-2");
}

}  // namespace
}  // namespace tavrin
