#include "arcp_fixture.h"

#include <algorithm>

namespace {

RoutingTest* g_current = nullptr;

}  // namespace

uint32_t loopback_index() {
    return if_nametoindex("lo");
}

std::vector<uint8_t> capabilities_reply(const arcp_request& q, const device_spec& d) {
    const uint16_t v = std::min(q.head.version, d.version);
    arcp_reply r(q, ARCP_RESULT_SUCCESS, v);
    r.u16(0).u16(static_cast<uint16_t>(d.tx.size())).u16(static_cast<uint16_t>(d.rx.size()));
    r.u16(0).u16(d.max_txflows).u16(d.max_rxflows);
    if (v >= 0x2600) {
        r.u16(4).u16(4).u16(8).u16(0).u16(1);
    }
    if (v >= 0x2703) {
        r.u32(d.capability_flags);
    }
    if (v >= 0x2711) {
        r.u16(0).u16(0);
    }
    return r.done();
}

std::vector<uint8_t> channels_reply(const arcp_request& q, const device_spec& d, bool tx,
                                    uint16_t first, size_t count, uint16_t status) {
    const auto& names = tx ? d.tx : d.rx;
    const size_t record = tx ? ARCP_TXCHANNEL_RECORD_SIZE : ARCP_RXCHANNEL_RECORD_SIZE;
    arcp_reply r(q, status);
    r.u8(0).u8(static_cast<uint8_t>(count));
    for (size_t i = 0; i < count * record / 2; ++i) {
        r.u16(0);
    }
    for (size_t i = 0; i < count; ++i) {
        const size_t at = 12 + i * record;
        const uint16_t id = static_cast<uint16_t>(first + i);
        r.put16(at, id);
        const uint16_t name_at = static_cast<uint16_t>(r.size());
        r.text(id >= 1 && id <= names.size() ? names[id - 1] : "x");
        r.put16(at + (tx ? 6 : 10), name_at);
    }
    return r.done();
}

std::vector<uint8_t> default_reply(const arcp_request& q, const device_spec& d) {
    switch (q.head.opcode) {
        case ARCP_OP_CAPABILITIES:
            return capabilities_reply(q, d);
        case ARCP_OP_NAMES: {
            arcp_reply r(q, ARCP_RESULT_SUCCESS);
            r.text(d.name);
            return r.done();
        }
        case ARCP_OP_TX_CHANNELS:
        case ARCP_OP_RX_CHANNELS: {
            const bool tx = q.head.opcode == ARCP_OP_TX_CHANNELS;
            const auto body = q.body();
            const uint16_t first = static_cast<uint16_t>(body.at(2) << 8 | body.at(3));
            const size_t total = tx ? d.tx.size() : d.rx.size();
            return channels_reply(q, d, tx, first, total - (first - 1), ARCP_RESULT_SUCCESS);
        }
        case ARCP_OP_PROP_AVAIL:
        case ARCP_OP_PROPERTIES:
        case ARCP_OP_TX_LABELS:
        case ARCP_OP_TX_FLOWS:
        case ARCP_OP_RX_FLOWS:
        case ARCP_OP_RX_FLOW_ERRORS: {
            arcp_reply r(q, ARCP_RESULT_SUCCESS);
            r.u8(0).u8(0);
            return r.done();
        }
        default:
            return arcp_reply(q, ARCP_RESULT_SUCCESS).done();
    }
}

scripted_device::scripted_device() {
    fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    EXPECT_EQ(getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len), 0);
    port_ = ntohs(a.sin_port);
}

scripted_device::~scripted_device() {
    close(fd);
}

void scripted_device::serve() {
    uint8_t buffer[2048];
    for (;;) {
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t n =
            recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0) {
            return;
        }
        arcp_request q;
        q.bytes.assign(buffer, buffer + n);
        EXPECT_EQ(arcp_read_head(buffer, static_cast<size_t>(n), &q.head), AUD_SUCCESS);
        received.push_back(q);
        last_from = from;
        if (silent) {
            continue;
        }
        auto it = handlers.find(q.head.opcode);
        std::vector<uint8_t> answer = it != handlers.end() ? it->second(q) : default_reply(q, spec);
        if (!answer.empty()) {
            send_from(fd, answer);
        }
    }
}

void scripted_device::send_from(int from_fd, const std::vector<uint8_t>& bytes) {
    sendto(from_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&last_from),
           sizeof last_from);
}

void RoutingTest::SetUp() {
    g_current = this;
    ASSERT_EQ(dapi_new(&api), AUD_SUCCESS);
    ASSERT_EQ(dr_devices_new(api, &devices), AUD_SUCCESS);
}

void RoutingTest::TearDown() {
    for (dr_device_t* d : opened) {
        dr_device_close(d);
    }
    EXPECT_EQ(dr_devices_delete(devices), AUD_SUCCESS);
    dapi_delete(api);
    g_current = nullptr;
}

void RoutingTest::on_changed(dr_device_t* d, dr_device_change_flags_t flags) {
    g_current->changes.push_back({flags, dr_device_get_state(d)});
    if (g_current->on_change_hook) {
        g_current->on_change_hook(d, flags);
    }
}

void RoutingTest::on_done(dr_device_t*, dr_request_id_t id, aud_error_t result) {
    g_current->completions.push_back({id, result});
}

dr_device_t* RoutingTest::open_explicit(uint16_t port, const char* name) {
    dr_device_config_t* config = nullptr;
    EXPECT_EQ(dr_device_config_new(name, &config), AUD_SUCCESS);
    EXPECT_EQ(
        dr_device_config_add_address(config, htonl(INADDR_LOOPBACK), port ? port : peer.port()),
        AUD_SUCCESS);
    dr_device_t* d = nullptr;
    EXPECT_EQ(dr_device_open_with_config(devices, config, &d), AUD_SUCCESS);
    dr_device_config_delete(config);
    if (d) {
        dr_device_set_changed_callback(d, on_changed);
        opened.push_back(d);
    }
    return d;
}

void RoutingTest::pump(int rounds) {
    dante_runtime_t* rt = dapi_get_runtime(api);
    for (int i = 0; i < rounds; ++i) {
        peer.serve();
        dante_runtime_run_once(rt, 5);
    }
}

bool RoutingTest::pump_until(const std::function<bool()>& pred) {
    for (int i = 0; i < 200 && !pred(); ++i) {
        pump(1);
    }
    return pred();
}

dr_device_t* RoutingTest::open_active() {
    dr_device_t* d = open_explicit();
    if (!d) {
        return nullptr;
    }
    EXPECT_EQ(dr_device_query_capabilities(d, on_done, nullptr), AUD_SUCCESS);
    EXPECT_TRUE(pump_until([&] { return dr_device_get_state(d) == DR_DEVICE_STATE_ACTIVE; }));
    return d;
}

std::vector<uint16_t> RoutingTest::opcodes() const {
    std::vector<uint16_t> ops;
    for (const arcp_request& q : peer.received) {
        ops.push_back(q.head.opcode);
    }
    return ops;
}
