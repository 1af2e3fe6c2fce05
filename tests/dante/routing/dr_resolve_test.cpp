// Address resolution through a scripted DNS-SD backend, and the version the device's
// TXT record gives its requests.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>

#include "arcp_fixture.h"
#include "tests/support/fake_dnssd.h"

namespace {

uint16_t pack(const char* text) {
    uint16_t v = 0;
    EXPECT_EQ(arcp_parse_version(text, strlen(text), &v), AUD_SUCCESS);
    return v;
}

class ResolveTest : public RoutingTest {
  protected:
    dr_device_t* open_named(const char* name = "Amp-1") {
        dr_device_config_t* config = nullptr;
        EXPECT_EQ(dr_device_config_new(name, &config), AUD_SUCCESS);
        dr_device_t* d = nullptr;
        last_open = dr_device_open_with_config(devices, config, &d);
        dr_device_config_delete(config);
        if (d) {
            dr_device_set_changed_callback(d, on_changed);
            opened.push_back(d);
        }
        return d;
    }
    std::vector<std::string> txt(const char* arcp = "2.7.41") {
        return {std::string("arcp_vers=") + arcp, "router_vers=4.0.2", "mf=_00", "model=_00"};
    }
    // Resolved on loopback straight to the scripted device.
    dr_device_t* resolved_on_loopback(const char* arcp_vers) {
        dr_device_t* d = open_named();
        resolve_reply(loopback_index(), "host.local.", peer.port(), txt(arcp_vers));
        EXPECT_TRUE(pump_until([&] { return dr_device_get_state(d) == DR_DEVICE_STATE_RESOLVED; }));
        return d;
    }

    using kind = tavrin::testing::fake_dnssd::kind;
    using ref = tavrin::testing::fake_dnssd::ref;

    ref* live(kind what) {
        auto refs = dns.live(what);
        return refs.empty() ? nullptr : refs.front();
    }
    void resolve_reply(uint32_t iface, const std::string& host, uint16_t port,
                       const std::vector<std::string>& items,
                       dt_dnssd_error error = DT_DNSSD_NO_ERROR) {
        ref* r = live(kind::resolve);
        ASSERT_NE(r, nullptr) << "no resolve running";
        std::string record;
        for (const std::string& s : items) {
            record.push_back(static_cast<char>(s.size()));
            record += s;
        }
        dns.resolve_reply(r, iface, host, port, record, error);
    }
    void query_reply(uint32_t iface, const std::string& rdata) {
        ref* r = live(kind::query);
        ASSERT_NE(r, nullptr) << "no query running";
        dns.query_reply(r, 0, iface, rdata);
    }

    tavrin::testing::fake_dnssd dns;
    aud_error_t last_open = AUD_SUCCESS;
};

TEST_F(ResolveTest, LoopbackAnswerResolvesWithoutAnAddressQuery) {
    dr_device_t* d = open_named();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(dr_device_get_state(d), DR_DEVICE_STATE_RESOLVING);
    ref* r = live(kind::resolve);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->name, "Amp-1");
    EXPECT_EQ(r->type, "_netaudio-arc._udp.");
    EXPECT_EQ(r->domain, "local");
    EXPECT_EQ(r->interface_index, 0u);
    EXPECT_EQ(r->flags, 0u);
    resolve_reply(loopback_index(), "host.local.", peer.port(), txt());
    ASSERT_TRUE(pump_until([&] { return dr_device_get_state(d) == DR_DEVICE_STATE_RESOLVED; }));
    EXPECT_EQ(live(kind::query), nullptr);
    EXPECT_EQ(live(kind::resolve), nullptr);  // the resolve was deallocated
    dr_address_t a[2];
    size_t n = 2;
    ASSERT_EQ(dr_device_get_addresses(d, a, &n), AUD_SUCCESS);
    ASSERT_EQ(n, 1u);
    EXPECT_EQ(a[0].ip, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(a[0].port, peer.port());
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(changes.back().flags, DR_DEVICE_CHANGE_STATE | DR_DEVICE_CHANGE_ADDRESSES);
    EXPECT_EQ(dr_device_get_router_version(d), 0x4002);
}

TEST_F(ResolveTest, OtherInterfacesGoThroughTheARecordQuery) {
    const uint32_t iface = 7;
    dr_device_t* d = open_named();
    resolve_reply(iface, "amp1.local.", peer.port(), txt());
    pump();
    ref* q = live(kind::query);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->name, "amp1.local.");
    EXPECT_EQ(q->flags, 0x500u);
    EXPECT_EQ(live(kind::resolve), nullptr);
    // Answers from another interface and answers that are no IPv4 address are refused.
    query_reply(iface + 1, std::string("\x7f\0\0\x01", 4));
    pump();
    EXPECT_EQ(dr_device_get_state(d), DR_DEVICE_STATE_RESOLVING);
    query_reply(iface, std::string("\x7f\0\0\x01", 4));
    ASSERT_TRUE(pump_until([&] { return dr_device_get_state(d) == DR_DEVICE_STATE_RESOLVED; }));
    ASSERT_EQ(dr_device_ping(d, on_done, nullptr), AUD_SUCCESS);
    ASSERT_TRUE(pump_until([&] { return !completions.empty(); }));
    EXPECT_EQ(completions[0].result, AUD_SUCCESS);
}

TEST_F(ResolveTest, ShortAddressRecordLeavesTheDeviceResolving) {
    dr_device_t* d = open_named();
    resolve_reply(3, "amp1.local.", peer.port(), txt());
    pump();
    query_reply(3, std::string("\x7f\0\0", 3));
    pump();
    EXPECT_EQ(dr_device_get_state(d), DR_DEVICE_STATE_RESOLVING);
    EXPECT_EQ(dr_device_get_error(d), AUD_ERR_INVALIDDATA);
    EXPECT_EQ(live(kind::resolve), nullptr);
    EXPECT_EQ(live(kind::query), nullptr);
}

TEST_F(ResolveTest, TheFirstAnswerFixesTheInterface) {
    dns.deliver_all = true;
    dr_device_t* d = open_named();
    resolve_reply(3, "first.local.", peer.port(), txt());
    resolve_reply(4, "second.local.", peer.port(), txt());
    pump();
    ref* q = live(kind::query);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->name, "first.local.");
    EXPECT_EQ(dr_device_get_state(d), DR_DEVICE_STATE_RESOLVING);
}

TEST_F(ResolveTest, LoopbackAnswerAfterAnotherInterfaceStillCounts) {
    dns.deliver_all = true;
    dr_device_t* d = open_named();
    resolve_reply(3, "amp1.local.", peer.port(), txt());
    resolve_reply(loopback_index(), "amp1.local.", peer.port(), txt());
    ASSERT_TRUE(pump_until([&] { return dr_device_get_state(d) == DR_DEVICE_STATE_RESOLVED; }));
    EXPECT_EQ(live(kind::query), nullptr);
}

TEST_F(ResolveTest, EmptyHostTargetFailsTheResolution) {
    dr_device_t* d = open_named();
    resolve_reply(3, "", peer.port(), txt());
    pump();
    EXPECT_EQ(dr_device_get_state(d), DR_DEVICE_STATE_RESOLVING);
    EXPECT_EQ(dr_device_get_error(d), AUD_ERR_DNSSDFAIL);
    EXPECT_EQ(live(kind::query), nullptr);
}

TEST_F(ResolveTest, TxtRecordRules) {
    struct {
        std::vector<std::string> txt;
        bool resolves;
        bool safe;
    } cases[] = {
        {{"arcp_vers=2.7.41", "router_vers=4.0.2"}, true, false},
        {{"router_vers=4.0.2"}, false, false},
        {{"arcp_vers=", "router_vers=4.0.2"}, false, false},
        {{"arcp_vers=2.7", "router_vers=4.0.2"}, false, false},
        {{"arcp_vers=2.7.41"}, false, false},
        {{"safe", "mf=_00"}, true, true},
    };
    for (const auto& c : cases) {
        dr_device_t* d = open_named();
        resolve_reply(loopback_index(), "h.local.", peer.port(), c.txt);
        pump();
        EXPECT_EQ(dr_device_get_state(d) == DR_DEVICE_STATE_RESOLVED, c.resolves) << c.txt[0];
        EXPECT_EQ(dr_device_is_safe_mode(d), c.safe) << c.txt[0];
        if (!c.resolves) {
            EXPECT_EQ(dr_device_get_error(d), AUD_ERR_DNSSDFAIL);
        }
        dr_device_close(d);
        opened.clear();
    }
}

TEST_F(ResolveTest, ResolveErrorIsDnssdFail) {
    dr_device_t* d = open_named();
    resolve_reply(loopback_index(), "h.local.", peer.port(), txt(), DT_DNSSD_ERR_NO_SUCH_NAME);
    pump();
    EXPECT_EQ(dr_device_get_state(d), DR_DEVICE_STATE_RESOLVING);
    EXPECT_EQ(dr_device_get_error(d), AUD_ERR_DNSSDFAIL);
}

TEST_F(ResolveTest, NoResolveStartedIsNotFound) {
    dns.fail_next_resolve = DT_DNSSD_ERR_UNKNOWN;
    EXPECT_EQ(open_named(), nullptr);
    EXPECT_EQ(last_open, AUD_ERR_NOTFOUND);
    // Without a name there must be explicit addresses.
    dr_device_config_t* config = nullptr;
    ASSERT_EQ(dr_device_config_new(nullptr, &config), AUD_SUCCESS);
    dr_device_t* d = nullptr;
    EXPECT_EQ(dr_device_open_with_config(devices, config, &d), AUD_ERR_INVALIDPARAMETER);
    dr_device_config_delete(config);
}

TEST_F(ResolveTest, CloseStopsTheResolve) {
    dr_device_t* d = open_named();
    ASSERT_NE(live(kind::resolve), nullptr);
    dr_device_close(d);
    opened.clear();
    EXPECT_EQ(live(kind::resolve), nullptr);
    EXPECT_EQ(live(kind::query), nullptr);
}

TEST_F(ResolveTest, VersionOfTheTxtRecordIsCappedInRequests) {
    struct {
        const char* arcp_vers;
        uint16_t sent;
    } cases[] = {{"2.8.0", 0x2725}, {"2.6.0", 0x2600}, {"2.5.0", 0x2500}};
    for (const auto& c : cases) {
        peer.received.clear();
        dr_device_t* d = resolved_on_loopback(c.arcp_vers);
        ASSERT_EQ(dr_device_ping(d, on_done, nullptr), AUD_SUCCESS);
        pump();
        ASSERT_FALSE(peer.received.empty());
        EXPECT_EQ(peer.received[0].head.version, c.sent) << c.arcp_vers;
    }
}

TEST_F(ResolveTest, OldDevicesCannotTellTheirLabelLimit) {
    struct {
        const char* arcp_vers;
        aud_error_t result;
    } cases[] = {{"2.6.0", AUD_SUCCESS}, {"2.5.0", AUD_ERR_VERSION}};
    for (const auto& c : cases) {
        peer.spec.version = pack(c.arcp_vers);
        dr_device_t* d = resolved_on_loopback(c.arcp_vers);
        ASSERT_EQ(dr_device_query_capabilities(d, on_done, nullptr), AUD_SUCCESS);
        ASSERT_TRUE(pump_until([&] { return dr_device_get_state(d) == DR_DEVICE_STATE_ACTIVE; }));
        uint16_t labels = 0;
        EXPECT_EQ(dr_device_get_max_txlabels(d, &labels), c.result) << c.arcp_vers;
        if (c.result == AUD_SUCCESS) {
            EXPECT_EQ(labels, 8);
        }
    }
}

}  // namespace
