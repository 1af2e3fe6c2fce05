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
    // Nothing is asked inside the callback, which runs with library_lock held.
    EXPECT_TRUE(lib.calls().empty());
    EXPECT_FALSE(summary("Amp-1")->active);
    EXPECT_EQ(nodes.deferred_due_in(), 10u);
    run_components();
    EXPECT_EQ(lib.calls(),
              (std::vector<std::string>{"update_component Amp-1 0", "update_component Amp-1 4",
                                        "update_component Amp-1 5"}));
    EXPECT_TRUE(summary("Amp-1")->active);
    EXPECT_TRUE(logged("Amp-1 is active"));
}

// Component requests are spaced by the pause, one device after the other, and a device
// that goes while its requests wait takes them with it.
TEST_F(device_node_list_test, component_requests_wait_their_turn_outside_the_callbacks) {
    browse_adds("Amp-1");
    fake_library::browse_node* amp2 = browse_adds("Amp-2");
    browse_adds("Amp-3");
    for (const char* name : {"Amp-1", "Amp-2", "Amp-3"}) {
        lib.device_named(name)->stale = {DR_DEVICE_COMPONENT_TXCHANNELS,
                                         DR_DEVICE_COMPONENT_RXCHANNELS};
        lib.device_named(name)->state = DR_DEVICE_STATE_ACTIVE;
        nodes.on_device_changed(lib.handle_of(name), DR_DEVICE_CHANGE_STATE);
    }
    browse_removes(amp2);
    lib.clear_calls();
    std::vector<uint32_t> times;
    for (uint32_t due = nodes.deferred_due_in(); due != UINT32_MAX; due = nodes.deferred_due_in()) {
        time.sleep_ms(due);
        const size_t before = lib.calls().size();
        nodes.run_deferred();
        if (lib.calls().size() > before)
            times.push_back(time.now_ms());
    }
    EXPECT_EQ(lib.calls(),
              (std::vector<std::string>{"update_component Amp-1 0", "update_component Amp-1 1",
                                        "update_component Amp-3 0", "update_component Amp-3 1"}));
    ASSERT_EQ(times.size(), 4u);
    for (size_t i = 1; i < times.size(); ++i)
        EXPECT_GE(times[i] - times[i - 1], 10u);
    EXPECT_TRUE(summary("Amp-1")->active);
    EXPECT_TRUE(summary("Amp-3")->active);
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

TEST_F(device_node_list_test, unanswered_requests_are_cancelled_in_the_library_when_dropped) {
    browse_adds("Amp-1");
    fake_library::browse_node* silent = browse_adds("Amp-2");
    lib.device_named("Amp-2")->answers_ping = false;
    nodes.ping_all();
    const dr_request_id_t first = lib.last_ping("Amp-2");
    EXPECT_TRUE(lib.cancelled.empty());

    // The next sweep drops the silent device's ping: its library entry goes too, or
    // sweep after sweep would fill the library's request table.
    nodes.ping_all();
    EXPECT_EQ(lib.cancelled, (std::vector<dr_request_id_t>{first}));

    // A device the browse removes loses its pending requests before its connection.
    lib.clear_calls();
    browse_removes(silent);
    EXPECT_EQ(lib.calls(), (std::vector<std::string>{"cancel Amp-2", "device_close Amp-2"}));
    EXPECT_EQ(nodes.pending_slots(), 0u);
}

TEST_F(device_node_list_test, a_lost_dns_sd_service_is_told_once_per_runtime) {
    struct dnssd_watch : service_watch {
        void conmon_server_lost() override {}
        void conmon_server_back() override {}
        void dnssd_service_lost() override { ++lost; }
        int lost = 0;
    } watch;
    nodes.set_service_watch(&watch);
    nodes.on_browse_event(DB_BROWSE_EVENT_AFTER_DOMAIN_CHANGE);
    EXPECT_TRUE(logged("CALL: browse event (after)"));
    EXPECT_EQ(watch.lost, 0);
    EXPECT_FALSE(nodes.dnssd_lost());

    nodes.on_browse_event(DB_BROWSE_EVENT_SERVICE_LOST);
    nodes.on_browse_event(DB_BROWSE_EVENT_SERVICE_LOST);
    EXPECT_EQ(watch.lost, 1);
    EXPECT_TRUE(nodes.dnssd_lost());
    EXPECT_EQ(lines(2), (std::vector<std::string>{
                            "ERR- DNS-SD service not running (avahi-daemon): browsing stopped"}));
    // A new runtime has a new browse.
    host.dt_start();
    EXPECT_FALSE(nodes.dnssd_lost());
    nodes.on_browse_event(DB_BROWSE_EVENT_SERVICE_LOST);
    EXPECT_EQ(watch.lost, 2);
    host.dante_stop();
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
