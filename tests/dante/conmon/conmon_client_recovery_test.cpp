// The ConMon client when its server restarts or forgets it, and answers that arrive
// for requests nobody waits for any more.
#include <arpa/inet.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "conmon_server_fixture.h"
#include "dante/conmon/internal/conmon_channel_impl.h"
#include "dante/conmon/internal/conmon_client_impl.h"

namespace conmon_test {
namespace {

class ConmonRecovery : public client_fixture {
  protected:
    void SetUp() override {
        client_fixture::SetUp();
        conmon_client_config_set_reconnect_interval(config_, 20);
    }

    void make_counting_client() {
        make_client();
        conmon_client_set_disconnected_callback(client_, on_disconnected);
    }

    // Registers for incoming STATUS messages, subscribes to all devices and to Amp-7,
    // answering each request.
    void register_and_subscribe() {
        conmon_client_request_id_t id = nullptr;
        ASSERT_EQ(AUD_SUCCESS, conmon_client_register_monitoring_messages(
                                   client_, on_response, &id, CONMON_CHANNEL_TYPE_STATUS,
                                   CONMON_CHANNEL_DIRECTION_RX, on_message));
        answer(scripted_server::status_response(expect(CONMON_IPC_OPCODE_REGISTER_MONITORING),
                                                CONMON_IPC_STATUS_RESPONSE));
        ASSERT_EQ(AUD_SUCCESS, conmon_client_subscribe_global(client_, on_response, &id,
                                                              CONMON_CHANNEL_TYPE_STATUS));
        answer(scripted_server::status_response(expect(CONMON_IPC_OPCODE_SUBSCRIBE),
                                                CONMON_IPC_STATUS_RESPONSE));
        ASSERT_EQ(AUD_SUCCESS, conmon_client_subscribe(client_, on_response, &id,
                                                       CONMON_CHANNEL_TYPE_STATUS, "Amp-7"));
        answer(scripted_server::status_response(expect(CONMON_IPC_OPCODE_SUBSCRIBE),
                                                CONMON_IPC_STATUS_RESPONSE));
        responses_.clear();
    }

    // Answers the client's own connect and the requests that restore what
    // register_and_subscribe set up, checking each.
    void expect_restored() {
        request connect = expect(CONMON_IPC_OPCODE_CONNECT);
        server_.send(scripted_server::connect_response(connect, "Host-PC", own_id_));
        ASSERT_TRUE(pump_until([&] { return conmon_client_is_connected(client_); }));
        ASSERT_FALSE(events_.empty());
        EXPECT_NE(0u, events_.back() & CONMON_CLIENT_EVENT_FLAG_RECONNECTED);
        EXPECT_NE(0u, events_.back() & CONMON_CLIENT_EVENT_FLAG_CONNECTED);

        request reg = expect(CONMON_IPC_OPCODE_REGISTER_MONITORING);
        conmon_ipc_register_t decoded{};
        ASSERT_EQ(AUD_SUCCESS, conmon_ipc_decode_register(&reg.head, reg.bytes.data(),
                                                          reg.bytes.size(), &decoded));
        EXPECT_EQ(CONMON_CHANNEL_TYPE_STATUS, decoded.channel);
        EXPECT_EQ(CONMON_CHANNEL_DIRECTION_RX, decoded.direction);
        server_.send(scripted_server::status_response(reg, CONMON_IPC_STATUS_RESPONSE));
        for (const char* name : {"", "Amp-7"}) {
            request sub = expect(CONMON_IPC_OPCODE_SUBSCRIBE);
            conmon_ipc_subscribe_t s{};
            ASSERT_EQ(AUD_SUCCESS, conmon_ipc_decode_subscribe(&sub.head, sub.bytes.data(),
                                                               sub.bytes.size(), &s));
            EXPECT_STREQ(name, s.device_name);
            server_.send(scripted_server::status_response(sub, CONMON_IPC_STATUS_RESPONSE));
        }
        pump(20);
        // The restoring requests are the client's own: the application hears nothing.
        EXPECT_TRUE(responses_.empty());
        EXPECT_EQ(0, conmon_client_get_pending_requests(client_));
    }

    void send_fire_and_forget() {
        const uint8_t body[] = {1, 2, 3};
        conmon_vendor_id_t vid;
        conmon_vendor_id_from_string(&vid, "Varnoll");
        ASSERT_EQ(AUD_SUCCESS,
                  conmon_client_send_control_message(client_, nullptr, nullptr, "Amp-1", 0xFFFF,
                                                     &vid, body, sizeof body, nullptr));
    }

    static void on_disconnected(conmon_client_t* client) {
        auto* self = static_cast<ConmonRecovery*>(conmon_client_get_context(client));
        ++self->disconnects_;
        self->connected_at_disconnect_ = conmon_client_is_connected(client);
    }

    int disconnects_ = 0;
    bool connected_at_disconnect_ = true;
};

// ---------------------------------------------------------------------------
// Losing the server and getting it back

TEST_F(ConmonRecovery, RestartedServerIsNoticedReportedAndEverythingIsRestored) {
    make_counting_client();
    connect_ok();
    register_and_subscribe();
    conmon_client_request_id_t waiting = nullptr;
    ASSERT_EQ(AUD_SUCCESS, conmon_client_subscribe(client_, on_response, &waiting,
                                                   CONMON_CHANNEL_TYPE_STATUS, "Amp-7"));
    expect(CONMON_IPC_OPCODE_SUBSCRIBE);  // never answered: the server goes away

    server_.close_socket();
    send_fire_and_forget();  // refused by the closed port
    ASSERT_TRUE(pump_until([&] { return disconnects_ == 1; }));
    EXPECT_FALSE(connected_at_disconnect_);
    EXPECT_EQ(CONMON_CLIENT_NO_CONNECTION, conmon_client_get_connection_state(client_));
    ASSERT_EQ(1u, responses_.size());
    EXPECT_EQ(waiting, responses_[0].id);
    EXPECT_EQ(AUD_ERR_NOTCONN, responses_[0].result);
    ASSERT_FALSE(events_.empty());
    EXPECT_NE(0u, events_.back() & CONMON_CLIENT_EVENT_FLAG_CONNECTED);
    EXPECT_NE(0u, events_.back() & CONMON_CLIENT_EVENT_FLAG_REMOTE_READY);
    EXPECT_EQ(AUD_ERR_NOTCONN, conmon_client_subscribe_global(client_, on_response, &waiting,
                                                              CONMON_CHANNEL_TYPE_STATUS));

    // Attempts against the closed port are refused and repeated, reported once.
    pump(100);
    EXPECT_EQ(1, disconnects_);
    const size_t events_while_away = events_.size();
    responses_.clear();

    server_.reopen();
    expect_restored();
    EXPECT_EQ(events_while_away + 1, events_.size());
    EXPECT_EQ(1, disconnects_);

    server_.send(scripted_server::monitored_event(CONMON_CHANNEL_TYPE_STATUS, 1, "Amp-7",
                                                  make_id(7, 1), {9}));
    ASSERT_TRUE(pump_until([&] { return !messages_.empty(); }));
    EXPECT_EQ("Amp-7", messages_[0].source_name);
}

TEST_F(ConmonRecovery, NotConnectedAnswersMeanTheServerForgotTheClient) {
    make_counting_client();
    connect_ok(CONMON_IPC_SERVER_FLAG_NO_RESPONSE);
    register_and_subscribe();

    // An answer to a request with a slot: the request fails, the loss is reported.
    conmon_client_request_id_t id = nullptr;
    const uint8_t body[] = {1};
    conmon_vendor_id_t vid;
    conmon_vendor_id_from_string(&vid, "Varnoll");
    ASSERT_EQ(AUD_SUCCESS, conmon_client_send_control_message(client_, on_response, &id, "Amp-1",
                                                              0xFFFF, &vid, body, 1, nullptr));
    answer(scripted_server::status_response(expect(CONMON_IPC_OPCODE_CONTROL),
                                            CONMON_IPC_STATUS_INVALID_STATE));
    EXPECT_EQ(id, responses_[0].id);
    EXPECT_EQ(AUD_ERR_INVALIDSTATE, responses_[0].result);
    EXPECT_EQ(1, disconnects_);
    responses_.clear();
    expect_restored();

    // A fire-and-forget request answered the same way: no slot, still a loss.
    send_fire_and_forget();
    server_.send(scripted_server::status_response(expect(CONMON_IPC_OPCODE_CONTROL),
                                                  CONMON_IPC_STATUS_INVALID_STATE));
    ASSERT_TRUE(pump_until([&] { return disconnects_ == 2; }));
    expect_restored();
}

TEST_F(ConmonRecovery, UnansweredAttemptIsAbandonedAndItsLateAnswerIgnored) {
    make_counting_client();
    connect_ok();
    send_fire_and_forget();
    server_.send(scripted_server::status_response(expect(CONMON_IPC_OPCODE_CONTROL),
                                                  CONMON_IPC_STATUS_INVALID_STATE));
    ASSERT_TRUE(pump_until([&] { return disconnects_ == 1; }));

    request first = expect(CONMON_IPC_OPCODE_CONNECT);
    request second = expect(CONMON_IPC_OPCODE_CONNECT);  // the first went unanswered
    EXPECT_NE(first.head.seqnum, second.head.seqnum);
    // The answer to the abandoned attempt comes late: it must not connect the client.
    server_.send(scripted_server::connect_response(first, "Host-PC", own_id_));
    pump(10);
    EXPECT_FALSE(conmon_client_is_connected(client_));
    server_.send(scripted_server::connect_response(second, "Host-PC", own_id_));
    // A third attempt may have started meanwhile; answer whatever is current.
    request req;
    ASSERT_TRUE(pump_until([&] {
        if (server_.receive(&req, 0) && req.head.opcode == CONMON_IPC_OPCODE_CONNECT) {
            server_.send(scripted_server::connect_response(req, "Host-PC", own_id_));
        }
        return conmon_client_is_connected(client_);
    }));
    EXPECT_TRUE(responses_.empty());
}

TEST_F(ConmonRecovery, WithoutReconnectionTheApplicationConnectsItself) {
    conmon_client_config_set_reconnect_interval(config_, 0);
    make_counting_client();
    connect_ok();
    register_and_subscribe();
    server_.close_socket();
    send_fire_and_forget();
    ASSERT_TRUE(pump_until([&] { return disconnects_ == 1; }));
    server_.reopen();
    pump(60);
    request none;
    EXPECT_FALSE(server_.receive(&none, 0));

    // An explicit connect answers to its caller and restores nothing by itself.
    conmon_client_request_id_t id = nullptr;
    ASSERT_EQ(AUD_SUCCESS, conmon_client_connect(client_, on_response, &id));
    answer(
        scripted_server::connect_response(expect(CONMON_IPC_OPCODE_CONNECT), "Host-PC", own_id_));
    EXPECT_EQ(id, responses_.back().id);
    EXPECT_TRUE(conmon_client_is_connected(client_));
    EXPECT_EQ(0u, events_.back() & CONMON_CLIENT_EVENT_FLAG_RECONNECTED);
    EXPECT_FALSE(server_.receive(&none, 30));
}

// ---------------------------------------------------------------------------
// Reading the server socket several datagrams at a time

TEST_F(ConmonRecovery, BurstsArriveWholeAndInOrder) {
    make_counting_client();
    connect_ok();
    register_and_subscribe();
    for (uint8_t i = 0; i < 40; ++i) {
        server_.send(scripted_server::monitored_event(CONMON_CHANNEL_TYPE_STATUS, 1, "Amp-7",
                                                      make_id(7, 1), {i}));
    }
    ASSERT_TRUE(pump_until([&] { return messages_.size() == 40; }));
    for (uint8_t i = 0; i < 40; ++i) {
        EXPECT_EQ(std::vector<uint8_t>{i}, messages_[i].body);
    }
}

TEST_F(ConmonRecovery, DatagramsAfterTheLossInOneBatchAreDropped) {
    make_counting_client();
    connect_ok();
    register_and_subscribe();
    send_fire_and_forget();
    request ctl = expect(CONMON_IPC_OPCODE_CONTROL);
    // Queued together: an event, "not connected", then events of the old connection.
    server_.send(scripted_server::monitored_event(CONMON_CHANNEL_TYPE_STATUS, 1, "Amp-7",
                                                  make_id(7, 1), {1}));
    server_.send(scripted_server::status_response(ctl, CONMON_IPC_STATUS_INVALID_STATE));
    for (uint8_t i = 2; i < 5; ++i) {
        server_.send(scripted_server::monitored_event(CONMON_CHANNEL_TYPE_STATUS, 1, "Amp-7",
                                                      make_id(7, 1), {i}));
    }
    ASSERT_TRUE(pump_until([&] { return disconnects_ == 1; }));
    pump(20);
    ASSERT_EQ(1u, messages_.size());
    EXPECT_EQ(std::vector<uint8_t>{1}, messages_[0].body);
}

// ---------------------------------------------------------------------------
// Answers for requests that are no longer waited for

TEST_F(ConmonRecovery, SequenceNumbersOfUnansweredRequestsAreNotReused) {
    connect_ok();
    conmon_client_request_id_t stuck = nullptr;
    ASSERT_EQ(AUD_SUCCESS, conmon_client_subscribe(client_, on_response, &stuck,
                                                   CONMON_CHANNEL_TYPE_STATUS, "Amp-1"));
    request old = expect(CONMON_IPC_OPCODE_SUBSCRIBE);
    // The counter comes round to the unanswered request's number.
    client_->next_seqnum = old.head.seqnum;
    conmon_client_request_id_t fresh = nullptr;
    ASSERT_EQ(AUD_SUCCESS, conmon_client_subscribe(client_, on_response, &fresh,
                                                   CONMON_CHANNEL_TYPE_STATUS, "Amp-2"));
    request now = expect(CONMON_IPC_OPCODE_SUBSCRIBE);
    EXPECT_NE(old.head.seqnum, now.head.seqnum);

    answer(scripted_server::status_response(old, CONMON_IPC_STATUS_TIMEOUT));
    EXPECT_EQ(stuck, responses_[0].id);
    EXPECT_EQ(1, conmon_client_get_pending_requests(client_));

    // A cancelled request frees its slot; its answer then belongs to nobody.
    EXPECT_EQ(AUD_SUCCESS, conmon_client_cancel_request(client_, fresh));
    EXPECT_EQ(AUD_ERR_NOTFOUND, conmon_client_cancel_request(client_, fresh));
    EXPECT_EQ(0, conmon_client_get_pending_requests(client_));
    server_.send(scripted_server::status_response(now, CONMON_IPC_STATUS_RESPONSE));
    pump(20);
    EXPECT_EQ(1u, responses_.size());
}

// ---------------------------------------------------------------------------
// Configuration reaching the channel set

class ConmonMetering : public client_fixture {
  protected:
    void SetUp() override {
        client_fixture::SetUp();
        conmon_client_config_set_channel_mask(
            config_, CONMON_CLIENT_DEFAULT_CHANNEL_MASK | (1u << CONMON_CHANNEL_TYPE_METERING));
    }

    uint16_t registered_port() {
        conmon_client_request_id_t id = nullptr;
        EXPECT_EQ(AUD_SUCCESS, conmon_client_register_monitoring_messages(
                                   client_, on_response, &id, CONMON_CHANNEL_TYPE_METERING,
                                   CONMON_CHANNEL_DIRECTION_RX, on_message));
        request reg = expect(CONMON_IPC_OPCODE_REGISTER_MONITORING);
        conmon_ipc_register_t decoded{};
        conmon_ipc_decode_register(&reg.head, reg.bytes.data(), reg.bytes.size(), &decoded);
        return decoded.metering_port;
    }

    uint16_t subscribed_port() {
        conmon_client_request_id_t id = nullptr;
        EXPECT_EQ(AUD_SUCCESS, conmon_client_subscribe(client_, on_response, &id,
                                                       CONMON_CHANNEL_TYPE_METERING, "Amp-1"));
        request sub = expect(CONMON_IPC_OPCODE_SUBSCRIBE);
        conmon_ipc_subscribe_t decoded{};
        conmon_ipc_decode_subscribe(&sub.head, sub.bytes.data(), sub.bytes.size(), &decoded);
        return decoded.metering_port;
    }

    static uint16_t bound_port(int fd) {
        sockaddr_in a{};
        socklen_t len = sizeof a;
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        return ntohs(a.sin_port);
    }

    static int udp_socket(uint16_t port) {
        int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        return fd;
    }
};

TEST_F(ConmonMetering, RequestsCarryThePortTheSocketBound) {
    connect_ok();
    conmon_channel_t* metering =
        conmon_channels_get_channel(client_->channels, CONMON_CHANNEL_TYPE_METERING);
    ASSERT_NE(nullptr, metering);
    const uint16_t bound = bound_port(conmon_channel_get_socket(metering));
    ASSERT_NE(0, bound);
    EXPECT_EQ(bound, registered_port());
    EXPECT_EQ(bound, subscribed_port());
}

TEST_F(ConmonMetering, ConfiguredPortIsBoundAndABusyPortIsFatalUnlessTolerated) {
    const int holder = udp_socket(0);
    const uint16_t busy = bound_port(holder);
    conmon_client_config_set_metering_port(config_, busy);
    conmon_client_t* failed = nullptr;
    EXPECT_EQ(AUD_ERR_ADDRINUSE, conmon_client_new(api_, config_, &failed));
    EXPECT_EQ(nullptr, failed);

    conmon_client_config_set_metering_failure_tolerance(config_, true);
    connect_ok();
    EXPECT_EQ(0, registered_port());  // no METERING socket: no port to tell
    close(holder);

    // A free port of our choosing is bound and told.
    const int probe = udp_socket(0);
    const uint16_t chosen = bound_port(probe);
    close(probe);
    conmon_client_config_set_metering_port(config_, chosen);
    conmon_client_t* other = nullptr;
    ASSERT_EQ(AUD_SUCCESS, conmon_client_new(api_, config_, &other));
    EXPECT_EQ(chosen, conmon_channel_get_unicast_port(conmon_channels_get_channel(
                          other->channels, CONMON_CHANNEL_TYPE_METERING)));
    conmon_client_delete(other);
}

TEST_F(ConmonMetering, ReceiveBatchIsSetPerChannelSocket) {
    EXPECT_EQ(AUD_SUCCESS,
              conmon_client_config_set_receive_batch(config_, CONMON_CHANNEL_TYPE_METERING, 5));
    EXPECT_EQ(AUD_ERR_INVALIDPARAMETER,
              conmon_client_config_set_receive_batch(config_, CONMON_CHANNEL_TYPE_STATUS, 5));
    make_client();
    EXPECT_EQ(5u,
              conmon_channels_get_channel(client_->channels, CONMON_CHANNEL_TYPE_METERING)->batch);
}

TEST_F(ConmonMetering, OwnInstanceIdReachesTheChannelsWhenInterfacesCannotBeRead) {
    make_client();
    conmon_client_request_id_t id = nullptr;
    ASSERT_EQ(AUD_SUCCESS, conmon_client_connect(client_, on_response, &id));
    request req = expect(CONMON_IPC_OPCODE_CONNECT);
    // No descriptor left: the interface list (a netlink socket) cannot be read while
    // the connect response is handled.
    const int lowest_free = dup(0);
    close(lowest_free);
    rlimit saved{};
    getrlimit(RLIMIT_NOFILE, &saved);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(lowest_free);
    ASSERT_EQ(0, setrlimit(RLIMIT_NOFILE, &tight));
    server_.send(scripted_server::connect_response(req, "Host-PC", own_id_));
    const bool connected = pump_until([&] { return conmon_client_is_connected(client_); });
    setrlimit(RLIMIT_NOFILE, &saved);
    ASSERT_TRUE(connected);
    EXPECT_TRUE(conmon_instance_id_equal(&own_id_, &client_->channels->self));
}

}  // namespace
}  // namespace conmon_test
