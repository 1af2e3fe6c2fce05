// conmon-server's request handling against a recording port: no sockets, no lab.
#include "sim/conmon_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sim/lab_wire.h"

namespace tavrin::sim {
namespace {

struct sent {
    sockaddr_in to;
    std::vector<uint8_t> bytes;
};

class recording_port : public conmon_server_port {
  public:
    void send_to_client(const sockaddr_in& to, const uint8_t* d, size_t n) override {
        clients.push_back({to, {d, d + n}});
    }
    void send_to_device(const sockaddr_in& to, const uint8_t* d, size_t n) override {
        devices.push_back({to, {d, d + n}});
    }
    std::vector<sent> clients, devices;
};

sockaddr_in endpoint(uint16_t port, uint32_t ip = INADDR_LOOPBACK) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(ip);
    a.sin_port = htons(port);
    return a;
}

conmon_ipc_head_t head(uint16_t seqnum, uint16_t version = CONMON_IPC_VERSION_DEFAULT) {
    conmon_ipc_head_t h{};
    h.version = version;
    h.seqnum = seqnum;
    return h;
}

class conmon_server_fixture : public ::testing::Test {
  protected:
    conmon_server_fixture() : server(port, identity()) {}

    static conmon_server_identity identity() {
        conmon_server_identity id;
        id.device_name = "lab-host";
        id.instance.process_id = 77;
        conmon_interface_entry_t e{};
        e.index = 3;
        e.ip_address = htonl(0xA9FE4D01);
        id.interfaces.push_back(e);
        return id;
    }

    void deliver(const sockaddr_in& from, const std::vector<uint8_t>& d, uint64_t now = 0) {
        server.on_client_datagram(from, d.data(), d.size(), now);
    }

    std::vector<uint8_t> connect_request(uint16_t seq,
                                         uint16_t version = CONMON_IPC_VERSION_DEFAULT) {
        std::vector<uint8_t> buf(CONMON_IPC_BUFFER_SIZE);
        conmon_ipc_head_t h = head(seq, version);
        size_t n = 0;
        EXPECT_EQ(conmon_ipc_encode_connect(&h, "tester", 0, buf.data(), buf.size(), &n),
                  AUD_SUCCESS);
        buf.resize(n);
        return buf;
    }
    std::vector<uint8_t> register_request(uint16_t seq, uint16_t channel, uint16_t direction) {
        std::vector<uint8_t> buf(64);
        conmon_ipc_head_t h = head(seq);
        h.opcode = CONMON_IPC_OPCODE_REGISTER_MONITORING;
        conmon_ipc_register_t reg{channel, direction, 0};
        size_t n = 0;
        EXPECT_EQ(conmon_ipc_encode_register(&h, &reg, buf.data(), buf.size(), &n), AUD_SUCCESS);
        buf.resize(n);
        return buf;
    }
    std::vector<uint8_t> subscribe_request(uint16_t seq, const char* name) {
        std::vector<uint8_t> buf(128);
        conmon_ipc_head_t h = head(seq);
        conmon_ipc_subscribe_t sub{};
        sub.channel = CONMON_CHANNEL_TYPE_STATUS;
        std::strncpy(sub.device_name, name, sizeof sub.device_name - 1);
        size_t n = 0;
        EXPECT_EQ(conmon_ipc_encode_subscribe(&h, &sub, buf.data(), buf.size(), &n), AUD_SUCCESS);
        buf.resize(n);
        return buf;
    }
    std::vector<uint8_t> control_request(uint16_t seq, const char* device,
                                         const std::vector<uint8_t>& body, uint32_t timeout_s = 0,
                                         uint16_t status = 0) {
        std::vector<uint8_t> buf(CONMON_IPC_BUFFER_SIZE);
        conmon_ipc_head_t h = head(seq);
        h.status = status;
        conmon_ipc_control_t ctl{};
        std::strncpy(ctl.device_name, device, sizeof ctl.device_name - 1);
        ctl.timeout_seconds = timeout_s;
        ctl.message_class = 0xFFFF;
        conmon_vendor_id_from_string(&ctl.vendor_id, "Varnoll");
        ctl.body = body.data();
        ctl.body_size = body.size();
        size_t n = 0;
        EXPECT_EQ(conmon_ipc_encode_control(&h, &ctl, buf.data(), buf.size(), &n), AUD_SUCCESS);
        buf.resize(n);
        return buf;
    }

    // The last datagram to a client, with its head checked.
    conmon_ipc_head_t last_head() {
        conmon_ipc_head_t h{};
        EXPECT_FALSE(port.clients.empty());
        if (!port.clients.empty()) {
            const auto& b = port.clients.back().bytes;
            EXPECT_EQ(conmon_ipc_head_decode(b.data(), b.size(), &h), AUD_SUCCESS);
            EXPECT_EQ(h.length, b.size());
        }
        return h;
    }

    server_device amp1() {
        server_device d;
        d.name = "Amp-1";
        d.address = endpoint(40001);
        d.instance_valid = true;
        d.instance.device_id[7] = 1;
        d.instance.process_id = 10;
        return d;
    }

    // A connected client registered for STATUS messages and subscribed to all.
    void ready_client(const sockaddr_in& c) {
        deliver(c, connect_request(1));
        deliver(c, register_request(2, CONMON_CHANNEL_TYPE_STATUS, CONMON_CHANNEL_DIRECTION_RX));
        deliver(c, subscribe_request(3, ""));
    }

    recording_port port;
    conmon_server server;
    sockaddr_in client_a = endpoint(50000);
    sockaddr_in client_b = endpoint(50001);
};

TEST_F(conmon_server_fixture, connect_answers_with_identity_and_interfaces) {
    deliver(client_a, connect_request(9));
    ASSERT_EQ(port.clients.size(), 1u);
    const auto& b = port.clients[0].bytes;
    uint16_t failure = 0;
    conmon_ipc_head_t h{};
    ASSERT_TRUE(conmon_ipc_validate_from_server(b.data(), b.size(), &h, &failure)) << failure;
    EXPECT_EQ(h.seqnum, 9);
    EXPECT_EQ(h.status, CONMON_IPC_STATUS_RESPONSE);
    conmon_ipc_connect_response_t rsp{};
    ASSERT_EQ(conmon_ipc_decode_connect_response(&h, b.data(), b.size(), &rsp), AUD_SUCCESS);
    EXPECT_STREQ(rsp.device_name, "lab-host");
    EXPECT_EQ(rsp.instance_id.process_id, 77);
    ASSERT_EQ(rsp.interfaces.num_entries, 1);
    EXPECT_EQ(rsp.interfaces.entries[0].index, 3u);
    EXPECT_EQ(rsp.server_flags & CONMON_IPC_SERVER_FLAG_NO_RESPONSE, 1);
    EXPECT_EQ(server.client_count(), 1u);
}

TEST_F(conmon_server_fixture, malformed_and_out_of_order_requests_get_error_statuses) {
    // Too short for a head: dropped without an answer.
    deliver(client_a, {0x03, 0x15, 0x05});
    EXPECT_TRUE(port.clients.empty());

    // A request before connecting.
    deliver(client_a, register_request(4, 2, 1));
    EXPECT_EQ(last_head().status, CONMON_IPC_STATUS_INVALID_STATE);

    // Older protocol versions than 0x1200 are not served.
    deliver(client_a, connect_request(5, 0x1100));
    EXPECT_EQ(last_head().status, CONMON_IPC_STATUS_INVALID_VERSION);
    EXPECT_EQ(server.client_count(), 0u);

    deliver(client_a, connect_request(6));
    // Head length that disagrees with the datagram.
    std::vector<uint8_t> bad = register_request(7, 2, 1);
    bad.push_back(0);
    deliver(client_a, bad);
    EXPECT_EQ(last_head().status, CONMON_IPC_STATUS_INVALID_SIZE);
    // Unknown opcode, channel out of range.
    std::vector<uint8_t> odd = register_request(8, 2, 1);
    odd[6] = 0x99;
    deliver(client_a, odd);
    EXPECT_EQ(last_head().status, CONMON_IPC_STATUS_INVALID_OPCODE);
    deliver(client_a, register_request(9, 9, 1));
    EXPECT_EQ(last_head().status, CONMON_IPC_STATUS_INVALID_DATA);
    // A status other than "Request".
    std::vector<uint8_t> answer = register_request(10, 2, 1);
    answer[8] = CONMON_IPC_STATUS_RESPONSE;
    deliver(client_a, answer);
    EXPECT_EQ(last_head().status, CONMON_IPC_STATUS_INVALID_STATUS);
}

TEST_F(conmon_server_fixture, subscribe_lists_known_devices_and_events_follow_changes) {
    server.device_up(amp1());
    ASSERT_EQ(port.devices.size(), 1u);  // the device is asked for its status messages
    lab_message m;
    ASSERT_TRUE(parse_lab_message(port.devices[0].bytes.data(), port.devices[0].bytes.size(), m));
    EXPECT_EQ(m.message_class, lab_class_subscribe);

    deliver(client_a, connect_request(1));
    deliver(client_a, subscribe_request(2, ""));
    conmon_ipc_head_t h = last_head();
    EXPECT_EQ(h.status, CONMON_IPC_STATUS_RESPONSE);
    const auto& b = port.clients.back().bytes;
    conmon_ipc_remotes_t remotes{};
    ASSERT_EQ(conmon_ipc_decode_remotes(&h, b.data(), b.size(), &remotes), AUD_SUCCESS);
    ASSERT_EQ(remotes.count, 1);
    conmon_ipc_remote_record_t rec{};
    ASSERT_EQ(conmon_ipc_decode_remote_record(&h, b.data(), b.size(), 0, &rec), AUD_SUCCESS);
    EXPECT_STREQ(rec.device_name, "Amp-1");
    EXPECT_EQ(rec.flags, CONMON_REMOTE_FLAG_INSTANCE_ID_VALID | CONMON_REMOTE_FLAG_ADDRESSES_VALID);
    EXPECT_EQ(rec.instance_id.process_id, 10);

    server_device amp2 = amp1();
    amp2.name = "Amp-2";
    amp2.address = endpoint(40002);
    server.device_up(amp2);
    EXPECT_EQ(last_head().opcode, CONMON_IPC_OPCODE_EVENT_REMOTES);
    size_t before = port.clients.size();
    server.device_up(amp2);  // resolved again, nothing changed: no event
    EXPECT_EQ(port.clients.size(), before);

    server.device_down("amp-2");  // names compare without case
    h = last_head();
    EXPECT_EQ(h.opcode, CONMON_IPC_OPCODE_EVENT_REMOTES);
    ASSERT_EQ(conmon_ipc_decode_remote_record(&h, port.clients.back().bytes.data(),
                                              port.clients.back().bytes.size(), 0, &rec),
              AUD_SUCCESS);
    EXPECT_STREQ(rec.device_name, "Amp-2");
    EXPECT_EQ(rec.flags, 0);  // gone
}

TEST_F(conmon_server_fixture, control_reaches_the_device_and_its_ack_answers_the_client) {
    server.device_up(amp1());
    ready_client(client_a);
    port.devices.clear();
    const std::vector<uint8_t> poll = {0x55, 0x11, 0xaa, 0xd5, 0xe3, 0x00, 0x02, 0x01, 0xcb};
    deliver(client_a, control_request(20, "AMP-1", poll), 1000);

    ASSERT_EQ(port.devices.size(), 1u);
    EXPECT_TRUE(same_endpoint(port.devices[0].to, amp1().address));
    lab_message forwarded;
    const auto& fb = port.devices[0].bytes;
    ASSERT_TRUE(parse_lab_message(fb.data(), fb.size(), forwarded));
    EXPECT_EQ(forwarded.message_class, 0xFFFF);
    EXPECT_EQ(forwarded.source.process_id, 77);  // the server speaks as itself
    ASSERT_EQ(forwarded.body_size, poll.size());
    EXPECT_EQ(std::memcmp(forwarded.body, poll.data(), poll.size()), 0);
    EXPECT_EQ(server.pending_count(), 1u);

    // An ack from another address does not count.
    lab_bytes ack = build_lab_ack(1, amp1().instance, forwarded.seqnum);
    size_t before = port.clients.size();
    server.on_device_datagram(endpoint(40999), ack.data(), ack.size(), 1001);
    EXPECT_EQ(port.clients.size(), before);

    server.on_device_datagram(amp1().address, ack.data(), ack.size(), 1002);
    conmon_ipc_head_t h = last_head();
    EXPECT_EQ(h.opcode, CONMON_IPC_OPCODE_CONTROL);
    EXPECT_EQ(h.seqnum, 20);
    EXPECT_EQ(h.status, CONMON_IPC_STATUS_RESPONSE);
    EXPECT_EQ(server.pending_count(), 0u);
}

TEST_F(conmon_server_fixture, control_outcomes_without_an_ack) {
    server.device_up(amp1());
    ready_client(client_a);
    deliver(client_a, control_request(30, "Nobody", {1, 2, 3}), 0);
    EXPECT_EQ(last_head().status, CONMON_IPC_STATUS_NOT_FOUND);

    // Default time-out of 1 s, and the request's own of 2 s.
    deliver(client_a, control_request(31, "Amp-1", {1}), 0);
    deliver(client_a, control_request(32, "Amp-1", {1}, 2), 0);
    EXPECT_EQ(server.next_deadline(), 1000u);
    size_t before = port.clients.size();
    server.on_tick(999);
    EXPECT_EQ(port.clients.size(), before);
    server.on_tick(1000);
    conmon_ipc_head_t h = last_head();
    EXPECT_EQ(h.seqnum, 31);
    EXPECT_EQ(h.status, CONMON_IPC_STATUS_TIMEOUT);
    server.on_tick(2000);
    EXPECT_EQ(last_head().seqnum, 32);

    // A request that awaits no response is forwarded and never answered.
    before = port.clients.size();
    size_t to_devices = port.devices.size();
    deliver(client_a, control_request(33, "Amp-1", {1}, 0, CONMON_IPC_STATUS_NO_RESPONSE), 0);
    server.on_tick(5000);
    EXPECT_EQ(port.devices.size(), to_devices + 1);
    EXPECT_EQ(port.clients.size(), before);
}

TEST_F(conmon_server_fixture, device_messages_go_to_registered_subscribers_with_the_sender_name) {
    server.device_up(amp1());
    ready_client(client_a);
    deliver(client_b, connect_request(1));  // connected but neither registered nor subscribed
    port.clients.clear();

    const uint8_t body[] = {0x55, 0x20, 0xaa, 0xd5, 0xc4, 0x00, 0x01, 0x00};
    conmon_vendor_id_t varnoll;
    conmon_vendor_id_from_string(&varnoll, "Varnoll");
    lab_bytes m = build_lab_message(0xFFFF, 5, amp1().instance, varnoll, body, sizeof body);
    server.on_device_datagram(amp1().address, m.data(), m.size(), 0);

    ASSERT_EQ(port.clients.size(), 1u);
    EXPECT_TRUE(same_endpoint(port.clients[0].to, client_a));
    const auto& b = port.clients[0].bytes;
    uint16_t failure = 0;
    conmon_ipc_head_t h{};
    ASSERT_TRUE(conmon_ipc_validate_from_server(b.data(), b.size(), &h, &failure)) << failure;
    conmon_ipc_message_event_t ev{};
    ASSERT_EQ(conmon_ipc_decode_message_event(&h, b.data(), b.size(), &ev), AUD_SUCCESS);
    EXPECT_EQ(h.opcode, CONMON_IPC_OPCODE_EVENT_MONITORED_MESSAGE);
    EXPECT_EQ(ev.channel, CONMON_CHANNEL_TYPE_STATUS);
    EXPECT_EQ(ev.direction, CONMON_CHANNEL_DIRECTION_RX);
    EXPECT_STREQ(ev.sender_name, "Amp-1");
    ASSERT_EQ(ev.body_size, sizeof body);
    EXPECT_EQ(std::memcmp(ev.body, body, sizeof body), 0);

    // A known instance id from another address is still that device.
    port.clients.clear();
    server.on_device_datagram(endpoint(41000), m.data(), m.size(), 0);
    EXPECT_EQ(port.clients.size(), 1u);

    // Junk and messages from unknown devices are dropped.
    port.clients.clear();
    server.on_device_datagram(amp1().address, m.data(), 20, 0);
    conmon_instance_id_t stranger{};
    stranger.process_id = 99;
    lab_bytes odd = build_lab_message(0xFFFF, 6, stranger, varnoll, body, sizeof body);
    server.on_device_datagram(endpoint(41000), odd.data(), odd.size(), 0);
    EXPECT_TRUE(port.clients.empty());
}

TEST_F(conmon_server_fixture, named_subscription_and_forgotten_clients) {
    server.device_up(amp1());
    server_device amp2 = amp1();
    amp2.name = "Amp-2";
    amp2.address = endpoint(40002);
    amp2.instance.device_id[7] = 2;
    server.device_up(amp2);
    deliver(client_a, connect_request(1));
    deliver(client_a, register_request(2, CONMON_CHANNEL_TYPE_STATUS, CONMON_CHANNEL_DIRECTION_RX));
    deliver(client_a, subscribe_request(3, "Amp-2"));
    port.clients.clear();

    conmon_vendor_id_t v;
    conmon_vendor_id_from_string(&v, "Varnoll");
    const uint8_t body[] = {1};
    lab_bytes from1 = build_lab_message(0xFFFF, 1, amp1().instance, v, body, 1);
    lab_bytes from2 = build_lab_message(0xFFFF, 1, amp2.instance, v, body, 1);
    server.on_device_datagram(amp1().address, from1.data(), from1.size(), 0);
    EXPECT_TRUE(port.clients.empty());
    server.on_device_datagram(amp2.address, from2.data(), from2.size(), 0);
    EXPECT_EQ(port.clients.size(), 1u);

    // A pending control of a client that vanished is dropped with it.
    deliver(client_a, control_request(4, "Amp-2", {1}), 0);
    server.forget_client(client_a);
    EXPECT_EQ(server.client_count(), 0u);
    EXPECT_EQ(server.pending_count(), 0u);
    port.clients.clear();
    server.on_device_datagram(amp2.address, from2.data(), from2.size(), 0);
    EXPECT_TRUE(port.clients.empty());

    // The forgotten client must learn it is not connected, even from a request that
    // asked for no answer: that agreement went with its connection.
    deliver(client_a, control_request(5, "Amp-2", {1}, 0, CONMON_IPC_STATUS_NO_RESPONSE), 0);
    EXPECT_EQ(last_head().status, CONMON_IPC_STATUS_INVALID_STATE);
    EXPECT_EQ(last_head().seqnum, 5);
}

}  // namespace
}  // namespace tavrin::sim
