// Start-up and teardown over the scripted library, the interface selection and the
// socket thread's wait.
#include <gtest/gtest.h>

#include <thread>

#include "qxapi/socket_wait.h"
#include "wrapper_fixture.h"

namespace tavrin::testing {
namespace {

TEST(socket_wait, capped_at_one_second_and_zero_kept) {
    EXPECT_EQ(cap_socket_wait({5, 0}).tv_sec, 1);
    EXPECT_EQ(cap_socket_wait({5, 0}).tv_usec, 0);
    EXPECT_EQ(cap_socket_wait({1, 500000}).tv_usec, 0);
    const timeval short_wait = cap_socket_wait({0, 200000});
    EXPECT_EQ(short_wait.tv_sec, 0);
    EXPECT_EQ(short_wait.tv_usec, 200000);
    EXPECT_TRUE(is_zero_wait(cap_socket_wait({0, 0})));
    EXPECT_TRUE(is_zero_wait(cap_socket_wait({-1, 0})));
    EXPECT_EQ(wait_ms_rounded_up({0, 100}), 1u);
    EXPECT_EQ(wait_ms_rounded_up({0, 200000}), 200u);
}

using runtime_host_test = wrapper_test;

TEST_F(runtime_host_test, interface_selection) {
    uint32_t p = 9, s = 9;
    host.get_selected_interfaces(p, s);
    EXPECT_EQ(p, 0u);
    EXPECT_EQ(s, 0u);
    host.select_interfaces(3, 3);
    EXPECT_EQ(host.iface_selection().num_networks, 1u);
    host.get_selected_interfaces(p, s);
    EXPECT_EQ(p, 3u);
    EXPECT_EQ(s, 0u);
    host.select_interfaces(3, 5);
    EXPECT_EQ(host.iface_selection().num_networks, 2u);
    host.get_selected_interfaces(p, s);
    EXPECT_EQ(s, 5u);
    // Other fields keep the library's initial values.
    db_browse_config_t initial;
    db_browse_config_init(&initial);
    EXPECT_EQ(host.iface_selection().resolve_timeout_sec, initial.resolve_timeout_sec);
    host.select_interfaces(0, 5);
    EXPECT_EQ(host.iface_selection().interface_indexes[1], 0u);
    host.select_interfaces(4, 0);
    host.reset_interfaces();
    EXPECT_EQ(host.iface_selection().interface_indexes[0], 0u);
}

TEST_F(runtime_host_test, start_configures_browse_and_factory_and_runs_the_socket_thread) {
    time.pump = false;
    host.select_interfaces(2, 7);
    host.dante_start();
    EXPECT_TRUE(host.socket_thread_running());
    EXPECT_TRUE(link.client_connected());
    EXPECT_EQ(lib.started_config.num_networks, 2u);
    EXPECT_EQ(lib.started_config.interface_indexes[1], 7u);
    const auto calls = lib.calls();
    const std::vector<std::string> expected = {
        "api_new",           "browse_new 4", "browse_set_max_sockets 18",
        "browse_start",      "devices_new",  "handle_count 16",
        "request_limit 128", "client_new",   "connect"};
    EXPECT_EQ(calls, expected);
}

TEST_F(runtime_host_test, a_failed_browse_start_ends_the_sequence_without_hanging) {
    time.pump = false;
    lib.browse_start_result = AUD_ERR_DNSSDFAIL;
    lib.answer_connect = false;
    host.dante_start();
    EXPECT_FALSE(host.socket_thread_running());
    EXPECT_TRUE(logged("ERR- start browsing, DNSSDFAIL"));
    // Nobody would deliver the connect answer: the wait gives up.
    EXPECT_TRUE(logged("ERR- no answer to the connect request"));
    host.dante_stop();
    EXPECT_EQ(lib.calls().back(), "api_delete");
}

TEST_F(runtime_host_test, browse_status_tells_a_missing_dns_sd_service) {
    time.pump = false;
    EXPECT_EQ(wrapper.browse_status(), AUD_ERR_NOTINITIALISED);
    lib.browse_start_result = AUD_ERR_NOTRUNNING;
    host.dante_start();
    EXPECT_EQ(wrapper.browse_status(), AUD_ERR_NOTRUNNING);
    host.dante_stop();

    // Started, then the service went away.
    lib.browse_start_result = AUD_SUCCESS;
    host.dante_start();
    EXPECT_EQ(wrapper.browse_status(), AUD_SUCCESS);
    lib.browse_status_result = AUD_ERR_NOTRUNNING;
    EXPECT_EQ(wrapper.browse_status(), AUD_ERR_NOTRUNNING);
    host.dante_stop();
    EXPECT_EQ(wrapper.browse_status(), AUD_ERR_NOTINITIALISED);
}

TEST_F(runtime_host_test, teardown_closes_devices_before_the_factory_in_order) {
    time.pump = false;
    host.dante_start();
    // Browse events arrive on the socket thread.
    lib.deliver([this] {
        fake_library::browse_node* n = lib.add_browse_node("Amp-1");
        db_node_ref_t ref{DB_NODE_KIND_DEVICE, fake_library::as_db(n)};
        nodes.on_browse_node(nullptr, &ref, DB_NODE_CHANGE_ADDED);
    });
    while (lib.queued() != 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    while (!nodes.has_node("Amp-1"))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    lib.clear_calls();
    host.dante_stop();
    EXPECT_FALSE(host.socket_thread_running());
    EXPECT_EQ(lib.calls(),
              (std::vector<std::string>{"device_close Amp-1", "client_delete", "browse_delete",
                                        "devices_delete", "api_delete"}));
    EXPECT_TRUE(nodes.nodes().empty());
    EXPECT_FALSE(host.running());
    // Stopping twice is harmless.
    host.dante_stop();
}

TEST_F(runtime_host_test, a_restart_forgets_the_nodes_found_before) {
    time.pump = false;
    host.dante_start();
    lib.deliver([this] {
        fake_library::browse_node* n = lib.add_browse_node("Amp-1");
        db_node_ref_t ref{DB_NODE_KIND_DEVICE, fake_library::as_db(n)};
        nodes.on_browse_node(nullptr, &ref, DB_NODE_CHANGE_ADDED);
    });
    while (!nodes.has_node("Amp-1"))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(host.start_restart_thread());
    host.join_restart_thread();
    EXPECT_FALSE(nodes.has_node("Amp-1"));
    EXPECT_TRUE(host.socket_thread_running());
    EXPECT_TRUE(link.client_connected());
}

}  // namespace
}  // namespace tavrin::testing
