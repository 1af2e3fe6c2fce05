// The ConMon link: client settings, registrations and subscription on the client's
// events, the received-message path and the amplifier send.
#include <gtest/gtest.h>

#include "dante/conmon/audinate_manf_versions.h"
#include "wrapper_fixture.h"

namespace tavrin::testing {
namespace {

using conmon_link_test = wrapper_test;

TEST_F(conmon_link_test, client_settings_and_the_connect_wait) {
    link.conmon_start();
    EXPECT_EQ(lib.settings.name, "morla");
    EXPECT_EQ(lib.settings.server_port, 0);
    EXPECT_TRUE(lib.settings.vendor_broadcast);
    EXPECT_EQ(lib.settings.vendor_broadcast_group, 0xEFFE327Bu);
    EXPECT_EQ(lib.settings.reconnect_ms, 1000u);
    EXPECT_TRUE(logged("multicast address (123.50.254.239)"));
    EXPECT_TRUE(link.client_connected());
    EXPECT_FALSE(logged("ERR- no answer to the connect request"));
}

TEST_F(conmon_link_test, connected_then_ready_registers_outgoing_then_incoming_then_subscribes) {
    link.conmon_start();
    lib.clear_calls();
    link.on_client_event(
        nullptr, CONMON_CLIENT_EVENT_FLAG_CONNECTED | CONMON_CLIENT_EVENT_FLAG_REMOTE_READY);
    EXPECT_EQ(lib.calls(),
              (std::vector<std::string>{"register 4 0", "register 2 0", "register 3 0",
                                        "register 2 1", "register 3 1", "subscribe 2"}));
}

TEST_F(conmon_link_test, a_failed_registration_stops_its_sequence_but_not_the_subscription) {
    link.conmon_start();
    lib.clear_calls();
    lib.register_fail_index = 1;
    link.on_client_event(nullptr, CONMON_CLIENT_EVENT_FLAG_CONNECTED);
    EXPECT_EQ(lib.calls(), (std::vector<std::string>{"register 4 0", "register 2 0"}));

    lib.clear_calls();
    lib.register_fail_index = 2;  // the first incoming registration
    link.on_client_event(nullptr, CONMON_CLIENT_EVENT_FLAG_REMOTE_READY);
    EXPECT_EQ(lib.calls(), (std::vector<std::string>{"register 2 1", "subscribe 2"}));

    // Flags whose state is not (or no longer) true register nothing.
    lib.clear_calls();
    lib.connected = false;
    lib.remote_ready = false;
    link.on_client_event(
        nullptr, CONMON_CLIENT_EVENT_FLAG_CONNECTED | CONMON_CLIENT_EVENT_FLAG_REMOTE_READY);
    EXPECT_TRUE(lib.calls().empty());
}

TEST_F(conmon_link_test, subscribe_response_with_an_unknown_id_changes_nothing) {
    link.conmon_start();
    link.on_client_event(nullptr, CONMON_CLIENT_EVENT_FLAG_REMOTE_READY);
    ASSERT_NE(lib.last_subscribe, nullptr);
    link.on_subscribe_response(reinterpret_cast<conmon_client_request_id_t>(0x7770), AUD_SUCCESS);
    link.on_subscribe_response(nullptr, AUD_SUCCESS);
    EXPECT_FALSE(link.subscribed());
    link.on_subscribe_response(lib.last_subscribe, AUD_SUCCESS);
    EXPECT_TRUE(link.subscribed());
}

// Where the link hands bodies: what the sessions' directory would get.
struct recording_sink : amp_message_sink {
    struct body {
        std::string sender;  // "<none>" for a source without a name
        std::vector<uint8_t> bytes;
        bool amp_vendor;
    };
    void on_amp_message(const char* sender, const uint8_t* data, size_t size,
                        bool amp_vendor) override {
        got.push_back({sender ? sender : "<none>", {data, data + size}, amp_vendor});
    }
    std::vector<body> got;
};

TEST_F(conmon_link_test, every_body_goes_straight_to_the_amplifier_sessions) {
    recording_sink sink;
    const std::vector<uint8_t> poll = {0x55, 0x11, 0xaa, 0xd5, 0xe3, 0x00, 0x02, 0x01, 0xcb};
    const auto receive = [&](conmon_message_head_t head, uint16_t channel) {
        link.on_monitor_message(nullptr, channel, CONMON_CHANNEL_DIRECTION_RX, &head, poll.data());
    };

    // Without a target nothing is handed over, but the line is still logged.
    receive(lib.head_from("Amp-2", "Varnoll", poll.size()), CONMON_CHANNEL_TYPE_STATUS);
    EXPECT_TRUE(logged("Receive STATUS message (9 bytes):"));

    link.set_amp_target(&sink);
    receive(lib.head_from("Amp-2", "Varnoll", poll.size()), CONMON_CHANNEL_TYPE_STATUS);
    // An unresolvable source is passed on without a name, which the sessions refuse.
    receive(lib.head_unknown("Varnoll", poll.size()), CONMON_CHANNEL_TYPE_BROADCAST);
    EXPECT_TRUE(logged("Receive BROADCAST message (9 bytes):"));
    ASSERT_EQ(sink.got.size(), 2u);
    EXPECT_EQ(sink.got[0].sender, "Amp-2");
    EXPECT_EQ(sink.got[0].bytes, poll);
    EXPECT_TRUE(sink.got[0].amp_vendor);
    EXPECT_EQ(sink.got[1].sender, "<none>");

    // An Audinate body is decoded into the sender's node, and passed on as no
    // amplifier body (its frame check must not count it as a broken answer).
    browse_adds("Amp-2");
    audinate_manf_versions_info info{};
    info.version = 0x0724;
    info.manufacturer_name = "Varnoll AB";
    info.model_name = "TAVRIN-PA22";
    std::vector<uint8_t> body(1024);
    size_t size = 0;
    ASSERT_EQ(audinate_build_manf_versions_status(body.data(), body.size(), &info, &size),
              AUD_SUCCESS);
    conmon_message_head_t head = lib.head_from("Amp-2", "Audinate", size);
    link.on_monitor_message(nullptr, CONMON_CHANNEL_TYPE_STATUS, CONMON_CHANNEL_DIRECTION_RX, &head,
                            body.data());
    EXPECT_EQ(summary("Amp-2")->model_name, "TAVRIN-PA22");
    ASSERT_EQ(sink.got.size(), 3u);
    EXPECT_FALSE(sink.got[2].amp_vendor);

    link.set_amp_target(nullptr);
    receive(lib.head_from("Amp-2", "Varnoll", poll.size()), CONMON_CHANNEL_TYPE_STATUS);
    EXPECT_EQ(sink.got.size(), 3u);
}

TEST_F(conmon_link_test, amplifier_frames_go_out_as_varnoll_control_messages) {
    const std::vector<uint8_t> poll = {0x55, 0x11, 0xaa, 0xd5, 0xe3, 0x00, 0x02, 0x01, 0xcb};
    EXPECT_NE(link.send_control("Amp-1", 0xFFFF, varnoll_vendor_id, poll.data(), poll.size()), 0);
    link.conmon_start();
    EXPECT_EQ(link.send_control("Amp-1", 0xFFFF, varnoll_vendor_id, poll.data(), poll.size()), 0);
    ASSERT_EQ(lib.sent().size(), 1u);
    const auto s = lib.sent()[0];
    EXPECT_EQ(s.name, "Amp-1");
    EXPECT_EQ(s.vendor, "Varnoll");
    EXPECT_EQ(s.body, poll);
    EXPECT_FALSE(s.with_request);
    lib.send_result = AUD_ERR_NOBUFS;
    EXPECT_EQ(link.send_control("", 0xFFFF, varnoll_vendor_id, poll.data(), poll.size()),
              AUD_ERR_NOBUFS);
    EXPECT_EQ(lib.sent()[1].name, "");
}

}  // namespace
}  // namespace tavrin::testing
