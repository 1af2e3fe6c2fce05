// The ConMon glue: client settings, registrations and subscription on the client's
// events, the received-message path and the amplifier send.
#include <gtest/gtest.h>

#include "wrapper_fixture.h"

namespace tavrin::testing {
namespace {

using conmon_glue = wrapper_test;

TEST_F(conmon_glue, client_settings_and_the_connect_wait) {
    wrapper.conmon_start();
    EXPECT_EQ(lib.settings.name, "morla");
    EXPECT_EQ(lib.settings.server_port, 0);
    EXPECT_TRUE(lib.settings.vendor_broadcast);
    EXPECT_EQ(lib.settings.vendor_broadcast_group, 0xEFFE327Bu);
    EXPECT_TRUE(logged("multicast address (123.50.254.239)"));
    EXPECT_TRUE(wrapper.client_connected());
    EXPECT_FALSE(logged("ERR- no answer to the connect request"));
}

TEST_F(conmon_glue, connected_then_ready_registers_outgoing_then_incoming_then_subscribes) {
    wrapper.conmon_start();
    lib.clear_calls();
    wrapper.on_client_event(
        nullptr, CONMON_CLIENT_EVENT_FLAG_CONNECTED | CONMON_CLIENT_EVENT_FLAG_REMOTE_READY);
    EXPECT_EQ(lib.calls(),
              (std::vector<std::string>{"register 4 0", "register 2 0", "register 3 0",
                                        "register 2 1", "register 3 1", "subscribe 2"}));
}

TEST_F(conmon_glue, a_failed_registration_stops_its_sequence_but_not_the_subscription) {
    wrapper.conmon_start();
    lib.clear_calls();
    lib.register_fail_index = 1;
    wrapper.on_client_event(nullptr, CONMON_CLIENT_EVENT_FLAG_CONNECTED);
    EXPECT_EQ(lib.calls(), (std::vector<std::string>{"register 4 0", "register 2 0"}));

    lib.clear_calls();
    lib.register_fail_index = 2;  // the first incoming registration
    wrapper.on_client_event(nullptr, CONMON_CLIENT_EVENT_FLAG_REMOTE_READY);
    EXPECT_EQ(lib.calls(), (std::vector<std::string>{"register 2 1", "subscribe 2"}));

    // Flags whose state is not (or no longer) true register nothing.
    lib.clear_calls();
    lib.connected = false;
    lib.remote_ready = false;
    wrapper.on_client_event(
        nullptr, CONMON_CLIENT_EVENT_FLAG_CONNECTED | CONMON_CLIENT_EVENT_FLAG_REMOTE_READY);
    EXPECT_TRUE(lib.calls().empty());
}

TEST_F(conmon_glue, subscribe_response_with_an_unknown_id_changes_nothing) {
    wrapper.conmon_start();
    wrapper.on_client_event(nullptr, CONMON_CLIENT_EVENT_FLAG_REMOTE_READY);
    ASSERT_NE(lib.last_subscribe, nullptr);
    wrapper.on_subscribe_response(reinterpret_cast<conmon_client_request_id_t>(0x7770),
                                  AUD_SUCCESS);
    wrapper.on_subscribe_response(nullptr, AUD_SUCCESS);
    EXPECT_FALSE(wrapper.subscribed());
    wrapper.on_subscribe_response(lib.last_subscribe, AUD_SUCCESS);
    EXPECT_TRUE(wrapper.subscribed());
}

TEST_F(conmon_glue, every_message_reaches_the_amplifier_path_then_the_decoder) {
    struct got {
        std::string sender;
        size_t size;
    };
    std::vector<got> amp;
    wrapper.set_message_handler([&](const char* s, const uint8_t* b, size_t n, int label) {
        wrapper.forward_to_amp(s, b, n, label);
    });
    wrapper.set_amp_target([&](const char* sender, const uint8_t*, size_t size) {
        amp.push_back({sender ? sender : "(null)", size});
    });
    const std::vector<uint8_t> poll = {0x55, 0x11, 0xaa, 0xd5, 0xe3, 0x00, 0x02, 0x01, 0xcb};
    conmon_message_head_t head = lib.head_from("Amp-2", "Varnoll", poll.size());
    wrapper.on_monitor_message(nullptr, CONMON_CHANNEL_TYPE_STATUS, CONMON_CHANNEL_DIRECTION_RX,
                               &head, poll.data());
    conmon_message_head_t unknown = lib.head_unknown("Varnoll", poll.size());
    wrapper.on_monitor_message(nullptr, CONMON_CHANNEL_TYPE_BROADCAST, CONMON_CHANNEL_DIRECTION_RX,
                               &unknown, poll.data());
    ASSERT_EQ(amp.size(), 2u);
    EXPECT_EQ(amp[0].sender, "Amp-2");
    EXPECT_EQ(amp[0].size, 9u);
    // An unresolvable source is passed on without a name, which the amplifier path refuses.
    EXPECT_EQ(amp[1].sender, "(null)");
    EXPECT_TRUE(logged("Receive STATUS message (9 bytes):"));
    EXPECT_TRUE(logged("Receive BROADCAST message (9 bytes):"));
}

TEST_F(conmon_glue, amplifier_frames_go_out_as_varnoll_control_messages) {
    const std::vector<uint8_t> poll = {0x55, 0x11, 0xaa, 0xd5, 0xe3, 0x00, 0x02, 0x01, 0xcb};
    EXPECT_NE(wrapper.send_control("Amp-1", 0xFFFF, varnoll_vendor_id, poll.data(), poll.size()),
              0);
    wrapper.conmon_start();
    EXPECT_EQ(wrapper.send_control("Amp-1", 0xFFFF, varnoll_vendor_id, poll.data(), poll.size()),
              0);
    ASSERT_EQ(lib.sent().size(), 1u);
    const auto s = lib.sent()[0];
    EXPECT_EQ(s.name, "Amp-1");
    EXPECT_EQ(s.vendor, "Varnoll");
    EXPECT_EQ(s.body, poll);
    EXPECT_FALSE(s.with_request);
    lib.send_result = AUD_ERR_NOBUFS;
    EXPECT_EQ(wrapper.send_control("", 0xFFFF, varnoll_vendor_id, poll.data(), poll.size()),
              AUD_ERR_NOBUFS);
    EXPECT_EQ(lib.sent()[1].name, "");
}

}  // namespace
}  // namespace tavrin::testing
