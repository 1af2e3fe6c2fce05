// The ConMon client against a scripted server on a real loopback socket.
#include <arpa/inet.h>

#include <cstring>
#include <string>

#include "conmon_server_fixture.h"

namespace conmon_test {
namespace {

class ConmonClient : public client_fixture {};

// ---------------------------------------------------------------------------
// Connecting

TEST_F(ConmonClient, ConnectSendsFixedSizeRequestAndCompletesOnResponse) {
    make_client();
    conmon_client_request_id_t id = nullptr;
    ASSERT_EQ(AUD_SUCCESS, conmon_client_connect(client_, on_response, &id));
    EXPECT_EQ(CONMON_CLIENT_CONNECTING, conmon_client_get_connection_state(client_));
    EXPECT_EQ(nullptr, conmon_client_get_device_name(client_));

    request req = expect(CONMON_IPC_OPCODE_CONNECT);
    ASSERT_EQ(44u, req.bytes.size());
    EXPECT_EQ(0x1503, req.head.version);
    EXPECT_EQ(1, req.head.seqnum);
    EXPECT_EQ(0, req.head.status);
    EXPECT_STREQ("morla", reinterpret_cast<const char*>(&req.bytes[10]));
    EXPECT_EQ(0, req.bytes[42] | req.bytes[43]);  // manual connection

    answer(scripted_server::connect_response(req, "Host-PC", own_id_));
    ASSERT_EQ(1u, responses_.size());
    EXPECT_EQ(id, responses_[0].id);
    EXPECT_EQ(AUD_SUCCESS, responses_[0].result);
    EXPECT_TRUE(conmon_client_is_connected(client_));
    EXPECT_TRUE(conmon_client_is_remote_ready(client_));
    EXPECT_STREQ("Host-PC", conmon_client_get_device_name(client_));
    EXPECT_STREQ("Host-PC.local.", conmon_client_get_dns_name(client_));
    EXPECT_TRUE(conmon_instance_id_equal(&own_id_, conmon_client_get_instance_id(client_)));
    EXPECT_EQ(1u, conmon_client_get_num_interfaces(client_));
    // The state changes reached the event callback, the last with connected and ready.
    ASSERT_FALSE(events_.empty());
    const uint32_t want = CONMON_CLIENT_EVENT_FLAG_CONNECTION_STATE |
                          CONMON_CLIENT_EVENT_FLAG_CONNECTED |
                          CONMON_CLIENT_EVENT_FLAG_REMOTE_READY;
    EXPECT_EQ(want, events_.back() & want);
    EXPECT_EQ(0, conmon_client_get_pending_requests(client_));

    EXPECT_EQ(AUD_ERR_INVALIDSTATE, conmon_client_connect(client_, on_response, &id));
}

TEST_F(ConmonClient, SilentServerLeavesClientConnecting) {
    make_client();
    conmon_client_request_id_t id = nullptr;
    ASSERT_EQ(AUD_SUCCESS, conmon_client_connect(client_, on_response, &id));
    expect(CONMON_IPC_OPCODE_CONNECT);
    pump(50);
    EXPECT_TRUE(responses_.empty());
    EXPECT_EQ(CONMON_CLIENT_CONNECTING, conmon_client_get_connection_state(client_));
    EXPECT_EQ(AUD_ERR_INVALIDSTATE, conmon_client_connect(client_, on_response, &id));
}

TEST_F(ConmonClient, MissingServerRefusesConnection) {
    server_.close_socket();
    make_client();
    conmon_client_request_id_t id = nullptr;
    ASSERT_EQ(AUD_SUCCESS, conmon_client_connect(client_, on_response, &id));
    ASSERT_TRUE(pump_until([&] { return !responses_.empty(); }));
    EXPECT_EQ(id, responses_[0].id);
    EXPECT_TRUE(responses_[0].result == AUD_ERR_CONNREFUSED ||
                responses_[0].result == AUD_ERR_CONNRESET);
    EXPECT_EQ(CONMON_CLIENT_NO_CONNECTION, conmon_client_get_connection_state(client_));
    EXPECT_FALSE(conmon_client_is_connected(client_));
}

TEST_F(ConmonClient, ErrorStatusKeepsConnectingAndReportsMappedError) {
    make_client();
    conmon_client_request_id_t id = nullptr;
    ASSERT_EQ(AUD_SUCCESS, conmon_client_connect(client_, on_response, &id));
    request req = expect(CONMON_IPC_OPCODE_CONNECT);
    answer(scripted_server::status_response(req, CONMON_IPC_STATUS_NOT_FOUND));
    EXPECT_EQ(AUD_ERR_NOTFOUND, responses_[0].result);
    EXPECT_EQ(CONMON_CLIENT_CONNECTING, conmon_client_get_connection_state(client_));
}

TEST_F(ConmonClient, OlderServerGetsNameOnlyConnectInItsVersion) {
    make_client();
    conmon_client_request_id_t id = nullptr;
    ASSERT_EQ(AUD_SUCCESS, conmon_client_connect(client_, on_response, &id));
    request first = expect(CONMON_IPC_OPCODE_CONNECT);
    server_.send(scripted_server::status_response(first, CONMON_IPC_STATUS_INVALID_SIZE, 0x1300));

    request second = expect(CONMON_IPC_OPCODE_CONNECT);
    EXPECT_TRUE(responses_.empty());
    EXPECT_EQ(0x1300, second.head.version);
    EXPECT_NE(first.head.seqnum, second.head.seqnum);
    ASSERT_EQ(11u + 5u, second.bytes.size());
    EXPECT_STREQ("morla", reinterpret_cast<const char*>(&second.bytes[10]));

    answer(scripted_server::connect_response(second, "Host-PC", own_id_));
    EXPECT_EQ(id, responses_[0].id);
    EXPECT_EQ(AUD_SUCCESS, responses_[0].result);
    EXPECT_TRUE(conmon_client_is_connected(client_));

    conmon_client_request_id_t reg = nullptr;
    ASSERT_EQ(AUD_SUCCESS,
              conmon_client_register_monitoring_messages(
                  client_, on_response, &reg, CONMON_CHANNEL_TYPE_STATUS, 1, on_message));
    request later = expect(CONMON_IPC_OPCODE_REGISTER_MONITORING);
    EXPECT_EQ(0x1300, later.head.version);
    EXPECT_EQ(0x1300, conmon_client_get_protocol_version(client_));
}

TEST_F(ConmonClient, InvalidSizeFromSameVersionServerIsAnError) {
    make_client();
    conmon_client_request_id_t id = nullptr;
    ASSERT_EQ(AUD_SUCCESS, conmon_client_connect(client_, on_response, &id));
    request req = expect(CONMON_IPC_OPCODE_CONNECT);
    answer(scripted_server::status_response(req, CONMON_IPC_STATUS_INVALID_SIZE, 0x1503));
    EXPECT_EQ(AUD_ERR_INVALIDDATA, responses_[0].result);
    request none;
    EXPECT_FALSE(server_.receive(&none, 20));
}

// ---------------------------------------------------------------------------
// Requests and their slots

TEST_F(ConmonClient, RequestsNeedAConnection) {
    make_client();
    conmon_client_request_id_t id = nullptr;
    EXPECT_EQ(AUD_ERR_NOTCONN, conmon_client_subscribe_global(client_, on_response, &id,
                                                              CONMON_CHANNEL_TYPE_STATUS));
    const uint8_t body[8] = {};
    conmon_vendor_id_t vid;
    conmon_vendor_id_from_string(&vid, "Varnoll");
    EXPECT_EQ(AUD_ERR_NOTCONN,
              conmon_client_send_control_message(client_, nullptr, nullptr, "Amp-1", 0xFFFF, &vid,
                                                 body, 8, nullptr));
}

TEST_F(ConmonClient, RegisterAndDeregisterLayoutsAndMappedStatus) {
    connect_ok();
    conmon_client_request_id_t id = nullptr;
    ASSERT_EQ(AUD_SUCCESS, conmon_client_register_monitoring_messages(
                               client_, on_response, &id, CONMON_CHANNEL_TYPE_STATUS,
                               CONMON_CHANNEL_DIRECTION_RX, on_message));
    EXPECT_EQ(1, conmon_client_get_pending_requests(client_));
    request reg = expect(CONMON_IPC_OPCODE_REGISTER_MONITORING);
    ASSERT_EQ(16u, reg.bytes.size());
    conmon_ipc_register_t decoded;
    ASSERT_EQ(AUD_SUCCESS,
              conmon_ipc_decode_register(&reg.head, reg.bytes.data(), reg.bytes.size(), &decoded));
    EXPECT_EQ(CONMON_CHANNEL_TYPE_STATUS, decoded.channel);
    EXPECT_EQ(1, decoded.direction);
    answer(scripted_server::status_response(reg, CONMON_IPC_STATUS_TIMEOUT));
    EXPECT_EQ(id, responses_[0].id);
    EXPECT_EQ(AUD_ERR_TIMEDOUT, responses_[0].result);
    EXPECT_EQ(0, conmon_client_get_pending_requests(client_));

    ASSERT_EQ(AUD_SUCCESS, conmon_client_register_monitoring_messages(
                               client_, on_response, &id, CONMON_CHANNEL_TYPE_STATUS,
                               CONMON_CHANNEL_DIRECTION_RX, nullptr));
    expect(CONMON_IPC_OPCODE_DEREGISTER_MONITORING);
}

TEST_F(ConmonClient, ChannelsOutsideTheMaskAreNotInitialised) {
    connect_ok();
    conmon_client_request_id_t id = nullptr;
    EXPECT_EQ(AUD_ERR_NOTINITIALISED,
              conmon_client_register_monitoring_messages(
                  client_, on_response, &id, CONMON_CHANNEL_TYPE_METERING, 0, on_message));
    EXPECT_EQ(AUD_ERR_NOTINITIALISED,
              conmon_client_subscribe(client_, on_response, &id, CONMON_CHANNEL_TYPE_SERIAL, "x"));
    EXPECT_EQ(AUD_ERR_NOTINITIALISED, conmon_client_subscribe_global(client_, on_response, &id, 9));
    EXPECT_FALSE(conmon_client_is_subscribed_global(client_, CONMON_CHANNEL_TYPE_SERIAL));
}

TEST_F(ConmonClient, SerialIsServedByOwnSocketWithoutAskingTheServer) {
    conmon_client_config_set_channel_mask(
        config_, CONMON_CLIENT_DEFAULT_CHANNEL_MASK | (1u << CONMON_CHANNEL_TYPE_SERIAL));
    connect_ok();
    conmon_client_request_id_t id = reinterpret_cast<conmon_client_request_id_t>(this);
    ASSERT_EQ(AUD_SUCCESS,
              conmon_client_register_monitoring_messages(
                  client_, on_response, &id, CONMON_CHANNEL_TYPE_SERIAL, 1, on_message));
    EXPECT_EQ(nullptr, id);
    EXPECT_EQ(0, conmon_client_get_pending_requests(client_));
    request none;
    EXPECT_FALSE(server_.receive(&none, 20));
}

TEST_F(ConmonClient, NonMulticastVendorBroadcastGroupIsSkippedWithoutError) {
    // The application's setting: 0xEFFE327B read in network order is 123.50.254.239.
    conmon_client_config_enable_vendor_broadcast(config_, true);
    conmon_client_config_set_vendor_broadcast_address(config_, 0xEFFE327Bu);
    connect_ok();
    conmon_client_request_id_t id = nullptr;
    EXPECT_EQ(AUD_SUCCESS,
              conmon_client_register_monitoring_messages(
                  client_, on_response, &id, CONMON_CHANNEL_TYPE_VBROADCAST, 1, on_message));
    EXPECT_EQ(nullptr, id);
}

TEST_F(ConmonClient, AllSlotsBusyGivesNobufsButFireAndForgetStillSends) {
    connect_ok(CONMON_IPC_SERVER_FLAG_NO_RESPONSE);
    std::vector<request> pending;
    conmon_client_request_id_t ids[CONMON_CLIENT_MAX_REQUESTS];
    for (auto& id : ids) {
        ASSERT_EQ(AUD_SUCCESS, conmon_client_subscribe(client_, on_response, &id,
                                                       CONMON_CHANNEL_TYPE_STATUS, "Amp-1"));
        pending.push_back(expect(CONMON_IPC_OPCODE_SUBSCRIBE));
    }
    EXPECT_EQ(10, conmon_client_get_pending_requests(client_));
    conmon_client_request_id_t extra = nullptr;
    EXPECT_EQ(AUD_ERR_NOBUFS, conmon_client_subscribe(client_, on_response, &extra,
                                                      CONMON_CHANNEL_TYPE_STATUS, "Amp-1"));

    const uint8_t body[] = {0x55, 1, 0xAA};
    conmon_vendor_id_t vid;
    conmon_vendor_id_from_string(&vid, "Varnoll");
    ASSERT_EQ(AUD_SUCCESS,
              conmon_client_send_control_message(client_, nullptr, nullptr, "Amp-1", 0xFFFF, &vid,
                                                 body, sizeof body, nullptr));
    request ctl = expect(CONMON_IPC_OPCODE_CONTROL);
    EXPECT_EQ(CONMON_IPC_STATUS_NO_RESPONSE, ctl.head.status);

    // Answers in reverse order still reach their own requests.
    for (size_t i = pending.size(); i-- > 0;) {
        answer(scripted_server::status_response(pending[i], CONMON_IPC_STATUS_RESPONSE));
        EXPECT_EQ(ids[i], responses_.back().id);
    }
    EXPECT_EQ(0, conmon_client_get_pending_requests(client_));
}

TEST_F(ConmonClient, UnknownSequenceNumbersAndWrongOpcodes) {
    connect_ok();
    conmon_client_request_id_t id = nullptr;
    ASSERT_EQ(AUD_SUCCESS,
              conmon_client_register_monitoring_messages(
                  client_, on_response, &id, CONMON_CHANNEL_TYPE_STATUS, 1, on_message));
    request reg = expect(CONMON_IPC_OPCODE_REGISTER_MONITORING);

    request stranger = reg;
    stranger.head.seqnum = static_cast<uint16_t>(reg.head.seqnum + 100);
    server_.send(scripted_server::status_response(stranger, CONMON_IPC_STATUS_RESPONSE));
    pump(30);
    EXPECT_TRUE(responses_.empty());
    EXPECT_EQ(1, conmon_client_get_pending_requests(client_));

    request wrong = reg;
    wrong.head.opcode = CONMON_IPC_OPCODE_DEREGISTER_MONITORING;
    answer(scripted_server::status_response(wrong, CONMON_IPC_STATUS_RESPONSE));
    EXPECT_EQ(id, responses_[0].id);
    EXPECT_EQ(AUD_ERR_INVALIDDATA, responses_[0].result);
    EXPECT_EQ(0, conmon_client_get_pending_requests(client_));
}

TEST_F(ConmonClient, InvalidDatagramsAreDroppedWithoutCompletingRequests) {
    connect_ok();
    conmon_client_request_id_t id = nullptr;
    ASSERT_EQ(AUD_SUCCESS, conmon_client_subscribe_global(client_, on_response, &id,
                                                          CONMON_CHANNEL_TYPE_STATUS));
    request sub = expect(CONMON_IPC_OPCODE_SUBSCRIBE);
    std::vector<uint8_t> bad = scripted_server::status_response(sub, CONMON_IPC_STATUS_RESPONSE);
    bad[0] = 0x00;
    bad[1] = 0x20;  // version 0x2000
    server_.send(bad);
    std::vector<uint8_t> longer = scripted_server::status_response(sub, CONMON_IPC_STATUS_RESPONSE);
    longer.push_back(0);  // head length no longer matches
    server_.send(longer);
    pump(30);
    EXPECT_TRUE(responses_.empty());
    answer(scripted_server::status_response(sub, CONMON_IPC_STATUS_RESPONSE));
    EXPECT_EQ(AUD_SUCCESS, responses_[0].result);
    EXPECT_TRUE(conmon_client_is_subscribed_global(client_, CONMON_CHANNEL_TYPE_STATUS));
}

// ---------------------------------------------------------------------------
// Control messages

TEST_F(ConmonClient, ControlMessageLayoutAndBodyLimits) {
    connect_ok();
    conmon_vendor_id_t varnoll;
    conmon_vendor_id_from_string(&varnoll, "Varnoll");
    std::vector<uint8_t> body(CONMON_MAX_BODY_ADHOC, 0x5A);
    conmon_client_request_id_t id = nullptr;

    EXPECT_EQ(AUD_ERR_TRUNCATED,
              conmon_client_send_control_message(client_, on_response, &id, "Amp-1", 0xFFFF,
                                                 &varnoll, body.data(), body.size() + 1, nullptr));
    ASSERT_EQ(AUD_SUCCESS,
              conmon_client_send_control_message(client_, on_response, &id,
                                                 "A-forty-character-device-name-0123456789", 0xFFFF,
                                                 &varnoll, body.data(), body.size(), nullptr));
    request req = expect(CONMON_IPC_OPCODE_CONTROL);
    ASSERT_EQ(76u + body.size(), req.bytes.size());
    conmon_ipc_control_t ctl;
    ASSERT_EQ(AUD_SUCCESS,
              conmon_ipc_decode_control(&req.head, req.bytes.data(), req.bytes.size(), &ctl));
    EXPECT_EQ(std::string("A-forty-character-device-name-0"), ctl.device_name);
    EXPECT_EQ(0xFFFF, ctl.message_class);
    EXPECT_TRUE(conmon_vendor_id_equal(&varnoll, &ctl.vendor_id));
    EXPECT_EQ(body.size(), ctl.body_size);
    EXPECT_EQ(body.size() + 24, conmon_message_head_get_length(ctl.message));

    // Audinate bodies carry an 8-byte head of their own; other vendors may be empty.
    EXPECT_EQ(AUD_ERR_MSGSIZE, conmon_client_send_control_message(
                                   client_, on_response, &id, nullptr, 0xFFFF,
                                   &CONMON_VENDOR_ID_AUDINATE, body.data(), 7, nullptr));
    EXPECT_EQ(AUD_SUCCESS,
              conmon_client_send_control_message(client_, nullptr, nullptr, nullptr, 0xFFFF,
                                                 &varnoll, nullptr, 0, nullptr));
    request empty = expect(CONMON_IPC_OPCODE_CONTROL);
    EXPECT_EQ(76u, empty.bytes.size());
    EXPECT_EQ(0, empty.bytes[20]);  // local device
}

TEST_F(ConmonClient, ControlTimeoutIsCarried) {
    connect_ok();
    const uint8_t body[8] = {0x07, 0x24, 0, 0xC1};
    conmon_client_timeout_t timeout = {2, 500000};
    conmon_client_request_id_t id = nullptr;
    ASSERT_EQ(AUD_SUCCESS, conmon_client_send_control_message(client_, on_response, &id, "Amp-1",
                                                              0xFFFF, &CONMON_VENDOR_ID_AUDINATE,
                                                              body, sizeof body, &timeout));
    request req = expect(CONMON_IPC_OPCODE_CONTROL);
    conmon_ipc_control_t ctl;
    ASSERT_EQ(AUD_SUCCESS,
              conmon_ipc_decode_control(&req.head, req.bytes.data(), req.bytes.size(), &ctl));
    EXPECT_EQ(2u, ctl.timeout_seconds);
    EXPECT_EQ(500000u, ctl.timeout_microseconds);
    answer(scripted_server::status_response(req, CONMON_IPC_STATUS_NOT_FOUND));
    EXPECT_EQ(AUD_ERR_NOTFOUND, responses_[0].result);
}

// ---------------------------------------------------------------------------
// Remote records and source names

TEST_F(ConmonClient, SubscribeResponseMergesRemotesCaseInsensitively) {
    connect_ok();
    conmon_client_request_id_t id = nullptr;
    ASSERT_EQ(AUD_SUCCESS, conmon_client_subscribe(client_, on_response, &id,
                                                   CONMON_CHANNEL_TYPE_STATUS, "Amp-1"));
    request sub = expect(CONMON_IPC_OPCODE_SUBSCRIBE);
    EXPECT_EQ(25u + 5u, sub.bytes.size());

    const conmon_instance_id_t amp = make_id(0x10, 5);
    answer(scripted_server::remotes(CONMON_IPC_OPCODE_SUBSCRIBE, CONMON_IPC_STATUS_RESPONSE,
                                    sub.head.seqnum, 1,
                                    {make_remote(CONMON_CHANNEL_TYPE_STATUS, "Amp-1",
                                                 CONMON_REMOTE_FLAG_INSTANCE_ID_VALID, amp)}));
    EXPECT_EQ(AUD_SUCCESS, responses_[0].result);
    ASSERT_EQ(1u, remote_reports_.size());
    EXPECT_EQ(std::vector<std::string>{"Amp-1"}, remote_reports_[0]);
    const conmon_remote_t* r =
        conmon_client_find_subscription(client_, CONMON_CHANNEL_TYPE_STATUS, "AMP-1");
    ASSERT_NE(nullptr, r);
    EXPECT_NE(nullptr, conmon_remote_get_instance_id(r));
    EXPECT_EQ(nullptr, conmon_remote_get_addresses(r));  // flag not set
    EXPECT_EQ(nullptr,
              conmon_client_find_subscription(client_, CONMON_CHANNEL_TYPE_LOCAL, "Amp-1"));

    // The same record again changes nothing; adding its addresses is a change.
    auto event = [&](uint8_t flags, uint16_t merge) {
        auto rec = make_remote(CONMON_CHANNEL_TYPE_STATUS, "amp-1", flags, amp);
        server_.send(scripted_server::remotes(CONMON_IPC_OPCODE_EVENT_REMOTES,
                                              CONMON_IPC_STATUS_EVENT, 0, merge, {rec}));
        pump(30);
    };
    event(CONMON_REMOTE_FLAG_INSTANCE_ID_VALID, 1);
    EXPECT_EQ(1u, remote_reports_.size());
    event(CONMON_REMOTE_FLAG_ADDRESSES_VALID, 0);  // not merged
    EXPECT_EQ(1u, remote_reports_.size());
    event(CONMON_REMOTE_FLAG_ADDRESSES_VALID, 1);
    ASSERT_EQ(2u, remote_reports_.size());
    EXPECT_EQ("Amp-1", remote_reports_[1][0]);  // the stored name keeps its case
    ASSERT_NE(nullptr, conmon_remote_get_addresses(r));
    EXPECT_EQ(8800, conmon_remote_get_addresses(r)->entries[0].port);
}

TEST_F(ConmonClient, RemoteTableStopsWhenFull) {
    connect_ok();
    // One datagram holds at most 96 records: fill the table in two.
    auto send_devices = [&](int first, int count) {
        std::vector<conmon_ipc_remote_record_t> recs;
        for (int i = first; i < first + count; ++i) {
            std::string name = "Dev-" + std::to_string(i);
            recs.push_back(make_remote(CONMON_CHANNEL_TYPE_STATUS, name.c_str(),
                                       CONMON_REMOTE_FLAG_INSTANCE_ID_VALID,
                                       make_id(static_cast<uint8_t>(i), 1)));
        }
        const size_t before = remote_reports_.size();
        server_.send(scripted_server::remotes(CONMON_IPC_OPCODE_EVENT_REMOTES,
                                              CONMON_IPC_STATUS_EVENT, 0, 1, recs));
        EXPECT_TRUE(pump_until([&] { return remote_reports_.size() > before; }));
    };
    send_devices(0, 90);
    send_devices(90, 10);
    ASSERT_EQ(2u, remote_reports_.size());
    EXPECT_EQ(6u, remote_reports_[1].size());
    EXPECT_NE(nullptr,
              conmon_client_find_subscription(client_, CONMON_CHANNEL_TYPE_STATUS, "Dev-95"));
    EXPECT_EQ(nullptr,
              conmon_client_find_subscription(client_, CONMON_CHANNEL_TYPE_STATUS, "Dev-96"));
}

TEST_F(ConmonClient, SourceNamesFromOwnIdRemotesAndMonitoredEvents) {
    connect_ok();
    ASSERT_EQ(AUD_SUCCESS,
              conmon_client_register_monitoring_messages(
                  client_, nullptr, nullptr, CONMON_CHANNEL_TYPE_STATUS, 1, on_message));
    expect(CONMON_IPC_OPCODE_REGISTER_MONITORING);

    const conmon_instance_id_t stranger = make_id(0x30, 9);
    server_.send(scripted_server::monitored_event(CONMON_CHANNEL_TYPE_STATUS, 1, "Amp-2", stranger,
                                                  {1, 2, 3}));
    ASSERT_TRUE(pump_until([&] { return messages_.size() == 1; }));
    EXPECT_EQ("Amp-2", messages_[0].source_name);
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}), messages_[0].body);
    // Outside the handler the event's sender is forgotten.
    EXPECT_EQ(nullptr, conmon_client_get_source_name(client_, &stranger));

    EXPECT_STREQ("Host-PC", conmon_client_get_source_name(client_, &own_id_));

    // A remote record names a device whatever its process id.
    const conmon_instance_id_t amp = make_id(0x10, 5);
    server_.send(
        scripted_server::remotes(CONMON_IPC_OPCODE_EVENT_REMOTES, CONMON_IPC_STATUS_EVENT, 0, 1,
                                 {make_remote(CONMON_CHANNEL_TYPE_STATUS, "Amp-1",
                                              CONMON_REMOTE_FLAG_INSTANCE_ID_VALID, amp)}));
    ASSERT_TRUE(pump_until([&] { return !remote_reports_.empty(); }));
    conmon_instance_id_t restarted = amp;
    restarted.process_id = 6;
    EXPECT_STREQ("Amp-1", conmon_client_get_source_name(client_, &restarted));
    // The remote record wins over the name carried by the event.
    server_.send(scripted_server::monitored_event(CONMON_CHANNEL_TYPE_STATUS, 1, "Other", amp, {}));
    ASSERT_TRUE(pump_until([&] { return messages_.size() == 2; }));
    EXPECT_EQ("Amp-1", messages_[1].source_name);

    // Renamed: the old name's record goes (flags 0) and the new name comes with the same
    // device id; messages are then named after the new name, not the record left behind.
    const size_t reports = remote_reports_.size();
    server_.send(scripted_server::remotes(
        CONMON_IPC_OPCODE_EVENT_REMOTES, CONMON_IPC_STATUS_EVENT, 0, 1,
        {make_remote(CONMON_CHANNEL_TYPE_STATUS, "Amp-1", 0, conmon_instance_id_t{})}));
    pump(30);
    server_.send(
        scripted_server::remotes(CONMON_IPC_OPCODE_EVENT_REMOTES, CONMON_IPC_STATUS_EVENT, 0, 1,
                                 {make_remote(CONMON_CHANNEL_TYPE_STATUS, "Stage-1",
                                              CONMON_REMOTE_FLAG_INSTANCE_ID_VALID, amp)}));
    ASSERT_TRUE(pump_until([&] { return remote_reports_.size() > reports; }));
    EXPECT_STREQ("Stage-1", conmon_client_get_source_name(client_, &amp));
}

// ---------------------------------------------------------------------------
// Events

TEST_F(ConmonClient, ChannelMessagesReachTheirHandlerAndControlIsDomainFiltered) {
    connect_ok();
    for (uint16_t dir = 0; dir < 2; ++dir) {
        ASSERT_EQ(AUD_SUCCESS,
                  conmon_client_register_monitoring_messages(
                      client_, nullptr, nullptr, CONMON_CHANNEL_TYPE_CONTROL, dir, on_message));
        expect(CONMON_IPC_OPCODE_REGISTER_MONITORING);
    }
    const conmon_instance_id_t src = make_id(0x40, 1);
    // Flags 3 are for managed domains only; 2 and 0 pass ad hoc.
    server_.send(scripted_server::message_event(CONMON_CHANNEL_TYPE_CONTROL, 1, 3, src, {3}));
    server_.send(scripted_server::message_event(CONMON_CHANNEL_TYPE_CONTROL, 1, 2, src, {2}));
    server_.send(scripted_server::message_event(CONMON_CHANNEL_TYPE_CONTROL, 0, 0, src, {0}));
    // No handler for STATUS: dropped quietly.
    server_.send(scripted_server::message_event(CONMON_CHANNEL_TYPE_STATUS, 1, 0, src, {9}));
    ASSERT_TRUE(pump_until([&] { return messages_.size() >= 2; }));
    pump(20);
    ASSERT_EQ(2u, messages_.size());
    EXPECT_EQ((std::vector<uint8_t>{2}), messages_[0].body);
    EXPECT_EQ(2, messages_[0].control_flags);
    EXPECT_EQ(1, messages_[0].direction);
    EXPECT_EQ(0, messages_[1].direction);
    EXPECT_EQ(0, conmon_client_get_control_flags(client_));
}

TEST_F(ConmonClient, NameAndInterfaceEventsUpdateOnlyOnChange) {
    connect_ok();
    static int device_changes;
    static int interface_changes;
    device_changes = 0;
    interface_changes = 0;
    conmon_client_set_device_name_changed_callback(client_,
                                                   [](conmon_client_t*) { ++device_changes; });
    conmon_client_set_interfaces_changed_callback(client_,
                                                  [](conmon_client_t*) { ++interface_changes; });
    auto name_event = [&](const char* name) {
        conmon_ipc_head_t head = {CONMON_IPC_VERSION_DEFAULT, 0, 0,
                                  CONMON_IPC_OPCODE_EVENT_DEVICE_NAME, CONMON_IPC_STATUS_EVENT};
        std::vector<uint8_t> out(64);
        size_t size = 0;
        conmon_ipc_encode_name_event(&head, name, out.data(), out.size(), &size);
        out.resize(size);
        server_.send(out);
        pump(20);
    };
    name_event("Host-PC");
    EXPECT_EQ(0, device_changes);
    name_event("Renamed-PC");
    EXPECT_EQ(1, device_changes);
    EXPECT_STREQ("Renamed-PC", conmon_client_get_device_name(client_));

    conmon_interface_entry_t entries[3] = {};
    entries[0].index = 1;
    entries[0].ip_address = htonl(INADDR_LOOPBACK);
    entries[1].index = 2;
    entries[2].index = 3;
    conmon_ipc_head_t head = {CONMON_IPC_VERSION_DEFAULT, 0, 0, CONMON_IPC_OPCODE_EVENT_INTERFACES,
                              CONMON_IPC_STATUS_EVENT};
    std::vector<uint8_t> out(256);
    size_t size = 0;
    ASSERT_EQ(AUD_SUCCESS,
              conmon_ipc_encode_interfaces_event(&head, entries, 3, out.data(), out.size(), &size));
    out.resize(size);
    server_.send(out);
    ASSERT_TRUE(pump_until([&] { return interface_changes == 1; }));
    ASSERT_EQ(2u, conmon_client_get_num_interfaces(client_));  // at most two kept
    EXPECT_EQ(2u, conmon_client_get_interface(client_, 1)->index);
    server_.send(out);
    pump(20);
    EXPECT_EQ(1, interface_changes);
}

TEST_F(ConmonClient, DeleteSendsDisconnect) {
    connect_ok(CONMON_IPC_SERVER_FLAG_NO_RESPONSE);
    conmon_client_delete(client_);
    client_ = nullptr;
    request bye = expect(CONMON_IPC_OPCODE_DISCONNECT);
    EXPECT_EQ(10u, bye.bytes.size());
    EXPECT_EQ(CONMON_IPC_STATUS_NO_RESPONSE, bye.head.status);
}

TEST_F(ConmonClient, DomainChangeClearsRemotesAtServerAndHandlers) {
    connect_ok();
    ASSERT_EQ(AUD_SUCCESS,
              conmon_client_register_monitoring_messages(
                  client_, nullptr, nullptr, CONMON_CHANNEL_TYPE_STATUS, 1, on_message));
    expect(CONMON_IPC_OPCODE_REGISTER_MONITORING);
    dapi_domain_handler_t* handler = dapi_get_domain_handler(api_);
    dapi_domain_identity_t unknown{};
    ASSERT_EQ(AUD_SUCCESS, dapi_domain_handler_set_identity(handler, &unknown));
    expect(CONMON_IPC_OPCODE_CLEAR_REMOTE);
    EXPECT_FALSE(conmon_client_is_remote_ready(client_));
    EXPECT_EQ(CONMON_CLIENT_DOMAIN_UNKNOWN, conmon_client_get_domain_mode(client_));
    conmon_client_request_id_t id = nullptr;
    EXPECT_EQ(AUD_ERR_INVALIDSTATE,
              conmon_client_subscribe(client_, on_response, &id, CONMON_CHANNEL_TYPE_STATUS, "x"));
    // Unknown domain: the global flag is noted but nothing is sent.
    EXPECT_EQ(AUD_SUCCESS, conmon_client_subscribe_global(client_, on_response, &id,
                                                          CONMON_CHANNEL_TYPE_STATUS));

    dapi_domain_identity_t adhoc;
    dapi_domain_identity_adhoc(&adhoc);
    ASSERT_EQ(AUD_SUCCESS, dapi_domain_handler_set_identity(handler, &adhoc));
    expect(CONMON_IPC_OPCODE_CLEAR_REMOTE);
    EXPECT_TRUE(conmon_client_is_remote_ready(client_));
    server_.send(scripted_server::monitored_event(CONMON_CHANNEL_TYPE_STATUS, 1, "Amp-2",
                                                  make_id(1, 1), {1}));
    pump(30);
    EXPECT_TRUE(messages_.empty());  // handler table was cleared
}

}  // namespace
}  // namespace conmon_test
