// The device node list over the scripted library: nodes follow the browse, requests
// are routed by their tags, and the ping sweep tells which devices still answer.
#include <gtest/gtest.h>

#include "qxapi/request_slots.h"
#include "wrapper_fixture.h"

namespace tavrin::testing {
namespace {

TEST(request_slots, tags_ids_and_a_full_table) {
    request_slots slots;
    request_slot* a = slots.take_slot("Ping_TEST");
    ASSERT_NE(a, nullptr);
    // Until the library writes an id the slot still counts as free.
    EXPECT_EQ(slots.take_slot("other"), a);
    a->id = reinterpret_cast<dr_request_id_t>(0x10);
    a->tag = "Ping_TEST";
    EXPECT_EQ(slots.find(a->id), a);
    EXPECT_EQ(slots.find(nullptr), nullptr);

    for (size_t i = 1; i < request_slots::slot_count; ++i) {
        request_slot* s = slots.take_slot(i % 2 ? "Ping_TEST" : "QX-capability");
        ASSERT_NE(s, nullptr) << i;
        s->id = reinterpret_cast<dr_request_id_t>(0x10 * (i + 1));
    }
    EXPECT_EQ(slots.take_slot("one too many"), nullptr);
    slots.cancel_tag("Ping_TEST");
    EXPECT_EQ(slots.taken(), request_slots::slot_count / 2 - 1);
    EXPECT_EQ(slots.find(a->id), nullptr);

    request_slot* long_tag = slots.take_slot(std::string(100, 'x'));
    ASSERT_NE(long_tag, nullptr);
    EXPECT_EQ(long_tag->tag.size(), request_slots::max_tag);
}

using device_node_list_test = wrapper_test;

TEST_F(device_node_list_test, browse_adds_removes_and_rejects_duplicates) {
    fake_library::browse_node* amp = browse_adds("Amp-1");
    browse_adds("Amp-1");
    browse_adds("Amp-2");
    ASSERT_EQ(nodes.nodes().size(), 2u);
    EXPECT_TRUE(logged("ERR- duplicate node (Amp-1)"));
    EXPECT_EQ(nodes.nodes()[0].name, "Amp-1");
    EXPECT_EQ(nodes.nodes()[1].name, "Amp-2");

    browse_removes(amp);
    ASSERT_EQ(nodes.nodes().size(), 1u);
    EXPECT_EQ(nodes.nodes()[0].name, "Amp-2");
    // The removed device's connection is closed, not left in the factory.
    const auto calls = lib.calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "device_close Amp-1"), calls.end());

    browse_removes(amp);
    EXPECT_TRUE(logged("ERR- no this node (Amp-1)"));

    lib.device_open_result = AUD_ERR_NOMEMORY;
    browse_adds("Amp-3");
    EXPECT_FALSE(nodes.has_node("Amp-3"));
    EXPECT_TRUE(logged("ERR- creating device (Amp-3)"));
}

TEST_F(device_node_list_test, state_updates_request_capabilities_then_stale_components) {
    browse_adds("Amp-1");
    fake_library::device* d = lib.device_named("Amp-1");
    d->state = DR_DEVICE_STATE_RESOLVED;
    nodes.on_device_changed(lib.handle_of("Amp-1"), DR_DEVICE_CHANGE_STATE);
    EXPECT_EQ(nodes.pending_slots(), 1u);

    // Only the state bit triggers an update.
    d->state = DR_DEVICE_STATE_ACTIVE;
    d->stale = {DR_DEVICE_COMPONENT_PROPERTIES, DR_DEVICE_COMPONENT_TXCHANNELS,
                DR_DEVICE_COMPONENT_RXFLOWS};
    nodes.on_device_changed(lib.handle_of("Amp-1"), DR_DEVICE_CHANGE_ADDRESSES);
    EXPECT_FALSE(summary("Amp-1")->active);

    lib.clear_calls();
    nodes.on_device_changed(lib.handle_of("Amp-1"), DR_DEVICE_CHANGE_STATE);
    EXPECT_EQ(lib.calls(),
              (std::vector<std::string>{"update_component Amp-1 0", "update_component Amp-1 4",
                                        "update_component Amp-1 5"}));
    EXPECT_TRUE(summary("Amp-1")->active);
    EXPECT_TRUE(logged("Amp-1 is active"));
}

TEST_F(device_node_list_test, strange_status_is_not_active_but_an_answered_ping_is) {
    browse_adds("Amp-1");
    lib.device_named("Amp-1")->status = DR_DEVICE_STATUS_UNLICENSED;
    becomes_active("Amp-1");
    EXPECT_FALSE(summary("Amp-1")->active);
    EXPECT_TRUE(logged("ERR- got a strange status (0x00000002)"));

    nodes.ping_device("Amp-1");
    lib.runtime_process_sockets(nullptr, nullptr, nullptr);
    EXPECT_TRUE(summary("Amp-1")->active);
    EXPECT_EQ(nodes.pending_slots(), 0u);
}

TEST_F(device_node_list_test, completions_route_by_tag_and_failed_pings_do_not_count) {
    browse_adds("Amp-1");
    lib.auto_answer_pings = false;
    nodes.ping_device("Amp-1");
    const dr_request_id_t ping = lib.last_ping("Amp-1");
    ASSERT_NE(ping, nullptr);
    // A completion nobody asked for is ignored.
    nodes.on_request_done(lib.handle_of("Amp-1"), reinterpret_cast<dr_request_id_t>(0x999),
                          AUD_SUCCESS);
    EXPECT_EQ(nodes.pending_slots(), 1u);
    nodes.on_request_done(lib.handle_of("Amp-1"), ping, AUD_ERR_TIMEDOUT);
    EXPECT_FALSE(summary("Amp-1")->active);
    EXPECT_EQ(nodes.pending_slots(), 0u);

    // TXCHANNELS rebuilds the channel list with empty labels.
    fake_library::device* d = lib.device_named("Amp-1");
    d->tx = {{1, "01"}, {2, "02"}};
    d->stale = {DR_DEVICE_COMPONENT_TXCHANNELS};
    becomes_active("Amp-1");
    d->stale.clear();
    const auto calls = lib.calls();
    ASSERT_EQ(calls.back(), "update_component Amp-1 0");
    nodes.on_request_done(lib.handle_of("Amp-1"), lib.last_component, AUD_SUCCESS);
    EXPECT_EQ(summary("Amp-1")->tx_channel_count, 2u);
}

TEST_F(device_node_list_test, full_request_table_refuses_capability_queries) {
    lib.auto_answer_pings = false;
    browse_adds("Amp-1");
    for (size_t i = 0; i < request_slots::slot_count; ++i)
        nodes.ping_device("Amp-1");
    EXPECT_FALSE(logged("ERR- no more request for Ping_TEST"));
    nodes.ping_device("Amp-1");
    EXPECT_TRUE(logged("ERR- no more request for Ping_TEST"));

    lib.device_named("Amp-1")->state = DR_DEVICE_STATE_RESOLVED;
    nodes.update_device(lib.handle_of("Amp-1"));
    EXPECT_TRUE(logged("ERR- no more request for capabilities"));
}

TEST_F(device_node_list_test, active_name_walk) {
    for (const char* name : {"A", "B", "C", "D"})
        browse_adds(name);
    EXPECT_EQ(nodes.first_active_name(), "");
    for (const char* name : {"B", "D"})
        becomes_active(name);

    std::string buffer = nodes.first_active_name();
    EXPECT_EQ(buffer, "B");
    nodes.next_active_name(buffer);
    EXPECT_EQ(buffer, "D");
    // After the last active node: empty.
    nodes.next_active_name(buffer);
    EXPECT_EQ(buffer, "");
    // From an inactive node the walk goes on to the next active one.
    buffer = "C";
    nodes.next_active_name(buffer);
    EXPECT_EQ(buffer, "D");
    buffer = "Z";
    nodes.next_active_name(buffer);
    EXPECT_EQ(buffer, "Z");
    EXPECT_TRUE(logged("ERR- no this node (Z)"));
}

TEST_F(device_node_list_test, ping_sweep_reports_whether_the_active_set_changed) {
    for (const char* name : {"Amp-1", "Amp-2", "Amp-3"})
        browse_adds(name);
    // Nobody was active; all answer.
    EXPECT_EQ(nodes.ping_all(), 1);
    for (const node_summary& s : nodes.nodes())
        EXPECT_TRUE(s.active) << s.name;
    EXPECT_EQ(nodes.ping_all(), 0);

    lib.device_named("Amp-2")->answers_ping = false;
    EXPECT_EQ(nodes.ping_all(), 1);
    EXPECT_FALSE(summary("Amp-2")->active);
    EXPECT_TRUE(summary("Amp-3")->active);

    // A ping that cannot be sent frees its slot.
    lib.ping_result = AUD_ERR_NOBUFS;
    nodes.ping_all();
    EXPECT_EQ(nodes.pending_slots(), 0u);
    EXPECT_TRUE(logged("ERR- sending device ping message: NOBUFS"));
}

TEST_F(device_node_list_test, ping_sweep_pauses_per_group_of_forty) {
    time.pump = true;
    for (int i = 0; i < 81; ++i)
        browse_adds("D" + std::to_string(i));
    const uint32_t before = time.now_ms();
    nodes.ping_all();
    // Pauses after the 1st, 41st and 81st ping, then the 50 ms settle.
    EXPECT_EQ(time.now_ms() - before, 3 * 20u + 50u);
}

TEST_F(device_node_list_test, a_renamed_node_is_skipped_until_the_browse_replaces_it) {
    fake_library::browse_node* old_node = browse_adds("Amp-1");
    becomes_active("Amp-1");
    EXPECT_TRUE(nodes.rename_device("Amp-1", "Stage-L"));
    EXPECT_FALSE(nodes.rename_device("Amp-1", "Again"));
    EXPECT_FALSE(nodes.rename_device("Nobody", "X"));

    lib.clear_calls();
    nodes.ping_all();
    EXPECT_TRUE(lib.calls().empty());
    EXPECT_EQ(nodes.first_active_name(), "");

    // Removal of the old name does not close the connection a second time.
    browse_removes(old_node);
    browse_adds("Stage-L");
    const auto calls = lib.calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "device_close Amp-1"), 0);
    EXPECT_TRUE(nodes.has_node("Stage-L"));
}

}  // namespace
}  // namespace tavrin::testing
